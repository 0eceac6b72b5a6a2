// Helpers shared by the codec tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <windows.h>

#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/std_sms.h"
#include "sms/tests/gsm_table_data.h"

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

// Every character that a 7-bit message carries there and back, taken from
// the second transcription of the tables (not the program's own, which a
// round trip through it could not fault): the default alphabet but its
// escape, with the double quote left out (it goes out as an apostrophe) and
// the at sign last (a text that begins with it may pass for a header), then
// the extension table.
inline std::u16string RoundTripAlphabet() {
  std::u16string chars;
  std::u16string extension;
  for (const TGsmTableCell& cell : ReadGsmTableCells()) {
    if (cell.iLanguage != 0 || cell.iChar < 0 || cell.iChar == u'"') continue;
    if (cell.iChar != u'@') (cell.iLocking ? chars : extension) += static_cast<char16_t>(cell.iChar);
  }
  if (chars.size() != 125 || extension.size() != 10) ADD_FAILURE() << "the table data is missing or incomplete";
  return chars + u'@' + extension;
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
