// ProcessReceivedData on whatever a phone may send, in every response state.
//
// The input: the first byte chooses the response state (its low five bits,
// an index into KStates) and three switches: bit 5 sets the counting flag of
// a message count, bit 6 makes the observer end a phone book read at the
// first entry, bit 7 hands the last block over with a receiver error. The
// second byte is the block size (0 for 512, the communicator's receive
// buffer); the rest is what the phone sent, handed over in blocks of that size.
//
// Properties, checked after every block:
//   - a block that does not fit the 2,560-character receive buffer is refused
//     with -9 and changes nothing; a receiver error changes nothing either;
//   - what stays buffered is the end of what was handed over; after a 0
//     result it holds no carriage return and starts with no line end;
//   - every line reported is the text between line ends (its first 512
//     characters for a longer one), in order; the prompt only in state 37;
//   - results are reply codes, -9 or the observer's answer;
//   - entries, messages, list headers and settings change only in the
//     states that capture them, and stay within their fields.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/at_lines.h"
#include "fuzz/phone_fuzz.h"
#include "sms/std_sms.h"

namespace {

// 1 and 13 are no state of the layer: lines are classified and ignored.
const int KStates[] = {EStateIdle,
                       1,
                       EStateIdentity,
                       EStateConnect,
                       EStateCharsets,
                       EStatePhoneBookSelect,
                       EStateBattery,
                       EStateImei,
                       EStateSignal,
                       EStatePhoneBookRead,
                       EStateLimitsPhoneMemory,
                       EStateLimitsFixedDialling,
                       EStateLimitsSim,
                       13,
                       EStateSmsCount,
                       EStateSmsStorePhone,
                       EStateSmsStoreSim,
                       EStateSmsIndex,
                       EStateSmsList,
                       EStateSmsRead,
                       EStatePhoneBookWrite,
                       EStateSmsCentre,
                       EStatePduMode,
                       EStateSmsLength,
                       EStateSmsPdu};
const int KStateCount = sizeof KStates / sizeof KStates[0];
const int KEntryStop = KErrCancel;  // what the engine answers when the user cancelled

class TRecorder : public TRepliesOnlyObserver {
 public:
  int WiggleCallBack() override { return ++iWiggles, 0; }
  int FoundPhoneEntry(const TPhoneBookEntry& aEntry) override {
    FUZZ_CHECK(iPhone->ResponseState() == EStatePhoneBookRead, "entry in state %d", iPhone->ResponseState());
    CheckEntryBounds(aEntry);
    iEntries.push_back(aEntry);
    return iStopAtEntry ? KEntryStop : 0;
  }
  void FoundSmsL(CStdSms* aSms, int) override {
    std::unique_ptr<CStdSms> sms(aSms);
    const int state = iPhone->ResponseState();
    // A status report routed whole ("+CDS:" and its PDU) comes in any state.
    FUZZ_CHECK(state == EStateSmsList || state == EStateSmsRead || iPhone->DecodingRouted(), "message in state %d",
               state);
    FUZZ_CHECK(sms != nullptr);
    FUZZ_CHECK(sms->MessageText().Length() <= 255, "text of %d", sms->MessageText().Length());
    FUZZ_CHECK(sms->RecipientNumber(0).Length() <= KSmsNumberLength);
    ++(iPhone->DecodingRouted() ? iRoutedReports : iMessages);
  }
  int NewSmsIndication(const TDesc16& aLine) override {
    // Announcements are set aside in any state, between commands too.
    const std::u16string line = Text(aLine);
    FUZZ_CHECK(line.rfind(u"+CMTI", 0) == 0 || line.rfind(u"+CDSI", 0) == 0, "indication \"%s\"",
               Printable(line).c_str());
    ++iIndications;
    return 0;
  }

  void Reset() {
    iWiggles = iMessages = iRoutedReports = iIndications = 0;
    iLines.clear();
    iEntries.clear();
  }

  bool iStopAtEntry = false;
  int iWiggles = 0;
  int iMessages = 0;
  int iRoutedReports = 0;
  int iIndications = 0;
  std::vector<TPhoneBookEntry> iEntries;
};

bool SameMemory(const TPhoneMemory& a, const TPhoneMemory& b) {
  return a.MemLow == b.MemLow && a.MemHigh == b.MemHigh && a.MaxName == b.MaxName && a.MaxNumber == b.MaxNumber &&
         a.NotAvailable == b.NotAvailable;
}

int LimitsStore(int aState) {
  switch (aState) {
    case EStateLimitsPhoneMemory:
      return EPhoneMemory;
    case EStateLimitsSim:
      return ESimCard;
    case EStateLimitsFixedDialling:
      return EFixedDialling;
    default:
      return -1;
  }
}

// Settings may change only where the state lets a reply reach them.
void CheckSettings(const TPhoneSettings& aBefore, const TPhoneSettings& aAfter, int aState) {
  if (aState == EStateIdle) {
    FUZZ_CHECK(Text(aAfter.ModemId) == Text(aBefore.ModemId) && aAfter.SignalStrength == aBefore.SignalStrength &&
                   aAfter.BatteryState == aBefore.BatteryState && aAfter.PowerSource == aBefore.PowerSource,
               "state 0 classified a line");
  }
  if (aState != EStateImei) FUZZ_CHECK(Text(aAfter.IMEI) == Text(aBefore.IMEI), "IMEI set in state %d", aState);
  for (int store = 0; store < KPhoneBookStores; ++store) {
    if (store != LimitsStore(aState))
      FUZZ_CHECK(SameMemory(aAfter.MemoryValues[store], aBefore.MemoryValues[store]), "limits of store %d set in state %d",
                 store, aState);
  }
  FUZZ_CHECK(aAfter.SignalStrength == aBefore.SignalStrength ||
                 (aAfter.SignalStrength >= -1 && aAfter.SignalStrength <= 100),
             "signal %d", aAfter.SignalStrength);
  if (aAfter.BatteryState != aBefore.BatteryState) FUZZ_CHECK(aAfter.BatteryState >= 0);
  if (aAfter.PowerSource != aBefore.PowerSource) FUZZ_CHECK(aAfter.PowerSource >= 0);
  FUZZ_CHECK(aAfter.IMEI.Length() <= KImeiLength && aAfter.ModemId.Length() <= KModemIdLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  static const bool ready = InitEngineThread();
  (void)ready;
  if (aSize < 2) return 0;
  const int state = KStates[(aData[0] & 0x1F) % KStateCount];
  const bool counting = (aData[0] & 0x20) != 0;
  const bool errorLast = (aData[0] & 0x80) != 0;
  const size_t block = aData[1] == 0 ? 512 : aData[1];

  static TRecorder& recorder = *new TRecorder;
  static TPhoneOwner& phone = *new TPhoneOwner(&recorder);
  recorder.Reset();
  recorder.iStopAtEntry = (aData[0] & 0x40) != 0;
  recorder.iPhone = &*phone;
  phone->ForgetReplies();
  phone->SetResponseState(state);
  phone->SetCounting(counting ? 1 : 0);

  std::u16string fed;  // every character the layer accepted, in order
  TCursor cursor;
  for (size_t at = 2; at < aSize; at += block) {
    const size_t length = std::min(block, aSize - at);
    const bool last = at + length >= aSize;
    const int status = errorLast && last ? KErrGeneral : 0;
    // A block of exactly its size, so that a read past it is seen.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[length]);
    std::memcpy(bytes.get(), aData + at, length);
    TConstPtr8 data(bytes.get(), static_cast<int>(length));

    const std::u16string bufferBefore = Text(phone->ReceiveBuffer());
    const TPhoneSettings settingsBefore = phone->PhoneSettings();
    const size_t linesBefore = recorder.iLines.size();
    const size_t entriesBefore = recorder.iEntries.size();
    const int messagesBefore = recorder.iMessages;
    const int indexBefore = phone->SmsIndexCount();
    const int wigglesBefore = recorder.iWiggles;
    const int reportedBefore = phone->StoreReported();
    const bool fits = bufferBefore.size() + length <= static_cast<size_t>(KReceiveBufferLength);
    if (status == 0 && fits)
      for (size_t i = 0; i < length; ++i) fed += static_cast<char16_t>(bytes[i]);

    const int result = phone->ProcessReceivedData(data, status);
    const std::u16string buffer = Text(phone->ReceiveBuffer());

    if (status != 0 || !fits) {
      FUZZ_CHECK(result == (status != 0 ? status : KErrOverflow), "result %d for a refused block", result);
      FUZZ_CHECK(buffer == bufferBefore, "a refused block changed the buffer");
      FUZZ_CHECK(recorder.iLines.size() == linesBefore && recorder.iWiggles == wigglesBefore,
                 "a refused block was processed");
      continue;
    }
    FUZZ_CHECK(recorder.iWiggles == wigglesBefore + 1, "%d wiggles for one block", recorder.iWiggles - wigglesBefore);
    FUZZ_CHECK(buffer.size() <= static_cast<size_t>(KReceiveBufferLength), "buffer of %zu", buffer.size());
    FUZZ_CHECK(buffer.size() <= fed.size() && fed.compare(fed.size() - buffer.size(), buffer.size(), buffer) == 0,
               "the buffer is not the end of the stream");
    if (result == 0) {
      FUZZ_CHECK(buffer.find(u'\r') == std::u16string::npos, "a whole line left in the buffer");
      FUZZ_CHECK(buffer.empty() || !IsLineEnd(buffer[0]), "line ends left at the front");
      FUZZ_CHECK(state != EStateSmsLength || buffer.empty() || buffer[0] != u'>', "prompt not taken");
    }
    const size_t newEntries = recorder.iEntries.size() - entriesBefore;
    if (recorder.iStopAtEntry && newEntries > 0) {
      FUZZ_CHECK(result == KEntryStop && newEntries == 1, "%zu entries, result %d after the observer's stop",
                 newEntries, result);
    } else {
      FUZZ_CHECK(IsReplyCode(result), "result %d", result);
    }
    CheckNewLines(recorder.iLines, linesBefore, fed, fed.size() - buffer.size(), cursor, state);
    CheckSettings(settingsBefore, phone->PhoneSettings(), state);
    if (state != EStateSmsIndex) FUZZ_CHECK(phone->SmsIndexCount() == indexBefore, "list header kept in state %d", state);
    FUZZ_CHECK(phone->SmsIndexCount() - indexBefore <= static_cast<int>(recorder.iLines.size() - linesBefore));
    if (state != EStateSmsList && state != EStateSmsRead) FUZZ_CHECK(recorder.iMessages == messagesBefore);
    if (state != EStateSmsCount) FUZZ_CHECK(phone->StoreReported() == reportedBefore);
    // Idle takes no reply; an announcement is still set aside for the engine.
    if (state == EStateIdle) FUZZ_CHECK(result == 0, "state 0 classified a line");
  }
  return 0;
}
