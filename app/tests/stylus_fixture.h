// The program used with the stylus through its menus: the menu bar's
// buttons, the rows of their drop-downs, the progress dialog of an action,
// and the compose dialog; built on the contacts tests' helpers.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "app/views/kv_messages_view.h"
#include "app/views/resources/resource_ids.h"
#include "app/tests/contacts_fixture.h"
#include "store/messages.h"

// The menu bar's buttons, left to right at the bottom of the screen.
inline constexpr int KViewMenuX = 20;
inline constexpr int KPhoneMenuX = 65;
inline constexpr int KEntryMenuX = 111;
inline constexpr int KNewButtonX = 145;
inline constexpr int KDeleteButtonX = 170;
inline constexpr int KChangeViewButtonX = 194;
inline constexpr int KMenuBarY = 307;

class StylusTest : public ContactsTest {
 protected:
  static CKvMessagesView* Messages(int aType) { return static_cast<CKvMessagesView*>(gKvAppUi->GetView(aType)); }
  static int MessageRows(int aType) {
    return static_cast<int>(SendMessageW(Messages(aType)->ListBox()->ChildWindow(), LB_GETCOUNT, 0, 0));
  }
  // A cell of the folder's list view (split mode).
  static std::u16string ListViewText(int aType, int aRow, int aColumn) {
    WCHAR text[64] = {0};
    LVITEMW item{};
    item.iSubItem = aColumn;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(Messages(aType)->ListView()->ChildWindow(), LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  static bool IsOpenMenu() {
    HWND menu = kvui::FindByClass(u"KvPopupMenu");
    return menu != nullptr && kvui::StateOf(menu).visible;
  }

  // Opens a drop-down of the menu bar and taps one of its rows.
  bool Choose(int aMenuX, const std::u16string& aItem) {
    kvui::Tap(aMenuX, KMenuBarY);
    if (!WaitFor(IsOpenMenu)) return false;
    kvui::WaitIdle();
    return kvui::TapMenuItem(aItem) && kvui::WaitIdle();
  }
  bool ToView(const std::u16string& aFolder, int aType) {
    return Choose(KViewMenuX, aFolder) &&
           WaitFor([&] { return gKvAppUi->CurrentView() == gKvAppUi->GetView(aType); }) && kvui::WaitIdle();
  }
  // The compose dialog once it is up.
  static HWND WaitForCompose() {
    HWND dialog = nullptr;
    WaitFor([&] {
      HWND send = kvui::FindByText(u"Send");
      dialog = send != nullptr ? GetParent(send) : nullptr;
      return dialog != nullptr && kvui::StateOf(dialog).visible;
    });
    kvui::WaitIdle();
    return dialog;
  }
  static void SelectRow(int aType, int aRow) {
    CEpocListBox* list = Messages(aType)->ListBox();
    POINT point = RowPoint(list, aRow);
    kvui::Tap(point.x, point.y);
  }
  // Settings and About from the Phone menu: each opens and closes again.
  void SettingsAndAbout(const char* aView) {
    SCOPED_TRACE(aView);
    ASSERT_TRUE(Choose(KPhoneMenuX, u"Settings"));
    HWND field = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (field = kvui::FindById(kvui::FindByText(u"Settings"), KKvIdSmscField)) != nullptr; }));
    HWND settings = GetParent(field);
    kvui::TapWindow(kvui::FindByText(u"Cancel", settings));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(settings); }));
    ASSERT_TRUE(Choose(KPhoneMenuX, u"About"));
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (about = kvui::FindByText(u"About")) != nullptr; }));
    kvui::WaitIdle();
    TapDone();
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
  }
  // Questions come up as real boxes on the screen, to be answered with the
  // stylus (unattended runs answer every box with OK, which asks nothing).
  static void RealBoxes() { unsetenv("KORVANET_MESSAGEBOX"); }
  static HWND WaitForBox() {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = kvui::FindByClass(u"KvMessageBox")) != nullptr && kvui::StateOf(box).visible; }))
      return nullptr;
    kvui::WaitIdle();
    return box;
  }
  // Taps Yes or No on the question box once it is up; the box's "caption:
  // text", or "<no box>" when none came.
  static std::u16string Answer(bool aYes) {
    HWND box = WaitForBox();
    if (box == nullptr) return u"<no box>";
    std::vector<kvplatform::MessageBoxRecord> boxes = kvplatform::MessageBoxHistory();
    std::u16string shown = boxes.empty() ? u"<no record>" : boxes.back().caption + u": " + boxes.back().text;
    // Yes and No, 52 pixels wide and 6 apart, centred at the box's bottom.
    RECT client{};
    GetClientRect(box, &client);
    POINT button{client.right / 2 + (aYes ? -29 : 29), client.bottom - 8 - 11};
    ClientToScreen(box, &button);
    kvui::Tap(button.x, button.y);
    if (!WaitFor([&] { return !IsWindow(box); })) return u"<box stayed>";
    kvui::WaitIdle();
    return shown;
  }
  int CountFolder(DWORD aFolder) {
    int count = 0;
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      if (static_cast<CKveMessagesItem*>(item)->Folder() == aFolder) ++count;
      delete item;
    }
    delete store;
    return count;
  }
};
