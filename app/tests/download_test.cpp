// "Download messages" against a phone that falls silent, cancelled from
// its progress dialog.
#include "app/tests/stylus_fixture.h"

namespace {

class DownloadTest : public StylusTest {
 protected:
  static CKvMessagesView* Inbox() { return Messages(EKvViewInbox); }
};

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

// A sent message read back from the phone carries no time: the list, the
// split view and the reader say the date is unknown instead of showing the
// moment it was downloaded.
TEST_F(DownloadTest, ASentMessageFromThePhoneShowsItsDateAsUnknown) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 9}, {"status", 3}, {"to", "+447700900101"}, {"text", "See you at 8"}});
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  EXPECT_EQ(FinishProgress(u"Download messages ..."), u"Transfer Complete.");

  ASSERT_TRUE(ToView(u"Sent", EKvViewSent));
  ASSERT_EQ(MessageRows(EKvViewSent), 1);
  SelectRow(EKvViewSent, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  HWND reader = WaitForCompose();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(reader, KKvIdComposeText)), u"See you at 8");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(reader, KKvIdComposeDate)), u"unknown");
  Screenshot("sent_date_unknown");
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(reader); }));

  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, KKvCmdChangeView, 0);
  kvui::WaitIdle();
  EXPECT_TRUE(WaitFor([] { return ListViewText(EKvViewSent, 0, 1) == u"unknown"; }))
      << kvplatform::ToUtf8(ListViewText(EKvViewSent, 0, 1));
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
