#include "app/views/kv_view.h"

#include <commctrl.h>

#include "app/document/app_globals.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_find_dialog.h"
#include "app/views/kv_frame.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"

CKvView::CKvView(const TKvViewRow& aRow, MKvViewHost& aHost)
    : iTitle(aRow.iTitle), iType(aRow.iType), iMenu(aRow.iMenu), iHost(aHost) {
  iActivateInfo.cbSize = sizeof iActivateInfo;
}

CKvView* CKvView::NewL(const TKvViewRow& aRow, MKvViewHost& aHost) {
  LogMessage(KLogFilePath, u"CKvView::NewL viewType = %1!d!", aRow.iType);
  return aRow.iNewL != nullptr ? aRow.iNewL(aRow, aHost) : nullptr;
}

LRESULT CKvView::Draw(const RECT&) { return KEpocDefault; }

void CKvView::InitialiseViewL() {
  LogMessage(KLogFilePath, u"CKvView::InitialiseViewL");
  DoInitialiseViewL();
}

void CKvView::SetAsCurrentViewL() {
  LogMessage(KLogFilePath, u"CKvView::SetAsCurrentViewL");
  CKvView* previous = iHost.CurrentView();
  if (previous == this) return;
  if (!iInitialised) {
    InitialiseViewL();
    SetExtentL(iHost.Frame()->ViewArea());
    iInitialised = true;
  }
  if (previous != nullptr) previous->MakeVisible(false);
  MakeVisible(true);
  // Keys (and so the accelerators) go to the view now in front.
  SetFocus(Window());
  iHost.SetCurrentView(this);
  iHost.Frame()->CreateRpCommandBar(Window(), MenuResourceId());
}

LRESULT CKvView::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  int command = LOWORD(aWParam);
  if (iHost.ShowViewForCommandL(command)) {
    iHost.Frame()->ResetTitle();
    return 0;
  }
  switch (command) {
    case KKvCmdNewEntry:
      return NewEntryL();
    case KKvCmdOk: {
      HWND window = Window();
      SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
      SendMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    }
    case KKvCmdSettings:
      iHost.RunSettingsL(Window());
      return 0;
    case KKvCmdAbout:
      iHost.RunAboutL(Window());
      return 0;
    case KKvCmdUssd:
      iHost.RunUssdL(Window());
      return 0;
    case KKvCmdListen:
      iHost.ToggleListeningL();
      return 0;
    case KKvCmdPhoneStatus:
      iHost.ShowPhoneStatusL(Window());
      return 0;
    // Any view whose Entry menu has Find… searches the messages.
    case KKvCmdFind:
      KvShowFindDialogL(Window(), iHost);
      return 0;
    case KKvIdListBox:
      if (HIWORD(aWParam) != LBN_DBLCLK) return KEpocNotHandled;
      command = KKvCmdEdit;
      [[fallthrough]];
    case KKvCmdDelete:
    case KKvCmdSend:
    case KKvCmdEdit: {
      CEpocListControl* list = GetCurrentListBox();
      int index = list != nullptr ? list->CurrentIndex() : -1;
      if (index == -1) return KEpocNotHandled;
      return HandlePopUpMenuCommand(command, index);
    }
    default:
      return KEpocNotHandled;
  }
}

int CKvView::HandlePopUpMenuCommand(int aCommand, int aIndex) {
  CEpocListControl* list = GetCurrentListBox();
  if (list == nullptr) return KEpocNotHandled;
  CEOID identifier = static_cast<CEOID>(list->ItemData(aIndex));
  switch (aCommand) {
    case KKvCmdDelete:
      DeleteSelection();
      return 0;
    case KKvCmdSend:
      return SendEntryL(identifier);
    case KKvCmdEdit:
      return EditEntryL(identifier);
    case KKvCmdFind:
      return static_cast<int>(HandleCommand(Window(), WM_COMMAND, KKvCmdFind, 0));
    default:
      LogMessage(KLogFilePath, u"CKvMessagesView::HandlePopUpMenuCommand - unknown menu item");
      return KEpocNotHandled;
  }
}

// Each deletion reaches this view at once and removes its row, so the loop
// ends when no selected row is left.
void CKvView::DeleteSelection() {
  CEpocListControl* list = GetCurrentListBox();
  while (list->SelectedCount() > 0) {
    int index = list->CurrentIndex();
    if (index < 0 || !list->IsSelected(index)) break;
    DeleteEntryL(static_cast<CEOID>(list->ItemData(index)));
  }
}

LRESULT CKvView::HandleNotify(HWND, UINT, WPARAM, LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  if (header == nullptr) return KEpocNotHandled;
  // A list of the view asks for a row's line; a hidden one too (its rows
  // may be read while another tab shows).
  UINT code = header->code;
  if (code == LBN_GETDISPINFOW) {
    for (int i = 0; i < CountComponentControls(); ++i) {
      CEpocControl* component = ComponentControl(i);
      LRESULT result = component != nullptr ? component->HandleNotify(Window(), WM_NOTIFY, 0, aLParam) : KEpocNotHandled;
      if (result != KEpocNotHandled) return result;
    }
    return 0;
  }
  // The shell's tap-and-hold gesture, and a double tap or Enter on a list view row.
  if (code == GN_CONTEXTMENU) {
    const NMRGINFO* info = reinterpret_cast<const NMRGINFO*>(aLParam);
    LaunchContextMenu(info->ptAction.x, info->ptAction.y);
  } else if (code == LVN_ITEMACTIVATE && header->idFrom == static_cast<UINT_PTR>(KKvIdListView)) {
    HandleCommand(Window(), WM_COMMAND, KKvCmdEdit, 0);
  }
  return KEpocNotHandled;
}

void CKvView::LaunchContextMenu(int aX, int aY) {
  CEpocListControl* list = GetCurrentListBox();
  if (list == nullptr) return;
  int offItem = 1;
  int index = list->HitTest(POINT{aX, aY}, offItem);
  if (offItem != 0) return;
  HMENU menu = LoadMenuW(gKvInstance, MAKEINTRESOURCEW(MenuResourceId()));
  if (menu == nullptr) {
    LogMessageWithError(KLogFilePath, u"CKvMessagesView::LaunchContextMenu - failed to loadmenu");
    return;
  }
  HMENU entryMenu = GetSubMenu(menu, 2);
  int command = static_cast<int>(TrackPopupMenuEx(entryMenu, TPM_RETURNCMD, aX, aY, Window(), nullptr));
  DestroyMenu(menu);
  HandlePopUpMenuCommand(command, index);
}

void CKvView::EnableEntryMenu(HMENU aPopUp) {
  CEpocListControl* list = GetCurrentListBox();
  bool single = list == nullptr || list->SelectedCount() <= 1;
  int count = GetMenuItemCount(aPopUp);
  for (int i = 0; i < count; ++i) {
    // Delete works on every selected row; Find on none of them; a
    // separator (0) is left as it is.
    UINT id = GetMenuItemID(aPopUp, i);
    if (id == 0 || id == static_cast<UINT>(KKvCmdDelete) || id == static_cast<UINT>(KKvCmdFind)) continue;
    EnableMenuItem(aPopUp, i, MF_BYPOSITION | (single ? MF_ENABLED : MF_GRAYED));
  }
}

void CKvView::UpdatePhoneMenu(HMENU aPopUp) {
  CheckMenuItem(aPopUp, KKvCmdListen, MF_BYCOMMAND | (iHost.IsListening() ? MF_CHECKED : MF_UNCHECKED));
}

LRESULT CKvView::HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (aMessage) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      // Destroying a view window ends the program's message loop.
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      SHHandleWMActivate(aWindow, aWParam, aLParam, &iActivateInfo, 0);
      SHHandleWMSettingChange(aWindow, aWParam, aLParam, &iActivateInfo);
      return 0;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(aWindow, aWParam, aLParam, &iActivateInfo);
      return 0;
    case WM_CLOSE:
      LogMessage(KLogFilePath, u"CKvView::HandleEventDefault - Received Close Message");
      return 0;
    case WM_INITMENUPOPUP: {
      int item = LOWORD(aLParam);
      if (item == KKvCmdPhoneMenu) UpdatePhoneMenu(reinterpret_cast<HMENU>(aWParam));
      if (item != KKvCmdEntryMenu && item != 0) return 0;
      HMENU popUp = reinterpret_cast<HMENU>(aWParam);
      EnableEntryMenu(popUp);
      UpdateMenuL(popUp);
      return 0;
    }
    default:
      return KEpocNotHandled;
  }
}
