// What the phone protocol targets share: the engine thread's globals and
// scheduler that the AT layer expects, a phone layer made fresh for each
// input, and descriptor panics turned into findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_util.h"
#include "kernel/active.h"
#include "kernel/requests.h"
#include "phone/mobile_phone.h"

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
