// The in-memory form of one short message, read from the phone or to be sent.
#pragma once

#include <wintypes.h>

#include "kernel/arrays.h"
#include "kernel/descriptors.h"
#include "kernel/epocbase.h"
#include "sms/sms_address.h"
#include "sms/sms_coding.h"

inline constexpr int KSmsCentreLength = 32;
inline constexpr int KSmsHeaderTextLength = 32;

// Flag bits of the record.
inline constexpr int KSmsFlagHeaderText = 2;   // the header-text feature
inline constexpr int KSmsFlagConcat = 4;       // concatenation allowed / present
inline constexpr int KSmsFlagForceHeader = 8;  // user data header even for one part
inline constexpr int KSmsFlagStatusReport = 16;  // ask the network for a status report

// Status of the message on the phone.
inline constexpr int KSmsStatusUnsent = 0;
inline constexpr int KSmsStatusSent = 2;
inline constexpr int KSmsStatusReceived = 4;

// Validity codes for sending.
enum TSmsValidity {
  ESmsValidityHour = 0,
  ESmsValidityDay = 1,
  ESmsValidityWeek = 2,
  ESmsValidity30Days = 3,
  ESmsValidityMaximum = 4,
};

// Header fields and text; the recipient list is left to the derived record.
class CSmsBase : public CEpocBase {
 public:
  ~CSmsBase() override;

  virtual int NumParts() const;
  virtual bool HasRecipient() const = 0;
  virtual const TDesc16& RecipientNumber(int aIndex) const = 0;
  virtual const TDesc16& RecipientName(int aIndex) const = 0;
  virtual void ClearRecipientFlag(int aBit, int aIndex) = 0;
  virtual void SetRecipientFlag(int aBit, int aIndex) = 0;
  virtual void ResetRecipientFlags(int aIndex) = 0;
  virtual DWORD RecipientFlags(int aIndex) const = 0;
  virtual int NumRecipients() const = 0;
  virtual void CopyRecipients(const CSmsBase& aOther) = 0;
  virtual void ConstructL() {}

  // Replaces the text with a zero-terminated copy of aText; the previous text
  // stays when there is no memory for the copy.
  void SetText(const TDesc16& aText);
  // Replaces the text with a new empty buffer of aMaxLength characters plus a
  // terminator; returns it (null without memory).
  THeapBuf16* ReplaceTextL(int aMaxLength);
  // Every field except the text and the recipients.
  void CopyHeader(const CSmsBase& aFrom);
  // True when (data coding scheme AND 0xF4) is 0xF4 or 0x84: 8-bit data.
  bool IsEightBit() const;
  // The coding the text goes out in: 8-bit data as IsEightBit says, UCS2 when
  // the scheme names it or when the text (or header text) holds a character
  // the GSM alphabet lacks, else 7-bit.
  TSmsCoding SendingCoding() const;
  // Text characters that are sent as two septets.
  int CountTextEscapes() const;
  bool IsPartSent(int aPart, int aIndex) const { return aPart >= 0 && aPart < 32 && (RecipientFlags(aIndex) >> aPart) & 1; }

  int& SmsValidity() { return iSmsValidity; }
  int SmsValidity() const { return iSmsValidity; }
  TSmsAddress& SmsCentre() { return iSmsCentre; }
  const TSmsAddress& SmsCentre() const { return iSmsCentre; }
  int& SmsStatus() { return iSmsStatus; }
  int SmsStatus() const { return iSmsStatus; }
  // The text, or an empty descriptor when there is none.
  const TDesc16& MessageText() const;
  THeapBuf16* MessageTextBuffer() { return iMessageText; }
  FILETIME& DateSent() { return iDateSent; }
  const FILETIME& DateSent() const { return iDateSent; }

 protected:
  CSmsBase();

 public:
  TModBuf16<KSmsCentreLength> iReceivedCentre;  // digits only, from a received PDU
  int iCentreType = 0;                          // type-of-address octet of that centre
  BYTE iFirstOctet = 0;
  BYTE iTimeZone = 0;  // as decoded from its semi-octets
  BYTE iProtocolId = 0;
  BYTE iDataCoding = 0;
  WORD iConcatReference = 0;      // 8- or 16-bit, as iConcatReferenceBits says
  BYTE iConcatReferenceBits = 0;  // 8 or 16 for a part of a long message, else 0
  BYTE iConcatTotal = 0;          // 0: not concatenated
  BYTE iConcatPart = 0;   // from 1
  int iDestinationPort = 0;
  int iSmsValidity = ESmsValidityWeek;
  TSmsAddress iSmsCentre;  // centre for sending; its flags are unused
  TModBuf16<KSmsHeaderTextLength> iHeaderText;
  int iSmsStatus = KSmsStatusUnsent;
  bool iUnreadOnPhone = false;  // received, and the phone listed it as not read yet
  THeapBuf16* iMessageText = nullptr;  // owned
  FILETIME iDateSent = {0, 0};
  int iFlags = KSmsFlagConcat;
  // A status report (message type 2) names the message it reports on by its
  // reference and recipient (recipient 0); its DateSent is the time the
  // centre took that message.
  BYTE iMessageReference = 0;
  int iReportStatus = -1;  // TP-ST; -1 when the record is no status report
  FILETIME iDischargeTime = {0, 0};
  BYTE iDischargeZone = 0;  // as iTimeZone, for iDischargeTime

  bool IsStatusReport() const { return iReportStatus >= 0; }
};

// The message record with its list of recipients. Recipient 0 of a received
// message is its originator (of a stored outgoing one, its destination).
class CStdSms : public CSmsBase {
 public:
  // Only the argument 0 is known; any other leaves with -5 (null).
  static CStdSms* NewL(int aKind);
  ~CStdSms() override;

  bool HasRecipient() const override;
  const TDesc16& RecipientNumber(int aIndex) const override;
  const TDesc16& RecipientName(int aIndex) const override;
  void ClearRecipientFlag(int aBit, int aIndex) override;
  void SetRecipientFlag(int aBit, int aIndex) override;
  void ResetRecipientFlags(int aIndex) override;
  DWORD RecipientFlags(int aIndex) const override;
  int NumRecipients() const override;
  void CopyRecipients(const CSmsBase& aOther) override;
  void ConstructL() override;

  // The recipient at aIndex, null outside the list.
  TSmsAddress* Recipient(int aIndex);
  const TSmsAddress* Recipient(int aIndex) const;
  // Appends a copy; returns 0 or -4 without memory.
  int AddRecipientL(const TSmsAddress& aAddress);

  // A new record with this header, aText and copies of every recipient.
  CStdSms* CloneForPart(const TDesc16& aText) const;
  CStdSms* Clone() const;

 private:
  CStdSms();

  CArrayFixFlat<TSmsAddress>* iRecipients = nullptr;  // owned, granularity 1
};
