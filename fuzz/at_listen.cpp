// ProcessReceivedData while the program listens for announcements, and in
// the states whose replies depend on the character set, with names in UCS2
// as well as GSM and 8859-1.
//
// The input: the first byte chooses the state (bits 0-2 and 7, an index
// into KStates), the character set (bits 3-4: GSM, 8859-1, UCS2, UCS2) and
// the habit the phone's names showed so far (bits 5-6). The second byte is
// the block size (0 for 512); the rest is what the phone sent, in blocks.
//
// Properties, checked after every block:
//   - the lines reported are the text between line ends, in order, and a
//     block that does not fit the receive buffer is refused with -9;
//   - every announcement ("+CMTI:", "+CDSI:") reaches the engine once, in
//     any state; a status report routed whole ("+CDS:" then its PDU line)
//     is decoded as one, never as a message of the phone's memory;
//   - while listening, the first announcement or routed report ends the
//     wait (result 3) and no line after it is taken in the same call;
//     nothing else gives result 3, nor does any other state;
//   - phone book entries come only in state 9, within their fields, their
//     names never holding half a surrogate pair; the character set chosen
//     stays, and the names' habit changes only while entries are read.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/at_lines.h"
#include "fuzz/phone_fuzz.h"
#include "sms/std_sms.h"

namespace {

const int KStates[] = {EStateListening,     EStateListening,     EStateListening, EStateIdle,
                       EStateCharsets,      EStateIndications,   EStateConnect,   EStateIdentity,
                       EStatePhoneBookRead, EStatePhoneBookRead, EStatePhoneBookRead, EStateSmsList,
                       EStateSmsRead,       EStateSmsIndex,      EStatePhoneBookWrite, EStateSmsPdu};
const TNameShape KShapes[] = {ENameShapeUnknown, ENameShapeUcs2, ENameShapeUcs2Swapped, ENameShapeHex8Bit};

bool StartsWith(const std::u16string& aText, const char16_t* aPrefix) { return aText.rfind(aPrefix, 0) == 0; }

// "+CMTI: "SM",3": the phone announcing a stored message or report.
bool IsAnnouncement(const std::u16string& aLine) {
  return (StartsWith(aLine, u"+CMTI:") || StartsWith(aLine, u"+CDSI:")) && aLine.size() > 6;
}

// "+CDS: 25" or "+CMT: ,25": a status report or a message routed whole, its
// PDU on the next line.
bool IsRoutedHeader(const std::u16string& aLine) {
  return (StartsWith(aLine, u"+CDS:") || StartsWith(aLine, u"+CMT:")) && aLine.size() > 5;
}

bool HasHalfPair(const TDesc16& aText) {
  for (int i = 0; i < aText.Length(); ++i) {
    const char16_t c = aText[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aText.Length() && aText[i + 1] >= 0xDC00 && aText[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) return true;
  }
  return false;
}

class TListener : public TRepliesOnlyObserver {
 public:
  int WiggleCallBack() override { return 0; }
  int FoundPhoneEntry(const TPhoneBookEntry& aEntry) override {
    FUZZ_CHECK(iPhone->ResponseState() == EStatePhoneBookRead, "entry in state %d", iPhone->ResponseState());
    CheckEntryBounds(aEntry);
    FUZZ_CHECK(!HasHalfPair(aEntry.iName), "half a surrogate pair in the name \"%s\"",
               Printable(Text(aEntry.iName)).c_str());
    ++iEntries;
    return 0;
  }
  void FoundSmsL(CStdSms* aSms, int) override {
    std::unique_ptr<CStdSms> sms(aSms);
    FUZZ_CHECK(sms != nullptr);
    if (iPhone->DecodingRouted()) {
      ++iRoutedReports;
      return;
    }
    const int state = iPhone->ResponseState();
    FUZZ_CHECK(state == EStateSmsList || state == EStateSmsRead, "message in state %d", state);
  }
  int NewSmsIndication(const TDesc16& aLine) override {
    const std::u16string line = Text(aLine);
    FUZZ_CHECK(IsAnnouncement(line), "announcement \"%s\"", Printable(line).c_str());
    ++iAnnouncements;
    return 0;
  }

  void Reset() {
    iEntries = iRoutedReports = iAnnouncements = 0;
    iLines.clear();
  }

  int iEntries = 0;
  int iRoutedReports = 0;
  int iAnnouncements = 0;
};

// What the layer must have made of the lines reported so far: which were
// taken at all, announcements, and routed report PDUs.
struct TModel {
  bool iRoutedNext = false;
  int iAnnouncements = 0;
  int iRoutedPdus = 0;

  // Whether aLine ends a wait on an announcement.
  bool Take(const std::u16string& aLine, int aState) {
    const bool taken = aState != EStateIdle || iRoutedNext || StartsWith(aLine, u"+CMTI") ||
                       StartsWith(aLine, u"+CDSI") || StartsWith(aLine, u"+CDS:") ||
                       StartsWith(aLine, u"+CMT:");
    if (!taken) return false;
    if (aLine[0] == u'+') {
      if (IsRoutedHeader(aLine)) iRoutedNext = true;
      if (!IsAnnouncement(aLine)) return false;
      ++iAnnouncements;
      return true;
    }
    if (!iRoutedNext) return false;
    iRoutedNext = false;
    ++iRoutedPdus;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  static const bool ready = InitEngineThread();
  (void)ready;
  if (aSize < 2) return 0;
  const int state = KStates[(aData[0] & 0x07) | ((aData[0] & 0x80) >> 4)];
  const int charset = (aData[0] >> 3) & 3;
  const TNameShape shape = KShapes[(aData[0] >> 5) & 3];
  const size_t block = aData[1] == 0 ? 512 : aData[1];

  static TListener& listener = *new TListener;
  static TPhoneOwner& phone = *new TPhoneOwner(&listener);
  listener.Reset();
  listener.iPhone = &*phone;
  phone->ForgetReplies();
  phone->SetResponseState(state);
  phone->SetCharacterSet(charset == 1 ? 1 : 0, charset >= 2 ? 1 : 0, shape);

  std::u16string fed;
  TCursor cursor;
  TModel model;
  for (size_t at = 2; at < aSize; at += block) {
    const size_t length = std::min(block, aSize - at);
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[length]);
    std::memcpy(bytes.get(), aData + at, length);
    TConstPtr8 data(bytes.get(), static_cast<int>(length));

    const std::u16string bufferBefore = Text(phone->ReceiveBuffer());
    const size_t linesBefore = listener.iLines.size();
    const TNameShape shapeBefore = phone->NameShape();
    const bool fits = bufferBefore.size() + length <= static_cast<size_t>(KReceiveBufferLength);
    if (fits)
      for (size_t i = 0; i < length; ++i) fed += static_cast<char16_t>(bytes[i]);

    const int result = phone->ProcessReceivedData(data, 0);
    const std::u16string buffer = Text(phone->ReceiveBuffer());
    if (!fits) {
      FUZZ_CHECK(result == KErrOverflow && buffer == bufferBefore && listener.iLines.size() == linesBefore,
                 "a block past the buffer taken: result %d", result);
      continue;
    }
    FUZZ_CHECK(buffer.size() <= fed.size() && fed.compare(fed.size() - buffer.size(), buffer.size(), buffer) == 0,
               "the buffer is not the end of the stream");
    CheckNewLines(listener.iLines, linesBefore, fed, fed.size() - buffer.size(), cursor, state);

    bool endedByAnnouncement = false;
    for (size_t n = linesBefore; n < listener.iLines.size(); ++n) {
      FUZZ_CHECK(!(state == EStateListening && endedByAnnouncement), "line \"%s\" taken after an announcement",
                 Printable(listener.iLines[n].iText.substr(0, 80)).c_str());
      endedByAnnouncement = model.Take(listener.iLines[n].iText, state);
    }
    FUZZ_CHECK(listener.iAnnouncements == model.iAnnouncements, "%d announcements reported of %d",
               listener.iAnnouncements, model.iAnnouncements);
    FUZZ_CHECK(listener.iRoutedReports <= model.iRoutedPdus, "%d routed reports of %d PDU lines",
               listener.iRoutedReports, model.iRoutedPdus);
    if (state == EStateListening && endedByAnnouncement)
      FUZZ_CHECK(result == KReplyIndication, "result %d after an announcement while listening", result);
    else
      FUZZ_CHECK(IsReplyCode(result), "result %d in state %d", result, state);

    FUZZ_CHECK(phone->Charset8859() == (charset == 1 ? 1 : 0) && phone->CharsetUcs2() == (charset >= 2 ? 1 : 0),
               "the character set changed");
    if (state != EStatePhoneBookRead)
      FUZZ_CHECK(phone->NameShape() == shapeBefore, "the names' habit changed in state %d", state);
  }
  return 0;
}
