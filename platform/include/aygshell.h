// The Pocket PC shell: menu bar, full-screen dialogs, activation and the
// input panel.
#pragma once

#include <windows.h>
