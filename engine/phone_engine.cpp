#include "engine/phone_engine.h"

#include <memory>

#include "kernel/log.h"
#include "kernel/registry.h"
#include "sms/sms_address.h"
#include "sms/sms_length.h"
#include "sms/sms_time_stamp.h"

namespace {

const int KPlaceHolderGranularity = 64;

// Local owners, so that a record in hand is freed also when the engine
// thread is ended from inside a wait for the phone.
template <typename T>
using TOwned = std::unique_ptr<T>;

// Deleted records are collected first and removed afterwards, so that the
// read position of the walk is not disturbed.
typedef CArrayFixFlat<CEOID> COidList;

// The program's settings, where the last reference handed out is kept.
const WCHAR KSettingsKey[] = u"Software\\Veltramonic\\Korvanet";
const WCHAR KConcatReferenceValue[] = u"ConcatReference";

}  // namespace

CPhoneEng::CPhoneEng() : iListenQuietMs(KListenQuietMs), iListenRetryMs(KListenRetryMs) { SetClassName(u"CPhoneEng"); }

CPhoneEng* CPhoneEng::NewL(HWND aMainUiWnd) {
  LogMessage(KLogFilePath, u"CPhoneEng::NewL aMainUiWnd = 0x%1!x!", aMainUiWnd);
  CPhoneEng* self = new CPhoneEng;
  if (self == nullptr) return nullptr;
  if (self->ConstructL(aMainUiWnd) != KErrNone) {
    LogMessage(KLogFilePath, u"CPhoneEng::NewL - construction failed");
    delete self;
    return nullptr;
  }
  return self;
}

int CPhoneEng::ConstructL(HWND aMainUiWnd) {
  iPhone = CMobilePhoneBase::NewL(this);  // runs its ConstructL, which makes the communicator
  if (iPhone == nullptr) return KErrNoMemory;
  iMessagesDatabase = CKveMessagesDatabase::NewL(aMainUiWnd, 0);
  iContactsDatabase = CKveContactsDatabase::NewL(aMainUiWnd, 0);
  iSimPlaceHolders = new CPlaceHolderList(KPlaceHolderGranularity);
  iPhoneMemoryPlaceHolders = new CPlaceHolderList(KPlaceHolderGranularity);
  if (!iMessagesDatabase || !iContactsDatabase || !iSimPlaceHolders || !iPhoneMemoryPlaceHolders)
    return KErrNoMemory;
  return KErrNone;
}

CPhoneEng::~CPhoneEng() {
  LogMessage(KLogFilePath, u"CPhoneEng::~CPhoneEng");
  delete iPhone;
  delete iMessagesDatabase;
  delete iContactsDatabase;
  if (iSimPlaceHolders && iPhoneMemoryPlaceHolders) ResetPlaceHolders();
  delete iSimPlaceHolders;
  delete iPhoneMemoryPlaceHolders;
}

void CPhoneEng::KeepAction(const MSG& aMessage) {
  iAction = reinterpret_cast<TEngineAction*>(aMessage.wParam);
  iPhone->ForgetSimResult();
}

LRESULT CPhoneEng::NotifyProgress() {
  if (iAction == nullptr) return 0;
  return SendMessageW(iAction->iWindow, EKvActionInProgress, reinterpret_cast<WPARAM>(iAction), 0);
}

void CPhoneEng::NotifyComplete() {
  if (iAction == nullptr) return;
  // Whatever the action made of a connect that failed, the SIM is the cause.
  ReportSimFailure();
  SendMessageW(iAction->iWindow, EKvActionComplete, reinterpret_cast<WPARAM>(iAction), 0);
}

void CPhoneEng::ClosePort() { iPhone->Communicator()->ClosePort(); }

int CPhoneEng::InitialiseConnection() {
  LogMessage(KLogFilePath, u"CPhoneEng::InitialiseConnection");
  iProgressCounter = 0;
  int result = iPhone->Communicator()->OpenPort();
  if (result == KErrNone) {
    if (iAction != nullptr && iAction->iReadSmsc) iPhone->ReadSmsCentre(iAction->iPhoneSmsc);
    return KErrNone;
  }
  LogMessage(KLogFilePath, u"CPhoneEng::InitialiseConnection - error initialising port %1!d!", result);
  if (iAction != nullptr) {
    iAction->iText.Copy(u"Error initialising port");
    LPCWSTR reason = iPhone->Communicator()->OpenFailureReason();
    iAction->iReason.Copy(reason != nullptr ? reason : u"");
    iAction->iResult = KErrGeneral;
  }
  NotifyComplete();
  ClosePort();
  return result;
}

int CPhoneEng::GetPhoneSettings() {
  LogMessage(KLogFilePath, u"CPhoneEng::GetPhoneSettings");
  iPhone->ReadPhoneSettings();
  return KErrNone;
}

int CPhoneEng::ProcessSendNow(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow");
  KeepAction(aMessage);
  if (iAction == nullptr) return KErrGeneral;
  iCurrentMessage = iAction->iMessage;

  if (iCurrentMessage == nullptr) {
    LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow - no message to send");
    iAction->iText.Copy(u"Failed send.");
    iAction->iResult = KErrGeneral;
    NotifyComplete();
    return KErrGeneral;
  }
  TSmsAddress recipient;
  recipient.iNumber.CopyTruncated(iCurrentMessage->Number());

  TConstPtr16 smsc(iAction->iSmsc != nullptr ? iAction->iSmsc : u"");
  if (smsc.Length() == 0) {
    LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow - no smsc found");
    iAction->iText.Copy(u"No SMSC - check \"Settings\"");
    iAction->iResult = KErrGeneral;
    NotifyComplete();
    return KErrGeneral;
  }
  TSmsAddress centre;
  centre.iNumber.CopyTruncated(smsc);

  LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow Creating SMS");
  TOwned<CStdSms> sms(CStdSms::NewL(0));
  if (!sms) {
    iAction->iText.Copy(u"Failed send.");
    iAction->iResult = KErrGeneral;
    NotifyComplete();
    return KErrNoMemory;
  }
  sms->SetText(iCurrentMessage->SmsFormatMessage());
  // The last guard before the phone: a text that needs more parts than a
  // long message can number is refused whole, before the port is opened.
  const int parts = SmsPartsOf(sms->MessageText(), sms->SendingCoding());
  if (parts > KSmsMaxParts) {
    LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow - %1!d! parts, refused", parts);
    iAction->iText.Copy(u"Too long to send: ");
    iAction->iText.AppendNum(parts);
    iAction->iText.Append(TConstPtr16(u" parts, at most 255"));
    iAction->iResult = KErrOverflow;
    NotifyComplete();
    return KErrOverflow;
  }
  if (TSmsAddress* first = sms->Recipient(0))
    *first = recipient;
  else
    sms->AddRecipientL(recipient);
  sms->SmsCentre() = centre;
  iRequestingReports = iAction->iRequestReports;
  if (iRequestingReports) sms->iFlags |= KSmsFlagStatusReport;
  iSentParts.clear();

  int result = InitialiseConnection();
  if (result != KErrNone) return result;

  LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow Sending SMS");
  result = iPhone->SendSms(*sms, 3);
  if (result == KReplyOk) {
    iAction->iText.Copy(u"Message Sent.");
    iAction->iResult = KErrNone;
    // The record goes to Sent with the references its reports will carry;
    // a message sent again forgets the reports of its earlier sending.
    iCurrentMessage->SetDeliveryL(iSentParts);
  } else {
    iAction->iText.Copy(u"Failed send.");
    iAction->iResult = KErrGeneral;
  }
  iRequestingReports = false;
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow complete");
  NotifyComplete();
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendNow - Closing Connection to port");
  ClosePort();
  return result;
}

int CPhoneEng::ProcessGetAllSmsFromPhone(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessGetAllSmsFromPhone");
  KeepAction(aMessage);
  int result = InitialiseConnection();
  if (result != KErrNone) return result;
  // A listing the phone never ended (no final OK: the port closed or the
  // phone fell silent) is no complete transfer; what was stored stays.
  const int read = iPhone->ReadSms();
  if (iAction != nullptr && read < 0 && read != KErrCancel) {
    LogMessage(KLogFilePath, u"CPhoneEng::ProcessGetAllSmsFromPhone - the listing was cut off %1!d!", read);
    iAction->iText.Copy(u"Transfer failed: the phone went away");
    iAction->iResult = KErrGeneral;
  } else if (iAction != nullptr) {
    iAction->iText.Copy(u"Transfer Complete.");
  }
  NotifyComplete();
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessGetAllSmsFromPhone - Closing Connection to port");
  ClosePort();
  return KErrNone;
}

int CPhoneEng::ProcessDeleteAllSmsFromPhone(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessDeleteAllSmsFromPhone");
  KeepAction(aMessage);
  int result = InitialiseConnection();
  if (result != KErrNone) return result;
  int deleted = 0;
  iPhone->DeleteAllSms(KSmsAllMessages, deleted, KSmsBothStores);
  if (iAction != nullptr) iAction->iText.Copy(u"Deleted all messages.");
  NotifyComplete();
  ClosePort();
  return KErrNone;
}

int CPhoneEng::ProcessSendAllSmsFromOutbox(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessSendAllSmsFromOutbox");
  KeepAction(aMessage);
  if (iAction != nullptr) iAction->iText.Copy(u"Not Supported .. yet");
  NotifyComplete();
  ClosePort();
  return KErrNone;
}

int CPhoneEng::ProcessReadPhoneBook(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessReadPhoneBook");
  KeepAction(aMessage);
  int result = InitialiseConnection();
  if (result != KErrNone) return result;
  CleanupDatabase();
  switch (aMessage.message) {
    case EKvReadPhoneBookSim:
      iCurrentStore = EKvStoreSim;
      iPhone->ReadPhoneBook(ESimCard);
      break;
    case EKvReadPhoneBookPhoneMemory:
      iCurrentStore = EKvStorePhoneMemory;
      iPhone->ReadPhoneBook(EPhoneMemory);
      break;
    case EKvReadPhoneBook:
      iCurrentStore = EKvStoreSim;
      iPhone->ReadPhoneBook(ESimCard);
      iCurrentStore = EKvStorePhoneMemory;
      iPhone->ReadPhoneBook(EPhoneMemory);
      break;
    default:
      LogMessage(KLogFilePath, u"CPhoneEng::ProcessReadPhoneBook Error - unknown message");
      break;
  }
  iContactsDatabase->LogDataToFile();
  if (iAction != nullptr) iAction->iText.Copy(u"Read all contacts.");
  NotifyComplete();
  ClosePort();
  return KErrNone;
}

void CPhoneEng::CleanupDatabase() {
  LogMessage(KLogFilePath, u"CPhoneEng::CleanupDatabase");
  COidList deleted(16);
  COidList edited(16);
  for (CEpocDatabaseItem* record = iContactsDatabase->ReadFirstItemL(); record != nullptr;
       record = iContactsDatabase->ReadNextItemL()) {
    TOwned<CKveContactsItem> contact(static_cast<CKveContactsItem*>(record));
    if (contact->IsDeleted())
      deleted.AppendL(contact->Oid());
    else if (contact->IsEdited())
      edited.AppendL(contact->Oid());
  }
  for (int i = 0; i < deleted.Count(); ++i) iContactsDatabase->DeleteItem(deleted[i]);
  for (int i = 0; i < edited.Count(); ++i) {
    TOwned<CKveContactsItem> contact(static_cast<CKveContactsItem*>(iContactsDatabase->ReadItemL(edited[i])));
    if (!contact) continue;
    contact->SetEdited(false);
    iContactsDatabase->ReplaceItemL(*contact);
  }
}

CEOID CPhoneEng::StoreSmsInDatabaseL(CStdSms& aSms, bool* aHeld, int* aPartsMissing) {
  LogMessage(KLogFilePath, u"StoreSmsInDatabaseL");
  if (aHeld != nullptr) *aHeld = false;
  TOwned<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iMessagesDatabase->NewItemL()));
  if (!message) return 0;
  switch (aSms.SmsStatus()) {
    case KSmsStatusUnsent:
      message->SetFolder(EKvFolderOutbox);
      break;
    case KSmsStatusSent:
      message->SetFolder(EKvFolderSent);
      break;
    default:
      message->SetFolder(EKvFolderInbox);
      break;
  }
  message->SetTextL(aSms.MessageText());
  // Received messages wait to be opened, unless the user read them on the phone
  // already; what the phone sent or keeps to send does not. One that comes in
  // while listening is new, whatever its status says.
  message->SetUnread(message->Folder() == EKvFolderInbox && (aSms.iUnreadOnPhone || iListen != nullptr));
  TConstPtr16 number;
  if (aSms.NumRecipients() > 0) number = TConstPtr16(aSms.RecipientNumber(0));
  message->SetNumberL(number);
  TOwned<CKveContactsItem> contact(iContactsDatabase->LookupNumberL(number));
  if (contact)
    message->SetNameL(contact->Name());
  else
    message->SetNameL(TConstPtr16(u""));
  // Kept as UTC with the stamp's zone beside it; an outgoing message is dated by our own UTC clock.
  const int zone = SmsZoneMinutes(aSms.iTimeZone);
  message->SetDateSentTime(SmsStampToUtc(aSms.DateSent(), zone), zone);
  TKvMessagePart part = {aSms.iConcatReference, aSms.iConcatReferenceBits, aSms.iConcatTotal, aSms.iConcatPart};
  CEOID oid = iMessagesDatabase->WritePartL(*message, part, aPartsMissing);
  if (aHeld != nullptr) *aHeld = oid != 0 || iMessagesDatabase->HoldsL(*message, part);
  return oid;
}

CKveContactsItem* CPhoneEng::MakeContactItemL(const TPhoneBookEntry& aEntry) {
  auto* contact = static_cast<CKveContactsItem*>(iContactsDatabase->NewItemL());
  if (contact == nullptr) return nullptr;
  contact->SetNameL(aEntry.iName);
  contact->SetNumberL(aEntry.iNumber);
  contact->SetOtherDetailsL(TConstPtr16(u""));
  contact->SetLocation(aEntry.iLocation);
  if (iCurrentStore != EKvStoreSim)
    contact->SetInPhoneMemory();
  else
    contact->SetOnSim();
  return contact;
}

void CPhoneEng::StoreContactL(const TPhoneBookEntry& aEntry) {
  TOwned<CKveContactsItem> contact(MakeContactItemL(aEntry));
  if (contact) iContactsDatabase->WritePhoneEntryL(*contact);
}

int CPhoneEng::NextConcatReference() {
  // Two long messages to one person must not share a reference, or the
  // receiving phone joins their parts into one.
  int next = (CEpocRegistry::GetRegistryInt(KSettingsKey, KConcatReferenceValue) + 1) & 0xFF;
  CEpocRegistry::SaveRegistryInt(KSettingsKey, KConcatReferenceValue, next);
  LogMessage(KLogFilePath, u"CPhoneEng::NextConcatReference %1!d!", next);
  return next;
}
