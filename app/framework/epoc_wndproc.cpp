#include "app/framework/epoc_wndproc.h"

#include "app/framework/epoc_control.h"
#include "app/framework/epoc_dialog.h"
#include "kernel/hwndmap.h"
#include "kernel/log.h"
#include "kernel/requests.h"

namespace {

void TraceMessage(CEpocControl* aControl, HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  if (!LoggingOn() || EpocIsQuietMessage(aMessage, aLParam)) return;
  WCHAR windowText[32];
  LPCWSTR windowName = aControl != nullptr ? aControl->ClassName() : nullptr;
  if (windowName == nullptr) {
    wsprintfW(windowText, u"0x%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(aWindow)));
    windowName = windowText;
  }
  WCHAR messageText[32];
  LPCWSTR messageName = EpocMessageName(aMessage, aLParam);
  if (messageName == nullptr) {
    wsprintfW(messageText, u"0x%x", aMessage);
    messageName = messageText;
  }
  LogMessage(KLogFilePath, u"EpocWnd HWND %1!s!, Msg %2!s!, W=0x%3!x!, L=0x%4!x!", windowName, messageName,
             aWParam, aLParam);
}

void LogUnknownWindow(const CHWndMap* aMap, HWND aWindow) {
  LogMessage(KLogFilePath, u"EpocMainWndProc - unknown HWND 0x%1!x!", aWindow);
  int count = aMap != nullptr ? aMap->Count() : 0;
  LogMessage(KLogFilePath, u"Map array count = %1!d!", count);
  for (int i = 0; i < count; ++i)
    LogMessage(KLogFilePath, u"Map item %1!d!, wnd 0x%2!x!, ctrl 0x%3!x!", i, aMap->At(i).iWindow,
               aMap->At(i).iControl);
}

}  // namespace

LRESULT EpocMainWndProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  CHWndMap* map = EpocWindowMap();
  CEpocControl* control = map != nullptr ? static_cast<CEpocControl*>(map->Find(aWindow)) : nullptr;
  TraceMessage(control, aWindow, aMessage, aWParam, aLParam);
  LRESULT result = KEpocNotHandled;
  if (control != nullptr)
    result = control->DispatchMessageL(aWindow, aMessage, aWParam, aLParam);
  else
    LogUnknownWindow(map, aWindow);
  if (result == KEpocNotHandled || result == KEpocDefault) return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
  return result;
}

INT_PTR EpocDialogWndProc(HWND aDialog, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  if (aMessage == WM_INITDIALOG) {
    CEpocDialog* dialog = reinterpret_cast<CEpocDialog*>(aLParam);
    LogMessage(KLogFilePath, u"EpocDialogWndProc: WM_INITDIALOG - ctrl = 0x%1!x! dialog = 0x%2!x!", dialog, aDialog);
    if (dialog == nullptr) return 0;
    dialog->SetWindowL(aDialog);
    dialog->InitDialogL();
    return 0;
  }
  return EpocMainWndProc(aDialog, aMessage, aWParam, aLParam);
}
