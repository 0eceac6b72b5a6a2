// How long a message may be, wherever it is written: the compose dialog and
// korvanet-cli's commands.
#pragma once

// The longest message text that may be typed or given: about the 255 parts a
// long message can have in UCS2 (67 code units a part). Parts are counted as
// well, since escaped characters and surrogate pairs make parts hold fewer.
inline constexpr int KKvMaxMessageText = 255 * 67;
