#include "sms/std_sms.h"

#include "kernel/log.h"
#include "kernel/panic.h"
#include "sms/gsm_alphabet.h"
#include "sms/sms_length.h"

namespace {

const TConstPtr16 KEmptyText;

}  // namespace

// ---- CSmsBase -----------------------------------------------------------

CSmsBase::CSmsBase() { SetClassName(u"CSmsBase"); }

CSmsBase::~CSmsBase() { delete iMessageText; }

void CSmsBase::SetText(const TDesc16& aText) {
  THeapBuf16* text = THeapBuf16::New(aText.Length() + 1);
  if (text == nullptr) return;
  if (aText.Length() > 0) text->Copy(aText);
  text->ZeroTerminate();
  delete iMessageText;
  iMessageText = text;
}

THeapBuf16* CSmsBase::ReplaceTextL(int aMaxLength) {
  THeapBuf16* text = User::LeaveIfNull(THeapBuf16::New(aMaxLength + 1));
  if (text == nullptr) return nullptr;
  delete iMessageText;
  iMessageText = text;
  return text;
}

const TDesc16& CSmsBase::MessageText() const {
  if (iMessageText == nullptr) return KEmptyText;
  return *iMessageText;
}

void CSmsBase::CopyHeader(const CSmsBase& aFrom) {
  iReceivedCentre.Copy(aFrom.iReceivedCentre);
  iCentreType = aFrom.iCentreType;
  iFirstOctet = aFrom.iFirstOctet;
  iTimeZone = aFrom.iTimeZone;
  iProtocolId = aFrom.iProtocolId;
  iDataCoding = aFrom.iDataCoding;
  iConcatReference = aFrom.iConcatReference;
  iConcatReferenceBits = aFrom.iConcatReferenceBits;
  iConcatTotal = aFrom.iConcatTotal;
  iConcatPart = aFrom.iConcatPart;
  iDestinationPort = aFrom.iDestinationPort;
  iSmsValidity = aFrom.iSmsValidity;
  iSmsCentre.iName.Copy(aFrom.iSmsCentre.iName);
  iSmsCentre.iNumber.Copy(aFrom.iSmsCentre.iNumber);
  iSmsCentre.iFlags = aFrom.iSmsCentre.iFlags;
  iHeaderText.Copy(aFrom.iHeaderText);
  iSmsStatus = aFrom.iSmsStatus;
  iUnreadOnPhone = aFrom.iUnreadOnPhone;
  iDateSent = aFrom.iDateSent;
  iFlags = aFrom.iFlags;
  iMessageReference = aFrom.iMessageReference;
  iReportStatus = aFrom.iReportStatus;
  iDischargeTime = aFrom.iDischargeTime;
  iDischargeZone = aFrom.iDischargeZone;
}

bool CSmsBase::IsEightBit() const {
  int masked = iDataCoding & 0xF4;
  return masked == 0xF4 || masked == 0x84;
}

TSmsCoding CSmsBase::SendingCoding() const {
  const TSmsCoding coding = SmsEncodingOfScheme(iDataCoding);
  if (coding == ESmsCoding7Bit && !IsGsmText(MessageText())) return ESmsCodingUcs2;
  if (coding == ESmsCoding7Bit && (iFlags & KSmsFlagHeaderText) && !IsGsmText(iHeaderText)) return ESmsCodingUcs2;
  return coding;
}

int CSmsBase::NumParts() const {
  const TSmsCoding coding = SendingCoding();
  int total = SmsUnits(MessageText(), coding);
  if (iFlags & KSmsFlagHeaderText) total += iHeaderText.Length();
  const int limit = SmsSinglePartLimit(coding);
  if (total <= limit) return 1;
  const int partSize = (iFlags & KSmsFlagConcat) ? SmsConcatPartSize(coding) : limit;
  return total / partSize + (total % partSize != 0 ? 1 : 0);
}

// ---- CStdSms ------------------------------------------------------------

CStdSms::CStdSms() { SetClassName(u"CStdSms"); }

CStdSms::~CStdSms() {
  delete iRecipients;
  iRecipients = nullptr;
}

CStdSms* CStdSms::NewL(int aKind) {
  if (aKind != 0) {
    User::Leave(-5);
    return nullptr;
  }
  CStdSms* self = User::LeaveIfNull(new CStdSms);
  if (self == nullptr) return nullptr;
  self->ConstructL();
  if (self->iRecipients == nullptr) {
    delete self;
    return nullptr;
  }
  return self;
}

void CStdSms::ConstructL() {
  iRecipients = new CArrayFixFlat<TSmsAddress>(1);
  if (iRecipients == nullptr) return;
  if (AddRecipientL(TSmsAddress()) != 0) {
    delete iRecipients;
    iRecipients = nullptr;
  }
}

TSmsAddress* CStdSms::Recipient(int aIndex) {
  if (iRecipients == nullptr || aIndex < 0 || aIndex >= iRecipients->Count()) return nullptr;
  return &(*iRecipients)[aIndex];
}

const TSmsAddress* CStdSms::Recipient(int aIndex) const {
  if (iRecipients == nullptr || aIndex < 0 || aIndex >= iRecipients->Count()) return nullptr;
  return &(*iRecipients)[aIndex];
}

int CStdSms::AddRecipientL(const TSmsAddress& aAddress) {
  if (iRecipients == nullptr) return -4;
  return iRecipients->AppendL(aAddress) == 0 ? 0 : -4;
}

bool CStdSms::HasRecipient() const {
  const TSmsAddress* first = Recipient(0);
  return first != nullptr && first->iNumber.Length() > 0;
}

const TDesc16& CStdSms::RecipientNumber(int aIndex) const {
  const TSmsAddress* address = Recipient(aIndex);
  return address ? static_cast<const TDesc16&>(address->iNumber) : KEmptyText;
}

const TDesc16& CStdSms::RecipientName(int aIndex) const {
  const TSmsAddress* address = Recipient(aIndex);
  return address ? static_cast<const TDesc16&>(address->iName) : KEmptyText;
}

// Bits 0 to 31 only: a part number beyond them is never marked.
void CStdSms::ClearRecipientFlag(int aBit, int aIndex) {
  TSmsAddress* address = Recipient(aIndex);
  if (address && aBit >= 0 && aBit < 32) address->iFlags &= ~(DWORD{1} << aBit);
}

void CStdSms::SetRecipientFlag(int aBit, int aIndex) {
  TSmsAddress* address = Recipient(aIndex);
  if (address && aBit >= 0 && aBit < 32) address->iFlags |= DWORD{1} << aBit;
}

void CStdSms::ResetRecipientFlags(int aIndex) {
  if (TSmsAddress* address = Recipient(aIndex)) address->iFlags = 0;
}

DWORD CStdSms::RecipientFlags(int aIndex) const {
  const TSmsAddress* address = Recipient(aIndex);
  return address ? address->iFlags : 0;
}

int CStdSms::NumRecipients() const {
  if (iRecipients == nullptr) {
    LogMessage(KLogFilePath, u"CStdSms::NumRecipients - iRecipients == NULL");
    return 0;
  }
  int count = iRecipients->Count();
  LogMessage(KLogFilePath, u"CStdSms::NumRecipients = %1!d!", count);
  return count;
}

void CStdSms::CopyRecipients(const CSmsBase& aOther) {
  const CStdSms* other = dynamic_cast<const CStdSms*>(&aOther);
  if (other == nullptr || other->iRecipients == nullptr || iRecipients == nullptr || other == this) return;
  if (iRecipients->Count() > 1) iRecipients->Delete(1, iRecipients->Count() - 1);
  const int count = other->iRecipients->Count();
  if (count == 0) return;
  if (iRecipients->Count() == 0) {
    AddRecipientL((*other->iRecipients)[0]);
  } else {
    (*iRecipients)[0] = (*other->iRecipients)[0];
  }
  for (int i = 1; i < count; ++i) AddRecipientL((*other->iRecipients)[i]);
}

CStdSms* CStdSms::CloneForPart(const TDesc16& aText) const {
  CStdSms* part = NewL(0);
  if (part == nullptr) return nullptr;
  part->CopyHeader(*this);
  part->SetText(aText);
  part->CopyRecipients(*this);
  return part;
}

CStdSms* CStdSms::Clone() const { return CloneForPart(MessageText()); }
