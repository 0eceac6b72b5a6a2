// What the window tells the user, against phonesim: unread messages in bold
// and counted in the title, why the port would not open, and the service
// centre the phone knows offered in Settings.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "app/tests/stylus_fixture.h"

namespace {

class WindowTextsTest : public StylusTest {
 protected:
  static std::u16string Title() { return kvui::TextOf(gKvAppUi->Frame()->TitleButton()); }
  // How many pixels of r on the screen are of the list's text colour: more
  // in a row written in bold than in the same row written plain.
  static int Ink(const RECT& aScreenRect) {
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    int ink = 0;
    for (int y = aScreenRect.top; y < aScreenRect.bottom; ++y)
      for (int x = aScreenRect.left; x < aScreenRect.right; ++x)
        if (kvui::ColorAt(x, y) == text) ++ink;
    return ink;
  }
  static RECT RowOnScreen(CEpocListBox* aList, int aRow) {
    RECT row{};
    SendMessageW(aList->ChildWindow(), LB_GETITEMRECT, aRow, reinterpret_cast<LPARAM>(&row));
    MapWindowPoints(aList->ChildWindow(), nullptr, reinterpret_cast<POINT*>(&row), 2);
    return row;
  }
  static int InboxRowOf(const std::u16string& aText) {
    std::vector<std::u16string> rows = Rows(Messages(EKvViewInbox)->ListBox());
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].find(aText) != std::u16string::npos) return static_cast<int>(i);
    return -1;
  }
  static int SplitViewInk() {
    kvui::WaitIdle();
    return Ink(kvui::StateOf(Messages(EKvViewInbox)->ListView()->ChildWindow()).screenRect);
  }
  // Runs a download to its end; its final text and where its bar stood.
  std::u16string FailedDownload(int& aBarPosition, const std::string& aScreenshot = "") {
    Command(KKvCmdDownloadMessages);
    return FinishProgress(u"Download messages ...", [&] {
      HWND dialog = kvui::FindByText(u"Download messages ...");
      aBarPosition = static_cast<int>(SendDlgItemMessageW(dialog, KKvIdProgressBar, PBM_GETPOS, 0, 0));
      if (!aScreenshot.empty()) Screenshot(aScreenshot);
    });
  }
  // The settings dialog once it is up, and its service centre field.
  static HWND OpenSettings(HWND& aField) {
    aField = nullptr;
    WaitFor([&] { return (aField = kvui::FindById(kvui::FindByText(u"Settings"), KKvIdSmscField)) != nullptr; });
    kvui::WaitIdle();
    return aField != nullptr ? GetParent(aField) : nullptr;
  }
  static std::u16string StoredSmsc() {
    LPWSTR text = CEpocRegistry::GetRegistryString(u"Software\\Veltramonic\\Korvanet", u"SMSC");
    std::u16string stored = text != nullptr ? text : u"";
    std::free(text);
    return stored;
  }
  int CountLogStarting(const std::string& aText) const {
    int count = 0;
    for (const std::string& line : LogLines())
      if (line.rfind(aText, 0) == 0) ++count;
    return count;
  }
  bool ChangeView(bool aSplit) {
    Command(KKvCmdChangeView);
    return WaitFor([&] { return Messages(EKvViewInbox)->SplitMode() == aSplit; }) && kvui::WaitIdle();
  }
};

TEST_F(WindowTextsTest, DownloadedUnreadMessagesAreCountedAndBoldInBothListsUntilRead) {
  // The small phone holds one message read on the phone and one not.
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_NE(RunAction(KKvCmdDownloadMessages, u"Download messages ..."), u"<not finished>");
  ASSERT_EQ(MessageRows(EKvViewInbox), 2);
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox (1)"; })) << kvplatform::ToUtf8(Title());

  int unread = InboxRowOf(u"Unknown sender here");
  int read = InboxRowOf(u"Lunch at one?");
  ASSERT_GE(unread, 0);
  ASSERT_GE(read, 0);
  kvui::WaitIdle();
  int boldInk = Ink(RowOnScreen(Messages(EKvViewInbox)->ListBox(), unread));
  Screenshot("unread_bold_list");
  ASSERT_TRUE(ChangeView(true));
  int splitBoldInk = SplitViewInk();
  Screenshot("unread_bold_split");
  ASSERT_TRUE(ChangeView(false));

  // Read: the count goes and the row is written plain (the selection moved
  // off it, so that it is drawn in the same colours as before).
  SelectRow(EKvViewInbox, unread);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_TRUE(WaitFor([] { return Title() == u"Inbox"; }));
  SelectRow(EKvViewInbox, read);
  kvui::WaitIdle();
  int plainInk = Ink(RowOnScreen(Messages(EKvViewInbox)->ListBox(), unread));
  EXPECT_GT(boldInk, plainInk + plainInk / 10) << boldInk << " against " << plainInk;
  ASSERT_TRUE(ChangeView(true));
  int splitPlainInk = SplitViewInk();
  EXPECT_GT(splitBoldInk, splitPlainInk) << splitBoldInk << " against " << splitPlainInk;
  ASSERT_TRUE(ChangeView(false));

  // A second download finds both read on the phone: nothing counts again.
  ASSERT_NE(RunAction(KKvCmdDownloadMessages, u"Download messages ..."), u"<not finished>");
  EXPECT_EQ(Title(), u"Inbox");
}

TEST_F(WindowTextsTest, APortThatWillNotOpenSaysWhyInTheWindowAndItsBarStaysShort) {
  // Nothing at the port's place: the phone is not connected.
  ASSERT_TRUE(StartProgram());
  int bar = -1;
  EXPECT_EQ(FailedDownload(bar), u"Error initialising port\r\nNo such port: is the phone connected?");
  EXPECT_LT(bar, 100);

  // Held by another program, as a modem manager holds it.
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  int held = open((iRoot + "/dev/COM3").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  ASSERT_EQ(ioctl(held, TIOCEXCL), 0);
  bar = -1;
  std::u16string text = FailedDownload(bar, "port_busy_reason");
  close(held);
  EXPECT_EQ(text, u"Error initialising port\r\nThe port is busy: another program holds it");
  EXPECT_LT(bar, 100);

  // Let go of: the same action fills its bar and says nothing of a cause.
  bar = -1;
  EXPECT_EQ(FailedDownload(bar), u"Transfer Complete.");
  EXPECT_EQ(bar, 100);
}

TEST_F(WindowTextsTest, TheServiceCentreThePhoneKnowsIsOfferedInSettingsAndKeptOnlyWhenConfirmed) {
  CEpocRegistry::SaveRegistryString(u"Software\\Veltramonic\\Korvanet", u"SMSC", u"");
  // The small phone sends through +447785016005.
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());

  // Before any connection the phone has not been asked.
  HWND field = nullptr;
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Settings"));
  HWND settings = OpenSettings(field);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(kvui::TextOf(field), u"");
  kvui::TapWindow(kvui::FindByText(u"Cancel", settings));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(settings); }));

  // A download connects: the phone is asked, and Settings offers its answer.
  ASSERT_EQ(RunAction(KKvCmdDownloadMessages, u"Download messages ..."), u"Transfer Complete.");
  EXPECT_EQ(StoredSmsc(), u"");
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Settings"));
  settings = OpenSettings(field);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(kvui::TextOf(field), u"+447785016005");
  Screenshot("settings_offers_phone_centre");
  kvui::TapWindow(kvui::FindByText(u"Cancel", settings));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(settings); }));
  EXPECT_EQ(StoredSmsc(), u"");

  // Confirmed: kept; from then on the phone is not asked again.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Settings"));
  settings = OpenSettings(field);
  ASSERT_NE(settings, nullptr);
  TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(settings); }));
  EXPECT_EQ(StoredSmsc(), u"+447785016005");
  int asked = CountLogStarting("CMobilePhoneBase::ReadSmsCentre");
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(RunAction(KKvCmdDownloadMessages, u"Download messages ..."), u"Transfer Complete.");
  EXPECT_EQ(CountLogStarting("CMobilePhoneBase::ReadSmsCentre"), asked);
}

}  // namespace
