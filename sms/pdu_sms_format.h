// Conversion between GSM 03.40 PDUs in hexadecimal text and message records.
#pragma once

#include <wintypes.h>

#include "kernel/descriptors.h"
#include "kernel/errors.h"
#include "sms/sms_address.h"
#include "sms/std_sms.h"

inline constexpr int KPduSendBufferLength = 512;

class TPduSmsFormat {
 public:
  TPduSmsFormat();

  // Decoding. Tries the line as DELIVER or stored SUBMIT, with and without a
  // service centre part; returns 0 or -20 (the result of the last attempt).
  int ConvertToSms(const TDesc16& aPdu, CStdSms& aSms, int aCapabilities);
  int DoConvertSms(CStdSms& aSms, bool aHasServiceCentre, bool aStoredSubmit);
  // One address field at the read position into aNumber; 0 or -20.
  int ConvertPhoneNum(TModDesc16& aNumber);
  // aCount septets at the read position into aText (at most its maximum),
  // converted from the GSM alphabet when aConvert is set.
  void Unpack7Bit(TModDesc16& aText, int aCount, bool aConvert);

  // Text a phone gives as hexadecimal outside a PDU (a USSD reply), up to the
  // first character that is no hexadecimal digit: septets of the GSM default
  // alphabet packed as in a message (converted to UTF-16), or UTF-16 high
  // octet first. Both read at most aText's maximum.
  void DecodePackedSeptets(const TDesc16& aHex, TModDesc16& aText);
  void DecodeUcs2(const TDesc16& aHex, TModDesc16& aText);
  // Octets of the hexadecimal digits at the start of aHex.
  static int HexOctets(const TDesc16& aHex);

  // Encoding of one part for one recipient into the send buffer; returns 0.
  int EncodePdu(const CStdSms& aPart, int aRecipient, int aCapabilities, const TSmsAddress& aCentre);
  // Octets of the PDU after the service centre part: what AT+CMGS is given.
  int TpduLength() const;
  // Appends one address field (digit count, type, swapped digit pairs).
  void EncodeAddress(const TDesc16& aNumber);
  // The PDU as hexadecimal text.
  const TDesc16& SendBuffer() const { return iSendBuffer; }
  int ServiceCentreOctets() const { return iCentreOctets; }

 private:
  // Upper- or lower-case hexadecimal digit value, -1 for anything else.
  static int HexDigitValue(WCHAR aChar);
  // Appends a semi-octet as a decimal number (10 to 14 take two characters),
  // dropping what does not fit the descriptor.
  static void AppendSemiOctet(TModDesc16& aText, int aNibble);

  // Reading; every read stops at the end of the hexadecimal digits, and a
  // read that would pass it marks the line as truncated.
  bool HasOctet() const { return iPos + 2 <= iEnd; }
  int ReadOctet();
  int PeekOctet();
  int ReadSemiOctets();
  void ResetDecodedFields(CStdSms& aSms);
  int Corrupt(const WCHAR* aLogLine);
  // Seven semi-octets into aTime (as the centre wrote it) and aZone.
  void DecodeTimeStamp(FILETIME& aTime, BYTE& aZone);
  // The rest of an SMS-STATUS-REPORT after its first octet.
  int DecodeStatusReport(CStdSms& aSms);
  // What a user data header says beyond the record's fields.
  struct TUserDataHeader {
    int iOctets = 0;  // the whole header with its length octet; 0 without one
    int iLockingLanguage = 0;
    int iSingleLanguage = 0;
  };
  // The header at the read position, its elements stored in the record;
  // false when it passes the end of the PDU.
  bool DecodeUserDataHeader(CStdSms& aSms, TUserDataHeader& aHeader);
  void DecodeInformationElement(CStdSms& aSms, int aId, int aLength, TUserDataHeader& aHeader);
  // The text after the header, in the message's coding, into aText.
  void DecodeSevenBitText(TModDesc16& aText, int aUserDataLength, const TUserDataHeader& aHeader);
  void DecodeOctetText(TModDesc16& aText, int aUserDataLength, const TUserDataHeader& aHeader, bool aUcs2);
  void DecodeTextMarker(CStdSms& aSms);

  // Writing
  void AppendOctet(int aOctet);
  void AppendDigitPairs(const WCHAR* aDigits, int aCount);
  void AppendSeptets(const TDesc16& aText, int aFillBits);
  void AppendUcs2(const TDesc16& aText);

  // Decoder state
  const WCHAR* iSource = nullptr;  // the PDU line, not owned
  int iEnd = 0;                    // characters of the line that are hexadecimal digits
  int iCapabilities = 0;
  int iPos = 0;
  bool iTruncated = false;
  bool iStatusReportRead = false;  // an attempt found a status report's first octet

  // Encoder state
  TModBuf16<KPduSendBufferLength> iSendBuffer;
  int iSendCapabilities = 0;
  int iCentreOctets = 0;
};
