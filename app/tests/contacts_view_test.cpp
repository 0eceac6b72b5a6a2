// The contacts view: its three tabs filled from a phone book download, the
// entry menu and the double tap on the tab in front, the contact editor for
// new and existing contacts.
#include <algorithm>

#include "app/tests/contacts_fixture.h"

namespace {

using Texts = std::vector<std::u16string>;

TEST_F(ContactsTest, TheTabsShowTheirPhoneBooksAndTheEntryMenuAndADoubleTapWorkOnTheTabInFront) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenContacts());
  EXPECT_TRUE(Names(Contacts()->AllList()).empty());

  EXPECT_EQ(RunAction(KKvCmdDownloadContacts, u"Download contacts ..."), u"Read all contacts.");
  // Alice, Bob and Carol are on the SIM, Eve in the phone's memory.
  EXPECT_EQ(Rows(Contacts()->AllList()),
            (Texts{u"Alice\t+441234567890\t", u"Bob\t01632960123\t", u"Carol\t+447700900456\t", u"Eve\t5551234\t"}));
  EXPECT_EQ(Names(Contacts()->SimList()), (Texts{u"Alice", u"Bob", u"Carol"}));
  EXPECT_EQ(Names(Contacts()->PhoneList()), (Texts{u"Eve"}));
  // One store notice, and so one insertion, per contact.
  EXPECT_EQ(CountLog("CKvContactsView::UpdateViewL"), 4);
  EXPECT_EQ(CountLog("CKvContactsView::InsertL"), 4);

  // "All" is in front; the other lists are hidden.
  EXPECT_EQ(CurrentTab(), 0);
  EXPECT_TRUE(Shown(Contacts()->AllList()));
  EXPECT_FALSE(Shown(Contacts()->PhoneList()));
  EXPECT_FALSE(Shown(Contacts()->SimList()));
  EXPECT_TRUE(kvui::StateOf(Contacts()->TabControl()).visible);
  Screenshot("contacts_all");

  int shown = CountLog("CKvContactsView::DoMakeVisible 1");
  TapTab(1);
  EXPECT_EQ(CurrentTab(), 1);
  EXPECT_EQ(CountLog("CKvContactsView::DoMakeVisible 1"), shown + 1);
  EXPECT_TRUE(Shown(Contacts()->PhoneList()));
  EXPECT_FALSE(Shown(Contacts()->AllList()));
  EXPECT_FALSE(Shown(Contacts()->SimList()));
  EXPECT_EQ(Contacts()->GetCurrentListBox(), Contacts()->PhoneList());
  Screenshot("contacts_phone");

  // Another view in front hides all of it; coming back shows the Phone tab's list again.
  Command(KKvCmdInbox);
  ASSERT_TRUE(WaitFor([] { return gKvAppUi->CurrentView() == gKvAppUi->GetView(EKvViewInbox); }));
  kvui::WaitIdle();
  EXPECT_FALSE(kvui::StateOf(Contacts()->TabControl()).visible);
  EXPECT_FALSE(Shown(Contacts()->PhoneList()));
  ASSERT_TRUE(OpenContacts());
  EXPECT_TRUE(Shown(Contacts()->PhoneList()));
  EXPECT_FALSE(Shown(Contacts()->AllList()));

  // On the Phone tab the first row is Eve (in "All" it would be Alice).
  ASSERT_TRUE(HoldRow(Contacts()->PhoneList(), 0));
  Screenshot("contacts_entry_menu");
  kvui::PressKey(VK_DOWN);  // Delete
  kvui::PressKey(VK_DOWN);  // Edit
  kvui::PressKey(VK_RETURN);
  HWND editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactName)), u"Eve");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactNumber)), u"5551234");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactStore)), u"Phone");
  EXPECT_EQ(kvui::TextOf(editor), u"Edit Contact");
  Screenshot("contact_editor_edit");
  // Done with nothing changed stores nothing.
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  kvui::WaitIdle();
  EXPECT_EQ(CountLog("CKveContactsDatabase::EditItemL - oldItem"), 0);
  EXPECT_EQ(Stored().size(), 4u);

  // A double tap on the Sim tab's second row edits Bob; the new name
  // replaces his rows in both of his tabs.
  TapTab(2);
  POINT bob = RowPoint(Contacts()->SimList(), 1);
  kvui::DoubleTap(bob.x, bob.y);
  editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactName)), u"Bob");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactStore)), u"Sim");
  ClearAndType(editor, KKvIdContactName, u"Robert");
  TypeInto(editor, KKvIdContactDetails, u"Met at the fair");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  kvui::WaitIdle();
  EXPECT_EQ(Names(Contacts()->SimList()), (Texts{u"Alice", u"Carol", u"Robert"}));
  EXPECT_EQ(Names(Contacts()->AllList()), (Texts{u"Alice", u"Carol", u"Eve", u"Robert"}));
  EXPECT_EQ(Names(Contacts()->PhoneList()), (Texts{u"Eve"}));
  // The store keeps the edit, marked for the next upload, at Bob's location.
  const std::vector<TStored> stored = Stored();
  const TStored* robert = StoredByName(stored, u"Robert");
  ASSERT_NE(robert, nullptr);
  EXPECT_EQ(robert->iFlags, DWORD{EKvContactOnSim | EKvContactEdited});
  EXPECT_EQ(robert->iLocation, 2);
  EXPECT_EQ(robert->iDetails, u"Met at the fair");
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(ContactsTest, ANewContactGoesOnTheSimAndNeedsANameOrANumber) {
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenContacts());
  // The menu bar's new-entry button, right of the three drop-downs.
  kvui::Tap(147, 307);
  HWND editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactStore)), u"Sim");
  EXPECT_EQ(SendMessageW(kvui::FindById(editor, KKvIdContactStore), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactName)), u"");
  EXPECT_EQ(kvui::TextOf(editor), u"New Contact");
  Screenshot("contact_editor_new");
  // When the input panel changes, the other details reach down to the dialog's bottom.
  HWND details = kvui::FindById(editor, KKvIdContactDetails);
  RECT before = kvui::StateOf(details).screenRect;
  SendMessageW(editor, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
  RECT after = kvui::StateOf(details).screenRect;
  RECT client{};
  GetClientRect(editor, &client);
  POINT bottom{0, client.bottom};
  ClientToScreen(editor, &bottom);
  EXPECT_EQ(after.bottom, bottom.y);
  EXPECT_GT(after.bottom, before.bottom);
  EXPECT_TRUE(after.top == before.top && after.left == before.left && after.right == before.right);

  // Neither name nor number: the editor ends (it has no cancel, and Escape
  // is no way out) and no empty contact is made.
  PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
  kvui::WaitIdle();
  EXPECT_TRUE(IsWindow(editor));
  TypeInto(editor, KKvIdContactDetails, u"Nothing to call");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  kvui::WaitIdle();
  EXPECT_TRUE(Stored().empty());
  EXPECT_TRUE(Rows(Contacts()->AllList()).empty());

  // A number without a name is saved as typed, on the SIM.
  kvui::Tap(147, 307);
  editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactDetails)), u"");
  TypeInto(editor, KKvIdContactDetails, u"Nothing to call");
  TypeInto(editor, KKvIdContactNumber, u"+447700900111");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  kvui::WaitIdle();
  std::vector<TStored> stored = Stored();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].iName, u"");
  EXPECT_EQ(stored[0].iNumber, u"+447700900111");
  EXPECT_EQ(stored[0].iDetails, u"Nothing to call");
  EXPECT_EQ(stored[0].iFlags, DWORD{EKvContactOnSim});
  EXPECT_EQ(stored[0].iLocation, -1);
  EXPECT_EQ(Rows(Contacts()->AllList()), (Texts{u"\t+447700900111\t"}));
  EXPECT_EQ(Rows(Contacts()->SimList()), (Texts{u"\t+447700900111\t"}));
  EXPECT_TRUE(Rows(Contacts()->PhoneList()).empty());
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
