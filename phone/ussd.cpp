// USSD strings out, "+CUSD" replies in.
#include "phone/ussd.h"

#include "kernel/log.h"
#include "phone/at_argument.h"
#include "phone/mobile_phone.h"
#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"

namespace {

const int KUssdSchemeGsm = 15;

enum TUssdAlphabet { EUssdGsm, EUssdEightBit, EUssdUcs2, EUssdUcs2WithLanguage };

// The alphabet a cell broadcast data coding scheme names (USSD uses the same
// schemes); reserved and unknown values read as the default alphabet.
TUssdAlphabet UssdAlphabet(int aScheme) {
  int group = aScheme >> 4;
  if (aScheme == 0x11) return EUssdUcs2WithLanguage;
  if (group == 0x4 || group == 0x5 || group == 0x6 || group == 0x7 || group == 0x9) {
    int alphabet = (aScheme >> 2) & 3;
    if (alphabet == 1) return EUssdEightBit;
    if (alphabet == 2) return EUssdUcs2;
    return EUssdGsm;
  }
  if (group == 0xF) return aScheme & 0x04 ? EUssdEightBit : EUssdGsm;
  return EUssdGsm;
}

int UssdHexValue(TText16 aChar) {
  if (aChar >= u'0' && aChar <= u'9') return aChar - u'0';
  if (aChar >= u'A' && aChar <= u'F') return aChar - u'A' + 10;
  if (aChar >= u'a' && aChar <= u'f') return aChar - u'a' + 10;
  return 0;
}

bool IsHexText(const TDesc16& aText) {
  if (aText.Length() == 0 || aText.Length() % 2 != 0) return false;
  return TPduSmsFormat::HexOctets(aText) * 2 == aText.Length();
}

// Text a person would be sent: what a mistaken reading (plain digits read as
// packed septets) does not give.
bool LooksLikeText(const TDesc16& aText) {
  for (int i = 0; i < aText.Length(); ++i) {
    TText16 c = aText[i];
    bool ok = (c >= 0x20 && c < 0x7F) || c == u'\r' || c == u'\n' || (c >= 0xA0 && c <= 0xFF);
    if (!ok) return false;
  }
  return true;
}

// Seven spare bits at the end of packed septets read as one more character:
// a carriage return (or, from some phones, a zero septet) that is not text.
void DropPackingFill(const TDesc16& aRaw, TModDesc16& aText) {
  int octets = TPduSmsFormat::HexOctets(aRaw);
  if (octets % 7 != 0 || aText.Length() == 0) return;
  TText16 last = aText[aText.Length() - 1];
  if (last == u'\r' || last == u'@') aText.SetLength(aText.Length() - 1);
}

void CopyCut(TModDesc16& aOut, const TDesc16& aIn) {
  aOut.Copy(aIn.Ptr(), aIn.Length() < aOut.MaxLength() ? aIn.Length() : aOut.MaxLength());
}

}  // namespace

bool IsUssdString(const TDesc16& aText) {
  if (aText.Length() == 0 || aText.Length() > KUssdCodeLength) return false;
  for (int i = 0; i < aText.Length(); ++i) {
    TText16 c = aText[i];
    if (!((c >= u'0' && c <= u'9') || c == u'*' || c == u'#')) return false;
  }
  return true;
}

void DecodeUssdText(const TDesc16& aRaw, int aScheme, TUssdCharset aCharset, TModDesc16& aText) {
  aText.Zero();
  TPduSmsFormat codec;
  TUssdAlphabet alphabet = aScheme < 0 ? EUssdGsm : UssdAlphabet(aScheme);
  bool hex = IsHexText(aRaw);
  if ((alphabet == EUssdUcs2 || alphabet == EUssdUcs2WithLanguage) && hex && aRaw.Length() % 4 == 0) {
    codec.DecodeUcs2(alphabet == EUssdUcs2WithLanguage && aRaw.Length() >= 4 ? aRaw.Mid(4) : TConstPtr16(aRaw), aText);
    return;
  }
  if (alphabet == EUssdEightBit && hex) {
    // Octets as 8859-1; control octets are left for the printer to show safely.
    for (int i = 0; i + 1 < aRaw.Length() && aText.Length() < aText.MaxLength(); i += 2)
      aText.Append(static_cast<TText16>(UssdHexValue(aRaw[i]) << 4 | UssdHexValue(aRaw[i + 1])));
    return;
  }
  if (alphabet == EUssdGsm && hex && aScheme >= 0) {
    // A line in UCS2 carries the default alphabet's text as UTF-16 hexadecimal.
    if (aCharset == EUssdCharsetUcs2 && aRaw.Length() % 4 == 0) {
      codec.DecodeUcs2(aRaw, aText);
      if (IsGsmText(aText) && LooksLikeText(aText)) return;
    }
    codec.DecodePackedSeptets(aRaw, aText);
    DropPackingFill(aRaw, aText);
    if (LooksLikeText(aText)) return;
  }
  // Plain text in the line's character set.
  CopyCut(aText, aRaw);
  if (aCharset == EUssdCharsetGsm) GsmToLatin(aText);
}

bool ParseUssdLine(const TDesc16& aLine, TUssdCharset aCharset, TUssdReply& aReply) {
  aReply = TUssdReply();
  int pos = aLine.Locate(u':');
  if (pos < 0) return false;
  ++pos;
  while (pos < aLine.Length() && aLine[pos] == u' ') ++pos;
  if (pos >= aLine.Length() || aLine[pos] < u'0' || aLine[pos] > u'5') return false;
  aReply.iStatus = aLine[pos] - u'0';
  ++pos;
  if (pos < aLine.Length() && aLine[pos] >= u'0' && aLine[pos] <= u'9') return false;
  while (pos < aLine.Length() && aLine[pos] == u' ') ++pos;
  if (pos >= aLine.Length() || aLine[pos] != u',') return true;
  ++pos;
  while (pos < aLine.Length() && aLine[pos] == u' ') ++pos;
  // The text runs to the last quote of the line: a quote inside it is the phone's, not an end.
  int start = pos;
  int end = pos;
  if (pos < aLine.Length() && aLine[pos] == u'"') {
    start = pos + 1;
    end = aLine.Length();
    while (end > start && aLine[end - 1] != u'"') --end;
    end = end > start ? end - 1 : aLine.Length();
    pos = end + 1;
  } else {
    while (end < aLine.Length() && aLine[end] != u',') ++end;
    pos = end;
  }
  TConstPtr16 raw = aLine.Mid(start, end - start);
  while (pos < aLine.Length() && (aLine[pos] == u' ' || aLine[pos] == u',' || aLine[pos] == u'"')) ++pos;
  int scheme = -1;
  for (int digits = 0; pos < aLine.Length() && aLine[pos] >= u'0' && aLine[pos] <= u'9' && digits < 3; ++pos, ++digits)
    scheme = (scheme < 0 ? 0 : scheme * 10) + (aLine[pos] - u'0');
  aReply.iScheme = scheme > 255 ? -1 : scheme;
  DecodeUssdText(raw, aReply.iScheme, aCharset, aReply.iText);
  return true;
}

int CMobilePhoneBase::HandleCusd(const TDesc16& aLine) {
  if (iResponseState != EStateUssd || iUssd.iReply == nullptr) return 0;
  TUssdCharset charset = iCharsetUcs2 ? EUssdCharsetUcs2 : iCharset8859 ? EUssdCharset8859 : EUssdCharsetGsm;
  if (!ParseUssdLine(aLine, charset, *iUssd.iReply)) return 0;
  iUssd.iArrived = true;
  return iUssd.iOkSeen ? KReplyOk : 0;
}

int CMobilePhoneBase::UssdOkSeen() {
  iUssd.iOkSeen = true;
  return iUssd.iArrived ? KReplyOk : 0;
}

int CMobilePhoneBase::SendUssd(const TDesc16& aString, TUssdReply& aReply) {
  aReply = TUssdReply();
  if (!IsUssdString(aString)) return KErrUssdNotCode;
  // The string travels in the line's character set; digits, "*" and "#"
  // are the same in GSM and 8859-1.
  TModBuf16<KUssdCodeLength * 4> text;
  if (iCharsetUcs2) {
    static const char16_t KDigits[] = u"0123456789ABCDEF";
    for (int i = 0; i < aString.Length(); ++i) {
      text.Append(u"00", 2);
      text.Append(KDigits[aString[i] >> 4]);
      text.Append(KDigits[aString[i] & 0xF]);
    }
  } else {
    text.Copy(aString);
  }
  TModBuf16<KCommandLength> command(TConstPtr16(u"AT+CUSD=1,"));
  int r = AppendQuotedArgument(command, text);
  if (r != KErrNone) return r;
  command.Append(u',');
  command.AppendNum(KUssdSchemeGsm);
  iUssd = TUssdWait();
  iUssd.iReply = &aReply;
  int saved = iReplyTimeout;
  iReplyTimeout = iUssdTimeout;
  r = SendAndWait(EStateUssd, command);
  iReplyTimeout = saved;
  iUssd = TUssdWait();
  if (r == KErrTimedOut) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SendUssd - no reply in time");
    Discard();
    CancelUssd();
    return KErrUssdTimedOut;
  }
  return r;
}

int CMobilePhoneBase::CancelUssd() {
  int r = SendAndWait(EStateConnect, TConstPtr16(u"AT+CUSD=2"));
  Discard();
  return r;
}
