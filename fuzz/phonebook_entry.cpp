// ParsePhoneBookEntry and the limits reply on arbitrary lines.
//
// The first input byte chooses: bits 0-1 an entry line in state 9 (0) or the
// limits reply of phone memory (1), the SIM (2) or fixed dialling (3); bit 2
// an observer that answers a found entry with a stop; bit 3 puts "+CPBR: "
// in front of the rest, which is the line, one character a byte.
//
// Properties:
//   - the line is read only within its length (it lies in a block of exactly
//     that size) and no descriptor operation goes out of range;
//   - an entry is reported at most once, within its fields, and the result
//     is the observer's answer, or 0 when nothing was reported;
//   - a "+CPBR: " line parsed through the layer's line handling gives the
//     entry the direct call gives;
//   - a well-formed entry ("+CPBR: 3,"4478...",145,"Name"") gives its
//     location, number (with "+" for an international type) and name;
//   - a limits reply changes only its own store, and a well-formed one
//     ("+CPBR: (1-250),40,18") gives exactly its four values.
#include <cstring>
#include <optional>
#include <vector>

#include "fuzz/phone_fuzz.h"
#include "sms/gsm_alphabet.h"
#include "sms/std_sms.h"

namespace {

const char16_t KPrefix[] = u"+CPBR: ";
const int KEntryStop = KErrCancel;

class TEntryRecorder : public MMobilePhoneObserver {
 public:
  int WiggleCallBack() override { return 0; }
  void CorrectPhoneSettings(const TPhoneSettings&) override {}
  void PhoneDiscovered(const TDesc16&) override {}
  int FoundPhoneEntry(const TPhoneBookEntry& aEntry) override {
    CheckEntryBounds(aEntry);
    iEntries.push_back(aEntry);
    return iStop ? KEntryStop : 0;
  }
  void OperationStarting() override {}
  void OperationFinished() override {}
  void LineReceived(const TDesc16&, int) override {}
  void DataSending(const TDesc16&) override {}
  void DataSent(const TDesc16&, int) override {}
  void EntrySent() override {}
  void EntryDeleted() override {}
  int SpareQuery1() override { return 0; }
  int SpareQuery2() override { return 0; }
  int SparePassThrough(int aValue) override { return aValue; }
  void SpareNotice1() override {}
  void SmsPartSent() override {}
  void FoundSmsL(CStdSms* aSms, int) override { delete aSms; }
  void SmsDeletedL() override {}
  void SmsSendRetry() override {}
  void SpareNotice2() override {}
  int NextConcatReference() override { return 0; }
  int NewSmsIndication(const TDesc16&) override { return 0; }

  bool iStop = false;
  std::vector<TPhoneBookEntry> iEntries;
};

bool IsDigit(char16_t aChar) { return aChar >= u'0' && aChar <= u'9'; }

// Up to aMaxDigits digits at aPos; nothing when there are none or more.
std::optional<int> Digits(const std::u16string& aText, size_t& aPos, size_t aMaxDigits) {
  size_t start = aPos;
  int value = 0;
  for (; aPos < aText.size() && IsDigit(aText[aPos]); ++aPos)
    if (aPos - start < aMaxDigits) value = value * 10 + (aText[aPos] - u'0');
  if (aPos == start || aPos - start > aMaxDigits) return std::nullopt;
  return value;
}

bool Skip(const std::u16string& aText, size_t& aPos, const char16_t* aLiteral) {
  size_t length = std::char_traits<char16_t>::length(aLiteral);
  if (aText.compare(aPos, length, aLiteral) != 0) return false;
  aPos += length;
  return true;
}

struct TExpectedEntry {
  int iLocation;
  std::u16string iNumber;
  std::u16string iName;
};

// "+CPBR: <location>,"<number>",<type>" with an optional ","<name>"" and
// anything after the name's closing quote (or no closing quote at all).
std::optional<TExpectedEntry> WellFormedEntry(const std::u16string& aLine) {
  size_t pos = 0;
  if (!Skip(aLine, pos, KPrefix)) return std::nullopt;
  std::optional<int> location = Digits(aLine, pos, 4);
  if (!location || !Skip(aLine, pos, u",\"")) return std::nullopt;
  size_t quote = aLine.find(u'"', pos);
  if (quote == std::u16string::npos) return std::nullopt;
  std::u16string number = aLine.substr(pos, quote - pos);
  pos = quote;
  if (!Skip(aLine, pos, u"\",")) return std::nullopt;
  std::optional<int> type = Digits(aLine, pos, 3);
  if (!type) return std::nullopt;
  TExpectedEntry entry{*location, {}, {}};
  // The number field holds 32; a longer one loses its last digits.
  if (number.size() > static_cast<size_t>(KEntryNumberLength)) number.resize(KEntryNumberLength - 1);
  if ((*type & 0xF0) == 0x90 && !number.empty() && number.find(u'+') == std::u16string::npos) {
    number.insert(number.begin(), u'+');
    if (number.size() > static_cast<size_t>(KEntryNumberLength)) number.resize(KEntryNumberLength);
  }
  entry.iNumber = number;
  if (pos == aLine.size()) return entry;
  if (!Skip(aLine, pos, u",\"") || pos == aLine.size()) return std::nullopt;
  size_t end = aLine.find(u'"', pos);
  std::u16string name = aLine.substr(pos, (end == std::u16string::npos ? aLine.size() : end) - pos);
  if (name.size() > static_cast<size_t>(KEntryNameLength)) name.resize(KEntryNameLength);
  TModBuf16<KEntryNameLength> converted;
  converted.Copy(name.data(), static_cast<int>(name.size()));
  GsmToLatin(converted);  // the phone uses the GSM character set
  entry.iName = Text(converted);
  return entry;
}

struct TExpectedLimits {
  int iLow, iHigh, iMaxNumber, iMaxName;
};

// "+CPBR: (<low>-<high>),<number length>,<name length>", or "(<low>)" for one
// location; more fields may follow.
std::optional<TExpectedLimits> WellFormedLimits(const std::u16string& aLine) {
  size_t pos = 0;
  if (!Skip(aLine, pos, KPrefix) || !Skip(aLine, pos, u"(")) return std::nullopt;
  std::optional<int> low = Digits(aLine, pos, 4);
  if (!low) return std::nullopt;
  std::optional<int> high = low;
  if (Skip(aLine, pos, u"-")) high = Digits(aLine, pos, 4);
  if (!high || !Skip(aLine, pos, u"),")) return std::nullopt;
  std::optional<int> maxNumber = Digits(aLine, pos, 3);
  if (!maxNumber || !Skip(aLine, pos, u",")) return std::nullopt;
  std::optional<int> maxName = Digits(aLine, pos, 3);
  if (!maxName || (pos < aLine.size() && aLine[pos] != u',')) return std::nullopt;
  return TExpectedLimits{*low, *high, *maxNumber, *maxName};
}

bool SameEntry(const TPhoneBookEntry& a, const TPhoneBookEntry& b) {
  return a.iLocation == b.iLocation && Text(a.iNumber) == Text(b.iNumber) && Text(a.iName) == Text(b.iName);
}

std::string Shown(const TPhoneBookEntry& aEntry) {
  return std::to_string(aEntry.iLocation) + " \"" + Printable(Text(aEntry.iNumber)) + "\" \"" +
         Printable(Text(aEntry.iName)) + "\"";
}

struct TFixture {
  TEntryRecorder iRecorder;
  TPhoneOwner iPhone{&iRecorder};
};

TFixture& Fixture() {
  static TFixture* fixture = new TFixture;
  return *fixture;
}

void CheckEntry(const std::u16string& aLine, bool aStop) {
  TEntryRecorder& recorder = Fixture().iRecorder;
  TPhoneOwner& phone = Fixture().iPhone;
  recorder.iEntries.clear();
  recorder.iStop = aStop;
  phone->ForgetReplies();
  phone->SetResponseState(EStatePhoneBookRead);

  ExactText exact(aLine.size());
  std::copy(aLine.begin(), aLine.end(), exact.data());
  TModPtr16 line(exact.data(), exact.length(), exact.length());
  const int result = phone->ParsePhoneBookEntry(line);
  FUZZ_CHECK(recorder.iEntries.size() <= 1, "%zu entries from one line", recorder.iEntries.size());
  if (recorder.iEntries.empty()) {
    FUZZ_CHECK(result == 0, "result %d without an entry", result);
  } else {
    FUZZ_CHECK(result == (aStop ? KEntryStop : 0), "result %d, observer answered %d", result, aStop ? KEntryStop : 0);
  }

  const std::optional<TExpectedEntry> expected = WellFormedEntry(aLine);
  if (expected) {
    FUZZ_CHECK(recorder.iEntries.size() == 1, "well-formed entry not reported");
    const TPhoneBookEntry& entry = recorder.iEntries[0];
    FUZZ_CHECK(entry.iLocation == expected->iLocation && Text(entry.iNumber) == expected->iNumber &&
                   Text(entry.iName) == expected->iName,
               "entry %s, expected %d \"%s\" \"%s\"", Shown(entry).c_str(), expected->iLocation,
               Printable(expected->iNumber).c_str(), Printable(expected->iName).c_str());
  }

  // The same line as the layer receives it: copied, classified, handed on.
  if (aLine.rfind(KPrefix, 0) == 0 && aLine.size() <= static_cast<size_t>(KLineBufferLength)) {
    const std::vector<TPhoneBookEntry> direct = recorder.iEntries;
    recorder.iEntries.clear();
    // The direct call cut the line down: the layer gets the whole line again.
    std::copy(aLine.begin(), aLine.end(), exact.data());
    const int classified = phone->ProcessLine(TConstPtr16(exact.data(), exact.length()));
    FUZZ_CHECK(recorder.iEntries.size() == direct.size(), "%zu entries through the layer, %zu directly",
               recorder.iEntries.size(), direct.size());
    FUZZ_CHECK(classified == result, "result %d through the layer, %d directly", classified, result);
    if (!direct.empty())
      FUZZ_CHECK(SameEntry(recorder.iEntries[0], direct[0]), "entry %s through the layer, %s directly",
                 Shown(recorder.iEntries[0]).c_str(), Shown(direct[0]).c_str());
  }
}

void CheckLimits(const std::u16string& aLine, int aState, int aStore) {
  TEntryRecorder& recorder = Fixture().iRecorder;
  TPhoneOwner& phone = Fixture().iPhone;
  recorder.iEntries.clear();
  recorder.iStop = false;
  phone->ForgetReplies();
  phone->SetResponseState(aState);
  const TPhoneSettings before = phone->PhoneSettings();

  ExactText exact(aLine.size());
  std::copy(aLine.begin(), aLine.end(), exact.data());
  TModPtr16 line(exact.data(), exact.length(), exact.length());
  FUZZ_CHECK(phone->HandleCpbr(line) == 0);
  FUZZ_CHECK(recorder.iEntries.empty(), "limits reply reported as an entry");

  const TPhoneSettings& after = phone->PhoneSettings();
  for (int store = 0; store < KPhoneBookStores; ++store) {
    if (store == aStore) continue;
    const TPhoneMemory& a = before.MemoryValues[store];
    const TPhoneMemory& b = after.MemoryValues[store];
    FUZZ_CHECK(a.MemLow == b.MemLow && a.MemHigh == b.MemHigh && a.MaxName == b.MaxName &&
                   a.MaxNumber == b.MaxNumber && a.NotAvailable == b.NotAvailable,
               "limits of store %d changed by the reply for store %d", store, aStore);
  }
  FUZZ_CHECK(after.MemoryValues[aStore].NotAvailable == before.MemoryValues[aStore].NotAvailable);
  const std::optional<TExpectedLimits> expected = WellFormedLimits(aLine);
  if (expected) {
    const TPhoneMemory& m = after.MemoryValues[aStore];
    FUZZ_CHECK(m.MemLow == expected->iLow && m.MemHigh == expected->iHigh && m.MaxNumber == expected->iMaxNumber &&
                   m.MaxName == expected->iMaxName,
               "limits %d-%d, %d, %d; expected %d-%d, %d, %d", m.MemLow, m.MemHigh, m.MaxNumber, m.MaxName,
               expected->iLow, expected->iHigh, expected->iMaxNumber, expected->iMaxName);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  static const bool ready = InitEngineThread();
  (void)ready;
  if (aSize < 1) return 0;
  const int kind = aData[0] & 3;
  const bool stop = (aData[0] & 4) != 0;
  std::u16string line = (aData[0] & 8) != 0 ? std::u16string(KPrefix) : std::u16string();
  for (size_t i = 1; i < aSize; ++i) line += static_cast<char16_t>(aData[i]);

  switch (kind) {
    case 0:
      CheckEntry(line, stop);
      break;
    case 1:
      CheckLimits(line, EStateLimitsPhoneMemory, EPhoneMemory);
      break;
    case 2:
      CheckLimits(line, EStateLimitsSim, ESimCard);
      break;
    default:
      CheckLimits(line, EStateLimitsFixedDialling, EFixedDialling);
      break;
  }
  return 0;
}
