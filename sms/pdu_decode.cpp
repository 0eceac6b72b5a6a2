// Decoding of a listed PDU line into a message record.
#include "kernel/log.h"
#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"

namespace {

constexpr int KMaxCentreOctets = 32;
constexpr int KConcatHeaderSeptets = 7;  // 6 header octets and one fill bit
constexpr int KMarkerLength = 9;         // ".rrr.t.p:"

int DigitValue(WCHAR aChar) { return aChar >= u'0' && aChar <= u'9' ? aChar - u'0' : 0; }

}  // namespace

int TPduSmsFormat::ConvertToSms(const TDesc16& aPdu, CStdSms& aSms, int aCapabilities) {
  LogMessage(KLogFilePath, u"TPduSmsFormat::ConvertToSms");
  // The PDU is the run of hexadecimal digits; a stray quote or CR that some
  // phones leave at the end of the line is not part of it.
  iSource = aPdu.Ptr();
  iEnd = 0;
  while (iEnd < aPdu.Length() && HexDigitValue(iSource[iEnd]) >= 0) ++iEnd;
  iCapabilities = aCapabilities;

  // A received DELIVER or a stored SUBMIT, each with or without the service
  // centre part that some phones leave out.
  static const bool KAttempts[4][2] = {{true, false}, {false, false}, {true, true}, {false, true}};
  int result = KErrCorrupt;
  for (const auto& attempt : KAttempts) {
    result = DoConvertSms(aSms, attempt[0], attempt[1]);
    if (result == 0) break;
  }
  return result;
}

void TPduSmsFormat::ResetDecodedFields(CStdSms& aSms) {
  // A failed attempt must not leave its reading in the record for the next one.
  aSms.iReceivedCentre.Zero();
  aSms.iCentreType = 0;
  aSms.iFirstOctet = 0;
  aSms.iTimeZone = 0;
  aSms.iProtocolId = 0;
  aSms.iDataCoding = 0;
  aSms.iConcatReference = 0;
  aSms.iConcatReferenceBits = 0;
  aSms.iConcatTotal = 0;
  aSms.iConcatPart = 0;
  aSms.iDestinationPort = 0;
  aSms.iDateSent = FILETIME{0, 0};
  if (TSmsAddress* recipient = aSms.Recipient(0)) recipient->iNumber.Zero();
}

int TPduSmsFormat::Corrupt(const WCHAR* aLogLine) {
  LogMessage(KLogFilePath, aLogLine);
  return KErrCorrupt;
}

int TPduSmsFormat::DoConvertSms(CStdSms& aSms, bool aHasServiceCentre, bool aStoredSubmit) {
  LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms");
  iPos = 0;
  iTruncated = false;
  ResetDecodedFields(aSms);
  const WCHAR* truncated = u"TPduSmsFormat::DoConvertSms - pdu shorter than its fields";

  if (aHasServiceCentre) {
    int length = ReadOctet();
    if (length > 0) {
      int type = ReadOctet();
      if (iTruncated) return Corrupt(truncated);
      if ((type & 0xF0) != 0x90 && (type & 0xF0) != 0x80) {
        return Corrupt(u"TPduSmsFormat::DoConvertSms - numberType corrupt");
      }
      if (length > KMaxCentreOctets) return Corrupt(u"TPduSmsFormat::DoConvertSms - corrupt smscentre");
      for (int i = 0; i < length - 1; ++i) {
        int octet = ReadOctet();
        AppendSemiOctet(aSms.iReceivedCentre, octet & 0x0F);
        if ((octet & 0xF0) != 0xF0) AppendSemiOctet(aSms.iReceivedCentre, octet >> 4);
      }
      aSms.iCentreType = type;
    }
  }

  int firstOctet = ReadOctet();
  aSms.iFirstOctet = static_cast<BYTE>(firstOctet);
  const bool submit = (firstOctet & 0x01) != 0;
  if (submit) {
    if (!aStoredSubmit) return Corrupt(u"TPduSmsFormat::DoConvertSms - ERROR not stored");
    ReadOctet();  // message reference
  }
  if (iTruncated) return Corrupt(truncated);

  TModBuf16<KSmsNumberLength> number;
  int r = ConvertPhoneNum(number);
  if (TSmsAddress* recipient = aSms.Recipient(0)) recipient->iNumber.Copy(number);
  if (r == KErrCorrupt && number.Length() == 0 && submit && !iTruncated) {
    r = 0;  // a draft saved without a destination
  }
  if (r != 0) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - phoneNum error %1!d!", r);
    return KErrCorrupt;
  }

  aSms.iProtocolId = static_cast<BYTE>(ReadOctet());
  const int scheme = ReadOctet();
  aSms.iDataCoding = static_cast<BYTE>(scheme);
  if (iTruncated) return Corrupt(truncated);
  const bool eightBit = (scheme & 0xF0) == 0xF0 && (scheme & 0x04) != 0;
  if ((scheme & 0xF0) != 0xF0 && (scheme & 0xF0) != 0) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - dataCoding error %1!d!", scheme);
    return KErrCorrupt;
  }

  if (submit) {
    if ((firstOctet & 0x18) == 0x10) ReadOctet();  // relative validity period
    SYSTEMTIME now;
    GetSystemTime(&now);
    SystemTimeToFileTime(&now, &aSms.iDateSent);
  } else {
    DecodeTimeStamp(aSms);
  }

  const int userDataLength = ReadOctet();
  if (iTruncated) return Corrupt(truncated);
  THeapBuf16* textBuffer = aSms.ReplaceTextL(userDataLength);
  if (textBuffer == nullptr) return -4;
  if (userDataLength == 0) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - no message text");
    return 0;
  }

  int headerSize = 0;
  DecodeUserDataHeader(aSms, headerSize);

  THeapPtr16 text = textBuffer->Des();
  if (eightBit) {
    while (text.Length() < userDataLength && iPos < iEnd - 1) text.Append(static_cast<WCHAR>(ReadOctet()));
    if (headerSize > 0 && text.Length() >= headerSize) text.Delete(0, headerSize);
  } else {
    Unpack7Bit(text, userDataLength, false);
    if (aSms.iConcatTotal != 0 && text.Length() >= KConcatHeaderSeptets) text.Delete(0, KConcatHeaderSeptets);
    // Users read 8859-1, and a message sent again must leave unchanged.
    GsmToLatin(text);
  }
  if (text.Length() < text.MaxLength()) text.ZeroTerminate();

  DecodeTextMarker(aSms);

  LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - complete ret = %1!d!", 0);
  return 0;
}

void TPduSmsFormat::DecodeTimeStamp(CStdSms& aSms) {
  SYSTEMTIME time = {};
  int year = 1900 + ReadSemiOctets();
  if (year < 1980) year += 100;  // 00 to 79 are 2000 to 2079
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(ReadSemiOctets());
  time.wDay = static_cast<WORD>(ReadSemiOctets());
  time.wHour = static_cast<WORD>(ReadSemiOctets());
  time.wMinute = static_cast<WORD>(ReadSemiOctets());
  time.wSecond = static_cast<WORD>(ReadSemiOctets());
  aSms.iTimeZone = static_cast<BYTE>(ReadSemiOctets());
  if (iTruncated) return;  // the caller's next read reports it
  // The stamp stays as the centre wrote it; the zone is kept beside it.
  if (!SystemTimeToFileTime(&time, &aSms.iDateSent)) {
    LogMessageWithError(KLogFilePath, u"TPduSmsFormat::DoConvertSms - failed to convert systemtime");
    aSms.iDateSent = FILETIME{0, 0};
  }
}

void TPduSmsFormat::DecodeUserDataHeader(CStdSms& aSms, int& aHeaderSize) {
  // The header indicator bit is not trusted; the data is looked at instead,
  // and read again as text afterwards.
  aSms.iDestinationPort = 0;
  aHeaderSize = 0;
  if (iEnd < 3 || !HasOctet()) return;
  const int start = iPos;
  int remaining = PeekOctet();
  if (iPos + (remaining + 1) * 2 <= iEnd) {
    aHeaderSize = ReadOctet() + 1;
    while (remaining > 0) {
      int id = ReadOctet();
      int length = ReadOctet();
      if (id == 0 && length == 3) {
        int reference = ReadOctet();
        int total = ReadOctet();
        int part = ReadOctet();
        if (iTruncated) break;
        aSms.iConcatReference = static_cast<BYTE>(reference);
        aSms.iConcatReferenceBits = 8;
        aSms.iConcatTotal = static_cast<BYTE>(total);
        aSms.iConcatPart = static_cast<BYTE>(part);
        aSms.iFlags |= KSmsFlagConcat;
      } else if (id == 5 && length == 4) {
        int high = ReadOctet();
        int low = ReadOctet();
        ReadOctet();  // originator port
        ReadOctet();
        if (iTruncated) break;
        aSms.iDestinationPort = high << 8 | low;
      } else {
        aHeaderSize = 0;
        break;
      }
      remaining = remaining - length - 2;
    }
    if (iTruncated) aHeaderSize = 0;
  }
  iPos = start;
  iTruncated = false;
}

void TPduSmsFormat::DecodeTextMarker(CStdSms& aSms) {
  // Some phones mark the parts of a long message in its text: ".042.3.2:".
  THeapBuf16* buffer = aSms.MessageTextBuffer();
  if (buffer == nullptr) return;
  THeapPtr16 text = buffer->Des();
  if (text.Length() <= KMarkerLength) return;
  const WCHAR* c = text.Ptr();
  if (c[0] != u'.' || c[4] != u'.' || c[6] != u'.' || c[8] != u':') return;
  int reference = DigitValue(c[1]) * 100 + DigitValue(c[2]) * 10 + DigitValue(c[3]);
  int total = DigitValue(c[5]);
  int part = DigitValue(c[7]);
  aSms.iConcatReference = static_cast<BYTE>(reference);
  aSms.iConcatReferenceBits = 8;
  aSms.iConcatTotal = static_cast<BYTE>(total);
  aSms.iConcatPart = static_cast<BYTE>(part);
  LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - multiPartIdent = %1!d!, totalinSeq = %2!d!, partNoInSeq = %3!d!",
             reference, total, part);
  text.Delete(0, KMarkerLength);
  text.ZeroTerminate();
}
