// The program's view of the system: Win32 / Windows CE names, provided on
// Linux by the platform layer.
#pragma once

#include "winbase.h"
#include "winerror.h"
#include "wingdi.h"
#include "winnls.h"
#include "winreg.h"
#include "winserial.h"
#include "wintypes.h"
#include "winuser.h"
