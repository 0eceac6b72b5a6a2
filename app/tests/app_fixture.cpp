#include "app/tests/app_fixture.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <kvplatform.h>

#include "app/document/app_globals.h"
#include "engine/engine_action.h"
#include "kernel/log.h"
#include "kernel/requests.h"
#include "testing/log_file.h"

AppTest* AppTest::iCurrent = nullptr;

namespace {
const WCHAR KTestWindowClass[] = u"KvAppTestWindow";
}  // namespace

AppTest::AppTest() {
  static bool once = [] {
    EpocInitGlobals();
    WNDCLASSW windowClass = {};
    windowClass.lpszClassName = KTestWindowClass;
    windowClass.lpfnWndProc = &AppTest::WindowProc;
    RegisterClassW(&windowClass);
    return true;
  }();
  (void)once;
  iCurrent = this;
  iWindow = CreateWindowExW(0, KTestWindowClass, u"frame", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  gKvMainFrameWindow = iWindow;
}

AppTest::~AppTest() {
  gKvMainFrameWindow = nullptr;
  DestroyWindow(iWindow);
  iCurrent = nullptr;
  SetLogging(0);
}

LRESULT AppTest::TNotices::ActionInProgressL(const TEngineAction& aAction) {
  return iTest.iOnNotice ? iTest.iOnNotice(EKvActionInProgress, aAction) : 0;
}

void AppTest::TNotices::ActionCompleteL(const TEngineAction& aAction) {
  if (iTest.iOnNotice) iTest.iOnNotice(EKvActionComplete, aAction);
}

LRESULT AppTest::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  LRESULT answer = 0;
  if (iCurrent != nullptr) {
    TNotices notices(*iCurrent);
    if (KvDispatchEngineNotice(notices, aMessage, aWParam, aLParam, answer)) return answer;
  }
  return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

bool AppTest::PumpUntil(const std::function<bool()>& aCondition, int aTimeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return true;
}

std::vector<std::string> AppTest::LogMessages() const { return ::LogMessages(iRoot); }

int AppTest::CountLog(const std::string& aMessage) const {
  int count = 0;
  for (const std::string& message : LogMessages()) count += message == aMessage;
  return count;
}
