// Every command of every menu and menu-bar button of the four views, chosen
// with the stylus as a user would (menu bar, then the row of its drop-down),
// against phonesim; each is checked by what it leaves on the screen, in the
// stores or on the phone.
#include "app/kv_messages_view.h"
#include "app/tests/contacts_fixture.h"
#include "store/messages.h"

namespace {

// The menu bar's buttons, left to right at the bottom of the screen.
const int KViewMenuX = 20;
const int KPhoneMenuX = 65;
const int KEntryMenuX = 111;
const int KNewButtonX = 145;
const int KDeleteButtonX = 170;
const int KChangeViewButtonX = 194;
const int KMenuBarY = 307;

class MenuCommandsTest : public ContactsTest {
 protected:
  static CKvMessagesView* Messages(int aType) { return static_cast<CKvMessagesView*>(gKvAppUi->GetView(aType)); }
  static int MessageRows(int aType) {
    return static_cast<int>(SendMessageW(Messages(aType)->ListBox()->ChildWindow(), LB_GETCOUNT, 0, 0));
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
  // The progress dialog of an action: its final text, once OK was tapped.
  std::u16string FinishProgress(LPCWSTR aTitle) {
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = kvui::FindByText(aTitle)) != nullptr; })) return u"<no progress dialog>";
    HWND button = kvui::FindById(dialog, 2);
    if (!WaitFor([&] { return kvui::TextOf(button) == u"OK"; }, 60000)) return u"<not finished>";
    std::u16string text = kvui::TextOf(kvui::FindById(dialog, 1023));
    kvui::TapWindow(button);
    WaitFor([&] { return !IsWindow(dialog); });
    kvui::WaitIdle();
    return text;
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
    ASSERT_TRUE(WaitFor([&] { return (field = kvui::FindById(kvui::FindByText(u"Dialog"), 1025)) != nullptr; }));
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

TEST_F(MenuCommandsTest, EveryMessagesMenuCommandWorksWithTheStylus) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot + "/dev/COM3", iRoot)) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());

  // Inbox: Phone menu.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  EXPECT_EQ(FinishProgress(u"Download messages ..."), u"Transfer Complete.");
  EXPECT_EQ(MessageRows(EKvViewInbox), 2);
  SettingsAndAbout("Inbox");

  // Inbox: Entry menu. Read opens the message; with a line added, done
  // keeps the reply in the Outbox.
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  TypeInto(compose, 1007, u" Fine.");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  // Forward and Reply are greyed: tapping them chooses nothing.
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Forward"));
  EXPECT_EQ(WaitForCompose(), nullptr);
  if (IsOpenMenu()) kvui::PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([] { return !IsOpenMenu(); }));
  // The change-view button: split mode and back.
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  EXPECT_TRUE(WaitFor([] { return kvui::StateOf(Messages(EKvViewInbox)->ListView()->ChildWindow()).visible; }));
  Screenshot("menu_walk_inbox_split");
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  EXPECT_TRUE(WaitFor([] { return kvui::StateOf(Messages(EKvViewInbox)->ListBox()->ChildWindow()).visible; }));
  // Delete from the Entry menu, then the delete button: one row each.
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Delete"));
  EXPECT_TRUE(WaitFor([] { return MessageRows(EKvViewInbox) == 1; }));
  SelectRow(EKvViewInbox, 0);
  kvui::Tap(KDeleteButtonX, KMenuBarY);
  EXPECT_TRUE(WaitFor([] { return MessageRows(EKvViewInbox) == 0; }));

  // Outbox: the reply is there; Edit rewrites it, Send hands it to the phone.
  ASSERT_TRUE(ToView(u"Outbox", EKvViewOutbox));
  ASSERT_EQ(MessageRows(EKvViewOutbox), 1);
  SelectRow(EKvViewOutbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  TypeInto(compose, 1007, u" See you.");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  SelectRow(EKvViewOutbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Send"));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Send all messages"));
  EXPECT_EQ(FinishProgress(u"Send all messages ..."), u"Not Supported .. yet");
  SettingsAndAbout("Outbox");
  // The new-message button: written and sent from the compose dialog, it ends in Sent.
  kvui::Tap(KNewButtonX, KMenuBarY);
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  RECT to{};
  GetWindowRect(kvui::FindById(compose, 1022), &to);
  kvui::Tap(to.left + 20, to.top + 6);  // the recipient's text field
  kvui::TypeText(u"+447700900123");
  TypeInto(compose, 1007, u"Menu walk");
  kvui::TapWindow(kvui::FindById(compose, 1011));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderSent), 1);

  // Sent: Edit, Send and Delete work on its row.
  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  ASSERT_EQ(MessageRows(EKvViewSent), 1);
  SelectRow(EKvViewSent, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, 1007)), u"Menu walk");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  SelectRow(EKvViewSent, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Send"));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  SettingsAndAbout("Sent");
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all messages"));
  EXPECT_EQ(FinishProgress(u"Delete all messages..."), u"Deleted all messages.");
  SelectRow(EKvViewSent, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Delete"));
  EXPECT_TRUE(WaitFor([] { return MessageRows(EKvViewSent) == 0; }));

  // The View menu reaches every folder and the contacts.
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  EXPECT_EQ(state["sms"]["sent"].size(), 3u) << state["sms"]["sent"].dump();
  EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());
}

TEST_F(MenuCommandsTest, EveryContactsMenuCommandWorksWithTheStylus) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot + "/dev/COM3", iRoot)) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download contacts"));
  EXPECT_EQ(FinishProgress(u"Download contacts ..."), u"Read all contacts.");
  auto* all = static_cast<CEpocListBox*>(Contacts()->GetCurrentListBox());
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(Rows(all).size(), 4u);
  SettingsAndAbout("Contacts");

  // Edit from the Entry menu: the editor on the selected contact.
  int bob = IndexOf(all, u"Bob");
  ASSERT_GE(bob, 0);
  POINT row = RowPoint(all, bob);
  kvui::Tap(row.x, row.y);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  HWND editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, 1016)), u"Bob");
  ClearAndType(editor, 1016, u"Robert");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Robert") >= 0; }));

  // Send SMS: the compose dialog addressed to the contact.
  row = RowPoint(all, IndexOf(all, u"Robert"));
  kvui::Tap(row.x, row.y);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Send SMS"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, 1007)), u"");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));

  // Delete from the Entry menu and with the delete button.
  row = RowPoint(all, IndexOf(all, u"Carol"));
  kvui::Tap(row.x, row.y);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Delete"));
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Carol") < 0; }));
  row = RowPoint(all, IndexOf(all, u"Eve"));
  kvui::Tap(row.x, row.y);
  kvui::Tap(KDeleteButtonX, KMenuBarY);
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Eve") < 0; }));

  // The new-contact button: the editor for a new contact, on the SIM.
  kvui::Tap(KNewButtonX, KMenuBarY);
  editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  TypeInto(editor, 1016, u"Dave");
  TypeInto(editor, 1017, u"+447700900777");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Dave") >= 0; }));

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Upload changes"));
  EXPECT_EQ(FinishProgress(u"Upload changes ..."), u"Upload complete.");
  std::vector<std::u16string> kept;
  for (const TStored& contact : Stored()) {
    EXPECT_EQ(contact.iFlags & (EKvContactDeleted | EKvContactEdited), 0u);
    kept.push_back(contact.iName);
  }
  EXPECT_EQ(kept, (std::vector<std::u16string>{u"Alice", u"Dave", u"Robert"}));

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all contacts"));
  EXPECT_EQ(FinishProgress(u"Delete all contacts..."), u"Upload complete.");
  EXPECT_EQ(StopProgram(), 0);
  nlohmann::json state = iPhone.StopAndReadState();
  EXPECT_TRUE(state["phonebooks"]["SM"]["entries"].empty()) << state["phonebooks"].dump();
  EXPECT_TRUE(state["phonebooks"]["ME"]["entries"].empty()) << state["phonebooks"].dump();
}

}  // namespace
