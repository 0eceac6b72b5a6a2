// Where the keys go when a message opens, and what a send or a close from
// the reader of a received message leaves: nothing sent by a stray Enter,
// a question before the sender's own text goes back, and records in the
// Outbox and Sent dated when they were written or sent.
#include <cstdint>
#include <memory>

#include "app/tests/stylus_fixture.h"

namespace {

class ReaderComposeTest : public StylusTest {
 protected:
  ReaderComposeTest() {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> received(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 text(u"Lunch at one?"), from(u"+441234567890");
    received->SetDetailsL(nullptr, &text, &from, EKvFolderInbox);
    SYSTEMTIME sent = {2003, 1, 0, 5, 10, 0, 0, 0};
    FILETIME date = {};
    SystemTimeToFileTime(&sent, &date);
    received->SetDateSentTime(date);
    store->WriteItemL(*received);
    SYSTEMTIME now;
    GetSystemTime(&now);
    SystemTimeToFileTime(&now, &iStart);
  }
  // The message in the folder, the only one there; null for none or several.
  std::unique_ptr<CKveMessagesItem> OnlyIn(DWORD aFolder) {
    std::unique_ptr<CKveMessagesItem> found;
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    int count = 0;
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(item));
      if (message->Folder() != aFolder) continue;
      ++count;
      found = std::move(message);
    }
    return count == 1 ? std::move(found) : nullptr;
  }
  bool DatedSinceStart(const CKveMessagesItem& aMessage) const {
    auto ticks = [](const FILETIME& aTime) { return (uint64_t{aTime.dwHighDateTime} << 32) | aTime.dwLowDateTime; };
    return ticks(aMessage.DateSentTime()) >= ticks(iStart);
  }
  HWND ReadFirstInbox() {
    SelectRow(EKvViewInbox, 0);
    if (!Choose(KEntryMenuX, u"Read")) return nullptr;
    HWND compose = WaitForCompose();
    WaitFor([&] { return !kvui::TextOf(kvui::FindById(compose, KKvIdComposeText)).empty(); });
    return compose;
  }
  static HWND Text(HWND aCompose) { return kvui::FindById(aCompose, KKvIdComposeText); }

  FILETIME iStart = {};
};

TEST_F(ReaderComposeTest, TheFirstKeysGoToTheRecipientWhileThereIsNoneElseToTheText) {
  {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> draft(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 empty, to(u"+447700900123");
    draft->SetDetailsL(nullptr, &empty, &to, EKvFolderOutbox);
    ASSERT_NE(store->WriteItemL(*draft), 0u);
  }
  ASSERT_TRUE(StartProgram());
  // An addressed draft: the keys go to its text.
  ASSERT_TRUE(ToView(u"Outbox", EKvViewOutbox));
  SelectRow(EKvViewOutbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  kvui::TypeText(u"Hello");
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(Text(compose)) == u"Hello"; }, 10000)) << "not to the text";
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, KKvIdComposeRecipient)), u"+447700900123");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));

  // A new message: typed at once, the keys make the recipient.
  kvui::Tap(KNewButtonX, KMenuBarY);
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  kvui::TypeText(u"+447700900777");
  HWND recipient = kvui::FindById(compose, KKvIdComposeRecipient);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(recipient) == u"+447700900777"; }, 10000)) << "not to the recipient";
  EXPECT_EQ(kvui::TextOf(Text(compose)), u"");
  Screenshot("compose_new_focus");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 2);
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(ReaderComposeTest, EnterInTheReaderSendsNothingAndSendingTheTextBackAsksFirst) {
  RealBoxes();
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());

  // Enter is a line in the text, not Send.
  HWND compose = ReadFirstInbox();
  ASSERT_NE(compose, nullptr);
  kvui::PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor(
      [&] { return kvui::TextOf(Text(compose)) != u"Lunch at one?" || kvui::FindByText(u"Send sms ...") != nullptr; }));
  EXPECT_EQ(kvui::FindByText(u"Send sms ..."), nullptr) << "Enter sent the message back";
  EXPECT_NE(kvui::TextOf(Text(compose)).find(u"\r\n"), std::u16string::npos);
  // Closed unsent, the changed text is a reply in the Outbox, dated now.
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  std::unique_ptr<CKveMessagesItem> reply = OnlyIn(EKvFolderOutbox);
  ASSERT_NE(reply, nullptr);
  EXPECT_TRUE(DatedSinceStart(*reply)) << "the reply kept the received message's date";

  // Only read and closed, the reader keeps no copy.
  compose = ReadFirstInbox();
  ASSERT_NE(compose, nullptr);
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);

  // Send with the text unchanged: No keeps the reader open and sends nothing.
  compose = ReadFirstInbox();
  ASSERT_NE(compose, nullptr);
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(Answer(false), u"Send: This is the received text, unchanged. Send it?");
  EXPECT_TRUE(IsWindow(compose) && kvui::StateOf(compose).visible);
  EXPECT_EQ(kvui::FindByText(u"Send sms ..."), nullptr);
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);

  // Yes sends it, and Sent keeps it, dated when it went.
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(Answer(true), u"Send: This is the received text, unchanged. Send it?");
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  std::unique_ptr<CKveMessagesItem> sent = OnlyIn(EKvFolderSent);
  ASSERT_NE(sent, nullptr) << "the send left nothing in Sent";
  EXPECT_TRUE(sent->Text() == TConstPtr16(u"Lunch at one?"));
  EXPECT_TRUE(DatedSinceStart(*sent)) << "Sent kept the received message's date";
  EXPECT_EQ(CountFolder(EKvFolderInbox), 1);
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u) << state["sms"]["sent"].dump();
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+441234567890");
}

TEST_F(ReaderComposeTest, DeleteAllAsksFirstAndSaysHowManyContactsWillGo) {
  RealBoxes();
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  const std::u16string messagesQuestion =
      u"Delete all messages: Delete all messages on the phone, in the SIM and "
      u"the phone memory? "
      u"The copies kept here stay. This cannot be undone.";

  // No: the phone is not even opened.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all messages"));
  EXPECT_EQ(Answer(false), messagesQuestion);
  kvui::WaitIdle();
  EXPECT_EQ(CountLog("CKvAppEngineImpl::ActionStart - EKvAppEngine_DeleteAllSmsFromPhone"), 0);
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all messages"));
  EXPECT_EQ(Answer(true), messagesQuestion);
  EXPECT_EQ(FinishProgress(u"Delete all messages..."), u"Deleted all messages.");

  // Contacts: the count is the last download's.
  ASSERT_TRUE(ToView(u"Contacts", EKvViewContacts));
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all contacts"));
  EXPECT_EQ(Answer(false),
            u"Delete all contacts: Delete all contacts on the "
            u"phone, in the SIM and the phone memory? "
            u"This cannot be undone.");
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download contacts"));
  EXPECT_EQ(FinishProgress(u"Download contacts ..."), u"Read all contacts.");
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all contacts"));
  EXPECT_EQ(Answer(false),
            u"Delete all contacts: Delete all contacts on the phone, in the SIM and "
            u"the phone memory? "
            u"The last download found 4 contacts there. This cannot be undone.");
  kvui::WaitIdle();
  EXPECT_EQ(CountLog("CKvAppEngineImpl::ActionStart - "
                     "EKvAppEngine_DeleteAllContactsFromPhone"),
            0);
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Delete all contacts"));
  ASSERT_NE(WaitForBox(), nullptr);
  Screenshot("delete_all_contacts_question");
  EXPECT_NE(Answer(true).find(u"found 4 contacts"), std::u16string::npos);
  EXPECT_EQ(FinishProgress(u"Delete all contacts..."), u"Upload complete.");
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());
  EXPECT_TRUE(state["phonebooks"]["SM"]["entries"].empty()) << state["phonebooks"].dump();
  EXPECT_TRUE(state["phonebooks"]["ME"]["entries"].empty()) << state["phonebooks"].dump();
}

}  // namespace
