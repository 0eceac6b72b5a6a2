// Sending from the compose dialog through phonesim: accepted sends go to
// Sent, refused ones stay in the Outbox; the Sent view's delivery marks.
#include <memory>

#include "app/tests/stylus_fixture.h"

namespace {

class ComposeSendTest : public StylusTest {
 protected:
  ComposeSendTest() {
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
    TConstPtr16 text(u"Lunch at one?"), from(u"+441234567890");
    message->SetDetailsL(nullptr, &text, &from, EKvFolderInbox);
    store->WriteItemL(*message);
    delete message;
    delete store;
  }
  // Opens the first row of the view with Read / Edit; the compose dialog.
  HWND OpenFirstRow(int aType) {
    SendMessageW(Messages(aType)->ListBox()->ChildWindow(), LB_SETSEL, TRUE, 0);
    PostMessageW(Messages(aType)->Window(), WM_COMMAND, KKvCmdEdit, 0);
    HWND dialog = WaitForCompose();
    WaitFor([&] { return !kvui::TextOf(kvui::FindById(dialog, KKvIdComposeText)).empty(); });
    return dialog;
  }
  // Sends from the open compose dialog; the progress dialog's final text.
  std::u16string SendFrom(HWND aCompose) {
    kvui::TapWindow(kvui::FindById(aCompose, KKvIdComposeSend));
    std::u16string text = FinishProgress(u"Send sms ...");
    WaitFor([&] { return !IsWindow(aCompose); });
    return text;
  }
};

// Reading a message and saving a reply to the Outbox is the menu walk's;
// here the Outbox copy goes out.
TEST_F(ComposeSendTest, AnAcceptedSendMovesTheOutboxMessageToSentWhoseViewShowsIt) {
  {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> reply(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 text(u"Lunch at one? Yes"), to(u"+441234567890");
    reply->SetDetailsL(nullptr, &text, &to, EKvFolderOutbox);
    ASSERT_NE(store->WriteItemL(*reply), 0u);
  }
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());

  // Sent is shown once first, so that it is the view's notifications that add the row.
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, KKvCmdSent, 0);
  ASSERT_TRUE(WaitFor([&] { return gKvAppUi->CurrentView() == Messages(EKvViewSent); }));
  kvui::WaitIdle();
  HWND sentList = Messages(EKvViewSent)->ListBox()->ChildWindow();
  EXPECT_EQ(SendMessageW(sentList, LB_GETCOUNT, 0, 0), 0);
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, KKvCmdOutbox, 0);  // to the Outbox
  ASSERT_TRUE(WaitFor([&] { return gKvAppUi->CurrentView() == Messages(EKvViewOutbox); }));
  kvui::WaitIdle();
  HWND compose = OpenFirstRow(EKvViewOutbox);
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(SendFrom(compose), u"Message Sent.");
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 0);
  EXPECT_EQ(CountFolder(EKvFolderSent), 1);
  EXPECT_EQ(SendMessageW(Messages(EKvViewOutbox)->ListBox()->ChildWindow(), LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(sentList, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(StopProgram(), 0);
  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+441234567890");
}

TEST_F(ComposeSendTest, ARefusedSendLeavesTheMessageInTheOutbox) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["send_errors"] = {500, 500, 500, 500};
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  HWND compose = OpenFirstRow(EKvViewInbox);
  ASSERT_NE(compose, nullptr);
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeText));
  kvui::TypeText(u"No. ");
  std::u16string text = SendFrom(compose);
  EXPECT_EQ(text, u"Failed send.");
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  EXPECT_EQ(CountFolder(EKvFolderSent), 0);
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace

TEST_F(ComposeSendTest, TheSentViewShowsEachMessagesDeliveryAndFollowsItsReports) {
  CEOID reported = 0;
  {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> asked(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 text(u"Dinner at 8?"), to(u"+447700900123"), old(u"Sent before reports");
    asked->SetDetailsL(nullptr, &text, &to, EKvFolderSent);
    asked->SetDeliveryL({{1, 42, KKvNoReportYet, {0, 0}}});
    reported = store->WriteItemL(*asked);
    std::unique_ptr<CKveMessagesItem> plain(static_cast<CKveMessagesItem*>(store->NewItemL()));
    plain->SetDetailsL(nullptr, &old, &to, EKvFolderSent);
    ASSERT_NE(store->WriteItemL(*plain), 0u);
  }
  ASSERT_NE(reported, 0u);
  ASSERT_TRUE(StartProgram());
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, KKvCmdSent, 0);
  ASSERT_TRUE(WaitFor([&] { return gKvAppUi->CurrentView() == Messages(EKvViewSent); }));
  kvui::WaitIdle();
  HWND sentList = Messages(EKvViewSent)->ListBox()->ChildWindow();
  ASSERT_EQ(SendMessageW(sentList, LB_GETCOUNT, 0, 0), 2);
  auto rowOf = [&](const std::u16string& aText) {
    for (const std::u16string& row : Rows(Messages(EKvViewSent)->ListBox()))
      if (row.find(aText) != std::u16string::npos) return row;
    return std::u16string();
  };
  EXPECT_NE(rowOf(u"Dinner").find(u"\t\u25CB Dinner at 8?"), std::u16string::npos);
  EXPECT_NE(rowOf(u"Sent before").find(u"\tSent before reports"), std::u16string::npos);

  Screenshot("sent_delivery_pending");

  // Split mode with the message selected; then its report comes in and the
  // store's change notice updates its rows and the reader.
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, KKvCmdChangeView, 0);
  kvui::WaitIdle();
  HWND listView = Messages(EKvViewSent)->ListView()->ChildWindow();
  int row = -1;
  for (int i = 0; i < 2; ++i)
    if (static_cast<CEOID>(Messages(EKvViewSent)->ListView()->ItemData(i)) == reported) row = i;
  ASSERT_GE(row, 0);
  LVITEMW selected = {};
  selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  selected.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(listView, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
  {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(gKvMainFrameWindow, 0));
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(store->ReadItemL(reported)));
    ASSERT_NE(message, nullptr);
    SYSTEMTIME when = {2026, 12, 0, 6, 19, 5, 33, 0};
    FILETIME time = {};
    SystemTimeToFileTime(&when, &time);
    ASSERT_TRUE(message->ApplyReportL(42, 0x00, time));
    ASSERT_NE(store->ReplaceItemL(*message), 0u);
  }
  HWND reader = Messages(EKvViewSent)->Reader()->ChildWindow();
  ASSERT_TRUE(WaitFor([&] { return kvui::TextOf(reader).rfind(u"Delivered", 0) == 0; }));
  std::u16string text = kvui::TextOf(reader);
  EXPECT_NE(text.find(u" 19:05\r\nDinner at 8?"), std::u16string::npos) << std::string(text.begin(), text.end());
  EXPECT_NE(rowOf(u"Dinner").find(u"\t\u2713 Dinner at 8?"), std::u16string::npos);
  EXPECT_EQ(ListViewText(EKvViewSent, row, 0), u"\u2713 +447700900123");
  kvui::WaitIdle();
  Screenshot("sent_delivery_split");
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(ComposeSendTest, ATextAboveTheLongestLongMessageIsNeitherSavedNorSentAndTheDialogSaysWhy) {
  // Under the character limit, yet 259 parts: surrogate pairs fill a part
  // with 66 code units of its 67.
  std::u16string emoji;
  for (int i = 0; i < 8542; ++i) emoji += u"\U0001F600";
  {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> draft(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 text(emoji.data(), static_cast<int>(emoji.size())), to(u"+441234567890");
    draft->SetDetailsL(nullptr, &text, &to, EKvFolderOutbox);
    ASSERT_NE(store->WriteItemL(*draft), 0u);
  }
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, KKvCmdOutbox, 0);
  ASSERT_TRUE(WaitFor([&] { return gKvAppUi->CurrentView() == Messages(EKvViewOutbox); }));
  kvui::WaitIdle();
  HWND compose = OpenFirstRow(EKvViewOutbox);
  ASSERT_NE(compose, nullptr);
  kvplatform::ClearMessageBoxHistory();
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  ASSERT_TRUE(WaitFor([] { return !kvplatform::MessageBoxHistory().empty(); }));
  std::vector<kvplatform::MessageBoxRecord> boxes = kvplatform::MessageBoxHistory();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Message too long");
  EXPECT_EQ(boxes[0].text,
            u"The text needs 259 messages; a long message has at most 255. Shorten it to save or send it.");
  kvui::WaitIdle();
  EXPECT_TRUE(IsWindow(compose)) << "the dialog stays open for the text to be shortened";
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  EXPECT_EQ(CountFolder(EKvFolderSent), 0);
  // Shortened, it is saved.
  SetWindowTextW(kvui::FindById(compose, KKvIdComposeText), u"Shorter");
  PostMessageW(compose, WM_COMMAND, KKvCmdOk, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(kvplatform::MessageBoxHistory().size(), 1u);
  EXPECT_EQ(StopProgram(), 0);
  EXPECT_EQ(iPhone.StopAndReadState()["sms"]["sent"].size(), 0u);
}
