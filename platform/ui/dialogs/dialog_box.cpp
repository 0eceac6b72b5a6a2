// Dialog windows made from templates, the dialog class's default
// procedure, and the modal loop of DialogBoxIndirectParamW.
#include <map>
#include <mutex>

#include "core/window_manager.h"
#include "ui/dialogs/dialog_state.h"
#include "ui/dialogs/dialog_template.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {

const char16_t kDialogClass[] = u"Dialog";

namespace {

std::mutex& StatesLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::map<HWND, std::shared_ptr<DialogState>>& States() {
  static auto* states = new std::map<HWND, std::shared_ptr<DialogState>>;
  return *states;
}

// Messages whose dialog-procedure result is the message's result itself,
// not DWL_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  return message == WM_INITDIALOG || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

HWND FirstTabStop(HWND dialog) { return GetNextDlgTabItem(dialog, nullptr, FALSE); }

LRESULT CALLBACK DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = DialogStateOf(dialog);
  if (message == WM_NCDESTROY) {
    std::lock_guard guard(StatesLock());
    States().erase(dialog);
  }
  if (state && state->proc) {
    SetWindowLongPtrW(dialog, DWL_MSGRESULT, 0);
    INT_PTR handled = state->proc(dialog, message, wParam, lParam);
    if (!IsWindow(dialog) || message == WM_NCDESTROY) return handled;
    if (handled) return ReturnsDirectly(message) ? handled : GetWindowLongPtrW(dialog, DWL_MSGRESULT);
  }
  return DefDlgProcW(dialog, message, wParam, lParam);
}

RECT DialogPixels(const DialogState& s, short x, short y, short cx, short cy) {
  return RECT{x * s.baseX / 4, y * s.baseY / 8, (x + cx) * s.baseX / 4, (y + cy) * s.baseY / 8};
}

}  // namespace

std::shared_ptr<DialogState> DialogStateOf(HWND dialog) {
  std::lock_guard guard(StatesLock());
  auto it = States().find(dialog);
  return it == States().end() ? nullptr : it->second;
}

bool HasClass(HWND window, const char16_t* className) {
  auto record = FindWindowRecord(window);
  return record && record->windowClass && EqualsIgnoreCase(record->windowClass->name, className);
}

bool IsPushButton(HWND window, bool* isDefault) {
  if (!HasClass(window, u"BUTTON")) return false;
  DWORD kind = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & 0xF;
  if (isDefault) *isDefault = kind == 1;  // BS_DEFPUSHBUTTON
  return kind <= 1;                       // BS_PUSHBUTTON or BS_DEFPUSHBUTTON
}

void RegisterDialogClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DialogWindowProc;
  wc.cbWndExtra = kDialogExtraBytes;
  wc.lpszClassName = kDialogClass;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&wc);
}

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // As the Cancel button would.
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      return 0;
    case WM_SETFOCUS: {
      auto state = DialogStateOf(dialog);
      HWND target = state && IsWindow(state->lastFocus) && IsChild(dialog, state->lastFocus) ? state->lastFocus
                                                                                            : FirstTabStop(dialog);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (auto state = DialogStateOf(dialog); state && IsChild(dialog, GetFocus())) state->lastFocus = GetFocus();
      } else if (!IsChild(dialog, GetFocus())) {
        SendMessageW(dialog, WM_SETFOCUS, 0, 0);
      }
      return 0;
    case DM_GETDEFID:
      for (HWND child : ChildrenInTabOrder(dialog)) {
        bool isDefault = false;
        if (IsPushButton(child, &isDefault) && isDefault) return MAKELONG(GetDlgCtrlID(child), DC_HASDEFID);
      }
      return 0;
    case WM_NEXTDLGCTL: {
      HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                           : GetNextDlgTabItem(dialog, GetFocus(), static_cast<BOOL>(wParam != 0));
      if (target) SetFocus(target);
      return 0;
    }
    default:
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATE dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM initParam) {
  DialogRecord record;
  if (!ParseDialogTemplate(dialogTemplate, record)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  RegisterDialogClass();
  auto state = std::make_shared<DialogState>();
  LONG units = GetDialogBaseUnits();
  state->baseX = LOWORD(units);
  state->baseY = HIWORD(units);

  // Position: relative to the owner's client area (centred with DS_CENTER),
  // kept on the screen below the taskbar.
  RECT client = DialogPixels(*state, record.x, record.y, record.cx, record.cy);
  RECT insets = FrameInsets(record.style, record.exStyle);
  int width = client.right - client.left + insets.left + insets.right;
  int height = client.bottom - client.top + insets.top + insets.bottom;
  POINT origin{client.left, client.top};
  if (!(record.style & WS_CHILD) && owner && IsWindow(owner)) ClientToScreen(owner, &origin);
  if (record.style & DS_CENTER) {
    origin.x = (kScreenWidth - width) / 2;
    origin.y = kTaskbarHeight + (kScreenHeight - kTaskbarHeight - height) / 2;
  }
  if (!(record.style & WS_CHILD)) {
    origin.x = std::max<LONG>(0, std::min<LONG>(origin.x, kScreenWidth - width));
    origin.y = std::max<LONG>(kTaskbarHeight, std::min<LONG>(origin.y, kScreenHeight - height));
  }
  LPCWSTR className = record.className.empty() ? kDialogClass : record.className.c_str();
  HWND dialog = CreateWindowExW(record.exStyle, className, record.caption.c_str(), record.style & ~WS_VISIBLE,
                                origin.x, origin.y, width, height, owner, nullptr, instance, nullptr);
  if (!dialog) return nullptr;
  {
    std::lock_guard guard(StatesLock());
    States()[dialog] = state;
  }

  HGDIOBJ font = GetStockObject(SYSTEM_FONT);
  for (const DialogItemRecord& item : record.items) {
    RECT r = DialogPixels(*state, item.x, item.y, item.cx, item.cy);
    HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD,
                                   r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance,
                                   item.creationData.empty() ? nullptr : const_cast<BYTE*>(item.creationData.data()));
    if (!control) {
      // A control that cannot be made fails the whole dialog, as on the device.
      DWORD error = GetLastError();
      DestroyWindow(dialog);
      SetLastError(error);
      return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }

  // The program's procedure sees the dialog from WM_INITDIALOG on.
  state->proc = proc;
  HWND first = FirstTabStop(dialog);
  if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam) && first && IsWindow(first))
    SetFocus(first);
  if (!IsWindow(dialog)) return nullptr;
  if ((record.style & WS_VISIBLE) && !state->ended) ShowWindow(dialog, SW_SHOW);
  return dialog;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATE dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM initParam) {
  // A child cannot own a dialog: its top-level window does.
  while (owner && IsWindow(owner) && (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
  if (owner && !IsWindow(owner)) owner = nullptr;
  HWND previousDone = TaskbarDoneTarget();
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);

  HWND dialog = CreateDialogIndirectParamW(instance, dialogTemplate, owner, proc, initParam);
  auto state = dialog ? DialogStateOf(dialog) : nullptr;
  if (!state) {
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    return -1;
  }
  if (!state->ended) {
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    if (!IsChild(dialog, GetFocus())) SendMessageW(dialog, WM_SETFOCUS, 0, 0);
  }

  // This thread's messages and the sends of other threads go on while the
  // dialog is up; a WM_QUIT ends it and is put back for the caller's loop.
  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (!state->ended && IsWindow(dialog)) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  SetTaskbarDoneButton(previousDone && IsWindow(previousDone) ? previousDone : nullptr);
  if (owner && IsWindow(owner)) SetForegroundWindow(owner);
  if (quit) PostQuitMessage(quitCode);
  return state->ended ? state->result : (quit ? 0 : -1);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  auto state = DialogStateOf(dialog);
  if (!state) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  state->result = result;
  state->ended = true;
  ShowWindow(dialog, SW_HIDE);
  PostMessageW(dialog, WM_NULL, 0, 0);  // wakes the modal loop
  return TRUE;
}
