// Helpers shared by the codec tests.
#pragma once

#include <memory>
#include <string>

#include <windows.h>

#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/std_sms.h"

struct TSmsDelete {
  void operator()(CStdSms* aSms) const { delete aSms; }
};
using TSmsOwner = std::unique_ptr<CStdSms, TSmsDelete>;

inline std::u16string Widen(const std::string& aText) {
  std::u16string out;
  for (unsigned char c : aText) out += static_cast<char16_t>(c);
  return out;
}

inline std::u16string Text(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

inline std::string Narrow(const TDesc16& aText) {
  std::string out;
  for (int i = 0; i < aText.Length(); ++i) out += static_cast<char>(aText.Ptr()[i]);
  return out;
}

// Decodes a PDU line held in a std::string; the line must outlive nothing.
inline int Decode(const std::u16string& aLine, CStdSms& aSms) {
  TPduSmsFormat format;
  TConstPtr16 pdu(aLine.data(), static_cast<int>(aLine.size()));
  return format.ConvertToSms(pdu, aSms, 801);
}

inline SYSTEMTIME TimeOf(const CStdSms& aSms) {
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&aSms.DateSent(), &time);
  return time;
}

inline TSmsOwner NewSms() { return TSmsOwner(CStdSms::NewL(0)); }

// Every character that a 7-bit message carries there and back: the default
// alphabet (the double quote goes out as an apostrophe, "?" stands for the
// codes without a character) and the extension table.
inline std::u16string RoundTripAlphabet() {
  std::u16string chars;
  for (int code = 1; code < KGsmMainRows; ++code) {
    char16_t c = static_cast<char16_t>(KGsmMainTable[code].iChar);
    if (c == u'"' || code == KGsmEscape || (c == u'?' && code != 0x3F)) continue;
    chars += c;
  }
  chars += u'@';
  for (int i = 0; i < KGsmEscapeRows; ++i)
    if (KGsmEscapeTable[i].iGsm != KGsmEscape) chars += static_cast<char16_t>(KGsmEscapeTable[i].iChar);
  return chars;
}

// A PDU line decoded, with the decoder's result.
struct TDecoded {
  int iResult;
  TSmsOwner iSms;
};

inline TDecoded DecodeText(const std::string& aPdu) {
  TDecoded decoded{0, NewSms()};
  decoded.iResult = Decode(Widen(aPdu), *decoded.iSms);
  return decoded;
}

inline std::u16string Repeat(const std::u16string& aUnit, int aCount) {
  std::u16string text;
  for (int i = 0; i < aCount; ++i) text += aUnit;
  return text;
}
