// The status replies' parsers on arbitrary text.
//
// The first input byte: bit 0 says whether UCS2 was selected (operator names
// in hexadecimal); bit 1 puts a well-formed "+CSQ: n,99" line (n the second
// byte modulo 32) after the rest, which is the reply, one character a byte.
//
// Properties:
//   - the reply is read only within its length and no descriptor operation
//     goes out of range (a panic is a finding);
//   - every text field stays within its buffer; an IMEI is 14 to 17 digits
//     or nothing;
//   - numbers stay in their ranges: signal -113..-51 dBm with 0..4 bars, or
//     unknown (0 and -1) together; battery 0..100 or unknown; a store's use
//     never above its size; every state one of its enumeration;
//   - a well-formed signal line read alone gives exactly -113 + 2n dBm.
#include <string>

#include "fuzz/fuzz_check.h"
#include "kernel/descriptors.h"
#include "phone/phone_status.h"

// A panic only logs and returns: the target links with --wrap for the one
// that guards descriptors, and any call is a finding.
extern "C" void __wrap__Z15PanicDescriptori(int aReason) { FUZZ_CHECK(false, "Descriptor panic %d", aReason); }
extern "C" void __wrap__Z13PanicBufArrayi(int aReason) { FUZZ_CHECK(false, "Buf Array panic %d", aReason); }

namespace {

const size_t KMaxInput = 4096;

void CheckStatus(const TPhoneStatus& aStatus) {
  FUZZ_CHECK(aStatus.iSim >= ESimUnknown && aStatus.iSim <= ESimFailure);
  FUZZ_CHECK(aStatus.iRegistration >= ERegUnknown && aStatus.iRegistration <= ERegDenied);
  FUZZ_CHECK(aStatus.iPower >= EPowerUnknown && aStatus.iPower <= EPowerFault);
  FUZZ_CHECK(aStatus.iOperator.Length() <= KStatusTextLength && aStatus.iSimText.Length() <= KStatusTextLength);
  if (aStatus.iSignalBars == KStatusUnknown) {
    FUZZ_CHECK(aStatus.iSignalDbm == 0, "dBm %d without bars", aStatus.iSignalDbm);
  } else {
    FUZZ_CHECK(aStatus.iSignalBars >= 0 && aStatus.iSignalBars <= KSignalBars);
    FUZZ_CHECK(aStatus.iSignalDbm >= -113 && aStatus.iSignalDbm <= -51 && (aStatus.iSignalDbm & 1) == 1);
  }
  FUZZ_CHECK(aStatus.iBatteryPercent == KStatusUnknown || (aStatus.iBatteryPercent >= 0 && aStatus.iBatteryPercent <= 100));
  for (const TStoreStatus& store : aStatus.iStores) {
    FUZZ_CHECK(store.iMemory.Length() <= KStatusMemoryLength);
    FUZZ_CHECK((store.iUsed == KStatusUnknown) == (store.iSize == KStatusUnknown));
    FUZZ_CHECK(store.iUsed <= store.iSize, "%d of %d", store.iUsed, store.iSize);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize < 2 || aSize > KMaxInput) return 0;
  const bool ucs2 = (aData[0] & 1) != 0;
  const bool signalLine = (aData[0] & 2) != 0;
  const int rssi = aData[1] % 32;
  std::u16string text;
  for (size_t i = 2; i < aSize; ++i) text.push_back(static_cast<char16_t>(aData[i]));
  if (signalLine) text += u"\n+CSQ: " + std::u16string(1, static_cast<char16_t>(u'0' + rssi / 10)) +
                          std::u16string(1, static_cast<char16_t>(u'0' + rssi % 10)) + u",99";

  // The reply in a heap block of exactly its size, so that a read beyond it is seen.
  THeapBuf16* block = THeapBuf16::NewL(text.empty() ? 1 : static_cast<int>(text.size()));
  FUZZ_CHECK(block != nullptr);
  THeapPtr16 reply = block->Des();
  reply.Copy(reinterpret_cast<const TText16*>(text.data()), static_cast<int>(text.size()));

  TPhoneStatus status;
  ParseIdentityReply(reply, status.iMaker);
  ParseImeiReply(reply, status.iImei);
  ParseSimReply(reply, status);
  ParseOperatorReply(reply, ucs2, status);
  ParseRegistrationReply(reply, status);
  ParseBatteryReply(reply, status);
  ParseStorageReply(reply, status);
  ParseSmsSupportReply(reply);
  FUZZ_CHECK(status.iMaker.Length() <= KStatusTextLength);
  FUZZ_CHECK(status.iImei.Length() == 0 || (status.iImei.Length() >= 14 && status.iImei.Length() <= 17));
  for (int i = 0; i < status.iImei.Length(); ++i) FUZZ_CHECK(status.iImei[i] >= u'0' && status.iImei[i] <= u'9');
  CheckStatus(status);

  TPhoneStatus signal;
  ParseSignalReply(reply, signal);
  CheckStatus(signal);
  if (signalLine && text.find(u"+CSQ") == text.size() - 10) {
    FUZZ_CHECK(signal.iSignalDbm == -113 + 2 * rssi, "rssi %d gave %d dBm", rssi, signal.iSignalDbm);
  }
  delete block;
  return 0;
}
