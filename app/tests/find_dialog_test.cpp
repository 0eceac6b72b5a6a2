// Entry ▸ Find…: messages of every folder found as the user types, whatever
// the case, the accents and the script; the rows read page by page as the
// list scrolls; a double tap opens the message; nothing found, and a text
// too long, said in words.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/tests/stylus_fixture.h"

namespace {

struct TSeed {
  LPCWSTR iName;
  LPCWSTR iNumber;
  LPCWSTR iText;
  DWORD iFolder;
};

class FindDialogTest : public StylusTest {
 protected:
  static void Store(const std::vector<TSeed>& aMessages) {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    WORD day = 1;
    for (const TSeed& seed : aMessages) {
      std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(store->NewItemL()));
      TConstPtr16 name(seed.iName), text(seed.iText), number(seed.iNumber);
      message->SetDetailsL(&name, &text, &number, seed.iFolder);
      SYSTEMTIME sent = {2024, 3, 0, day, 10, 0, 0, 0};
      day = static_cast<WORD>(day % 28 + 1);
      FILETIME date = {};
      SystemTimeToFileTime(&sent, &date);
      message->SetDateSentTime(date);
      ASSERT_NE(store->WriteItemL(*message), 0u);
    }
  }
  // The Find dialog, once up, from the Entry menu of the view in front.
  HWND OpenFind() {
    if (!Choose(KEntryMenuX, u"Find…")) return nullptr;
    HWND dialog = nullptr;
    WaitFor([&] {
      dialog = kvui::FindByText(u"Find");
      return dialog != nullptr && kvui::StateOf(dialog).visible && kvui::FindById(dialog, KKvIdFindResults) != nullptr;
    });
    kvui::WaitIdle();
    return dialog;
  }
  static std::u16string Status(HWND aDialog) { return kvui::TextOf(kvui::FindById(aDialog, KKvIdFindStatus)); }
  static HWND Results(HWND aDialog) { return kvui::FindById(aDialog, KKvIdFindResults); }
  static int RowCount(HWND aDialog) { return static_cast<int>(SendMessageW(Results(aDialog), LVM_GETITEMCOUNT, 0, 0)); }
  static std::u16string Cell(HWND aDialog, int aRow, int aColumn) {
    WCHAR text[160] = {0};
    LVITEMW item{};
    item.iSubItem = aColumn;
    item.pszText = text;
    item.cchTextMax = 160;
    SendMessageW(Results(aDialog), LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  // The query typed in place of the last; true once the status says aStatus.
  bool Search(HWND aDialog, const std::u16string& aQuery, const std::u16string& aStatus) {
    ClearAndType(aDialog, KKvIdFindQuery, aQuery);
    return WaitFor([&] { return Status(aDialog) == aStatus; }) && kvui::WaitIdle();
  }
  // Who each row is from or to, top to bottom.
  static std::vector<std::u16string> Names(HWND aDialog) {
    std::vector<std::u16string> names;
    for (int row = 0; row < RowCount(aDialog); ++row) names.push_back(Cell(aDialog, row, 0));
    return names;
  }
  // A screen point on a row, found by the list's own hit test.
  static POINT RowPointOf(HWND aDialog, int aRow) {
    HWND list = Results(aDialog);
    RECT rect = kvui::StateOf(list).screenRect;
    for (int y = rect.top + 1; y < rect.bottom; y += 2) {
      LVHITTESTINFO hit{};
      hit.pt = POINT{40, y - rect.top};
      SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.iItem == aRow && (hit.flags & LVHT_ONITEM) != 0) return POINT{rect.left + 40, y + 3};
    }
    return POINT{-1, -1};
  }
};

const std::vector<TSeed> KMessages = {
    {u"Alice", u"+447700900001", u"Meet me at the café by the station at noon.", EKvFolderInbox},
    {u"", u"+79161234567", u"…вет! Встреча завтра в десять, не опаздывай.", EKvFolderInbox},
    {u"Wei", u"+8613800138000", u"我们明天见面吧，好吗？", EKvFolderSent},
    {u"Lin", u"+8613800138001", u"明白了，谢谢。", EKvFolderInbox},
    {u"Bob", u"+447700900002", u"The train is late again, sorry.", EKvFolderOutbox},
    {u"Carol", u"+447700900003", u"CAFETERIA closed on Friday.", EKvFolderInbox},
    {u"Dan", u"+447700900004", u"Nothing here holds any of the words.", EKvFolderSent},
    {u"Eve", u"+447700900005",
     u"A long message that goes on and on about the weather and the garden before it finally says zebra.",
     EKvFolderInbox},
};

TEST_F(FindDialogTest, TypingFindsExactlyTheMessagesHoldingItWhateverTheAccentsAndTheScript) {
  Store(KMessages);
  ASSERT_TRUE(StartProgram());
  HWND dialog = OpenFind();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Status(dialog), u"Type a word of a message, a name or a number.");
  EXPECT_EQ(RowCount(dialog), 0);

  // Typed without its accent, in another case: the café and the cafeteria,
  // from every folder, the one stored last first.
  ASSERT_TRUE(Search(dialog, u"CAFE", u"2 messages found."));
  EXPECT_EQ(Names(dialog), (std::vector<std::u16string>{u"Carol", u"Alice"}));
  EXPECT_EQ(Cell(dialog, 1, 1), u"…the café by the station at noon.");
  EXPECT_EQ(Cell(dialog, 1, 2), u"03/01/24");
  Screenshot("find_accents");

  // A Cyrillic word; the row is named by the number, having no name. Its
  // seven keys, and four to clear the box, search once the typing pauses:
  // not once a key (ten searches), nor at half of them.
  int searches = CountLog("CKvFindDialog::AskL");
  ASSERT_TRUE(Search(dialog, u"встреча", u"1 message found."));
  EXPECT_LE(CountLog("CKvFindDialog::AskL") - searches, 5);
  EXPECT_EQ(Names(dialog), std::vector<std::u16string>{u"+79161234567"});
  EXPECT_EQ(Cell(dialog, 0, 1), u"…вет! Встреча завтра в десять, не опаздывай.");
  Screenshot("find_cyrillic");

  // Two Chinese characters: the message holding them, not the one sharing one.
  ASSERT_TRUE(Search(dialog, u"明天", u"1 message found."));
  EXPECT_EQ(Names(dialog), std::vector<std::u16string>{u"Wei"});
  ASSERT_TRUE(Search(dialog, u"明", u"2 messages found."));
  EXPECT_EQ(Names(dialog), (std::vector<std::u16string>{u"Lin", u"Wei"}));
  Screenshot("find_chinese");

  // A match far into a long text leads its row, so the row shows it.
  ASSERT_TRUE(Search(dialog, u"zebra", u"1 message found."));
  EXPECT_EQ(Cell(dialog, 0, 1), u"…says zebra.");
  // The name and the number are searched too.
  ASSERT_TRUE(Search(dialog, u"bob", u"1 message found."));
  EXPECT_EQ(Names(dialog), std::vector<std::u16string>{u"Bob"});
  ASSERT_TRUE(Search(dialog, u"900003", u"1 message found."));
  EXPECT_EQ(Names(dialog), std::vector<std::u16string>{u"Carol"});

  TapDone();
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(FindDialogTest, ADoubleTapOpensTheMessageAndNothingFoundOrTooLongIsSaidInWords) {
  Store(KMessages);
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  HWND dialog = OpenFind();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Search(dialog, u"train", u"1 message found."));
  POINT row = RowPointOf(dialog, 0);
  ASSERT_GE(row.y, 0);
  kvui::DoubleTap(row.x, row.y);
  HWND reader = WaitForCompose();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(reader, KKvIdComposeText)), u"The train is late again, sorry.");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(reader); }));
  // Back in the dialog, its rows as they were.
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_EQ(Names(dialog), std::vector<std::u16string>{u"Bob"});

  ASSERT_TRUE(Search(dialog, u"xylophone", u"No messages found."));
  EXPECT_EQ(RowCount(dialog), 0);
  Screenshot("find_nothing");

  ASSERT_TRUE(Search(dialog, std::u16string(KMaxSearchLength + 1, u'a'),
                     u"Too long to search for: at most 256 characters."));
  EXPECT_EQ(RowCount(dialog), 0);
  // Blanks only: nothing to search for, which is no fault.
  ASSERT_TRUE(Search(dialog, u"   ", u"Type a word of a message, a name or a number."));
  TapDone();
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(FindDialogTest, MoreRowsAreReadAsTheListScrollsToItsEnd) {
  std::vector<std::u16string> texts;
  std::vector<TSeed> many;
  for (int i = 0; i < 120; ++i) {
    std::string text = "Weekly report number " + std::to_string(i);
    texts.emplace_back(text.begin(), text.end());
  }
  for (int i = 0; i < 120; ++i) many.push_back({u"Office", u"+447700900100", texts[i].c_str(), EKvFolderInbox});
  Store(many);
  ASSERT_TRUE(StartProgram());
  HWND dialog = OpenFind();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Search(dialog, u"weekly", u"50 messages found so far."));
  EXPECT_EQ(RowCount(dialog), 50);
  EXPECT_EQ(Cell(dialog, 0, 1), u"Weekly report number 119");
  // The end of the list, by the keys: each page asks for the next.
  kvui::TapWindow(Results(dialog));
  for (int page = 0; page < 3 && Status(dialog) != u"120 messages found."; ++page) {
    int shown = RowCount(dialog);
    kvui::PressKey(VK_END);
    WaitFor([&] { return RowCount(dialog) > shown || Status(dialog) == u"120 messages found."; });
    kvui::WaitIdle();
  }
  EXPECT_EQ(Status(dialog), u"120 messages found.");
  ASSERT_EQ(RowCount(dialog), 120);
  EXPECT_EQ(Cell(dialog, 119, 1), u"Weekly report number 0");
  std::set<std::u16string> distinct;
  for (int row = 0; row < 120; ++row) distinct.insert(Cell(dialog, row, 1));
  EXPECT_EQ(distinct.size(), 120u);
  TapDone();
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
