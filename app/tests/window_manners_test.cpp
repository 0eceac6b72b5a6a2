// How the window behaves around what the user does: the split view's
// reader follows the row in hand, a box keeps the rest of the window still,
// the listening antenna covers no other button, a long notice shows all of
// its lines, and Escape closes the reader, compose and the folder tree.
#include <algorithm>
#include <memory>
#include <vector>

#include "app/views/kv_frame.h"
#include "app/views/kv_notice_bubble.h"
#include "app/tests/stylus_fixture.h"

namespace {

const WCHAR KSettingsKey[] = u"Software\\Veltramonic\\Korvanet";

class WindowMannersTest : public StylusTest {
 protected:
  void Store(DWORD aFolder, const char16_t* aText, const char16_t* aNumber) {
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(store->NewItemL()));
    TConstPtr16 text(aText), number(aNumber);
    message->SetDetailsL(nullptr, &text, &number, aFolder);
    ASSERT_NE(store->WriteItemL(*message), 0u);
  }
  static std::u16string Reader(int aType) { return kvui::TextOf(Messages(aType)->Reader()->ChildWindow()); }
  // A point on a row of the split view's list, found by the list itself.
  static POINT SplitRowPoint(int aType, int aRow) {
    CEpocListView* list = Messages(aType)->ListView();
    RECT area = kvui::StateOf(list->ChildWindow()).screenRect;
    for (POINT point{area.left + 40, area.top}; point.y < area.bottom; ++point.y) {
      int off = 1;
      if (list->HitTest(point, off) == aRow && off == 0) return POINT{point.x, point.y + 3};
    }
    return POINT{-1, -1};
  }
  bool SplitMode() {
    Command(KKvCmdChangeView);
    return WaitFor([] { return Messages(EKvViewInbox)->SplitMode(); }) && kvui::WaitIdle();
  }
  static HWND Tree() { return gKvAppUi->Frame()->FolderTree(); }
  static HWND OpenTree() {
    kvui::TapWindow(gKvAppUi->Frame()->TitleButton());
    WaitFor([] { return kvui::StateOf(Tree()).visible; });
    kvui::WaitIdle();
    return Tree();
  }
  // Pixels of exactly this colour within r on the screen.
  static int Count(const RECT& aRect, COLORREF aColour) {
    int count = 0;
    for (int y = aRect.top; y < aRect.bottom; ++y)
      for (int x = aRect.left; x < aRect.right; ++x)
        if (kvui::ColorAt(x, y) == aColour) ++count;
    return count;
  }
  static RECT Screen() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }
  // The screen's pixels of one colour, row by row.
  static std::vector<bool> Mask(COLORREF aColour) {
    RECT screen = Screen();
    std::vector<bool> mask;
    for (int y = screen.top; y < screen.bottom; ++y)
      for (int x = screen.left; x < screen.right; ++x) mask.push_back(kvui::ColorAt(x, y) == aColour);
    return mask;
  }
  // How many pixels are of the colour now and were not in aBefore, and
  // the rectangle around them.
  static int Added(const std::vector<bool>& aBefore, COLORREF aColour, RECT& aAround) {
    std::vector<bool> now = Mask(aColour);
    int width = Screen().right, added = 0;
    aAround = RECT{width, Screen().bottom, -1, -1};
    for (size_t i = 0; i < now.size() && i < aBefore.size(); ++i) {
      if (!now[i] || aBefore[i]) continue;
      ++added;
      LONG x = static_cast<LONG>(i % width), y = static_cast<LONG>(i / width);
      aAround = RECT{std::min(aAround.left, x), std::min(aAround.top, y), std::max(aAround.right, x + 1),
                     std::max(aAround.bottom, y + 1)};
    }
    return added;
  }
  // The notice's text pixels once it shows this text.
  static int NoticeInk(const std::u16string& aText) {
    CKvNoticeBubble* notice = gKvAppUi->Notice();
    if (!WaitFor([&] { return notice->IsShown() && notice->Text() == aText; })) return -1;
    kvui::WaitIdle();
    return Count(kvui::StateOf(notice->Window()).screenRect, RGB(0, 0, 0));
  }
};

TEST_F(WindowMannersTest, TheSplitViewsReaderFollowsAHeldRowAndDropsASentMessage) {
  Store(EKvFolderInbox, u"Lunch at one?", u"+441234567890");
  Store(EKvFolderInbox, u"Dinner at eight?", u"+447700900222");
  Store(EKvFolderOutbox, u"See you at the station", u"+447700900333");
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(SplitMode());

  // A tap shows the row; a tap and hold on the other row shows that one.
  POINT first = SplitRowPoint(EKvViewInbox, 0), second = SplitRowPoint(EKvViewInbox, 1);
  ASSERT_GE(first.y, 0);
  ASSERT_GE(second.y, 0);
  kvui::Tap(first.x, first.y);
  ASSERT_TRUE(WaitFor([] { return !Reader(EKvViewInbox).empty(); }));
  std::u16string firstText = Reader(EKvViewInbox);
  kvui::Hold(second.x, second.y);
  ASSERT_TRUE(WaitFor(IsOpenMenu));
  kvui::WaitIdle();
  kvui::PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([] { return !IsOpenMenu(); }));
  kvui::WaitIdle();
  EXPECT_EQ(Messages(EKvViewInbox)->ListView()->CurrentIndex(), 1);
  std::u16string secondText = Reader(EKvViewInbox);
  EXPECT_TRUE(secondText == u"Lunch at one?" || secondText == u"Dinner at eight?") << kvplatform::ToUtf8(secondText);
  EXPECT_NE(secondText, firstText) << "the reader kept the row tapped before the hold";
  Screenshot("split_reader_after_hold");

  // The draft shown, then sent from its compose: the reader no longer shows it.
  ASSERT_TRUE(ToView(u"Outbox", EKvViewOutbox));
  POINT draft = SplitRowPoint(EKvViewOutbox, 0);
  ASSERT_GE(draft.y, 0);
  kvui::Tap(draft.x, draft.y);
  ASSERT_TRUE(WaitFor([] { return Reader(EKvViewOutbox) == u"See you at the station"; }));
  ASSERT_TRUE(Choose(KEntryMenuX, u"Edit"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  kvui::WaitIdle();
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 0);
  EXPECT_EQ(Reader(EKvViewOutbox), u"") << "the reader still shows the message sent";
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(WindowMannersTest, WhileABoxOrTheProgressDialogIsUpTheMenuBarAndTitleTakeNoTaps) {
  RealBoxes();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Export messages…"));
  HWND chooser = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (chooser = kvui::FindByText(u"Export messages")) != nullptr && kvui::StateOf(chooser).visible; }));
  kvui::WaitIdle();
  kvui::PressKey(VK_RETURN);
  HWND box = WaitForBox();
  ASSERT_NE(box, nullptr);

  // Neither the menu bar nor the title button answers: no second chooser
  // can open beneath the box.
  kvui::Tap(KPhoneMenuX, KMenuBarY);
  kvui::WaitIdle();
  bool menuOpened = IsOpenMenu();
  EXPECT_FALSE(menuOpened) << "the menu bar opened its menu beneath the box";
  if (menuOpened) kvui::PressKey(VK_ESCAPE);
  kvui::TapWindow(gKvAppUi->Frame()->TitleButton());
  kvui::WaitIdle();
  EXPECT_FALSE(gKvAppUi->Frame()->IsTreeShown()) << "the folder tree opened beneath the box";
  EXPECT_TRUE(IsWindow(box));
  Screenshot("export_box_modal");

  // Once it is answered, the window is as it was.
  kvui::PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  kvui::WaitIdle();
  kvui::Tap(KPhoneMenuX, KMenuBarY);
  EXPECT_TRUE(WaitFor(IsOpenMenu));
  kvui::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([] { return !IsOpenMenu(); }));

  // The progress dialog is as modal: with no phone its download fails and
  // waits for its OK, and the menu bar beneath stays still meanwhile.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  HWND progress = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (progress = kvui::FindByText(u"Download messages ...")) != nullptr; }));
  HWND ok = kvui::FindById(progress, IDCANCEL);
  ASSERT_TRUE(WaitFor([&] { return kvui::TextOf(ok) == u"OK"; }));
  kvui::WaitIdle();
  kvui::Tap(KPhoneMenuX, KMenuBarY);
  kvui::WaitIdle();
  menuOpened = IsOpenMenu();
  EXPECT_FALSE(menuOpened) << "the menu bar opened its menu beneath the progress dialog";
  if (menuOpened) kvui::PressKey(VK_ESCAPE);
  kvui::TapWindow(ok);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(progress); }));
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(WindowMannersTest, TheListeningAntennaCoversNoButtonAndALongNoticeShowsAllItsLines) {
  iPhone.EnableControl();
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"] = nlohmann::json::array();
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  kvui::WaitIdle();
  // The menu bar's right end, the input panel's button, as it is drawn now.
  const RECT sip{GetSystemMetrics(SM_CXSCREEN) - 26, GetSystemMetrics(SM_CYSCREEN) - 26, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN)};
  std::vector<COLORREF> sipBefore;
  for (int y = sip.top; y < sip.bottom; ++y)
    for (int x = sip.left; x < sip.right; ++x) sipBefore.push_back(kvui::ColorAt(x, y));
  // The menu bar's new button has a green cross of its own.
  const COLORREF green = RGB(0, 128, 0);
  const std::vector<bool> greenBefore = Mask(green);
  RECT antenna{};

  ASSERT_TRUE(Choose(KPhoneMenuX, u"Listen for messages"));
  ASSERT_TRUE(WaitFor([this] { return CountLog("CKvListener::ActionInProgress - Listening for messages") >= 1; }));
  // The antenna's 28 green pixels all show, and the input panel's button is untouched.
  ASSERT_TRUE(WaitFor([&] { return Added(greenBefore, green, antenna) > 0; }));
  kvui::WaitIdle();
  EXPECT_EQ(Added(greenBefore, green, antenna), 28) << "the antenna is partly covered";
  std::vector<COLORREF> sipAfter;
  for (int y = sip.top; y < sip.bottom; ++y)
    for (int x = sip.left; x < sip.right; ++x) sipAfter.push_back(kvui::ColorAt(x, y));
  EXPECT_TRUE(sipAfter == sipBefore) << "the antenna covers the input panel's button";
  Screenshot("listening_antenna");

  // A long message's notice: each added word shows, so no line is cut.
  const std::u16string text =
      u"The train is late again, so I will be at the station around half past eight tonight; "
      u"start dinner without me and keep a plate warm if you can.";
  const std::u16string longer = text + u" Bring the blue folder.";
  ASSERT_TRUE(iPhone.Control("deliver +447700900123 " + kvplatform::ToUtf8(text)));
  int ink = NoticeInk(text);
  ASSERT_TRUE(iPhone.Control("deliver +447700900123 " + kvplatform::ToUtf8(longer)));
  int longerInk = NoticeInk(longer);
  Screenshot("listening_long_notice");
  EXPECT_GT(ink, 0);
  EXPECT_GT(longerInk, ink + 20) << "the notice's last lines are cut";
  RECT bubble = kvui::StateOf(gKvAppUi->Notice()->Window()).screenRect;
  EXPECT_LE(bubble.bottom, GetSystemMetrics(SM_CYSCREEN) - 26) << "the notice covers the menu bar";
  kvui::Tap((bubble.left + bubble.right) / 2, (bubble.top + bubble.bottom) / 2);
  ASSERT_TRUE(WaitFor([] { return !gKvAppUi->Notice()->IsShown(); }));
  kvui::WaitIdle();

  // A tap on the antenna ends listening, and it goes.
  ASSERT_EQ(Added(greenBefore, green, antenna), 28);
  kvui::Tap((antenna.left + antenna.right) / 2, (antenna.top + antenna.bottom) / 2);
  EXPECT_TRUE(WaitFor([] { return CEpocRegistry::GetRegistryInt(KSettingsKey, u"Listen") == 0; }));
  EXPECT_TRUE(WaitFor([&] { return Added(greenBefore, green, antenna) == 0; }));
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(WindowMannersTest, EscapeClosesTheReaderComposeAndTheFolderTree) {
  Store(EKvFolderInbox, u"Lunch at one?", u"+441234567890");
  ASSERT_TRUE(StartProgram());

  // The reader: closed as Done closes it, with no copy kept.
  SelectRow(EKvViewInbox, 0);
  ASSERT_TRUE(Choose(KEntryMenuX, u"Read"));
  HWND compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  kvui::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(compose); }, 10000)) << "Escape left the reader open";
  if (IsWindow(compose)) TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  kvui::WaitIdle();
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 0);

  // Compose: what was typed is kept in the Outbox, as Done keeps it.
  kvui::Tap(KNewButtonX, KMenuBarY);
  compose = WaitForCompose();
  ASSERT_NE(compose, nullptr);
  kvui::TypeText(u"+447700900777");
  HWND recipient = kvui::FindById(compose, KKvIdComposeRecipient);
  ASSERT_TRUE(WaitFor([&] { return kvui::TextOf(recipient) == u"+447700900777"; }));
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeText));
  kvui::TypeText(u"On my way");
  ASSERT_TRUE(WaitFor([&] { return kvui::TextOf(kvui::FindById(compose, KKvIdComposeText)) == u"On my way"; }));
  kvui::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(compose); }, 10000)) << "Escape left compose open";
  if (IsWindow(compose)) TapDone();
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  kvui::WaitIdle();
  EXPECT_EQ(CountFolder(EKvFolderOutbox), 1);

  // The folder tree: closed, the title back to the view's.
  HWND tree = OpenTree();
  ASSERT_TRUE(kvui::StateOf(tree).visible);
  kvui::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !kvui::StateOf(tree).visible; }, 10000)) << "Escape left the tree open";
  EXPECT_EQ(kvui::TextOf(gKvAppUi->Frame()->TitleButton()), u"Inbox");
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
