#include "app/tests/program_fixture.h"

#include <chrono>

#include <kvresources.h>

#include "app/document/app_globals.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_main.h"
#include "app/views/resources/resource_ids.h"
#include "app/views/resources/korvanet_resources.h"
#include "kernel/requests.h"

namespace kvui = kvplatform::uitest;

ProgramTest::ProgramTest() {
  // The program makes its own globals on its own thread.
  EpocReleaseGlobals();
  KvDeclareResources(kvresources::ProgramInstance());
}

ProgramTest::~ProgramTest() {
  if (iProgram.joinable()) StopProgram();
  EpocInitGlobals();  // for the fixture's own release
}

bool ProgramTest::StartProgram() {
  iRunning = true;
  iProgram = std::thread([this] {
    iProgramThread = GetCurrentThreadId();
    WCHAR commandLine[] = u"";
    iExitCode = KvWinMain(kvresources::ProgramInstance(), nullptr, commandLine, SW_SHOW);
    iRunning = false;
  });
  // A first view of thousands of rows takes a while on a loaded machine:
  // idle within the one generous deadline, not the usual few seconds.
  // The title counts the unread messages the store keeps: "Inbox" or "Inbox (n)".
  return WaitFor([] {
           HWND title = gKvMainFrameWindow != nullptr && gKvAppUi != nullptr && gKvAppUi->Frame() != nullptr
                            ? gKvAppUi->Frame()->TitleButton()
                            : nullptr;
           return title != nullptr && kvui::TextOf(title).starts_with(u"Inbox");
         }) &&
         kvui::WaitIdle(60000);
}

int ProgramTest::StopProgram() {
  if (gKvMainFrameWindow != nullptr) PostMessageW(gKvMainFrameWindow, WM_CLOSE, 0, 0);
  WaitFor([this] { return !iRunning; }, 20000);
  if (iRunning && iProgramThread != 0) PostThreadMessageW(iProgramThread, WM_QUIT, 99, 0);
  if (iProgram.joinable()) iProgram.join();
  return iExitCode;
}

bool ProgramTest::WaitFor(const std::function<bool()>& aCondition, int aTimeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(10);
  }
  return true;
}

HWND ProgramTest::TopDialog() { return GetForegroundWindow(); }

void ProgramTest::Screenshot(const std::string& aName) {
  kvui::WaitIdle();
  kvui::SaveScreenshot(ScreenshotPath(aName));
}

std::u16string ProgramTest::ComboRow(HWND aCombo, int aRow) {
  // One roomy buffer and one message: the window's thread may change the row
  // between a length asked first and the text asked after.
  const LRESULT most = 4096;
  if (SendMessageW(aCombo, CB_GETLBTEXTLEN, aRow, 0) > most) return u"<no row>";
  std::u16string row(static_cast<size_t>(most) * 4, u'\0');
  LRESULT copied = SendMessageW(aCombo, CB_GETLBTEXT, aRow, reinterpret_cast<LPARAM>(row.data()));
  if (copied < 0 || copied > most) return u"<no row>";
  row.resize(static_cast<size_t>(copied));
  return row;
}

bool ProgramTest::WaitForPortSurvey(HWND aSettings) {
  HWND ports = kvui::FindById(aSettings, KKvIdPortList);
  return ports != nullptr && WaitFor([&] { return ComboRow(ports, 1) != u"Looking for ports\u2026"; }) &&
         kvui::WaitIdle();
}
