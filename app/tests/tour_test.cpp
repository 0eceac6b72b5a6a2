// The whole program as a new user meets it, against the demo phone: from
// an empty data folder, set the service centre, download the contacts (and
// export them to a file), download the messages, read one, reply to its
// sender, send, find the reply in Sent; then quit, start again and find
// everything where it was; a message in the world's scripts; and a search.
// The screenshots it takes are the README's tour; with KV_TOUR_DIR set
// they are also written there (scripts/tour does that).
#include <dlgs.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/views/resources/resource_ids.h"
#include "app/tests/stylus_fixture.h"
#include "app/views/kv_conversations_view.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_notice_bubble.h"

namespace {

class TourTest : public StylusTest {
 protected:
  TourTest() {
    iPhone.EnableControl();
    // A new user: no settings at all.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Veltramonic\\Korvanet", 0, 0, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, u"SMSC");
      RegDeleteValueW(key, u"DebugLog");
      RegCloseKey(key);
    }
  }
  void TourShot(const std::string& aName) {
    Screenshot("tour_" + aName);
    if (const char* folder = std::getenv("KV_TOUR_DIR"); folder != nullptr && *folder != 0) {
      std::filesystem::create_directories(folder);
      kvui::SaveScreenshot(std::string(folder) + "/" + aName + ".png");
    }
  }
  // Starts an action from the Phone menu; its final text. aShot names a
  // screenshot of the finished progress dialog.
  std::u16string RunFromPhoneMenu(const std::u16string& aItem, LPCWSTR aTitle, const char* aShot = nullptr) {
    if (!Choose(KPhoneMenuX, aItem)) return u"<no menu row>";
    return FinishProgress(aTitle, [&] {
      if (aShot != nullptr) TourShot(aShot);
    });
  }
  static HWND Title() { return kvui::FindById(gKvMainFrameWindow, KKvIdTitleButton); }
  static int ContactRows() {
    auto* all = static_cast<CEpocListBox*>(Contacts()->GetCurrentListBox());
    return all != nullptr ? static_cast<int>(Rows(all).size()) : -1;
  }
};

TEST_F(TourTest, ANewUserSetsUpDownloadsRepliesAndFindsEverythingAfterARestart) {
  ASSERT_TRUE(iPhone.Start(ShippedProfile("demo"), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(MessageRows(EKvViewInbox), 0);
  kvui::TakeBoxesDrawn();

  // Settings: the service centre, typed.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Settings"));
  HWND field = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (field = kvui::FindById(kvui::FindByText(u"Settings"), KKvIdSmscField)) != nullptr; }));
  HWND settings = GetParent(field);
  kvui::TapWindow(field);
  kvui::TypeText(u"+447785016005");
  ASSERT_TRUE(WaitForPortSurvey(settings));
  TourShot("settings");
  kvui::TapWindow(kvui::FindByText(u"OK", settings));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(settings); }));

  // Contacts: downloaded, then each tab, then the editor on one of them.
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));
  EXPECT_EQ(RunFromPhoneMenu(u"Download contacts", u"Download contacts ..."), u"Read all contacts.");
  int contacts = ContactRows();
  EXPECT_EQ(contacts, 22);
  TourShot("contacts_all");
  // The demo's names in Greek, Cyrillic, Chinese and with an emoji show in full.
  EXPECT_EQ(kvui::TakeBoxesDrawn(), std::u32string());
  TapTab(2);
  ASSERT_TRUE(WaitFor([] { return CurrentTab() == 2; }));
  TourShot("contacts_sim");
  TapTab(0);
  ASSERT_TRUE(WaitFor([] { return CurrentTab() == 0; }));
  auto* all = static_cast<CEpocListBox*>(Contacts()->GetCurrentListBox());
  POINT first = RowPoint(all, 0);
  kvui::DoubleTap(first.x, first.y);
  HWND editor = WaitForEditor();
  ASSERT_NE(editor, nullptr);
  TourShot("contact_editor");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));

  // The contacts out to a file and the file chooser that brings them in again.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Export contacts…"));
  HWND chooser = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (chooser = kvui::FindByText(u"Export contacts")) != nullptr; }));
  kvui::WaitIdle();
  kvui::PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(chooser); }));
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Import contacts…"));
  ASSERT_TRUE(WaitFor([&] { return (chooser = kvui::FindByText(u"Import contacts")) != nullptr; }));
  kvui::WaitIdle();
  HWND files = kvui::FindById(chooser, lst1);
  RECT row{};
  SendMessageW(files, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  POINT file{row.left + 30, (row.top + row.bottom) / 2};
  ClientToScreen(files, &file);
  kvui::Tap(file.x, file.y);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(kvui::FindById(chooser, edt1)) == u"contacts.vcf"; }));
  TourShot("import_contacts");
  kvui::PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(chooser); }));

  // Messages: downloaded into the Inbox; the folder tree; split mode.
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));
  EXPECT_EQ(RunFromPhoneMenu(u"Download messages", u"Download messages ...", "progress"), u"Transfer Complete.");
  int inbox = MessageRows(EKvViewInbox);
  EXPECT_GT(inbox, 5);
  TourShot("inbox_list");
  EXPECT_EQ(kvui::TakeBoxesDrawn(), std::u32string());
  kvui::TapWindow(Title());
  ASSERT_TRUE(WaitFor([] { return kvui::StateOf(gKvAppUi->Frame()->FolderTree()).visible; }));
  TourShot("folders");
  kvui::Tap(200, 250);
  ASSERT_TRUE(WaitFor([] { return !kvui::StateOf(gKvAppUi->Frame()->FolderTree()).visible; }));
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  HWND listView = Messages(EKvViewInbox)->ListView()->ChildWindow();
  ASSERT_TRUE(WaitFor([&] { return kvui::StateOf(listView).visible; }));
  RECT list = kvui::StateOf(listView).screenRect;
  kvui::Tap(list.left + 40, list.top + 30);
  HWND reader = Messages(EKvViewInbox)->Reader()->ChildWindow();
  EXPECT_TRUE(WaitFor([&] { return !kvui::TextOf(reader).empty(); }));
  TourShot("inbox_split");
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  ASSERT_TRUE(WaitFor([] { return kvui::StateOf(Messages(EKvViewInbox)->ListBox()->ChildWindow()).visible; }));

  // Read the first message and reply to its sender.
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  std::u16string sender = kvui::TextOf(kvui::FindById(compose, KKvIdComposeRecipient));
  ASSERT_FALSE(sender.empty());
  int sent = CountFolder(EKvFolderSent);  // the phone's own sent messages came too
  ClearAndType(compose, KKvIdComposeText, u"Thanks, see you there.");
  TourShot("compose");
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  EXPECT_EQ(MessageRows(EKvViewSent), sent + 1);
  TourShot("sent");
  const std::u16string inboxTitle = gKvAppUi->GetView(EKvViewInbox)->Title();
  EXPECT_EQ(StopProgram(), 0);

  // Started again: the same folders, unread messages, contacts and settings.
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(MessageRows(EKvViewInbox), inbox);
  EXPECT_EQ(std::u16string(gKvAppUi->GetView(EKvViewInbox)->Title()), inboxTitle);
  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  EXPECT_EQ(MessageRows(EKvViewSent), sent + 1);
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));
  EXPECT_EQ(ContactRows(), contacts);
  LPWSTR smsc = CEpocRegistry::GetRegistryString(u"Software\\Veltramonic\\Korvanet", u"SMSC");
  ASSERT_NE(smsc, nullptr);
  EXPECT_EQ(std::u16string(smsc), u"+447785016005");
  std::free(smsc);

  // Listening: a message the phone receives shows in the Inbox by itself.
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Listen for messages"));
  // Delivered at once: the phone keeps it until the listener has connected and reads it.
  ASSERT_TRUE(WaitFor([] { return gKvAppUi->IsListening(); }));
  ASSERT_TRUE(iPhone.Control("deliver +447700900123 The train is late, see you at half past eight."));
  ASSERT_TRUE(WaitFor([&] { return MessageRows(EKvViewInbox) == inbox + 1; })) << iPhone.Errors();
  // One more unread than the download left.
  const int unreadBefore = inboxTitle == u"Inbox" ? 0 : std::stoi(kvplatform::ToUtf8(inboxTitle.substr(7)));
  const std::u16string unreadNow = kvplatform::FromUtf8("Inbox (" + std::to_string(unreadBefore + 1) + ")");
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(Title()) == unreadNow; })) << kvplatform::ToUtf8(kvui::TextOf(Title()));
  ASSERT_TRUE(WaitFor([] { return gKvAppUi->Notice()->IsShown(); }));
  TourShot("listening");

  // A message as people write it the world over: Arabic and Hebrew right to
  // left, Hindi and Thai shaped, a flag, a toned thumb and a family in
  // colour, in a list row and the reader of the split view.
  const std::u16string world =
      u"\u0645\u0631\u062D\u0628\u0627 \u05E9\u05DC\u05D5\u05DD \u0928\u092E\u0938\u094D\u0924\u0947 "
      u"\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35 \U0001F1EB\U0001F1F7 \U0001F44D\U0001F3FD "
      u"\U0001F468\u200D\U0001F469\u200D\U0001F467";
  kvui::TakeBoxesDrawn();
  kvui::TakeTextDrawn();
  ASSERT_TRUE(iPhone.Control("deliver +447700900124 " + kvplatform::ToUtf8(world)));
  ASSERT_TRUE(WaitFor([&] { return MessageRows(EKvViewInbox) == inbox + 2; })) << iPhone.Errors();
  // The notice of its arrival goes away at a tap, showing the reader.
  if (gKvAppUi->Notice()->IsShown()) kvui::TapWindow(gKvAppUi->Notice()->Window());
  ASSERT_TRUE(WaitFor([] { return !gKvAppUi->Notice()->IsShown(); }));
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  HWND worldList = Messages(EKvViewInbox)->ListView()->ChildWindow();
  ASSERT_TRUE(WaitFor([&] { return kvui::StateOf(worldList).visible; }));
  HWND worldReader = Messages(EKvViewInbox)->Reader()->ChildWindow();
  RECT rows = kvui::StateOf(worldList).screenRect;
  for (int y = rows.top + 18; y < rows.bottom && kvui::TextOf(worldReader).find(world) == std::u16string::npos;
       y += 6)
    kvui::Tap(rows.left + 40, y);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(worldReader).find(world) != std::u16string::npos; }));
  TourShot("world_scripts");
  EXPECT_EQ(kvui::TakeBoxesDrawn(), std::u32string());
  // Shaped as each font shapes it, emoji pictures included.
  kvui::TextDrawn drawn = kvui::TakeTextDrawn();
  EXPECT_EQ(drawn.faults, std::vector<std::string>());
  EXPECT_GE(drawn.pictures, 3);
  for (const char* font : {"Lohit-Devanagari.ttf", "Garuda.ttf", "NotoColorEmoji.ttf"})
    EXPECT_NE(std::find(drawn.fonts.begin(), drawn.fonts.end(), font), drawn.fonts.end()) << font;
  // Its row in the list mode: shaped alike, the emoji in colour.
  kvui::Tap(KChangeViewButtonX, KMenuBarY);
  HWND rowList = Messages(EKvViewInbox)->ListBox()->ChildWindow();
  ASSERT_TRUE(WaitFor([&] { return kvui::StateOf(rowList).visible; }));
  ASSERT_TRUE(kvui::WaitIdle());
  drawn = kvui::TakeTextDrawn();
  EXPECT_EQ(drawn.faults, std::vector<std::string>());
  EXPECT_GE(drawn.pictures, 1);
  EXPECT_EQ(kvui::TakeBoxesDrawn(), std::u32string());

  // Entry ▸ Find…: every folder searched as the user types; the last
  // message's notice put away first, which may have come up late.
  if (gKvAppUi->Notice()->IsShown()) kvui::TapWindow(gKvAppUi->Notice()->Window());
  ASSERT_TRUE(WaitFor([] { return !gKvAppUi->Notice()->IsShown(); }));
  ASSERT_TRUE(Choose(KEntryMenuX, u"Find…"));
  HWND find = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    return (find = kvui::FindByText(u"Find")) != nullptr && kvui::FindById(find, KKvIdFindResults) != nullptr;
  }));
  kvui::WaitIdle();
  TypeInto(find, KKvIdFindQuery, u"friday");
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(kvui::FindById(find, KKvIdFindStatus)) == u"2 messages found."; }));
  kvui::WaitIdle();
  TourShot("search");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(find); }));
  // Conversations: every party once, the latest first; the one replied to
  // opened, its messages as bubbles over a reply being written.
  ASSERT_TRUE(ToView(u"Conversations", EKvViewConversations));
  if (gKvAppUi->Notice()->IsShown()) kvui::TapWindow(gKvAppUi->Notice()->Window());
  ASSERT_TRUE(WaitFor([] { return !gKvAppUi->Notice()->IsShown(); }));
  auto* conversations = static_cast<CKvConversationsView*>(gKvAppUi->GetView(EKvViewConversations));
  HWND parties = conversations->ListView()->ChildWindow();
  const int count = static_cast<int>(SendMessageW(parties, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_GT(count, 5);
  TourShot("conversations");
  int replied = -1;
  for (int row = 0; row < count && replied < 0; ++row) {
    WCHAR title[128] = {0};
    LVITEMW item{};
    item.pszText = title;
    item.cchTextMax = 128;
    SendMessageW(parties, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    if (std::u16string(title).rfind(sender, 0) == 0) replied = row;
  }
  ASSERT_GE(replied, 0) << kvplatform::ToUtf8(sender);
  LVITEMW mark{};
  mark.stateMask = mark.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(parties, LVM_SETITEMSTATE, replied, reinterpret_cast<LPARAM>(&mark));
  SendMessageW(parties, LVM_SETSELECTIONMARK, 0, replied);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Open"));
  ASSERT_TRUE(WaitFor([&] { return conversations->IsConversationOpen(); }));
  kvui::TapWindow(conversations->ReplyBox());
  kvui::TypeText(u"Shall I bring anything?");
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(conversations->ReplyCount()) == u"23 / 1"; }));
  TourShot("conversation");
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], kvplatform::ToUtf8(sender));
}

}  // namespace
