// Sending one Outbox message on the listening engine's open port, as the
// compose dialog's Send does it on a port of its own.
#include <memory>

#include "engine/phone_engine.h"
#include "kernel/log.h"
#include "sms/sms_address.h"
#include "sms/sms_length.h"

int CPhoneEng::SendOneMessage(CKveMessagesItem& aMessage, bool aReport) {
  TConstPtr16 smsc(iAction != nullptr && iAction->iSmsc != nullptr ? iAction->iSmsc : u"");
  if (smsc.Length() == 0) {
    LogMessage(KLogFilePath, u"CPhoneEng::SendOneMessage - no smsc found");
    return KReplyError;
  }
  std::unique_ptr<CStdSms> sms(CStdSms::NewL(0));
  if (!sms) return KReplyError;
  sms->SetText(aMessage.SmsFormatMessage());
  const int parts = SmsPartsOf(sms->MessageText(), sms->SendingCoding());
  if (parts > KSmsMaxParts) {
    LogMessage(KLogFilePath, u"CPhoneEng::SendOneMessage - %1!d! parts, refused", parts);
    return KReplyError;
  }
  TSmsAddress recipient;
  recipient.iNumber.CopyTruncated(aMessage.Number());
  if (TSmsAddress* first = sms->Recipient(0))
    *first = recipient;
  else
    sms->AddRecipientL(recipient);
  sms->SmsCentre().iNumber.CopyTruncated(smsc);
  iRequestingReports = aReport;
  if (aReport) sms->iFlags |= KSmsFlagStatusReport;
  iSentParts.clear();
  const int r = iPhone->SendSms(*sms, 3);
  iRequestingReports = false;
  return r;
}
