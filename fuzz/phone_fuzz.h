// What the phone protocol targets share: the engine thread's globals and
// scheduler that the AT layer expects, a phone layer made fresh for each
// input, and descriptor panics turned into findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/at_lines.h"
#include "fuzz/fuzz_util.h"
#include "kernel/active.h"
#include "kernel/requests.h"
#include "phone/mobile_phone.h"
#include "sms/std_sms.h"

// A panic only logs and returns, so an index or a length out of range would
// go unseen: the targets link with --wrap for the two panics that guard
// descriptors and arrays, and any call is a finding. (Defined here, not
// inline: each target is one source file that includes this once.)
extern "C" void __wrap__Z15PanicDescriptori(int aReason) {
  FUZZ_CHECK(false, "Descriptor panic %d", aReason);
}
extern "C" void __wrap__Z13PanicBufArrayi(int aReason) {
  FUZZ_CHECK(false, "Buf Array panic %d", aReason);
}

inline std::u16string Text(const TDesc16& aText) { return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())); }

// This thread as the engine thread: the globals (event bank, TLS) and an
// active scheduler, made once for the whole run.
inline bool InitEngineThread() {
  FUZZ_CHECK(EpocInitGlobals() == KErrNone);
  CActiveScheduler::Install(new CActiveScheduler);
  return true;
}

// The layer as the engine makes it, one for the whole run: a new one costs
// 200 ms (closing its communicator waits), so each input starts from
// ForgetReplies instead, which leaves it as a new one is.
class TPhoneOwner {
 public:
  explicit TPhoneOwner(MMobilePhoneObserver* aObserver) : iPhone(CMobilePhoneBase::NewL(aObserver)) {
    FUZZ_CHECK(iPhone != nullptr);
  }
  ~TPhoneOwner() { delete iPhone; }
  TPhoneOwner(const TPhoneOwner&) = delete;
  TPhoneOwner& operator=(const TPhoneOwner&) = delete;
  CMobilePhoneBase* operator->() const { return iPhone; }
  CMobilePhoneBase& operator*() const { return *iPhone; }

 private:
  CMobilePhoneBase* iPhone;
};

// The bounds of a reported phone book entry, whatever the line was.
inline void CheckEntryBounds(const TPhoneBookEntry& aEntry) {
  FUZZ_CHECK(aEntry.iName.Length() >= 0 && aEntry.iName.Length() <= KEntryNameLength, "name of %d",
             aEntry.iName.Length());
  FUZZ_CHECK(aEntry.iNumber.Length() >= 0 && aEntry.iNumber.Length() <= KEntryNumberLength, "number of %d",
             aEntry.iNumber.Length());
  for (int i = 0; i < aEntry.iNumber.Length(); ++i)
    FUZZ_CHECK(aEntry.iNumber[i] != u'"', "quote in the number \"%s\"", Printable(Text(aEntry.iNumber)).c_str());
}

// An observer of the reply layer fed replies alone: nothing is sent, no
// operation runs, so any call of these is a finding. A target overrides what
// its states may call, and records the lines reported.
class TRepliesOnlyObserver : public MMobilePhoneObserver {
 public:
  void CorrectPhoneSettings(const TPhoneSettings&) override { FUZZ_CHECK(false, "settings reported"); }
  void PhoneDiscovered(const TDesc16&) override { FUZZ_CHECK(false, "phone discovered"); }
  void OperationStarting() override { FUZZ_CHECK(false, "operation starting"); }
  void OperationFinished() override { FUZZ_CHECK(false, "operation finished"); }
  void LineReceived(const TDesc16& aLine, int aReserved) override {
    FUZZ_CHECK(aReserved == 0);
    // A prompt hands over the receive buffer itself, any other line a copy.
    iLines.push_back({Text(aLine), aLine.Ptr() == iPhone->ReceiveBuffer().Ptr()});
  }
  void DataSending(const TDesc16&) override { FUZZ_CHECK(false, "nothing is sent"); }
  void DataSent(const TDesc16&, int) override { FUZZ_CHECK(false, "nothing is sent"); }
  void EntrySent() override { FUZZ_CHECK(false, "entry sent"); }
  void EntryDeleted() override { FUZZ_CHECK(false, "entry deleted"); }
  int SpareQuery1() override { return Unexpected("spare slot"); }
  int SpareQuery2() override { return Unexpected("spare slot"); }
  int SparePassThrough(int) override { return Unexpected("spare slot"); }
  void SpareNotice1() override { FUZZ_CHECK(false, "spare slot"); }
  void SmsPartSent() override { FUZZ_CHECK(false, "part sent"); }
  void SmsDeletedL() override { FUZZ_CHECK(false, "deleted"); }
  void SmsSendRetry() override { FUZZ_CHECK(false, "send retry"); }
  void SpareNotice2() override { FUZZ_CHECK(false, "spare slot"); }
  int NextConcatReference() override { return Unexpected("concatenation reference"); }

  CMobilePhoneBase* iPhone = nullptr;
  std::vector<TLine> iLines;

 protected:
  static int Unexpected(const char* aWhat) {
    FUZZ_CHECK(false, "%s", aWhat);
    return 0;
  }
};
