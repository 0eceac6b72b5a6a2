// USSD replies ("+CUSD: m,"text",dcs") as the phone layer decodes them.
//
// Input: one byte of settings, then the rest.
//   byte 0: bits 0-1 the line's character set (GSM, 8859-1, UCS2);
//           bit 2 the rest is a text to send through a reply: packed
//           septets (scheme 15) or, with bit 3, UTF-16 (scheme 72);
//           otherwise the rest is a whole reply line, one byte a character.
// Properties:
//   - no descriptor or array panic, whatever the line holds;
//   - the status is 0 to 5 when the line has one, and the text fits its buffer;
//   - a text of letters, digits and spaces packed as a phone packs it, or
//     sent as UTF-16, comes back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/phone_fuzz.h"
#include "phone/ussd.h"

namespace {

const char KSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,:";

std::u16string Hex(const std::vector<uint8_t>& aOctets) {
  static const char16_t KDigits[] = u"0123456789ABCDEF";
  std::u16string out;
  for (uint8_t octet : aOctets) {
    out.push_back(KDigits[octet >> 4]);
    out.push_back(KDigits[octet & 0xF]);
  }
  return out;
}

// Septets packed from the lowest bit up; seven spare bits get a carriage return.
std::vector<uint8_t> Packed(const std::string& aText) {
  std::vector<uint8_t> septets(aText.begin(), aText.end());
  if (septets.size() % 8 == 7) septets.push_back(0x0D);
  std::vector<uint8_t> octets((septets.size() * 7 + 7) / 8, 0);
  size_t bit = 0;
  for (uint8_t septet : septets)
    for (int k = 0; k < 7; ++k, ++bit)
      if (septet & (1 << k)) octets[bit / 8] |= static_cast<uint8_t>(1 << (bit % 8));
  return octets;
}

void CheckReply(const std::u16string& aLine, TUssdCharset aCharset, TUssdReply& aReply, bool& aParsed) {
  aParsed = ParseUssdLine(TConstPtr16(aLine.data(), static_cast<int>(aLine.size())), aCharset, aReply);
  FUZZ_CHECK(aReply.iText.Length() <= aReply.iText.MaxLength());
  if (aParsed) FUZZ_CHECK(aReply.iStatus >= EUssdDone && aReply.iStatus <= EUssdNetworkTimeout, "status %d", aReply.iStatus);
  FUZZ_CHECK(aReply.iScheme >= -1 && aReply.iScheme <= 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize < 1 || aSize > 1024) return 0;
  const uint8_t settings = aData[0];
  const TUssdCharset charset = static_cast<TUssdCharset>((settings & 3) % 3);
  TUssdReply reply;
  bool parsed = false;
  if ((settings & 4) == 0) {
    std::u16string line(aData + 1, aData + aSize);
    CheckReply(line, charset, reply, parsed);
    return 0;
  }
  // A phone's reply to a text that survives every coding.
  std::string text;
  for (size_t i = 1; i < aSize && text.size() < 180; ++i) text.push_back(KSafe[aData[i] % (sizeof KSafe - 1)]);
  std::u16string line = u"+CUSD: 0,\"";
  if (settings & 8) {
    std::vector<uint8_t> octets;
    for (char c : text) {
      octets.push_back(0);
      octets.push_back(static_cast<uint8_t>(c));
    }
    line += Hex(octets) + u"\",72";
  } else {
    line += Hex(Packed(text)) + u"\",15";
  }
  CheckReply(line, charset, reply, parsed);
  FUZZ_CHECK(parsed);
  std::u16string back = Text(reply.iText);
  FUZZ_CHECK(back == std::u16string(text.begin(), text.end()), "text of %zu characters changed", text.size());
  return 0;
}
