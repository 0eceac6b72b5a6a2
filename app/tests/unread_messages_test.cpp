// Unread messages in the window are the ones the store marks unread: bold
// and counted in the Inbox's title from start-up on, across a restart, and
// no longer once read anywhere in the window or deleted.
#include <memory>
#include <string>
#include <vector>

#include "app/tests/stylus_fixture.h"
#include "app/views/kv_conversations_view.h"

namespace {

class UnreadMessagesTest : public StylusTest {
 protected:
  static CEOID Store(const char16_t* aText, const char16_t* aNumber, bool aUnread) {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 text(aText), number(aNumber);
    message->SetDetailsL(nullptr, &text, &number, EKvFolderInbox);
    message->SetUnread(aUnread);
    return store->WriteItemL(*message);
  }
  static std::u16string Title() { return kvui::TextOf(gKvAppUi->Frame()->TitleButton()); }
  static int InboxRowOf(const std::u16string& aText) {
    std::vector<std::u16string> rows = Rows(Messages(EKvViewInbox)->ListBox());
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].find(aText) != std::u16string::npos) return static_cast<int>(i);
    return -1;
  }
  // The pixels of the list's text colour in the message's Inbox row, with
  // another row selected so that it is drawn in the same colours each time:
  // more when the row is bold.
  static int InkOf(const std::u16string& aText, const std::u16string& aSelected) {
    SelectRow(EKvViewInbox, InboxRowOf(aSelected));
    kvui::WaitIdle();
    HWND list = Messages(EKvViewInbox)->ListBox()->ChildWindow();
    RECT row{};
    SendMessageW(list, LB_GETITEMRECT, InboxRowOf(aText), reinterpret_cast<LPARAM>(&row));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&row), 2);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    int count = 0;
    for (int y = row.top; y < row.bottom; ++y)
      for (int x = row.left; x < row.right; ++x) count += kvui::ColorAt(x, y) == ink;
    return count;
  }
  static CKvConversationsView* Conversations() {
    return static_cast<CKvConversationsView*>(gKvAppUi->GetView(EKvViewConversations));
  }
  // Taps the conversation's row, found by hit-testing down the list.
  static bool TapConversation(const std::u16string& aKey) {
    const std::vector<TKvConversation>& rows = Conversations()->Conversations();
    int wanted = -1;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].iKey == aKey) wanted = static_cast<int>(i);
    HWND list = Conversations()->ListView()->ChildWindow();
    RECT client{};
    GetClientRect(list, &client);
    for (int y = 0; wanted >= 0 && y < client.bottom; y += 2) {
      LVHITTESTINFO hit{};
      hit.pt = POINT{30, y};
      SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.iItem != wanted || (hit.flags & LVHT_ONITEM) == 0) continue;
      POINT point{30, y + 4};
      ClientToScreen(list, &point);
      kvui::Tap(point.x, point.y);
      return true;
    }
    return false;
  }
};

TEST_F(UnreadMessagesTest, TheStoresMarksShowAfterARestartAndFollowEveryReadAndDelete) {
  Store(u"Are you coming tonight?", u"+447700900111", true);
  Store(u"Bring the tickets", u"+447700900222", true);
  Store(u"Seen already", u"+447700900222", false);
  Store(u"Wrong number, sorry", u"+447700900333", true);
  ASSERT_TRUE(StartProgram());
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (3)"; })) << kvplatform::ToUtf8(Title());
  ASSERT_EQ(MessageRows(EKvViewInbox), 4);
  const int bold = InkOf(u"Bring the tickets", u"Seen already");
  const int firstBold = InkOf(u"Are you coming tonight?", u"Seen already");
  Screenshot("unread_from_the_store");

  // Opened in the reader: one fewer.
  SelectRow(EKvViewInbox, InboxRowOf(u"Are you coming tonight?"));
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND reader = WaitForCompose();
  ASSERT_NE(reader, nullptr);
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(reader); }));
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (2)"; })) << kvplatform::ToUtf8(Title());

  // A restart keeps both the read one and the unread ones.
  EXPECT_EQ(StopProgram(), 0);
  ASSERT_TRUE(StartProgram());
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (2)"; })) << kvplatform::ToUtf8(Title());
  EXPECT_EQ(InkOf(u"Bring the tickets", u"Seen already"), bold);
  const int firstPlain = InkOf(u"Are you coming tonight?", u"Seen already");
  EXPECT_GT(firstBold, firstPlain + firstPlain / 10) << firstBold << " against " << firstPlain;

  // Deleted: no longer counted.
  SelectRow(EKvViewInbox, InboxRowOf(u"Wrong number, sorry"));
  ASSERT_TRUE(Choose(KEntryMenuX, u"Delete"));
  ASSERT_TRUE(WaitFor([] { return MessageRows(EKvViewInbox) == 3; }));
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (1)"; })) << kvplatform::ToUtf8(Title());

  // Its conversation opened: read in the Inbox too, at once.
  ASSERT_TRUE(ToView(u"Conversations", EKvViewConversations));
  ASSERT_TRUE(WaitFor([] { return !Conversations()->Conversations().empty(); }));
  ASSERT_TRUE(TapConversation(u"+447700900222"));
  ASSERT_TRUE(WaitFor([] { return Conversations()->IsConversationOpen(); }));
  kvui::WaitIdle();
  EXPECT_EQ(std::u16string(gKvAppUi->GetView(EKvViewInbox)->Title()), u"Inbox");
  ASSERT_TRUE(ToView(u"Inbox", EKvViewInbox));
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox"; })) << kvplatform::ToUtf8(Title());
  const int plain = InkOf(u"Bring the tickets", u"Seen already");
  EXPECT_GT(bold, plain + plain / 10) << bold << " against " << plain;
  Screenshot("unread_read_in_conversation");
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
