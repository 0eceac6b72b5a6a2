#include "app/views/kv_main.h"

#include <string>

#include <kvplatform.h>

#include "app/document/app_engine.h"
#include "app/document/app_globals.h"
#include "app/document/kv_application.h"
#include "app/views/kv_appui.h"
#include "app/document/kv_document.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"
#include "kernel/requests.h"

int KvWinMain(HINSTANCE aInstance, HINSTANCE, LPWSTR, int aShowCommand) {
  WCHAR title[128] = {0};
  WCHAR className[128] = {0};
  LoadStringW(aInstance, KKvStrWindowTitle, title, 128);
  LoadStringW(aInstance, KKvStrWindowClass, className, 128);
  // Nothing is read from or written to a data folder that others may write.
  if (std::string problem = kvplatform::DeviceRootProblem(); !problem.empty()) {
    std::u16string text = kvplatform::FromUtf8("Korvanet cannot start: " + problem + ".");
    MessageBoxW(nullptr, text.c_str(), title, MB_OK | MB_ICONSTOP);
    return 1;
  }
  HWND running = FindWindowW(className, title);
  if (running != nullptr) {
    // The lowest bit brings the window's owned pop-ups forward with it.
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(running) | 1));
    return 0;
  }
  return EpocMain(aInstance, aShowCommand);
}

bool KvStartUpL(HINSTANCE aInstance, int aShowCommand) {
  gKvInstance = aInstance;
  gKvNewAppUiL = [](CKvDocument* aDocument) -> CEpocBase* { return CKvAppUi::NewL(aDocument); };
  // Without the thread's slot nothing below could work.
  if (EpocInitGlobals() != KErrNone) return false;
  gKvApplication = CKvApplication::NewL();
  if (gKvApplication == nullptr) return false;
  gKvDocument = static_cast<CKvDocument*>(gKvApplication->CreateDocumentL());
  if (gKvDocument == nullptr) return false;
  gKvAppUi = static_cast<CKvAppUi*>(gKvDocument->CreateAppUiL());
  if (gKvAppUi == nullptr) return false;
  gKvAppUi->ActivateL(aShowCommand);
  gKvAppEngine = CKvAppEngine::NewL();
  if (gKvAppEngine == nullptr) return false;
  gKvAppUi->StartListeningIfOnL();
  return true;
}

void KvShutDown() {
  delete gKvApplication;  // with it the document, its stores and the UI
  gKvApplication = nullptr;
  gKvDocument = nullptr;
  gKvAppUi = nullptr;
  delete gKvAppEngine;  // tells the engine thread to quit
  gKvAppEngine = nullptr;
  EpocReleaseGlobals();
  gKvInstance = nullptr;
}

int EpocMain(HINSTANCE aInstance, int aShowCommand) {
  if (!KvStartUpL(aInstance, aShowCommand)) {
    KvShutDown();
    return KKvStartUpFailed;
  }
  HACCEL accelerators = LoadAcceleratorsW(gKvInstance, MAKEINTRESOURCEW(KKvAccelerators));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    if (message.hwnd == nullptr && gKvAppUi != nullptr) {
      gKvAppUi->HandleThreadMessage(message);
      continue;
    }
    // The tree has no key handling of its own for Escape, and the view
    // behind it may hold the focus.
    if (gKvAppUi != nullptr && gKvAppUi->Frame() != nullptr && gKvAppUi->Frame()->HandleTreeKey(message)) continue;
    if (TranslateAcceleratorW(message.hwnd, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  LogMessage(KLogFilePath, u"EpocMain: Korvanet application shutting down");
  KvShutDown();
  return static_cast<int>(message.wParam);
}
