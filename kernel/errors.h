// Result codes shared by the whole program: one numbering throughout.
#pragma once

const int KErrNone = 0;
const int KErrGeneral = -2;
const int KErrCancel = -3;
const int KErrNoMemory = -4;
const int KErrOverflow = -9;
const int KErrAlreadyExists = -11;
const int KErrNotReady = -18;
const int KErrCorrupt = -20;
const int KErrEof = -25;
const int KErrTimedOut = -33;
const int KErrDisconnected = -36;  // the line went away (a USB device unplugged or reset)
