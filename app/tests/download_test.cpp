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

}  // namespace
