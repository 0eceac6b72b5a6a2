// The process-wide objects of the user interface thread, written once at
// start-up and read from anywhere on that thread.
#pragma once

#include <windows.h>

class CEpocBase;
class CKvApplication;
class CKvDocument;
class CKvAppUi;
class CKvAppEngine;

extern HINSTANCE gKvInstance;  // every resource load uses it
extern CKvApplication* gKvApplication;
extern CKvDocument* gKvDocument;
extern CKvAppUi* gKvAppUi;  // null until made
// Makes the application UI for the document (CKvAppUi::NewL). Set by the
// windowed program's start-up; korvanet-cli shares the document but has no
// windows, and so links none of the user interface.
extern CEpocBase* (*gKvNewAppUiL)(CKvDocument* aDocument);
extern CKvAppEngine* gKvAppEngine;
// The main frame's window, set by the application UI as it makes the frame:
// it receives the stores' change notices, also those of the engine's stores.
extern HWND gKvMainFrameWindow;
