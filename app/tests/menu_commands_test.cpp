// Every command of every menu and menu-bar button of the four views, chosen
// with the stylus as a user would (menu bar, then the row of its drop-down),
// against phonesim; each is checked by what it leaves on the screen, in the
// stores or on the phone.
#include <algorithm>

#include "app/views/resources/resource_ids.h"
#include "app/tests/stylus_fixture.h"

namespace {

using MenuCommandsTest = StylusTest;

TEST_F(MenuCommandsTest, EveryMessagesMenuCommandWorksWithTheStylus) {
  RealBoxes();  // the delete-all question is answered with the stylus
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());

  // Inbox: Phone menu.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  EXPECT_EQ(FinishProgress(u"Download messages ...", [&] { Screenshot("download_complete"); }), u"Transfer Complete.");
  EXPECT_EQ(MessageRows(EKvViewInbox), 2);
  // The progress dialog showed each notice's text in turn (the log says so).
  std::vector<std::string> shown;
  for (const std::string& line : LogLines())
    if (line.rfind("Return message = ", 0) == 0) shown.push_back(line.substr(17));
  auto at = [&](const std::string& text) { return std::find(shown.begin(), shown.end(), text) - shown.begin(); };
  ASSERT_LT(at("Discovered Phone"), static_cast<long>(shown.size()));
  EXPECT_LT(at("Discovered Phone"), at("Found Sms 1"));
  EXPECT_LT(at("Found Sms 1"), at("Found Sms 2"));
  SettingsAndAbout("Inbox");

  // Inbox: Entry menu. Read opens the message; with a line added, done
  // keeps the reply in the Outbox.
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  TypeInto(compose, KKvIdComposeText, u" Fine.");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  // The change-view button: split mode, stored at once, and back.
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  EXPECT_TRUE(WaitFor([] { return kvui::StateOf(Messages(EKvViewInbox)->ListView()->ChildWindow()).visible; }));
  EXPECT_TRUE(kvui::StateOf(Messages(EKvViewInbox)->Reader()->ChildWindow()).visible);
  kvplatform::ReloadRegistry();
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView"), 1);
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
  TypeInto(compose, KKvIdComposeText, u" See you.");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  SelectRow(EKvViewOutbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Send"));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  // Gone: it is in Sent now.
  EXPECT_TRUE(WaitFor([] { return MessageRows(EKvViewOutbox) == 0; }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 0);
  EXPECT_EQ(CountFolder(EKvFolderSent), 1);
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Send all messages"));
  EXPECT_EQ(FinishProgress(u"Send all messages ..."), u"Not Supported .. yet");
  SettingsAndAbout("Outbox");
  // The new-message button: written and sent from the compose dialog, it ends in Sent.
  kvui::Tap(KNewButtonX, KMenuBarY);
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  RECT to{};
  GetWindowRect(kvui::FindById(compose, KKvIdComposeRecipient), &to);
  kvui::Tap(to.left + 20, to.top + 6);  // the recipient's text field
  kvui::TypeText(u"+447700900123");
  TypeInto(compose, KKvIdComposeText, u"Menu walk");
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderSent), 2);

  // Sent: Edit, Send and Delete work on its row.
  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  ASSERT_EQ(MessageRows(EKvViewSent), 2);
  std::vector<std::u16string> sentRows = Rows(Messages(EKvViewSent)->ListBox());
  const int walked = static_cast<int>(
      std::find_if(sentRows.begin(), sentRows.end(),
                   [](const std::u16string& aRow) { return aRow.find(u"Menu walk") != std::u16string::npos; }) -
      sentRows.begin());
  ASSERT_LT(walked, 2);
  SelectRow(EKvViewSent, walked);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, KKvIdComposeText)), u"Menu walk");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  SelectRow(EKvViewSent, walked);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Send"));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  // Sent again as a message of its own: the first send keeps its record.
  EXPECT_TRUE(WaitFor([] { return MessageRows(EKvViewSent) == 3; }));
  EXPECT_EQ(CountFolder(EKvFolderSent), 3);
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 0);
  SettingsAndAbout("Sent");
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all messages"));
  EXPECT_NE(Answer(true), u"<no box>");
  EXPECT_EQ(FinishProgress(u"Delete all messages..."), u"Deleted all messages.");
  SelectRow(EKvViewSent, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Delete"));
  EXPECT_TRUE(WaitFor([] { return MessageRows(EKvViewSent) == 2; }));

  // The View menu reaches every folder and the contacts.
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  EXPECT_EQ(state["sms"]["sent"].size(), 3u) << state["sms"]["sent"].dump();
  EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());
}

TEST_F(MenuCommandsTest, EveryContactsMenuCommandWorksWithTheStylus) {
  RealBoxes();
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
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
  EXPECT_EQ(kvui::TextOf(kvui::FindById(editor, KKvIdContactName)), u"Bob");
  ClearAndType(editor, KKvIdContactName, u"Robert");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Robert") >= 0; }));

  // Send SMS: the compose dialog addressed to the contact; the message is
  // kept in Sent under the contact's name and number.
  row = RowPoint(all, IndexOf(all, u"Robert"));
  kvui::Tap(row.x, row.y);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Send SMS"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(kvui::FindById(compose, KKvIdComposeRecipient)) == u"Robert"; }));
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, KKvIdComposeText)), u"");
  Screenshot("contacts_send_sms");
  TypeInto(compose, KKvIdComposeText, u"See you at eight");
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  CKveMessagesDatabase* messages = CKveMessagesDatabase::NewL(nullptr, 0);
  auto* sent = static_cast<CKveMessagesItem*>(messages->ReadFirstItemL());
  ASSERT_NE(sent, nullptr);
  EXPECT_EQ(sent->Folder(), DWORD{EKvFolderSent});
  EXPECT_TRUE(sent->Name() == TConstPtr16(u"Robert") && sent->Number() == TConstPtr16(u"01632960123"));
  delete sent;
  delete messages;

  // Delete from the Entry menu and with the delete button.
  row = RowPoint(all, IndexOf(all, u"Carol"));
  kvui::Tap(row.x, row.y);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Delete"));
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Carol") < 0; }));
  row = RowPoint(all, IndexOf(all, u"Eve"));
  kvui::Tap(row.x, row.y);
  kvui::Tap(KDeleteButtonX, KMenuBarY);
  EXPECT_TRUE(WaitFor([&] { return IndexOf(all, u"Eve") < 0; }));
  EXPECT_TRUE(Names(Contacts()->PhoneList()).empty()) << "gone from every tab";

  // The new-contact button: the editor for a new contact, on the SIM.
  kvui::Tap(KNewButtonX, KMenuBarY);
  editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  TypeInto(editor, KKvIdContactName, u"Dave");
  TypeInto(editor, KKvIdContactNumber, u"+447700900777");
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
  EXPECT_NE(Answer(true), u"<no box>");
  EXPECT_EQ(FinishProgress(u"Delete all contacts..."), u"Upload complete.");
  EXPECT_EQ(StopProgram(), 0);
  nlohmann::json state = iPhone.StopAndReadState();
  EXPECT_TRUE(state["phonebooks"]["SM"]["entries"].empty()) << state["phonebooks"].dump();
  EXPECT_TRUE(state["phonebooks"]["ME"]["entries"].empty()) << state["phonebooks"].dump();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "01632960123");
}

}  // namespace
