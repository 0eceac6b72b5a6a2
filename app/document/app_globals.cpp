#include "app/document/app_globals.h"

HINSTANCE gKvInstance = nullptr;
CKvApplication* gKvApplication = nullptr;
CKvDocument* gKvDocument = nullptr;
CKvAppUi* gKvAppUi = nullptr;
CEpocBase* (*gKvNewAppUiL)(CKvDocument*) = nullptr;
CKvAppEngine* gKvAppEngine = nullptr;
HWND gKvMainFrameWindow = nullptr;
