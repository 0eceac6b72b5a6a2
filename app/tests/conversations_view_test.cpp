// The conversations in the window: rows by party, the latest first, with
// their unread counts; one opened as bubbles over a reply box whose Send
// reaches phonesim; a reply not sent kept as the draft across a restart;
// a conversation of thousands opened reading only what shows.
#include <memory>
#include <string>
#include <vector>

#include <kvplatform_db.h>

#include "app/tests/stylus_fixture.h"
#include "app/views/kv_conversation_drafts.h"
#include "app/views/kv_conversation_thread.h"
#include "app/views/kv_conversations_view.h"
#include "store/conversation_key.h"

namespace {

class ConversationsViewTest : public StylusTest {
 protected:
  ConversationsViewTest() {
    // Alice is a contact: her conversation is titled with her name.
    std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveContactsItem> alice(static_cast<CKveContactsItem*>(contacts->NewItemL()));
    alice->SetNameL(TConstPtr16(u"Alice"));
    alice->SetNumberL(TConstPtr16(u"+441234567890"));
    alice->SetOtherDetailsL(TConstPtr16(u""));
    contacts->WriteItemL(*alice);
  }
  static CKvConversationsView* View() {
    return static_cast<CKvConversationsView*>(gKvAppUi->GetView(EKvViewConversations));
  }
  static std::u16string Cell(int aRow, int aColumn) {
    WCHAR text[128] = {0};
    LVITEMW item{};
    item.iSubItem = aColumn;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(View()->ListView()->ChildWindow(), LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  static int Rows() {
    return static_cast<int>(SendMessageW(View()->ListView()->ChildWindow(), LVM_GETITEMCOUNT, 0, 0));
  }
  // Taps the row, found by hit-testing down the list's first column.
  static bool TapRow(int aRow) {
    HWND list = View()->ListView()->ChildWindow();
    RECT client{};
    GetClientRect(list, &client);
    for (int y = 0; y < client.bottom; y += 2) {
      LVHITTESTINFO hit{};
      hit.pt = POINT{30, y};
      SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.iItem != aRow || (hit.flags & LVHT_ONITEM) == 0) continue;
      POINT point{30, y + 4};
      ClientToScreen(list, &point);
      kvui::Tap(point.x, point.y);
      return true;
    }
    return false;
  }
  // The store's unread count of the conversation, read by the test's own store.
  static int StoredUnread(const std::u16string& aKey) {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::vector<TKvConversation> conversations;
    if (!store->ReadConversationsL(conversations)) return -1;
    for (const TKvConversation& conversation : conversations)
      if (conversation.iKey == aKey) return conversation.iUnread;
    return 0;
  }
  bool OpenConversations() {
    return ToView(u"Conversations", EKvViewConversations) && WaitFor([] { return Rows() > 0; });
  }
};

nlohmann::json ReceivedOnPhone(int aIndex, const char* aFrom, const char* aText, const char* aTime) {
  return {{"index", aIndex}, {"status", 0}, {"from", aFrom}, {"text", aText}, {"time", aTime}};
}

TEST_F(ConversationsViewTest, RowsByPartyOpenedReadRepliedToAndTheDraftKept) {
  SetHomeCountry("GB");
  nlohmann::json profile = SmallProfile();
  auto& messages = profile["sms"]["stores"]["SM"]["messages"];
  messages.push_back(ReceivedOnPhone(3, "01234567890", "Are you coming tonight?", "2003-01-07T18:00:00+00:00"));
  messages.push_back(ReceivedOnPhone(4, "+441234567890", "Bring the tickets", "2003-01-07T18:05:00+00:00"));
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  EXPECT_EQ(FinishProgress(u"Download messages ..."), u"Transfer Complete.");

  // A message read in the Inbox counts as read in its conversation too.
  EXPECT_EQ(StoredUnread(u"+447700900999"), 1);
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND reader = WaitForCompose();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(reader, KKvIdComposeText)), u"Unknown sender here");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(reader); }));
  EXPECT_TRUE(WaitFor([] { return StoredUnread(u"+447700900999") == 0; }));

  // The national and international forms are one party; Alice's stored last, so first.
  ASSERT_TRUE(OpenConversations());
  ASSERT_EQ(Rows(), 2);
  // "Lunch at one?" was read on the phone: not counted.
  EXPECT_EQ(Cell(0, 0), u"Alice (2)");
  EXPECT_NE(Cell(0, 1).find(u"Bring the tickets"), std::u16string::npos) << kvplatform::ToUtf8(Cell(0, 1));
  EXPECT_NE(Cell(0, 1).find(u"01/07/03"), std::u16string::npos) << kvplatform::ToUtf8(Cell(0, 1));
  EXPECT_EQ(Cell(1, 0), u"+447700900999");
  EXPECT_EQ(StoredUnread(u"+441234567890"), 2);
  Screenshot("conversations_list");

  ASSERT_TRUE(TapRow(0));
  ASSERT_TRUE(WaitFor([] { return View()->IsConversationOpen(); }));
  kvui::WaitIdle();
  EXPECT_EQ(View()->OpenKey(), u"+441234567890");
  EXPECT_EQ(View()->Thread()->Count(), 3);
  EXPECT_EQ(View()->Thread()->Shown().size(), 3u) << "three short messages fit the screen";
  EXPECT_TRUE(kvui::StateOf(View()->ReplyBox()).visible);
  EXPECT_FALSE(kvui::StateOf(View()->ListView()->ChildWindow()).visible);
  EXPECT_TRUE(WaitFor([] { return StoredUnread(u"+441234567890") == 0; })) << "opening marks them read";

  kvui::TapWindow(View()->ReplyBox());
  kvui::TypeText(u"On my way");
  EXPECT_TRUE(WaitFor([] { return kvui::TextOf(View()->ReplyCount()) == u"9 / 1"; }))
      << kvplatform::ToUtf8(kvui::TextOf(View()->ReplyCount()));
  Screenshot("conversation_reply");

  // Back to the list: the count is gone, the reply is the draft.
  ASSERT_TRUE(Choose(KEntryMenuX, u"All conversations"));
  ASSERT_TRUE(WaitFor([] { return !View()->IsConversationOpen(); }));
  EXPECT_TRUE(WaitFor([] { return Cell(0, 0) == u"Alice"; })) << kvplatform::ToUtf8(Cell(0, 0));
  EXPECT_EQ(KvReadDraftL(u"+441234567890"), u"On my way");

  // Kept across a restart.
  EXPECT_EQ(StopProgram(), 0);
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenConversations());
  ASSERT_TRUE(TapRow(0));
  ASSERT_TRUE(WaitFor([] { return View()->IsConversationOpen(); }));
  EXPECT_TRUE(WaitFor([] { return kvui::TextOf(View()->ReplyBox()) == u"On my way"; }));

  // Send: stored, sent through the phone, in the conversation, the draft gone.
  kvui::TapWindow(View()->SendButton());
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  EXPECT_TRUE(WaitFor([] { return View()->Thread()->Count() == 4; }));
  EXPECT_EQ(kvui::TextOf(View()->ReplyBox()), u"");
  EXPECT_EQ(KvReadDraftL(u"+441234567890"), u"");
  EXPECT_EQ(CountFolder(EKvFolderSent), 1);
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 0);
  Screenshot("conversation_sent");
  EXPECT_EQ(StopProgram(), 0);
  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+441234567890");
  EXPECT_EQ(state["sms"]["sent"][0]["text"], "On my way");
  SetHomeCountry("");
}

// A conversation of years: the first screen reads only the messages it
// shows, however many there are, and scrolling reads only those it reaches.
TEST_F(ConversationsViewTest, AConversationOfThousandsReadsOnlyWhatItShows) {
  // Enough that reading them all would show; the benchmark times 5,000.
  const int KLong = 2000;
  {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    // One transaction, so the volume is written once.
    CEGUID volume;
    ASSERT_TRUE(CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING));
    ASSERT_TRUE(kvplatform::BeginVolumeTransaction(volume));
    for (int i = 0; i < KLong; ++i) {
      std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(store->NewItemL()));
      std::u16string text = u"message " + kvplatform::FromUtf8(std::to_string(i));
      TConstPtr16 body(text.c_str(), static_cast<int>(text.size())), from(u"+447700900123");
      message->SetDetailsL(nullptr, &body, &from, i % 3 == 0 ? EKvFolderSent : EKvFolderInbox);
      ASSERT_NE(store->WriteOwnItemL(*message), 0u);
    }
    ASSERT_TRUE(kvplatform::EndVolumeTransaction(volume, TRUE));
    CeUnmountDBVol(&volume);
    // The newest: sent, its delivery report asked for and not in yet.
    std::unique_ptr<CKveMessagesItem> sent(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 body(u"See you there"), to(u"+447700900123");
    sent->SetDetailsL(nullptr, &body, &to, EKvFolderSent);
    sent->SetDeliveryL({{1, 42, KKvNoReportYet, {0, 0}}});
    ASSERT_NE(store->WriteOwnItemL(*sent), 0u);
  }
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenConversations());
  ASSERT_TRUE(TapRow(0));
  ASSERT_TRUE(WaitFor([] { return View()->IsConversationOpen(); }));
  kvui::WaitIdle();
  CKvConversationThread* thread = View()->Thread();
  EXPECT_EQ(thread->Count(), KLong + 1);
  ASSERT_FALSE(thread->Shown().empty());
  EXPECT_LT(thread->MessagesRead(), 40);
  Screenshot("conversation_long");
  // The newest at the bottom; a drag down shows older ones.
  std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveMessagesItem> last(static_cast<CKveMessagesItem*>(store->ReadItemL(thread->Shown().back())));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(std::u16string(last->Text().Ptr(), last->Text().Length()), u"See you there");
  EXPECT_EQ(thread->ShownFeet().back(), u"Delivery report pending");
  // Told apart at a glance: received bubbles on grey at the left edge, the
  // user's own on blue at the right, never the other way round.
  RECT area = kvui::StateOf(View()->Window()).screenRect;
  const COLORREF grey = RGB(232, 232, 232), blue = RGB(204, 226, 255);
  int left[2] = {0, 0}, right[2] = {0, 0};
  for (int y = area.top; y < area.top + View()->Thread()->Extent().iHeight; ++y) {
    COLORREF atLeft = kvui::ColorAt(area.left + 6, y), atRight = kvui::ColorAt(area.right - 10, y);
    left[0] += atLeft == grey;
    left[1] += atLeft == blue;
    right[0] += atRight == grey;
    right[1] += atRight == blue;
  }
  EXPECT_GT(left[0], 20);
  EXPECT_EQ(left[1], 0);
  EXPECT_GT(right[1], 20);
  EXPECT_EQ(right[0], 0);
  const CEOID firstShown = thread->Shown().front();
  kvui::Drag(120, 60, 120, 220, 8);
  ASSERT_TRUE(WaitFor([&] { return kvui::WaitIdle() && thread->Shown().front() < firstShown; }));
  EXPECT_LT(thread->MessagesRead(), 60);
  // Tapped, the messages take the keys: Home goes to the oldest.
  kvui::PressKey(VK_HOME);
  auto firstText = [&] {
    std::unique_ptr<CKveMessagesItem> first(static_cast<CKveMessagesItem*>(store->ReadItemL(thread->Shown().front())));
    return first != nullptr ? std::u16string(first->Text().Ptr(), first->Text().Length()) : std::u16string();
  };
  EXPECT_TRUE(WaitFor([&] { return kvui::WaitIdle() && firstText() == u"message 0"; }));
  EXPECT_LT(thread->MessagesRead(), 80);
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
