// The control framework over plain windows: routing through the window map,
// component dispatch, painting of windowless components, the trace, and
// what the map does with windows it does not know.
#include <vector>

#include "app/framework/epoc_control.h"
#include "app/framework/epoc_wndproc.h"
#include "app/tests/ui_fixture.h"
#include "kernel/hwndmap.h"
#include "kernel/requests.h"
#include "platform/ui/testing.h"

namespace {

const WCHAR KClass[] = u"KvFrameworkTestClass";

struct TSeen {
  const char* iWho;
  UINT iMessage;
};

std::vector<TSeen>& Seen() {
  static std::vector<TSeen> seen;
  return seen;
}

// A control that records what reaches it and answers with a set result.
class CRecorder : public CEpocControl {
 public:
  CRecorder(const char* aWho, LRESULT aAnswer) : iWho(aWho), iAnswer(aAnswer) { SetClassName(u"CRecorder"); }
  LRESULT HandleEventDefault(HWND, UINT aMessage, WPARAM, LPARAM) override {
    Seen().push_back({iWho, aMessage});
    return iAnswer;
  }
  LRESULT HandleCommand(HWND, UINT aMessage, WPARAM, LPARAM) override {
    Seen().push_back({iWho, aMessage});
    return iAnswer;
  }
  LRESULT Draw(const RECT& aRect) override {
    ++iDraws;
    if (iFill != nullptr) FillRect(PaintContext(), &aRect, iFill);
    return 0;
  }
  int CountComponentControls() const override { return static_cast<int>(iComponents.size()); }
  CEpocControl* ComponentControl(int aIndex) const override { return iComponents[aIndex]; }

  const char* iWho;
  LRESULT iAnswer;
  int iDraws = 0;
  HBRUSH iFill = nullptr;
  std::vector<CEpocControl*> iComponents;
};

class FrameworkTest : public UiTest {
 protected:
  FrameworkTest() {
    Seen().clear();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = EpocMainWndProc;
    windowClass.lpszClassName = KClass;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&windowClass);
  }
  // As CreateEpocApplicationWindow does, without resources.
  HWND MakeWindow(CEpocControl* aControl) {
    EpocWindowMap()->SetPendingControl(aControl);
    HWND window = CreateWindowExW(0, KClass, u"test", WS_VISIBLE, 0, 26, 240, 200, nullptr, nullptr, nullptr, nullptr);
    aControl->SetWindowL(window);
    EpocWindowMap()->SetPendingControl(nullptr);
    return window;
  }
  bool SawCreate(const char* aWho) {
    for (const TSeen& seen : Seen())
      if (seen.iMessage == WM_CREATE && std::string(seen.iWho) == aWho) return true;
    return false;
  }
};

TEST_F(FrameworkTest, MessagesReachTheControlThroughTheMapAndTheComponentsFirst) {
  CRecorder* owner = new CRecorder("owner", KEpocNotHandled);
  CRecorder* hidden = new CRecorder("hidden", 5);
  CRecorder* shown = new CRecorder("shown", KEpocNotHandled);
  owner->iComponents = {hidden, shown};
  shown->MakeVisible(true);
  HWND window = MakeWindow(owner);
  ASSERT_NE(window, nullptr);
  // WM_CREATE arrived before SetWindowL, through the pending control.
  EXPECT_TRUE(SawCreate("owner"));
  EXPECT_EQ(EpocWindowMap()->Find(window), owner);

  Seen().clear();
  EXPECT_EQ(SendMessageW(window, WM_USER + 7, 0, 0), 0);  // nobody handled it: DefWindowProcW
  ASSERT_EQ(Seen().size(), 2u);  // the invisible component saw nothing
  EXPECT_STREQ(Seen()[0].iWho, "shown");
  EXPECT_STREQ(Seen()[1].iWho, "owner");

  // A visible component answering -1 stops the dispatch; the default runs.
  shown->iAnswer = KEpocDefault;
  Seen().clear();
  SendMessageW(window, WM_USER + 8, 0, 0);
  ASSERT_EQ(Seen().size(), 1u);
  EXPECT_STREQ(Seen()[0].iWho, "shown");
  // A visible component's own result comes back as the message's result.
  shown->iAnswer = 42;
  EXPECT_EQ(SendMessageW(window, WM_COMMAND, 1, 0), 42);
  // Once shown, the other component answers first.
  hidden->MakeVisible(true);
  EXPECT_EQ(SendMessageW(window, WM_USER + 9, 0, 0), 5);

  DestroyWindow(window);
  delete owner;
  delete hidden;
  delete shown;
  EXPECT_EQ(EpocWindowMap()->Count(), 0);
  EXPECT_EQ(CountLog("CHWndMap::RemoveMapping - mapping does not exist"), 0);
}

TEST_F(FrameworkTest, PaintingDrawsTheControlAndItsVisibleWindowlessComponents) {
  CRecorder* owner = new CRecorder("owner", KEpocNotHandled);
  CRecorder* inner = new CRecorder("inner", KEpocNotHandled);
  CRecorder* hidden = new CRecorder("hidden", KEpocNotHandled);
  owner->iComponents = {inner, hidden};
  inner->SetParent(owner);
  inner->MakeVisible(true);
  inner->iFill = CreateSolidBrush(RGB(0, 128, 0));
  HWND window = MakeWindow(owner);
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  EXPECT_GE(owner->iDraws, 1);
  EXPECT_GE(inner->iDraws, 1);
  EXPECT_EQ(hidden->iDraws, 0);
  // The windowless component drew with its parent's paint context.
  EXPECT_EQ(kvplatform::uitest::ColorAt(120, 120), RGB(0, 128, 0));
  EXPECT_EQ(inner->Window(), window);
  EXPECT_GE(CountLog("CEpocControl::HandleRedraw"), 1);
  DeleteObject(inner->iFill);
  DestroyWindow(window);
  delete owner;
  delete inner;
  delete hidden;
}

TEST_F(FrameworkTest, TraceLeavesOutQuietMessagesAndUnknownWindowsLogTheMap) {
  CRecorder* owner = new CRecorder("owner", KEpocNotHandled);
  HWND window = MakeWindow(owner);
  NMHDR customDraw{window, 1, static_cast<UINT>(-12)};
  SendMessageW(window, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&customDraw));
  NMHDR click{window, 1, static_cast<UINT>(-2)};
  SendMessageW(window, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&click));
  SendMessageW(window, WM_MOUSEMOVE, 0, 0);
  int customDraws = 0, clicks = 0, moves = 0;
  for (const std::string& line : LogLines()) {
    if (line.find("Msg NM_CUSTOMDRAW") != std::string::npos) ++customDraws;
    if (line.find("EpocWnd HWND CRecorder, Msg NM_CLICK") != std::string::npos) ++clicks;
    if (line.find("WM_MOUSEMOVE") != std::string::npos) ++moves;
  }
  EXPECT_EQ(customDraws, 0);
  EXPECT_EQ(moves, 0);
  EXPECT_EQ(clicks, 1);

  // A window of the class that no control owns: logged with the whole map,
  // then the system's default processing.
  HWND stray = CreateWindowExW(0, KClass, u"stray", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_GE(CountLog("Map array count = 1"), 1);
  bool listed = false;
  for (const std::string& line : LogLines())
    if (line.rfind("Map item 0, wnd 0x", 0) == 0) listed = true;
  EXPECT_TRUE(listed);
  DestroyWindow(stray);
  DestroyWindow(window);
  delete owner;
}

}  // namespace
