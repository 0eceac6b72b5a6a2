// A temporary device root (registry, data folders, log), the process's
// globals, and a window on the test's thread standing in for both the main
// frame and the progress dialog.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "app/document/kv_engine_notices.h"
#include "engine/engine_action.h"
#include "testing/program_root.h"

class AppTest : public ::testing::Test {
 protected:
  AppTest();
  ~AppTest() override;

  std::vector<std::string> LogMessages() const;
  int CountLog(const std::string& aMessage) const;
  // Handles messages until the condition holds or the time is up.
  bool PumpUntil(const std::function<bool()>& aCondition, int aTimeoutMs = 60000);

  TProgramRoot iDevice{"kv-app", KProgramFolders};
  const std::string iRoot = iDevice.Path();
  HWND iWindow = nullptr;
  // Called for EKvActionInProgress and EKvActionComplete; returns the answer.
  std::function<LRESULT(UINT aMessage, const TEngineAction& aAction)> iOnNotice;

 private:
  // The window's engine notices, as the program's consumers get them.
  class TNotices : public MKvEngineObserver {
   public:
    explicit TNotices(AppTest& aTest) : iTest(aTest) {}
    LRESULT ActionInProgressL(const TEngineAction& aAction) override;
    void ActionCompleteL(const TEngineAction& aAction) override;

   private:
    AppTest& iTest;
  };

  static LRESULT WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  static AppTest* iCurrent;
};
