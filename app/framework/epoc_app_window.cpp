#include "app/framework/epoc_app_window.h"

#include "app/framework/epoc_control.h"
#include "kernel/hwndmap.h"
#include "kernel/log.h"
#include "kernel/requests.h"

HWND CreateEpocApplicationWindow(CEpocControl* aControl, HINSTANCE aInstance, HWND aParent, int aTitleId,
                                 int aClassId) {
  WCHAR title[128] = {0};
  WCHAR className[128] = {0};
  LoadStringW(aInstance, aTitleId, title, 128);
  LoadStringW(aInstance, aClassId, className, 128);
  CHWndMap* map = EpocWindowMap();
  if (map != nullptr) map->SetPendingControl(aControl);
  HWND window = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, aParent, nullptr, aInstance, nullptr);
  if (window != nullptr)
    aControl->SetWindowL(window);
  else
    LogMessageWithError(KLogFilePath, u"CreateEpocApplicationWindow");
  if (map != nullptr) map->SetPendingControl(nullptr);
  return window;
}
