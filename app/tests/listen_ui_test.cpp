// Listening for messages in the windowed program, against phonesim with its
// control pipe: the Phone menu's row and its setting, a message arriving in
// the Inbox with no action of the user, and the user's own action taking the
// port from the listener and handing it back.
#include <algorithm>

#include "app/document/kv_document.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_notice_bubble.h"
#include "app/views/resources/resource_ids.h"
#include "app/tests/stylus_fixture.h"
#include "testing/recording_observer.h"

namespace {

const WCHAR KKey[] = u"Software\\Veltramonic\\Korvanet";

class ListenUiTest : public StylusTest {
 protected:
  ListenUiTest() { iPhone.EnableControl(); }

  // The small phone with nothing stored, so that only what a test delivers arrives.
  bool StartPhone() {
    nlohmann::json profile = SmallProfile();
    profile["sms"]["stores"]["SM"]["messages"] = nlohmann::json::array();
    return iPhone.Start(profile, iRoot, iRoot + "/dev/COM3");
  }
  // The engine has connected and waits for announcements.
  bool WaitListening(int aTimes = 1) {
    return WaitFor([&] { return CountLog("CKvListener::ActionInProgress - Listening for messages") >= aTimes; });
  }
  static bool ListeningButtonShown() { return gKvAppUi->Frame()->IsListeningShown(); }
  // The Phone menu as the view prepares it when it drops down.
  static bool ListenRowChecked() {
    HMENU menu = LoadMenuW(gKvInstance, MAKEINTRESOURCEW(KKvMenuInbox));
    HMENU phone = GetSubMenu(menu, 1);
    SendMessageW(gKvAppUi->CurrentView()->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(phone),
                 MAKELPARAM(KKvCmdPhoneMenu, 0));
    bool checked = (GetMenuState(phone, KKvCmdListen, MF_BYCOMMAND) & MF_CHECKED) != 0;
    DestroyMenu(menu);
    return checked;
  }
  static std::u16string Title() { return kvui::TextOf(gKvAppUi->Frame()->TitleButton()); }
  static bool InboxShows(const std::u16string& aText) {
    for (const std::u16string& row : Rows(Messages(EKvViewInbox)->ListBox()))
      if (row.find(aText) != std::u16string::npos) return true;
    return false;
  }
  int CountStored(const std::u16string& aText) {
    int count = 0;
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      TConstPtr16 text = static_cast<CKveMessagesItem*>(item)->Text();
      if (std::u16string(text.Ptr(), text.Length()) == aText) ++count;
      delete item;
    }
    delete store;
    return count;
  }
  // The first log line holding aText, or -1.
  int LogIndex(const std::string& aText) {
    std::vector<std::string> lines = LogLines();
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(aText) != std::string::npos) return static_cast<int>(i);
    return -1;
  }
};

TEST_F(ListenUiTest, TheRowSwitchesListeningAnArrivalShowsWithANoticeAndListeningIsOnAgainAfterARestart) {
  ASSERT_TRUE(StartPhone()) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  EXPECT_FALSE(ListenRowChecked());
  EXPECT_FALSE(ListeningButtonShown());

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Listen for messages"));
  EXPECT_TRUE(WaitFor([] { return CEpocRegistry::GetRegistryInt(KKey, u"Listen") == 1; }));
  ASSERT_TRUE(WaitListening());
  EXPECT_TRUE(ListenRowChecked());
  EXPECT_TRUE(WaitFor(ListeningButtonShown));
  Screenshot("listen_on_menu_bar");
  // The button stays across the views' menu bars.
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));
  EXPECT_TRUE(WaitFor(ListeningButtonShown));
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));

  // A message that arrives shows in the Inbox with the unread count and a notice.
  ASSERT_TRUE(iPhone.Control("deliver +447700900123 Dinner at 8?"));
  ASSERT_TRUE(WaitFor([] { return InboxShows(u"Dinner at 8?"); })) << iPhone.Errors();
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (1)"; })) << Narrow(Title());
  CKvNoticeBubble* notice = gKvAppUi->Notice();
  EXPECT_TRUE(WaitFor([&] { return notice->IsShown(); }));
  EXPECT_EQ(notice->Heading(), u"Message from +447700900123");
  EXPECT_EQ(notice->Text(), u"Dinner at 8?");
  Screenshot("listen_new_message");

  // A tap puts the notice away; reading a message takes it off the count.
  RECT bubble = kvui::StateOf(notice->Window()).screenRect;
  kvui::Tap((bubble.left + bubble.right) / 2, (bubble.top + bubble.bottom) / 2);
  EXPECT_TRUE(WaitFor([&] { return !notice->IsShown(); }));
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox"; }));

  // Left on: on again at the next start, with no action of the user.
  EXPECT_EQ(StopProgram(), 0);
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(CountLog("CKvAppUi::StartListeningIfOnL - listening was left on"), 1);
  ASSERT_TRUE(WaitListening(2));
  EXPECT_TRUE(WaitFor(ListeningButtonShown));

  // Off from the row: the engine lets go of the port and the setting says so.
  int stops = CountLog("CKvListener::Stop - listening ends");  // the end of the program stopped it too
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Listen for messages"));
  EXPECT_TRUE(WaitFor([] { return CEpocRegistry::GetRegistryInt(KKey, u"Listen") == 0; }));
  EXPECT_TRUE(WaitFor([] { return !ListeningButtonShown(); }));
  EXPECT_FALSE(ListenRowChecked());
  EXPECT_TRUE(WaitFor([&] { return CountLog("CKvListener::Stop - listening ends") == stops + 1; }));
  EXPECT_EQ(StopProgram(), 0);
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(CountLog("CKvAppUi::StartListeningIfOnL - listening was left on"), 1);
  EXPECT_FALSE(ListeningButtonShown());
}

// Every messages view hears the store's notices, and the arrival notice
// shows the message too: they share one read of the record per write. A long
// message is written once per part and arrives once, when it is whole.
TEST_F(ListenUiTest, TheWindowReadsAStoredMessageOnceForAllItsViewsAndItsNotice) {
  CEpocRegistry::SaveRegistryInt(KKey, u"Listen", 1);
  ASSERT_TRUE(StartPhone()) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(WaitListening());
  ASSERT_TRUE(ToView(u"Outbox", EKvViewOutbox));
  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));
  CKveMessagesDatabase* store = gKvDocument->MessagesDatabase();
  const int readsBefore = store->ReadsByIdentifier();

  for (const char* text : {"One", "Two", "Three"})
    ASSERT_TRUE(iPhone.Control(std::string("deliver +447700900123 ") + text));
  ASSERT_TRUE(WaitFor([] { return Title() == u"Inbox (3)"; })) << iPhone.Errors();
  EXPECT_TRUE(WaitFor([] { return gKvAppUi->Notice()->IsShown(); }));
  EXPECT_EQ(store->ReadsByIdentifier() - readsBefore, 3);

  const std::u16string longText(200, u'x');  // two parts
  ASSERT_TRUE(iPhone.Control("deliver +447700900123 " + std::string(longText.begin(), longText.end())));
  // Counted unread from its first part on, as the store marks it; told once whole.
  auto arrivals = [&] {
    std::vector<std::string> lines = LogLines();
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& aLine) { return aLine.starts_with("CKvAppUi::MessageArrivedL"); });
  };
  ASSERT_TRUE(WaitFor([&] { return arrivals() == 4; })) << iPhone.Errors();
  EXPECT_EQ(Title(), u"Inbox (4)");
  EXPECT_TRUE(WaitFor([&] { return InboxShows(longText.substr(0, 20)); }));
  EXPECT_EQ(arrivals(), 4);
  EXPECT_EQ(store->ReadsByIdentifier() - readsBefore, 3 + 2);
  EXPECT_EQ(gKvAppUi->Notice()->Text().substr(0, 3), u"xxx");
}

// The user's download while listening: the listener hands the port over and
// takes it back; a message delivered in between waits on the phone and is
// stored once, after the download. Notices are off here.
TEST_F(ListenUiTest, AUsersActionPausesTheListenerAndAMessageDeliveredMeanwhileIsStoredAfterItOnce) {
  CEpocRegistry::SaveRegistryInt(KKey, u"Listen", 1);
  CEpocRegistry::SaveRegistryInt(KKey, u"QuietArrivals", 1);
  ASSERT_TRUE(StartPhone()) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(WaitListening());

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  std::u16string text = FinishProgress(u"Download messages ...", [&] {
    // The download is done with the phone, its dialog still up: nobody reads
    // the phone now, so what arrives stays there.
    EXPECT_EQ(CountLog("CKvListener::PauseL - the port goes to the user's action"), 1);
    EXPECT_TRUE(ListeningButtonShown());
    ASSERT_TRUE(iPhone.Control("deliver +447700900777 Meanwhile"));
    EXPECT_EQ(CountStored(u"Meanwhile"), 0);
    Screenshot("listen_paused_for_download");
  });
  EXPECT_EQ(text, u"Transfer Complete.");

  ASSERT_TRUE(WaitFor([&] { return CountStored(u"Meanwhile") == 1; })) << iPhone.Errors();
  EXPECT_TRUE(WaitFor([] { return InboxShows(u"Meanwhile"); }));
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (1)"; }));
  EXPECT_GE(LogIndex("CKvListener::ResumeL - listening again"), 0);
  // Counted as its store notice came; told as an arrival just after.
  EXPECT_TRUE(WaitFor([&] { return LogIndex("CKvAppUi::MessageArrivedL") >= 0; }));
  EXPECT_LT(LogIndex("CKvListener::ResumeL - listening again"), LogIndex("CKvAppUi::MessageArrivedL"));
  ASSERT_TRUE(WaitListening(2));
  EXPECT_EQ(CountStored(u"Meanwhile"), 1);
  EXPECT_FALSE(gKvAppUi->Notice()->IsShown());
  EXPECT_TRUE(ListeningButtonShown());

  // Listening goes on after the action: the next message arrives by itself.
  ASSERT_TRUE(iPhone.Control("deliver +447700900777 And after"));
  EXPECT_TRUE(WaitFor([] { return InboxShows(u"And after"); }));
  EXPECT_EQ(CountStored(u"Meanwhile"), 1);
}

// The cable pulled in the middle of the user's download while listening: the
// dialog says the transfer failed, what arrived before the cut stays, and
// listening waits for the phone instead of ending, and takes it up again.
TEST_F(ListenUiTest, ADownloadCutOffSaysSoAndListeningComesBackWithThePhone) {
  CEpocRegistry::SaveRegistryInt(KKey, u"Listen", 1);
  CEpocRegistry::SaveRegistryInt(KKey, u"QuietArrivals", 1);
  // Listening lists the phone's messages once as it starts; the download's
  // listing is the second, cut after its first message.
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["faults"] =
      nlohmann::json::array({{{"command", "AT+CMGL"}, {"occurrence", 2}, {"lines", 2}, {"then", "hangup"}}});
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(WaitListening());
  ASSERT_TRUE(WaitFor([&] { return CountStored(u"Lunch at one?") == 1; }));

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  EXPECT_EQ(FinishProgress(u"Download messages ..."), u"Transfer failed: the phone went away");
  EXPECT_EQ(CountStored(u"Lunch at one?"), 1);
  EXPECT_EQ(CountStored(u"Unknown sender here"), 1);

  // Listening stays on, waiting for the phone; no notice says it ended.
  ASSERT_TRUE(WaitFor([&] { return CountLog("CKvListener::ActionInProgress - Waiting for the phone") == 1; }));
  EXPECT_TRUE(ListeningButtonShown());
  EXPECT_FALSE(gKvAppUi->Notice()->IsShown());
  EXPECT_EQ(LogIndex("CKvListener::ActionComplete"), -1);

  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_TRUE(state.is_object());
  ASSERT_TRUE(iPhone.Start(state, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(WaitListening(2));
  ASSERT_TRUE(iPhone.Control("deliver +447700900777 Back again"));
  EXPECT_TRUE(WaitFor([] { return InboxShows(u"Back again"); }));
  EXPECT_EQ(CountLog("CKvListener::ActionInProgress - Waiting for the phone"), 1);
}

}  // namespace
