// "Download messages" against phonesim behind the progress dialog, the
// rows in list and split mode, and the display-mode toggle.
#include <algorithm>

#include "app/tests/stylus_fixture.h"

namespace {

// The stylus fixture turns the log on: it says every progress text the dialog showed.
class DownloadTest : public StylusTest {
 protected:
  static CKvMessagesView* Inbox() { return Messages(EKvViewInbox); }
  static int ListBoxRows() { return MessageRows(EKvViewInbox); }
  int ListViewRows() {
    return static_cast<int>(SendMessageW(Inbox()->ListView()->ChildWindow(), LVM_GETITEMCOUNT, 0, 0));
  }
  std::u16string ListViewText(int aRow, int aColumn) {
    WCHAR text[64] = {0};
    LVITEMW item{};
    item.iSubItem = aColumn;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(Inbox()->ListView()->ChildWindow(), LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  uint64_t TimeOfRow(int aRow) {
    CEOID oid = static_cast<CEOID>(Inbox()->ListView()->ItemData(aRow));
    // A store of the test's own: the program's moves its read position on
    // its own thread whenever the list view paints a row.
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->ReadItemL(oid));
    delete store;
    if (message == nullptr) return 0;
    uint64_t time = (uint64_t{message->DateSentTime().dwHighDateTime} << 32) | message->DateSentTime().dwLowDateTime;
    delete message;
    return time;
  }
};

TEST_F(DownloadTest, ProgressStepsThenRowsInListAndSplitMode) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  PostMessageW(Inbox()->Window(), WM_COMMAND, KKvCmdDownloadMessages, 0);
  EXPECT_EQ(FinishProgress(u"Download messages ...", [&] { Screenshot("download_complete"); }), u"Transfer Complete.");
  // The texts went by in order.
  std::vector<std::string> shown;
  for (const std::string& line : LogLines())
    if (line.rfind("Return message = ", 0) == 0) shown.push_back(line.substr(17));
  auto at = [&](const std::string& text) { return std::find(shown.begin(), shown.end(), text) - shown.begin(); };
  ASSERT_LT(at("Discovered Phone"), static_cast<long>(shown.size()));
  EXPECT_LT(at("Discovered Phone"), at("Found Sms 1"));
  EXPECT_LT(at("Found Sms 1"), at("Found Sms 2"));

  EXPECT_EQ(ListBoxRows(), 2);
  EXPECT_EQ(ListViewRows(), 2);
  Screenshot("inbox_list_mode");

  // Change view: split mode at once, stored at once.
  PostMessageW(Inbox()->Window(), WM_COMMAND, KKvCmdChangeView, 0);
  ASSERT_TRUE(WaitFor([&] { return kvui::StateOf(Inbox()->ListView()->ChildWindow()).visible; }));
  EXPECT_FALSE(kvui::StateOf(Inbox()->ListBox()->ChildWindow()).visible);
  EXPECT_TRUE(kvui::StateOf(Inbox()->Reader()->ChildWindow()).visible);
  kvplatform::ReloadRegistry();
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView"), 1);
  // Downloaded rows come in at the top, so the newest is first until sorted.
  EXPECT_GT(TimeOfRow(0), TimeOfRow(1));
  EXPECT_FALSE(ListViewText(0, 1).empty());
  // A tap on the Date header sorts by time; on Name by name (neither has
  // one), then time: the older first both times.
  RECT list = kvui::StateOf(Inbox()->ListView()->ChildWindow()).screenRect;
  kvui::Tap(list.left + 170, list.top + 8);
  EXPECT_EQ(Inbox()->ListView()->SortColumn(), 1);
  EXPECT_LT(TimeOfRow(0), TimeOfRow(1));
  EXPECT_EQ(ListViewText(0, 0), u"+441234567890");
  kvui::Tap(list.left + 40, list.top + 8);
  EXPECT_EQ(Inbox()->ListView()->SortColumn(), 0);
  EXPECT_LT(TimeOfRow(0), TimeOfRow(1));

  // Tapping a row shows its text in the reader.
  kvui::Tap(list.left + 40, list.top + 30);
  HWND reader = Inbox()->Reader()->ChildWindow();
  EXPECT_TRUE(WaitFor([&] { return !kvui::TextOf(reader).empty(); }));
  EXPECT_EQ(kvui::TextOf(reader), u"Lunch at one?");
  Screenshot("inbox_split_mode");
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(DownloadTest, CancelAgainstASilentPhoneAbortsTheDownload) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["hang_after"] = "AT+CMGL=4";
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  PostMessageW(Inbox()->Window(), WM_COMMAND, KKvCmdDownloadMessages, 0);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (dialog = kvui::FindByText(u"Download messages ...")) != nullptr; }));
  HWND status = kvui::FindById(dialog, KKvIdStatusText);
  HWND button = kvui::FindById(dialog, IDCANCEL);
  // The listing is under way; the phone falls silent in it.
  auto notices = [&] { return CountLog("CKvProgressDialog::HandleEventDefault - EKvActionInProgress"); };
  ASSERT_TRUE(WaitFor([&] { return notices() >= 2; }));
  kvui::TapWindow(button);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(status) == u"Transfer aborted"; })) << kvplatform::ToUtf8(kvui::TextOf(status));
  EXPECT_EQ(kvui::TextOf(button), u"OK");
  EXPECT_TRUE(IsWindow(dialog));
  Screenshot("download_aborted");
  kvui::TapWindow(button);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(CountLog("CKvAppEngineImpl::ActionComplete - -3"), 1);
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
