// Texts from outside (a contact's name or number, a memory name a phone
// announced, a service centre from the settings) inside an AT command line.
// Whatever they hold, they stay one argument: they never end the quoted
// string they are in, nor the command.
#pragma once

#include "kernel/descriptors.h"

// A name holds a character the phone's character set has no code for.
inline constexpr int KErrNameNotCarried = -60;
// A number holds a character no dial string holds.
inline constexpr int KErrNumberNotDialable = -61;

// Appends aText as one quoted string argument. aText is already in the
// line's character set, one byte a code unit. A quote, a backslash and every
// control byte go as a backslash and two hexadecimal digits, the command line's
// own escape, so that none can end the string or the line. KErrNone;
// KErrNameNotCarried for a code unit above 0xFF (no byte stands for it);
// KErrOverflow when aOut has no room. aOut is unchanged on failure.
int AppendQuotedArgument(TModDesc16& aOut, const TDesc16& aText);

// Appends what a dial string may hold of aNumber: digits, "*", "#", a "+"
// in front, and "p" or "w" (pause, wait). The separators people write
// (space, "-", ".", "(", ")", "/") are left out. At most aMax characters go.
// KErrNone; KErrNumberNotDialable for any other character (aOut unchanged).
int AppendDialString(TModDesc16& aOut, const TDesc16& aNumber, int aMax);

