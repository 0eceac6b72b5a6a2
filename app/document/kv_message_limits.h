// How long a message may be, wherever it is written: the compose dialog and
// korvanet-cli's commands.
#pragma once

// The longest message text: whatever is typed still fits the 255 parts a
// long message can have, even in UCS2 (67 code units a part).
inline constexpr int KKvMaxMessageText = 255 * 67;
