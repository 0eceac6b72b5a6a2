// The engine on its own thread against phonesim on a pseudo-terminal, with
// the real stores in a temporary device root, and a window on the test's
// thread that plays the progress dialog: it answers progress notices (-3 on
// request), records every text, and ends the action on completion.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "engine/engine_action.h"
#include "store/messages.h"
#include "testing/phonesim_process.h"
#include "testing/process_counts.h"
#include "testing/program_root.h"

struct TNotice {
  UINT iMessage;  // EKvActionInProgress or EKvActionComplete
  std::string iText;
  int iResult;
};

struct TContactRow {
  std::string iName;
  std::string iNumber;
  int iLocation;
  DWORD iFlags;
};

struct TMessageRow {
  std::string iName;
  std::string iNumber;
  std::string iText;
  DWORD iFolder;
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest();
  ~EngineTest() override;

  // Phone on COM3 (the link <root>/dev/COM3).
  void StartPhone(const nlohmann::json& aProfile);
  nlohmann::json StopPhone() { return iPhone.StopAndReadState(); }
  void StartEngine();
  // As StartEngine, with the engine's wait for a phone that falls silent cut
  // to aReplyMs (the program waits 30 s), so that a fault takes seconds, and
  // listening's intervals set to aListenQuietMs and aListenRetryMs when given.
  void StartEngineWithReplyTimeout(int aReplyMs, int aListenQuietMs = 0, int aListenRetryMs = 0);
  // Posts the command and handles notices until the completion arrives.
  // False when none came within the time.
  bool Run(UINT aCommand, int aTimeoutMs = 90000);
  // Handles notices until aCount completions in all have arrived.
  bool WaitCompletions(int aCount, int aTimeoutMs = 90000);
  // Handles messages (the engine's sends included) until the condition
  // holds; false when a hung test's deadline passes first.
  bool PumpUntil(const std::function<bool()>& aCondition, int aTimeoutMs = 60000);
  // Waits (handling messages) until the engine thread has ended.
  bool WaitEngineEnded(int aTimeoutMs = 60000);

  // The progress texts so far, or those that start with aPrefix.
  std::vector<std::string> Progress(const std::string& aPrefix = "") const;
  const TNotice* Completion() const;
  int CompletionCount() const;
  // The message part of every log line so far.
  std::vector<std::string> LogMessages() const;
  int CountLog(const std::string& aMessage) const;
  int CountLogPrefix(const std::string& aPrefix) const;
  // Index of the first log line equal to aMessage at or after aFrom; -1 if none.
  int FindLog(const std::string& aMessage, int aFrom = 0) const;

  std::vector<TContactRow> Contacts() const;
  std::vector<TMessageRow> Messages() const;
  // Adds a contact to the local store as the user interface would.
  void AddContact(const std::string& aName, const std::string& aNumber, int aLocation, DWORD aFlags);
  // An Outbox message for a send, handed to the action block with a service centre.
  void SetOutboxMessage(const char16_t* aText = u"Are you there?");
  std::unique_ptr<CKveMessagesItem> iMessage;

  // Threads of this process and its open descriptors, from /proc.

  static std::string Utf8(const TDesc16& aText);
  static std::u16string Utf16(const std::string& aText);

  TProgramRoot iDevice{"kv-engine", KProgramFolders};
  const std::string iRoot = iDevice.Path();
  HWND iWindow = nullptr;
  TPhoneSimProcess iPhone;
  TEngineAction iAction;
  HANDLE iEngineThread = nullptr;
  DWORD iEngineThreadId = 0;

  std::vector<TNotice> iNotices;
  // The status each EKvStatusUpdated carried, copied while the engine waits.
  std::vector<TPhoneStatus> iStatusUpdates;
  LRESULT iProgressAnswer = 0;  // what the window answers to progress
  bool iShutdownOnComplete = true;
  // Posted to the engine thread while it waits for the completion to be handled.
  std::vector<UINT> iPostOnComplete;
  // The user's cancel, as the progress dialog does it: at this progress
  // notice (counted from 1 among those in iNotices) EKvShutdownEngine is
  // posted, and this notice and every later one are answered -3. 0: never.
  int iCancelAtProgress = 0;
  int iReplyTimeoutMs = 0;
  int iListenQuietMs = 0;
  int iListenRetryMs = 0;

 private:
  static LRESULT WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  static DWORD ShortWaitEngineMain(LPVOID aFixture);
  static EngineTest* iCurrent;
};
