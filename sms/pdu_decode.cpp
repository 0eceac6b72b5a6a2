// Decoding of a listed PDU line into a message record.
#include "kernel/log.h"
#include "sms/gsm_shift_tables.h"
#include "sms/pdu_sms_format.h"
#include "sms/sms_coding.h"

namespace {

constexpr int KMaxCentreOctets = 32;
constexpr int KMarkerLength = 9;  // ".rrr.t.p:"
constexpr int KUserDataHeaderIndicator = 0x40;
constexpr int KMessageTypeStatusReport = 0x02;

// Information elements of the user data header that the program reads.
constexpr int KIeConcat8 = 0x00;
constexpr int KIePorts8 = 0x04;
constexpr int KIePorts16 = 0x05;
constexpr int KIeConcat16 = 0x08;
constexpr int KIeSingleShift = 0x24;
constexpr int KIeLockingShift = 0x25;

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
  iStatusReportRead = false;
  for (const auto& attempt : KAttempts) {
    result = DoConvertSms(aSms, attempt[0], attempt[1]);
    // A damaged status report is dropped, never read again as a message.
    if (result == 0 || iStatusReportRead) break;
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
  aSms.iMessageReference = 0;
  aSms.iReportStatus = -1;
  aSms.iDischargeTime = FILETIME{0, 0};
  aSms.iDischargeZone = 0;
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
  if ((firstOctet & 0x03) == KMessageTypeStatusReport) return DecodeStatusReport(aSms);
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
  const TSmsCoding coding = SmsCodingOfScheme(scheme);
  if (coding == ESmsCodingCompressed || coding == ESmsCodingReserved) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - dataCoding error %1!d!", scheme);
    return KErrCorrupt;
  }

  if (submit) {
    // The validity period: none, one octet (relative), or seven (absolute or enhanced).
    const int validityFormat = firstOctet & 0x18;
    const int validityOctets = validityFormat == 0x10 ? 1 : validityFormat == 0 ? 0 : 7;
    // A stored SUBMIT carries no time: the date stays unknown (0) rather
    // than taking the moment it was read.
    for (int i = 0; i < validityOctets; ++i) ReadOctet();
  } else {
    DecodeTimeStamp(aSms.iDateSent, aSms.iTimeZone);
  }

  const int userDataLength = ReadOctet();
  if (iTruncated) return Corrupt(truncated);
  THeapBuf16* textBuffer = aSms.ReplaceTextL(userDataLength);
  if (textBuffer == nullptr) return -4;
  if (userDataLength == 0) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - no message text");
    return 0;
  }

  TUserDataHeader header;
  if ((firstOctet & KUserDataHeaderIndicator) != 0) {
    const int userDataStart = iPos;
    if (!DecodeUserDataHeader(aSms, header)) {
      return Corrupt(u"TPduSmsFormat::DoConvertSms - user data header passes the end of the pdu");
    }
    // 7-bit length counts septets: the header fills its octets and the fill bits after them.
    const int userDataOctets = coding == ESmsCoding7Bit ? (userDataLength * 7 + 7) / 8 : userDataLength;
    if (header.iOctets > userDataOctets) {
      return Corrupt(u"TPduSmsFormat::DoConvertSms - user data header longer than the user data");
    }
    iPos = userDataStart;
  }

  THeapPtr16 text = textBuffer->Des();
  if (coding == ESmsCoding7Bit) {
    DecodeSevenBitText(text, userDataLength, header);
  } else {
    DecodeOctetText(text, userDataLength, header, coding == ESmsCodingUcs2);
  }
  if (text.Length() < text.MaxLength()) text.ZeroTerminate();

  DecodeTextMarker(aSms);

  LogMessage(KLogFilePath, u"TPduSmsFormat::DoConvertSms - complete ret = %1!d!", 0);
  return 0;
}

int TPduSmsFormat::DecodeStatusReport(CStdSms& aSms) {
  iStatusReportRead = true;
  aSms.iMessageReference = static_cast<BYTE>(ReadOctet());
  TModBuf16<KSmsNumberLength> number;
  int r = ConvertPhoneNum(number);
  if (TSmsAddress* recipient = aSms.Recipient(0)) recipient->iNumber.Copy(number);
  if (r != 0) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::DecodeStatusReport - recipient error %1!d!", r);
    return KErrCorrupt;
  }
  DecodeTimeStamp(aSms.iDateSent, aSms.iTimeZone);
  DecodeTimeStamp(aSms.iDischargeTime, aSms.iDischargeZone);
  const int status = ReadOctet();
  if (iTruncated) return Corrupt(u"TPduSmsFormat::DecodeStatusReport - pdu shorter than its fields");
  // What may follow (parameter indicator, data) says nothing the program uses.
  aSms.iReportStatus = status;
  if (aSms.ReplaceTextL(0) == nullptr) return -4;
  LogMessage(KLogFilePath, u"TPduSmsFormat::DecodeStatusReport - reference %1!d! status 0x%2!x!",
             static_cast<int>(aSms.iMessageReference), status);
  return 0;
}

void TPduSmsFormat::DecodeTimeStamp(FILETIME& aTime, BYTE& aZone) {
  SYSTEMTIME time = {};
  int year = 1900 + ReadSemiOctets();
  if (year < 1980) year += 100;  // 00 to 79 are 2000 to 2079
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(ReadSemiOctets());
  time.wDay = static_cast<WORD>(ReadSemiOctets());
  time.wHour = static_cast<WORD>(ReadSemiOctets());
  time.wMinute = static_cast<WORD>(ReadSemiOctets());
  time.wSecond = static_cast<WORD>(ReadSemiOctets());
  aZone = static_cast<BYTE>(ReadSemiOctets());
  if (iTruncated) return;  // the caller's next read reports it
  // The stamp stays as the centre wrote it; the zone is kept beside it.
  if (!SystemTimeToFileTime(&time, &aTime)) {
    LogMessageWithError(KLogFilePath, u"TPduSmsFormat::DoConvertSms - failed to convert systemtime");
    aTime = FILETIME{0, 0};
  }
}

bool TPduSmsFormat::DecodeUserDataHeader(CStdSms& aSms, TUserDataHeader& aHeader) {
  const int length = ReadOctet();
  const int end = iPos + length * 2;
  if (iTruncated || end > iEnd) return false;
  aHeader.iOctets = length + 1;
  // Every element is stepped over by its own length, so one the program does
  // not know leaves the rest readable.
  while (iPos + 4 <= end) {
    const int id = ReadOctet();
    const int elementLength = ReadOctet();
    const int elementEnd = iPos + elementLength * 2;
    if (elementEnd > end) break;  // an element that overruns the header ends it
    DecodeInformationElement(aSms, id, elementLength, aHeader);
    iPos = elementEnd;
  }
  iPos = end;
  return true;
}

void TPduSmsFormat::DecodeInformationElement(CStdSms& aSms, int aId, int aLength, TUserDataHeader& aHeader) {
  if ((aId == KIeConcat8 && aLength == 3) || (aId == KIeConcat16 && aLength == 4)) {
    int reference = ReadOctet();
    if (aId == KIeConcat16) reference = reference << 8 | ReadOctet();
    const int total = ReadOctet();
    const int part = ReadOctet();
    // A part numbered 0 or beyond the total makes the element void.
    if (total == 0 || part == 0 || part > total) return;
    aSms.iConcatReference = static_cast<WORD>(reference);
    aSms.iConcatReferenceBits = aId == KIeConcat16 ? 16 : 8;
    aSms.iConcatTotal = static_cast<BYTE>(total);
    aSms.iConcatPart = static_cast<BYTE>(part);
    aSms.iFlags |= KSmsFlagConcat;
  } else if (aId == KIePorts8 && aLength == 2) {
    aSms.iDestinationPort = ReadOctet();
  } else if (aId == KIePorts16 && aLength == 4) {
    const int high = ReadOctet();
    const int low = ReadOctet();
    aSms.iDestinationPort = high << 8 | low;
  } else if (aId == KIeSingleShift && aLength == 1) {
    aHeader.iSingleLanguage = ReadOctet();
  } else if (aId == KIeLockingShift && aLength == 1) {
    aHeader.iLockingLanguage = ReadOctet();
  }
}

void TPduSmsFormat::DecodeSevenBitText(TModDesc16& aText, int aUserDataLength, const TUserDataHeader& aHeader) {
  Unpack7Bit(aText, aUserDataLength, false);
  // The header's octets and the fill bits up to the next septet boundary.
  const int headerSeptets = (aHeader.iOctets * 8 + 6) / 7;
  if (headerSeptets > 0) aText.Delete(0, headerSeptets <= aText.Length() ? headerSeptets : aText.Length());
  aText.SetLength(GsmSeptetsToText(aText.Ptr(), aText.Length(), aHeader.iLockingLanguage, aHeader.iSingleLanguage));
}

void TPduSmsFormat::DecodeOctetText(TModDesc16& aText, int aUserDataLength, const TUserDataHeader& aHeader,
                                    bool aUcs2) {
  aText.Zero();
  iPos += aHeader.iOctets * 2;
  int octets = aUserDataLength - aHeader.iOctets;
  if (!aUcs2) {
    while (octets-- > 0 && HasOctet() && aText.Length() < aText.MaxLength()) {
      aText.Append(static_cast<WCHAR>(ReadOctet()));
    }
    return;
  }
  // UTF-16 as it is, high octet first; an odd trailing octet is dropped.
  for (; octets >= 2 && iPos + 4 <= iEnd && aText.Length() < aText.MaxLength(); octets -= 2) {
    const int high = ReadOctet();
    aText.Append(static_cast<WCHAR>(high << 8 | ReadOctet()));
  }
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
