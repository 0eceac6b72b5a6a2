// The entry menu and the selection in a message folder: a double tap reading
// a row, tap-and-hold on a row, greying for several selected rows.
#include <filesystem>

#include <kvplatform.h>
#include <kvresources.h>

#include "app/document/app_globals.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_view_table.h"
#include "app/views/kv_messages_view.h"
#include "app/views/resources/resource_ids.h"
#include "app/tests/program_fixture.h"
#include "kernel/log.h"
#include "kernel/registry.h"
#include "store/messages.h"

namespace kvui = kvplatform::uitest;

namespace {

class SelectionTest : public ProgramTest {
 protected:
  // Three Inbox messages in the store before the program starts.
  SelectionTest() {
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    const char16_t* numbers[] = {u"+441111", u"+442222", u"+443333"};
    for (const char16_t* number : numbers) {
      CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
      TConstPtr16 text(u"Hello there"), to(number);
      message->SetDetailsL(nullptr, &text, &to, EKvFolderInbox);
      store->WriteItemL(*message);
      delete message;
    }
    delete store;
    CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"DebugLog", 1);
  }
  CKvMessagesView* Inbox() { return static_cast<CKvMessagesView*>(gKvAppUi->GetView(EKvViewInbox)); }
  HWND List() { return Inbox()->ListBox()->ChildWindow(); }
  int Rows() { return static_cast<int>(SendMessageW(List(), LB_GETCOUNT, 0, 0)); }
  // Whether each item of the Inbox's entry menu is greyed after the view
  // prepared it for the entry button.
  std::vector<bool> EntryMenuGreyed() {
    HMENU menu = LoadMenuW(kvresources::ProgramInstance(), MAKEINTRESOURCEW(114));
    HMENU entry = GetSubMenu(menu, 2);
    SendMessageW(Inbox()->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(entry), MAKELPARAM(KKvCmdEntryMenu, 0));
    std::vector<bool> greyed;
    for (int i = 0; i < GetMenuItemCount(entry); ++i)
      greyed.push_back((GetMenuState(entry, i, MF_BYPOSITION) & MF_GRAYED) != 0);
    DestroyMenu(menu);
    return greyed;
  }
};

TEST_F(SelectionTest, ADoubleTapReadsARowTapAndHoldOpensTheEntryMenuAndSeveralRowsGreyAllButDelete) {
  ASSERT_TRUE(StartProgram());
  ASSERT_EQ(Rows(), 3);
  RECT list = kvui::StateOf(List()).screenRect;
  kvui::DoubleTap(list.left + 60, list.top + 8);
  HWND text = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (text = kvui::FindByText(u"Hello there")) != nullptr; }));
  HWND compose = GetParent(text);
  EXPECT_NE(kvui::FindById(compose, KKvIdComposeSend), nullptr);  // the compose dialog's Send button
  PostMessageW(compose, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(compose); }));

  kvui::Hold(list.left + 60, list.top + 8);
  Screenshot("entry_menu_on_hold");
  kvui::PressKey(VK_ESCAPE);  // dismissed: command 0
  EXPECT_TRUE(WaitFor([&] { return CountLog("CKvMessagesView::HandlePopUpMenuCommand - unknown menu item") == 1; }));
  EXPECT_EQ(Rows(), 3);

  // One row: Delete and Read enabled, Forward and Reply stay greyed; after
  // the separator, Find….
  SendMessageW(List(), LB_SETSEL, TRUE, 0);
  EXPECT_EQ(EntryMenuGreyed(), (std::vector<bool>{false, false, true, true, false, false}));
  // Two rows: everything but Delete and Find greyed.
  SendMessageW(List(), LB_SETSEL, TRUE, 1);
  EXPECT_EQ(EntryMenuGreyed(), (std::vector<bool>{false, true, true, true, false, false}));
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
