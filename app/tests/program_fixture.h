// The whole program on the headless screen: its entry runs on a thread of
// its own, as the user interface thread, while the test drives it with taps
// and keys and reads the screen, the stores and the registry.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <windows.h>

#include "app/tests/ui_fixture.h"
#include "platform/ui/testing.h"

class ProgramTest : public UiTest {
 protected:
  ProgramTest();
  ~ProgramTest() override;

  // Runs the program's entry; true once the Inbox is on the screen.
  bool StartProgram();
  // Closes the main frame as the system does and waits for the exit code.
  int StopProgram();
  // Waits (handling nothing of its own) until the condition holds.
  static bool WaitFor(const std::function<bool()>& aCondition, int aTimeoutMs = 60000);
  static HWND TopDialog();
  void Screenshot(const std::string& aName);
  // A row of a combo box's list; "<no row>" past its end.
  static std::u16string ComboRow(HWND aCombo, int aRow);
  // Waits until the settings dialog's port box no longer says the ports are
  // being looked for, and the window is idle.
  static bool WaitForPortSurvey(HWND aSettings);

  std::thread iProgram;
  std::atomic<bool> iRunning{false};
  std::atomic<int> iExitCode{0};
  DWORD iProgramThread = 0;
};
