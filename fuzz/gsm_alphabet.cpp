// The GSM alphabet and PDU encoding on arbitrary text.
//
// Input: four bytes of settings, then the text (one byte a character, or two
// bytes a character when the first settings bit is set).
//   byte 0: bit 0 wide characters; bit 1 send as a concatenated part;
//           bits 2-3 the recipient; bits 4-5 the service centre;
//           bit 6 data coding group 0xF0 instead of 0x00
//   byte 1: low nibble of the data coding scheme; high nibble spare room
//           for the in-place conversions
//   bytes 2-3: concatenation reference and total (the part is 1)
// Properties:
//   - GsmToLatin, ConvertToGsm and InsertEscapes never write past the
//     maximum they are given, and never lengthen beyond it;
//   - with room for every escape, ConvertToGsm then GsmToLatin gives back
//     every character the alphabet holds, and a defined stand-in otherwise;
//     InsertEscapes puts one escape before each character that needs one,
//     while there is room, and changes nothing else;
//   - the lookup LatinToGsm gives what the walk over the tables gives;
//   - a part that fits a message, encoded with EncodePdu and decoded with
//     ConvertToSms, gives back its recipient, centre, scheme, concatenation
//     fields and text (each character as the alphabet carries it, an ESC
//     of the text a space, never the escape code; and allowing for the
//     decoder reading a text marker out of text that looks like one); a
//     scheme the encoder writes in another coding than the decoder reads
//     (0x04: 8-bit by name, 7-bit by the record's 8-bit test) still decodes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_util.h"
#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/sms_coding.h"
#include "sms/std_sms.h"

namespace {

constexpr int KCapabilities = 801;
constexpr int KSevenBitSingle = 160;  // septets of one message
constexpr int KOctetsSingle = 140;    // octets of one message
constexpr int KConcatSeptets = 7;
constexpr int KConcatOctets = 6;
constexpr int KMarkerLength = 9;

const char16_t* const KRecipients[] = {u"+31641600986", u"0123456789", u"", u"*31#+4412345"};
const char16_t* const KRecipientsDecoded[] = {u"+31641600986", u"0123456789", u"", u"+4412345"};
const char16_t* const KCentres[] = {u"+31624000000", u"", u"1234567", u"+447785016005"};

struct SmsOwner {
  explicit SmsOwner(CStdSms* aSms) : sms(aSms) {}
  ~SmsOwner() { delete sms; }
  CStdSms* sms;
};

std::u16string Str(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

// LatinToGsm, checked against the walk over the tables on the way.
int CodeOf(WCHAR aChar, bool& aEscaped, bool& aNotFound) {
  const int code = LatinToGsm(aChar, aEscaped, aNotFound);
  bool walkEscaped = false;
  bool walkNotFound = false;
  const int walked = LatinToGsmTableWalk(aChar, walkEscaped, walkNotFound);
  FUZZ_CHECK(code == walked && aEscaped == walkEscaped && aNotFound == walkNotFound,
             "lookup %d/%d/%d, walk %d/%d/%d for %04x", code, aEscaped, aNotFound, walked, walkEscaped, walkNotFound,
             aChar);
  return code;
}

// What a character reads as after going out in the GSM alphabet and coming back.
WCHAR ThroughTheAlphabet(WCHAR aChar) {
  bool escaped = false;
  bool notFound = false;
  int code = CodeOf(aChar, escaped, notFound);
  FUZZ_CHECK(code >= 0 && code < KGsmMainRows, "code %d for %04x", code, aChar);
  if (escaped) {
    for (int i = 0; i < KGsmEscapeRows; ++i) {
      if (KGsmEscapeTable[i].iGsm == code) return static_cast<WCHAR>(KGsmEscapeTable[i].iChar);
    }
    FUZZ_CHECK(false, "escaped code %02x is not in the escape table", code);
  }
  return static_cast<WCHAR>(KGsmMainTable[code].iChar);
}

void CheckGsmToLatin(const std::u16string& aText) {
  ExactText text(aText.size());
  std::copy(aText.begin(), aText.end(), text.data());
  int length = GsmToLatin(text.data(), text.length());
  // An escape and the code after it become one character; nothing grows.
  FUZZ_CHECK(length >= 0 && length <= text.length() && length >= text.length() / 2, "%d of %d", length, text.length());
}

void CheckConvertToGsm(const std::u16string& aText, int aSpare) {
  bool escaped = false;
  bool notFound = false;
  int escapes = 0;
  for (char16_t c : aText) {
    CodeOf(c, escaped, notFound);
    if (escaped) ++escapes;
  }
  FUZZ_CHECK(escapes == CountEscapes(TConstPtr16(aText.data(), static_cast<int>(aText.size()))));

  // With a maximum short of some escapes: nothing beyond it, every code 7-bit.
  const int max = static_cast<int>(aText.size()) + std::min(aSpare, escapes);
  ExactText tight(static_cast<size_t>(max));
  std::copy(aText.begin(), aText.end(), tight.data());
  int length = ConvertToGsm(tight.data(), static_cast<int>(aText.size()), max);
  FUZZ_CHECK(length >= static_cast<int>(aText.size()) && length <= max, "length %d, maximum %d", length, max);
  for (int i = 0; i < length; ++i) FUZZ_CHECK(tight.data()[i] < KGsmMainRows);

  // With room for all of them, the way back gives the text within the alphabet.
  const int roomy = static_cast<int>(aText.size()) + escapes;
  ExactText full(static_cast<size_t>(roomy));
  std::copy(aText.begin(), aText.end(), full.data());
  length = ConvertToGsm(full.data(), static_cast<int>(aText.size()), roomy);
  FUZZ_CHECK(length == roomy, "length %d, expected %d", length, roomy);
  length = GsmToLatin(full.data(), length);
  FUZZ_CHECK(length == static_cast<int>(aText.size()), "back to %d characters from %zu", length, aText.size());
  for (int i = 0; i < length; ++i) {
    const char16_t c = aText[static_cast<size_t>(i)];
    CodeOf(c, escaped, notFound);
    const WCHAR back = full.data()[i];
    FUZZ_CHECK(back == ThroughTheAlphabet(c), "character %d: %04x came back as %04x", i, c, back);
    if (!notFound && c != u'"') FUZZ_CHECK(back == c, "character %d of the alphabet, %04x, came back as %04x", i, c, back);
    if (c == u'"') FUZZ_CHECK(back == u'\'');
  }
}

std::u16string CheckInsertEscapes(const std::u16string& aText, int aSpare) {
  const int needed = CountEscapes(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
  const int room = std::min(aSpare, needed);
  const int max = static_cast<int>(aText.size()) + room;
  ExactText text(static_cast<size_t>(max));
  std::copy(aText.begin(), aText.end(), text.data());
  int length = InsertEscapes(text.data(), static_cast<int>(aText.size()), max);
  FUZZ_CHECK(length == max, "length %d, expected %d", length, max);
  // Escapes go in from the front while there is room.
  std::u16string expected;
  int inserted = 0;
  for (char16_t c : aText) {
    if (NeedsEscape(c) && inserted < room) {
      expected += static_cast<char16_t>(KGsmEscape);
      ++inserted;
    }
    expected += c;
  }
  FUZZ_CHECK(text.str() == expected, "\"%s\" became \"%s\"", Printable(aText).c_str(), Printable(text.str()).c_str());
  return expected;
}

// A text marker (".042.3.2:") at the front of a decoded text is read and removed.
bool HasMarker(const std::u16string& aText) {
  return aText.size() > KMarkerLength && aText[0] == u'.' && aText[4] == u'.' && aText[6] == u'.' && aText[8] == u':';
}

std::u16string AfterMarker(const std::u16string& aText) {
  return HasMarker(aText) ? aText.substr(KMarkerLength) : aText;
}

// The 7-bit text as the decoder should read it: each character of the text
// through the alphabet, the escapes put in before its extension characters
// reading as nothing of their own, and an ESC of the text as the space it is
// sent as (never as an escape shifting the character after it).
std::u16string SevenBitReading(const std::u16string& aText) {
  std::u16string reading;
  for (char16_t c : aText) reading += ThroughTheAlphabet(c);
  return reading;
}

void CheckRoundTrip(const uint8_t* aSettings, const std::u16string& aText, const std::u16string& aEscaped) {
  const bool concat = (aSettings[0] & 0x02) != 0;
  const int recipient = (aSettings[0] >> 2) & 3;
  const int centre = (aSettings[0] >> 4) & 3;
  const int scheme = ((aSettings[0] & 0x40) ? 0xF0 : 0x00) | (aSettings[1] & 0x0F);
  const TSmsCoding coding = SmsEncodingOfScheme(scheme);
  // Escapes belong to 7-bit text; the other codings go out as they are.
  const std::u16string& sent = coding == ESmsCoding7Bit ? aEscaped : aText;

  SmsOwner part(CStdSms::NewL(0));
  FUZZ_CHECK(part.sms != nullptr);
  CStdSms& sms = *part.sms;
  sms.SetText(TConstPtr16(sent.data(), static_cast<int>(sent.size())));
  sms.Recipient(0)->iNumber.Copy(TConstPtr16(KRecipients[recipient]));
  sms.iDataCoding = static_cast<BYTE>(scheme);
  if (concat) {
    sms.iConcatReference = aSettings[2];
    sms.iConcatTotal = static_cast<BYTE>(aSettings[3] == 0 ? 1 : aSettings[3]);
    sms.iConcatPart = 1;
  }
  TSmsAddress centreAddress;
  centreAddress.iNumber.Copy(TConstPtr16(KCentres[centre]));

  TPduSmsFormat encoder;
  FUZZ_CHECK(encoder.EncodePdu(sms, 0, KCapabilities, centreAddress) == 0);
  const TDesc16& pdu = encoder.SendBuffer();
  FUZZ_CHECK(pdu.Length() % 2 == 0 && pdu.Length() <= KPduSendBufferLength);
  for (int i = 0; i < pdu.Length(); ++i) {
    const WCHAR c = pdu.Ptr()[i];
    FUZZ_CHECK((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'), "character %04x in the PDU", c);
  }
  FUZZ_CHECK(encoder.TpduLength() == pdu.Length() / 2 - encoder.ServiceCentreOctets());

  // Only a part that fits one message is expected to come back whole.
  const size_t header = concat ? (coding == ESmsCoding7Bit ? KConcatSeptets : KConcatOctets) : 0;
  const size_t units = coding == ESmsCodingUcs2 ? 2 * sent.size() : sent.size();
  if (units + header > (coding == ESmsCoding7Bit ? KSevenBitSingle : KOctetsSingle)) return;
  if (coding == ESmsCoding8Bit) {
    for (char16_t c : sent) {
      if (c > 0xFF) return;  // eight-bit data is octets; a wider character is the caller's error
    }
  }

  SmsOwner decoded(CStdSms::NewL(0));
  FUZZ_CHECK(decoded.sms != nullptr);
  TPduSmsFormat decoder;
  const int result = decoder.ConvertToSms(pdu, *decoded.sms, KCapabilities);
  FUZZ_CHECK(result == 0, "the encoder's own PDU did not decode: %d", result);
  const CStdSms& back = *decoded.sms;
  FUZZ_CHECK(Str(back.RecipientNumber(0)) == KRecipientsDecoded[recipient], "recipient \"%s\"",
             Printable(Str(back.RecipientNumber(0))).c_str());
  std::u16string centreDigits = KCentres[centre];
  if (!centreDigits.empty() && centreDigits[0] == u'+') centreDigits.erase(0, 1);
  FUZZ_CHECK(Str(back.iReceivedCentre) == centreDigits);
  FUZZ_CHECK(back.iDataCoding == scheme);
  FUZZ_CHECK((back.iFirstOctet & 0x01) == 1);
  if (SmsCodingOfScheme(scheme) != coding) return;  // read in another coding than written

  const std::u16string text = Str(back.MessageText());
  const std::u16string reading = coding == ESmsCoding7Bit ? SevenBitReading(aText) : sent;
  const std::u16string whole = AfterMarker(reading);
  FUZZ_CHECK(text == whole, "sent \"%s\", read \"%s\", expected \"%s\"", Printable(sent).c_str(),
             Printable(text).c_str(), Printable(whole).c_str());
  if (concat && !HasMarker(reading)) {
    FUZZ_CHECK(back.iConcatReference == sms.iConcatReference && back.iConcatTotal == sms.iConcatTotal &&
                   back.iConcatPart == 1 && back.iConcatReferenceBits == 8,
               "concatenation %d/%d/%d read as %d/%d/%d", sms.iConcatReference, sms.iConcatTotal, 1,
               back.iConcatReference, back.iConcatTotal, back.iConcatPart);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize < 4) return 0;
  const uint8_t* settings = aData;
  std::u16string text;
  if (settings[0] & 0x01) {
    for (size_t i = 4; i + 1 < aSize; i += 2) text += static_cast<char16_t>(aData[i] | aData[i + 1] << 8);
  } else {
    for (size_t i = 4; i < aSize; ++i) text += static_cast<char16_t>(aData[i]);
  }
  const int spare = settings[1] >> 4;

  CheckGsmToLatin(text);
  CheckConvertToGsm(text, spare);
  std::u16string escaped = CheckInsertEscapes(text, 1 << 30);
  CheckInsertEscapes(text, spare);
  CheckRoundTrip(settings, text, escaped);
  return 0;
}
