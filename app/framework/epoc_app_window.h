// Making a control's top-level window of the program's class.
#pragma once

#include <windows.h>

class CEpocControl;

// Loads the title and class strings, creates a visible window of default
// position and size, and gives it to the control. Messages sent while the
// window is being created reach the control through the map's pending
// control. Null (logged) when no window could be made.
HWND CreateEpocApplicationWindow(CEpocControl* aControl, HINSTANCE aInstance, HWND aParent, int aTitleId,
                                 int aClassId);
