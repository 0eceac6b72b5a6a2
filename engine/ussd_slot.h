// A USSD session handed to a listening engine (the gateway's requests): one
// at a time. The user interface offers it, the engine takes it at its next
// turn, runs it on the open port and leaves the outcome for the notice's
// reader. The one object both threads touch, so it guards itself.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct TKvUssdOutcome {
  bool iOk = false;
  // Each reply of the network in order: a menu (it waited for an answer), and its text.
  std::vector<std::pair<bool, std::u16string>> iReplies;
  std::u16string iError;  // why it failed; empty when it did not
};

class TKvUssdSlot {
 public:
  // False while another session is offered, running or unread.
  bool Offer(const std::u16string& aCode, const std::vector<std::u16string>& aAnswers) {
    std::lock_guard<std::mutex> hold(iLock);
    if (iState != EFree) return false;
    iCode = aCode;
    iAnswers = aAnswers;
    iOutcome = TKvUssdOutcome();
    iState = EOffered;
    return true;
  }
  bool Take(std::u16string& aCode, std::vector<std::u16string>& aAnswers) {
    std::lock_guard<std::mutex> hold(iLock);
    if (iState != EOffered) return false;
    aCode = iCode;
    aAnswers = iAnswers;
    iState = ERunning;
    return true;
  }
  void Finish(const TKvUssdOutcome& aOutcome) {
    std::lock_guard<std::mutex> hold(iLock);
    iOutcome = aOutcome;
    iState = EFinished;
  }
  // The outcome once finished; the slot is free again.
  bool TakeOutcome(TKvUssdOutcome& aOutcome) {
    std::lock_guard<std::mutex> hold(iLock);
    if (iState != EFinished) return false;
    aOutcome = std::move(iOutcome);
    iState = EFree;
    return true;
  }
  bool Offered() const {
    std::lock_guard<std::mutex> hold(iLock);
    return iState == EOffered;
  }

 private:
  enum TState { EFree, EOffered, ERunning, EFinished };
  mutable std::mutex iLock;
  TState iState = EFree;
  std::u16string iCode;
  std::vector<std::u16string> iAnswers;
  TKvUssdOutcome iOutcome;
};
