// Start-up, the frame and its folder tree, accelerators and shut-down of the
// windowed program, driven as a user would.
#include <sys/wait.h>

#include <cstdlib>

#include <kvplatform.h>

#include "app/document/app_globals.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_view_table.h"
#include "app/views/resources/resource_ids.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_view.h"
#include "app/tests/program_fixture.h"

namespace kvui = kvplatform::uitest;

namespace {

class KorvanetProgram : public ProgramTest {};

void PressWithControl(UINT aKey) {
  kvui::KeyDown(VK_CONTROL);
  kvui::PressKey(aKey);
  kvui::KeyUp(VK_CONTROL);
}

TEST_F(KorvanetProgram, StartsOnTheInboxKeepsRunningOnCtrlQAndEndsWhenTheSystemClosesIt) {
  ASSERT_TRUE(StartProgram());
  ASSERT_NE(gKvAppUi, nullptr);
  CKvView* inbox = gKvAppUi->GetView(EKvViewInbox);
  EXPECT_EQ(gKvAppUi->CurrentView(), inbox);
  EXPECT_TRUE(inbox->IsInitialised());
  EXPECT_FALSE(gKvAppUi->GetView(EKvViewOutbox)->IsInitialised());
  HWND title = kvui::FindById(gKvMainFrameWindow, KKvIdTitleButton);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(kvui::TextOf(title), u"Inbox");
  EXPECT_TRUE(kvui::StateOf(title).visible);
  EXPECT_TRUE(kvui::StateOf(inbox->Window()).visible);
  // The single-instance test finds the window by class and title.
  EXPECT_EQ(FindWindowW(u"KorvanetWindowClass", u"Korvanet"), gKvMainFrameWindow);
  Screenshot("startup_inbox");

  // Ctrl+Q does not end it; Ctrl+A opens the About box.
  PressWithControl('Q');
  EXPECT_TRUE(iRunning);
  EXPECT_TRUE(IsWindow(gKvAppUi->CurrentView()->Window()));
  PressWithControl('A');
  HWND about = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (about = kvui::FindByText(u"About")) != nullptr; }));
  std::u16string root = kvplatform::FromUtf8(kvplatform::DeviceRoot());
  EXPECT_NE(kvui::FindByText(root.c_str(), about), nullptr);
  EXPECT_NE(kvui::FindByText(u"Version 1.0", about), nullptr);
  Screenshot("about_box");
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
  EXPECT_TRUE(iRunning);

  EXPECT_EQ(StopProgram(), 0);
  EXPECT_EQ(CountLog("EpocMain: Korvanet application shutting down"), 0);  // logging is off by default
  EXPECT_EQ(gKvAppUi, nullptr);
  EXPECT_EQ(gKvMainFrameWindow, nullptr);
}

TEST_F(KorvanetProgram, ASecondCopyBringsTheFirstForwardAndEndsWithZero) {
  ASSERT_TRUE(StartProgram());
  std::string command = std::string("KORVANET_ROOT='") + iRoot + "' KORVANET_DISPLAY=headless timeout 120 " KV_KORVANET_BINARY;
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(iRunning);
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(KorvanetProgram, AFolderTapSwitchesTheViewAndTappingFoldersKeepsTheTreeOpen) {
  ASSERT_TRUE(StartProgram());
  CKvFrame* frame = gKvAppUi->Frame();
  HWND title = kvui::FindById(gKvMainFrameWindow, KKvIdTitleButton);
  HWND tree = frame->FolderTree();
  RECT area = kvui::StateOf(tree).screenRect;
  // Rows of the tree: "Folders", then Contacts, Conversations, Inbox, Outbox and Sent (sorted).
  auto row = [&](int aIndex) { return area.top + 9 + 17 * aIndex; };

  kvui::TapWindow(title);
  ASSERT_TRUE(kvui::StateOf(tree).visible);
  kvui::WaitIdle();
  kvui::Tap(area.left + 30, row(0));  // "Folders" itself
  EXPECT_TRUE(kvui::StateOf(tree).visible);
  kvui::Tap(area.left + 50, row(4));  // Outbox
  EXPECT_FALSE(kvui::StateOf(tree).visible);
  CKvView* outbox = gKvAppUi->GetView(EKvViewOutbox);
  EXPECT_EQ(gKvAppUi->CurrentView(), outbox);
  EXPECT_EQ(kvui::TextOf(title), u"Outbox");
  EXPECT_TRUE(kvui::StateOf(outbox->Window()).visible);
  EXPECT_FALSE(kvui::StateOf(gKvAppUi->GetView(EKvViewInbox)->Window()).visible);
  Screenshot("outbox_view");
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
