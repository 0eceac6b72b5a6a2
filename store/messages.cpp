#include "store/messages.h"

#include <memory>

#include "kernel/log.h"
#include "store/conversation_key.h"
#include "store/duplicate_key.h"
#include "store/message_folder_order.h"
#include "store/message_gateway.h"
#include "store/message_parts.h"
#include "store/store_text.h"

namespace {

const TText16 KBlank = 32;

// Line feeds dropped, carriage returns made aCrBecomes: each character kept to aPut.
template <typename TPut>
void Flatten(const TDesc16& aText, TText16 aCrBecomes, TPut aPut) {
  const TText16* in = aText.Ptr();
  for (int i = 0; i < aText.Length(); ++i)
    if (in[i] != KLf) aPut(in[i] == KCr ? aCrBecomes : in[i]);
}

// A copy of aText flattened so, zero-terminated.
THeapBuf16* FlattenedL(const TDesc16& aText, TText16 aCrBecomes) {
  THeapBuf16* flat = THeapBuf16::NewL(aText.Length() + 1);
  if (flat == nullptr) return nullptr;
  // Written in place, one pass.
  THeapPtr16 des = flat->Des();
  des.SetLength(aText.Length() + 1);
  TText16* out = des.Ptr();
  int length = 0;
  Flatten(aText, aCrBecomes, [&](TText16 aChar) { out[length++] = aChar; });
  out[length++] = 0;
  des.SetLength(length);
  return flat;
}

}  // namespace

CKveMessagesItem::CKveMessagesItem() { SetClassName(u"CKveMessagesItem"); }

CKveMessagesItem* CKveMessagesItem::NewL() { return new CKveMessagesItem; }

CKveMessagesItem::~CKveMessagesItem() {
  FreeText(iName);
  FreeText(iNumber);
  FreeText(iText);
  FreeText(iParts);
  FreeText(iDelivery);
  DiscardCaches();
}

void CKveMessagesItem::ConstructL() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME date;
  if (SystemTimeToFileTime(&now, &date))
    SetDateSentTime(date);
  else
    LogMessageWithError(KLogFilePath, u"CKveMessagesItem::ConstructL");
  iDateText.Zero();
}

void CKveMessagesItem::SetL(const CEPROPVAL& aValue) {
  switch (aValue.propid) {
    case KMessageNameProp: CopyTextL(iName, aValue.val.lpwstr); break;
    case KMessageNumberProp: CopyTextL(iNumber, aValue.val.lpwstr); break;
    case KMessageTextProp:
      CopyEscapedTextL(iText, aValue.val.lpwstr);
      DiscardCaches();
      break;
    case KMessageFolderProp: iFolder = aValue.val.ulVal; break;
    case KMessageDateProp:
      iDateSent = aValue.val.filetime;
      iZoneKept = iZoneRead;
      iDateText.Zero();
      break;
    case KMessageConcatReferenceProp: iConcatReference = aValue.val.ulVal; break;
    case KMessageConcatBitsProp:
      iConcatReferenceBits = aValue.val.ulVal;
      iReadLongMessageProperties = true;
      break;
    case KMessageConcatTotalProp: iConcatTotal = aValue.val.ulVal; break;
    case KMessagePartsProp: CopyEscapedTextL(iParts, aValue.val.lpwstr); break;
    case KMessageDeliveryProp: CopyTextL(iDelivery, aValue.val.lpwstr); break;
    case KMessageZoneProp:
      iZoneMinutes = static_cast<int>(static_cast<LONG>(aValue.val.ulVal));
      iZoneKept = iZoneRead = true;
      iDateText.Zero();
      break;
    case KMessageWaitingSinceProp: iWaitingSince = aValue.val.filetime; break;
    case KMessagePassedOnProp: iPassedOn = aValue.val.ulVal != 0; break;
    case KMessageFolderOrderProp: break;  // made again from the fields at every write
    case KMessageConversationProp: break;  // the same
    case KMessageUnreadProp: iUnread = aValue.val.lpwstr != nullptr && aValue.val.lpwstr[0] != 0; break;
    case KMessageGatewayProp: iGatewayMark = aValue.val.lpwstr != nullptr ? aValue.val.lpwstr : u""; break;
    default:
      LogMessage(KLogFilePath, u"CKveMessagesItem::SetL - ERROR: unknown field %1!d!", aValue.propid);
      break;
  }
}

void CKveMessagesItem::SaveProperties(CEPROPVAL* aBuffer) {
  LogMessage(KLogFilePath, u"CKveMessagesItem::SaveProperties");
  LogMessage(KLogFilePath, u"CKveMessagesItem::SaveProperties 0x%1!x! 0x%2!x!", iDateSent.dwHighDateTime,
             iDateSent.dwLowDateTime);
  aBuffer[0].propid = KMessageNameProp;
  aBuffer[0].val.lpwstr = TextForProperty(iName);
  aBuffer[1].propid = KMessageTextProp;
  aBuffer[1].val.lpwstr = EscapedTextForProperty(iText, iStoredText);
  aBuffer[2].propid = KMessageNumberProp;
  aBuffer[2].val.lpwstr = TextForProperty(iNumber);
  aBuffer[3].propid = KMessageFolderProp;
  aBuffer[3].val.ulVal = iFolder;
  aBuffer[4].propid = KMessageDateProp;
  aBuffer[4].val.filetime = iDateSent;
  // Always written, also for a message in one piece, so that a record
  // rewritten as a single message keeps no parts of an earlier life.
  aBuffer[5].propid = KMessageConcatReferenceProp;
  aBuffer[5].val.ulVal = iConcatReference;
  aBuffer[6].propid = KMessageConcatBitsProp;
  aBuffer[6].val.ulVal = iConcatReferenceBits;
  aBuffer[7].propid = KMessageConcatTotalProp;
  aBuffer[7].val.ulVal = iConcatTotal;
  aBuffer[8].propid = KMessagePartsProp;
  aBuffer[8].val.lpwstr = EscapedTextForProperty(iParts, iStoredParts);
  aBuffer[9].propid = KMessageDeliveryProp;
  aBuffer[9].val.lpwstr = TextForProperty(iDelivery);
  iFolderOrderKey = FolderOrderKey(iFolder, Name(), iDateSent);
  aBuffer[10].propid = KMessageFolderOrderProp;
  aBuffer[10].val.lpwstr = iFolderOrderKey.data();
  aBuffer[11].propid = KMessageWaitingSinceProp;
  aBuffer[11].val.filetime = iWaitingSince;
  aBuffer[12].propid = KMessagePassedOnProp;
  aBuffer[12].val.ulVal = iPassedOn ? 1 : 0;
  iConversationKey = ConversationKey(Number(), Name());
  aBuffer[13].propid = KMessageConversationProp;
  aBuffer[13].val.lpwstr = iConversationKey.data();
  aBuffer[14].propid = KMessageUnreadProp;
  aBuffer[14].val.lpwstr = iUnread ? iConversationKey.data() : const_cast<LPWSTR>(u"");
  // A record of an earlier version stays without one: its date is not UTC.
  int next = 15;
  if (HasZone()) {
    aBuffer[next].propid = KMessageZoneProp;
    aBuffer[next++].val.ulVal = static_cast<ULONG>(iZoneMinutes);
  }
  if (!iGatewayMark.empty()) {
    aBuffer[next].propid = KMessageGatewayProp;
    aBuffer[next].val.lpwstr = iGatewayMark.data();
  }
}

void CKveMessagesItem::SetDateSentTime(const FILETIME& aUtc, int aZoneMinutes) {
  iDateSent = aUtc;
  iZoneMinutes = aZoneMinutes;
  iZoneKept = true;
  iDateText.Zero();
}

void CKveMessagesItem::Reset() {
  FreeText(iName);
  FreeText(iNumber);
  FreeText(iText);
  DiscardCaches();
  ClearLongMessage();
  ClearDelivery();
  iGatewayMark.clear();
  iUnread = false;
  iFolder = 0;
  iDateText.Zero();
}

// The name is left out: it is what the contact was called when the message
// was stored, and renaming a contact does not make its old messages new.
int CKveMessagesItem::Compare(CEpocDatabaseItem& aOther) {
  auto& other = static_cast<CKveMessagesItem&>(aOther);
  return (Number() == other.Number() && Text() == other.Text()) ? 0 : 1;
}

// Exactly the texts Compare looks at.
ULONGLONG CKveMessagesItem::DuplicateKey() {
  TDuplicateKey key;
  key.Add(Number());
  key.Add(Text());
  return key.Value();
}

void CKveMessagesItem::SetDetailsL(const TDesc16* aName, const TDesc16* aText, const TDesc16* aNumber, DWORD aFolder) {
  Reset();
  iFolder = aFolder;
  CopyTextL(iName, aName);
  CopyTextL(iText, aText);
  CopyTextL(iNumber, aNumber);
}

void CKveMessagesItem::SetNameL(const TDesc16& aName) { CopyWithCrLfL(iName, aName); }
void CKveMessagesItem::SetNumberL(const TDesc16& aNumber) { CopyWithCrLfL(iNumber, aNumber); }

void CKveMessagesItem::SetTextL(const TDesc16& aText) {
  DiscardCaches();
  CopyWithCrLfL(iText, aText);
}

TConstPtr16 CKveMessagesItem::Name() const { return TextView(iName); }
TConstPtr16 CKveMessagesItem::Number() const { return TextView(iNumber); }
TConstPtr16 CKveMessagesItem::Text() const { return TextView(iText); }

bool CKveMessagesItem::IsPartOfSameMessage(const CKveMessagesItem& aMessage, const TKvMessagePart& aPart) const {
  return IsLongMessage() && iConcatReference == aPart.iReference && iConcatReferenceBits == aPart.iReferenceBits &&
         iConcatTotal == aPart.iTotal && iFolder == aMessage.Folder() && Number() == aMessage.Number();
}

bool CKveMessagesItem::FindPart(int aPart, TConstPtr16& aText) const {
  return FindMessagePart(TextView(iParts), aPart, aText);
}

int CKveMessagesItem::PartsHeld() const {
  TConstPtr16 parts = TextView(iParts);
  TMessagePartIterator iterator(parts);
  int held = 0, part = 0;
  TConstPtr16 text;
  while (iterator.Next(part, text)) ++held;
  return held;
}

void CKveMessagesItem::ClearLongMessage() {
  iConcatReference = 0;
  iConcatReferenceBits = 0;
  iConcatTotal = 0;
  FreeText(iParts);
  iWaitingSince = FILETIME{};
  iPassedOn = false;
}

FILETIME CKveMessagesItem::WaitingSince() const {
  if (iWaitingSince.dwHighDateTime == 0 && iWaitingSince.dwLowDateTime == 0) return iDateSent;
  return iWaitingSince;
}

void CKveMessagesItem::SetLongMessageL(const TKvMessagePart& aPart) {
  iConcatReference = aPart.iReference;
  iConcatReferenceBits = aPart.iReferenceBits;
  iConcatTotal = aPart.iTotal;
  CopyTextL(iParts, static_cast<const TText16*>(nullptr));
}

void CKveMessagesItem::AddPartL(int aPart, const TDesc16& aText, const FILETIME& aDate, int aZoneMinutes) {
  TConstPtr16 parts = TextView(iParts);
  bool earliest = true;
  TMessagePartIterator iterator(parts);
  int part = 0;
  TConstPtr16 text;
  while (iterator.Next(part, text)) earliest = earliest && part >= aPart;
  THeapBuf16* updated = WithMessagePartL(parts, aPart, aText);
  if (updated == nullptr) return;
  FreeText(iParts);
  iParts = updated;
  THeapBuf16* joined = JoinMessagePartsL(TextView(iParts), static_cast<int>(iConcatTotal));
  if (joined == nullptr) return;
  FreeText(iText);
  iText = joined;
  DiscardCaches();
  if (earliest) SetDateSentTime(aDate, aZoneMinutes);
}

TKvDeliveryList CKveMessagesItem::Delivery() const { return ParseDelivery(TextView(iDelivery)); }

void CKveMessagesItem::SetDeliveryL(const TKvDeliveryList& aList) {
  if (aList.empty()) {
    ClearDelivery();
    return;
  }
  THeapBuf16* text = FormatDeliveryL(aList);
  if (text == nullptr) return;
  FreeText(iDelivery);
  iDelivery = text;
}

void CKveMessagesItem::ClearDelivery() { FreeText(iDelivery); }

TKvDeliveryState CKveMessagesItem::DeliveryState() const { return ::DeliveryState(Delivery()); }

bool CKveMessagesItem::ApplyReportL(int aReference, int aStatus, const FILETIME& aTime) {
  TKvDeliveryList list = Delivery();
  bool changed = false;
  for (TKvPartDelivery& entry : list) {
    if (entry.iReference != aReference) continue;
    TKvDeliveryState held = DeliveryStateOfStatus(entry.iStatus);
    bool final = entry.iStatus != KKvNoReportYet && held != EKvDeliveryPending;
    if (final && DeliveryStateOfStatus(aStatus) == EKvDeliveryPending) continue;
    if (entry.iStatus == aStatus && entry.iTime.dwHighDateTime == aTime.dwHighDateTime &&
        entry.iTime.dwLowDateTime == aTime.dwLowDateTime)
      continue;
    entry.iStatus = aStatus;
    entry.iTime = aTime;
    changed = true;
  }
  if (changed) SetDeliveryL(list);
  return changed;
}

TConstPtr16 CKveMessagesItem::SingleLineMessage() {
  LogMessage(KLogFilePath, u"CKveMessagesItem::SingleLineMessage");
  if (iText == nullptr) return TConstPtr16();
  if (iSingleLine == nullptr) iSingleLine = FlattenedL(Text(), KBlank);
  return TextView(iSingleLine);
}

void AppendSingleLine(const TDesc16& aText, std::u16string& aLine) {
  aLine.reserve(aLine.size() + static_cast<size_t>(aText.Length()));
  Flatten(aText, KBlank, [&](TText16 aChar) { aLine.push_back(aChar); });
}

TConstPtr16 CKveMessagesItem::SmsFormatMessage() {
  LogMessage(KLogFilePath, u"CKveMessagesItem::SmsFormatMessage");
  if (iText == nullptr) return TConstPtr16();
  if (iSmsText == nullptr) iSmsText = FlattenedL(Text(), KCr);
  return TextView(iSmsText);
}

TConstPtr16 CKveMessagesItem::DateSent() {
  LogMessage(KLogFilePath, u"CKveMessagesItem::DateSent 0x%1!x! 0x%2!x!", iDateSent.dwHighDateTime,
             iDateSent.dwLowDateTime);
  if (iDateText.Length() == 0) SetDateSentString();
  return TConstPtr16(iDateText);
}

// "<short date> HH:MM" in the user's zone. Without a date (GetDateFormatW
// failed) the text is the time alone; a long date is cut so the time always fits.
void CKveMessagesItem::SetDateSentString() {
  LogMessage(KLogFilePath, u"CKveMessagesItem::SetDateSentString 0x%1!x! 0x%2!x!", iDateSent.dwHighDateTime,
             iDateSent.dwLowDateTime);
  if (!HasDate()) {
    iDateText.Copy(TConstPtr16(u"unknown"));
    return;
  }
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&iDateSent, &time);
  SYSTEMTIME local = {};
  if (HasZone() && SystemTimeToTzSpecificLocalTime(nullptr, &time, &local)) time = local;
  const int KTimeLength = 6;  // " HH:MM"
  WCHAR date[KDateTextLength];
  int written = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, KDateTextLength);
  iDateText.Zero();
  if (written > 0) {
    int length = 0;
    while (length < KDateTextLength - 1 - KTimeLength && date[length] != 0) ++length;
    iDateText.Copy(date, length);
    iDateText.Append(KBlank);
  } else {
    LogMessageWithError(KLogFilePath, u"CKveMessagesItem::SetDateSentString");
  }
  iDateText.Append(TText16(u'0' + time.wHour / 10 % 10));
  iDateText.Append(TText16(u'0' + time.wHour % 10));
  iDateText.Append(TText16(u':'));
  iDateText.Append(TText16(u'0' + time.wMinute / 10 % 10));
  iDateText.Append(TText16(u'0' + time.wMinute % 10));
}

void CKveMessagesItem::DiscardCaches() {
  FreeText(iSingleLine);
  FreeText(iSmsText);
}

CKveMessagesDatabase::CKveMessagesDatabase()
    : iDateDatabase(INVALID_HANDLE_VALUE), iFolderDatabase(INVALID_HANDLE_VALUE), iPartsIndex(INVALID_HANDLE_VALUE) {
  SetClassName(u"CKveMessagesDatabase");
}

CKveMessagesDatabase::~CKveMessagesDatabase() {
  if (iDateDatabase != INVALID_HANDLE_VALUE) CloseHandle(iDateDatabase);
  LocalFree(iDateReadBuffer);
  if (iFolderDatabase != INVALID_HANDLE_VALUE) CloseHandle(iFolderDatabase);
  LocalFree(iFolderReadBuffer);
  ClosePartsIndex();
}

CKveMessagesDatabase* CKveMessagesDatabase::NewL(HWND aNotifyWindow, int /*aReserved*/) {
  LogMessage(KLogFilePath, u"CKveMessagesDatabase::NewL");
  CKveMessagesDatabase* self = new CKveMessagesDatabase;
  if (self != nullptr) {
    self->BaseConstructL(u"KvMessages", KMessageNameProp, aNotifyWindow);
    self->OpenIndexesL();
  }
  return self;
}

CEpocDatabaseItem* CKveMessagesDatabase::CreateItemL() {
  LogMessage(KLogFilePath, u"CKveMessagesDatabase::CreateItemL");
  return CKveMessagesItem::NewL();
}
