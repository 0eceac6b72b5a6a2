#include "store/contacts.h"

#include "kernel/log.h"
#include "store/conversation_key.h"
#include "store/duplicate_key.h"
#include "store/store_text.h"

CKveContactsItem::CKveContactsItem() : iLocation(-1) { SetClassName(u"CKveContactsItem"); }

CKveContactsItem* CKveContactsItem::NewL() { return new CKveContactsItem; }

CKveContactsItem::~CKveContactsItem() {
  FreeText(iName);
  FreeText(iNumber);
  FreeText(iOtherDetails);
}

void CKveContactsItem::SetL(const CEPROPVAL& aValue) {
  switch (aValue.propid) {
    case KContactNameProp: CopyTextL(iName, aValue.val.lpwstr); break;
    case KContactNumberProp: CopyTextL(iNumber, aValue.val.lpwstr); break;
    case KContactOtherDetailsProp: CopyEscapedTextL(iOtherDetails, aValue.val.lpwstr); break;
    case KContactFlagsProp: iFlags = aValue.val.ulVal; break;
    case KContactLocationProp: iLocation = static_cast<int>(aValue.val.ulVal); break;
    case KContactConversationProp: break;  // made again from the number at each write
    default:
      LogMessage(KLogFilePath, u"CKveContactsItem::SetL - ERROR: unknown field %1!d!", aValue.propid);
      break;
  }
}

void CKveContactsItem::SaveProperties(CEPROPVAL* aBuffer) {
  LogMessage(KLogFilePath, u"CKveContactsItem::SaveProperties");
  aBuffer[0].propid = KContactNameProp;
  aBuffer[0].val.lpwstr = TextForProperty(iName);
  aBuffer[1].propid = KContactNumberProp;
  aBuffer[1].val.lpwstr = TextForProperty(iNumber);
  aBuffer[2].propid = KContactOtherDetailsProp;
  // Details are the user's own text and may hold U+0000, which would end the value.
  aBuffer[2].val.lpwstr = EscapedTextForProperty(iOtherDetails, iStoredDetails);
  aBuffer[3].propid = KContactFlagsProp;
  aBuffer[3].val.ulVal = iFlags;
  aBuffer[4].propid = KContactLocationProp;
  aBuffer[4].val.ulVal = static_cast<ULONG>(iLocation);  // -1 is stored as 0xFFFFFFFF
  iConversationKey = ConversationKey(Number(), TConstPtr16());
  aBuffer[5].propid = KContactConversationProp;
  aBuffer[5].val.lpwstr = iConversationKey.data();
}

void CKveContactsItem::Reset() {
  FreeText(iName);
  FreeText(iNumber);
  FreeText(iOtherDetails);
  iLocation = -1;
  iFlags = 0;
}

int CKveContactsItem::Compare(CEpocDatabaseItem& aOther) {
  auto& other = static_cast<CKveContactsItem&>(aOther);
  return (Name() == other.Name() && Number() == other.Number()) ? 0 : 1;
}

// Exactly the texts Compare looks at.
ULONGLONG CKveContactsItem::DuplicateKey() {
  TDuplicateKey key;
  key.Add(Name());
  key.Add(Number());
  return key.Value();
}

void CKveContactsItem::SetDetailsL(const TDesc16* aName, const TDesc16* aNumber, const TDesc16* aOtherDetails) {
  CopyTextL(iName, aName);
  CopyTextL(iNumber, aNumber);
  CopyTextL(iOtherDetails, aOtherDetails);
}

void CKveContactsItem::SetNameL(const TDesc16& aName) { CopyWithCrLfL(iName, aName); }
void CKveContactsItem::SetNumberL(const TDesc16& aNumber) { CopyWithCrLfL(iNumber, aNumber); }
void CKveContactsItem::SetOtherDetailsL(const TDesc16& aOtherDetails) { CopyWithCrLfL(iOtherDetails, aOtherDetails); }

TConstPtr16 CKveContactsItem::Name() const { return TextView(iName); }
TConstPtr16 CKveContactsItem::Number() const { return TextView(iNumber); }
TConstPtr16 CKveContactsItem::OtherDetails() const { return TextView(iOtherDetails); }

void CKveContactsItem::MarkDeleted() {
  iFlags |= EKvContactDeleted;
  iFlags &= ~DWORD{EKvContactEdited};
}

void CKveContactsItem::SetEdited(bool aOn) {
  iFlags &= ~DWORD{EKvContactDeleted};
  if (aOn)
    iFlags |= EKvContactEdited;
  else
    iFlags &= ~DWORD{EKvContactEdited};
}

void CKveContactsItem::LogItem() {
  LogMessage(KLogFilePath, u"Item name = %1!s!", TextForProperty(iName));
  LogMessage(KLogFilePath, u"Item number = %1!s!", TextForProperty(iNumber));
  LogMessage(KLogFilePath, u"Item location = %1!d!", iLocation);
}

CKveContactsDatabase::CKveContactsDatabase() { SetClassName(u"CKveContactsDatabase"); }

CKveContactsDatabase* CKveContactsDatabase::NewL(HWND aNotifyWindow, int /*aReserved*/) {
  LogMessage(KLogFilePath, u"CKveContactsDatabase::NewL");
  CKveContactsDatabase* self = new CKveContactsDatabase;
  if (self != nullptr) {
    self->BaseConstructL(u"KvContacts", KContactNameProp, aNotifyWindow);
    self->OpenConversationIndexL();
  }
  return self;
}

CEpocDatabaseItem* CKveContactsDatabase::CreateItemL() { return CKveContactsItem::NewL(); }

CKveContactsItem* CKveContactsDatabase::LookupNumberL(const TDesc16& aNumber) {
  LogMessage(KLogFilePath, u"CKveContactsDatabase::LookupNumberL");
  for (CEpocDatabaseItem* record = ReadFirstItemL(); record != nullptr; record = ReadNextItemL()) {
    auto* contact = static_cast<CKveContactsItem*>(record);
    if (contact->Number() == aNumber) return contact;
    delete contact;
  }
  return nullptr;
}

CEOID CKveContactsDatabase::WritePhoneEntryL(CKveContactsItem& aEntry) {
  if (FindEqualItemL(aEntry) != 0) return 0;
  if (aEntry.Location() >= 0 && HoldsEntryWithNameCutL(aEntry)) {
    LogMessage(KLogFilePath, u"CKveContactsDatabase::WritePhoneEntryL - location %1!d! holds our contact, its name cut",
               aEntry.Location());
    return 0;
  }
  return AddItemL(aEntry);
}

bool CKveContactsDatabase::HasNameCutTo(CKveContactsItem& aContact, CKveContactsItem& aEntry) {
  const DWORD books = EKvContactOnSim | EKvContactInPhoneMemory;
  const TConstPtr16 name = aEntry.Name();
  const TConstPtr16 ours = aContact.Name();
  return aContact.Location() == aEntry.Location() && (aContact.Flags() & books) == (aEntry.Flags() & books) &&
         aContact.Number() == aEntry.Number() && ours.Length() > name.Length() && ours.Left(name.Length()) == name;
}

bool CKveContactsDatabase::HoldsEntryWithNameCutL(CKveContactsItem& aEntry) {
  if (!iLocationOrderTried) {
    iLocationOrderTried = true;
    iLocationOrder = OpenOrderL(KContactLocationProp, 0, u"CKveContactsDatabase - Making the location order");
  }
  if (iLocationOrder == INVALID_HANDLE_VALUE) {
    // Without the order every contact is looked at: slower, not wrong.
    for (CEpocDatabaseItem* record = ReadFirstItemL(); record != nullptr; record = ReadNextItemL()) {
      const bool cut = HasNameCutTo(*static_cast<CKveContactsItem*>(record), aEntry);
      delete record;
      if (cut) return true;
    }
    return false;
  }
  CEPROPVAL location = {};
  location.propid = KContactLocationProp;
  location.val.ulVal = static_cast<ULONG>(aEntry.Location());
  if (CeSeekDatabase(iLocationOrder, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&location), nullptr) == 0)
    return false;
  for (;;) {
    CEpocDatabaseItem* record = ReadItemFromL(iLocationOrder, iLocationReadBuffer, iLocationReadBufferSize);
    if (record == nullptr) return false;
    auto* contact = static_cast<CKveContactsItem*>(record);
    const bool here = contact->Location() == aEntry.Location();
    const bool cut = here && HasNameCutTo(*contact, aEntry);
    delete record;
    if (cut) return true;
    if (!here) return false;  // past the contacts at this place
  }
}

CKveContactsDatabase::~CKveContactsDatabase() {
  if (iLocationOrder != INVALID_HANDLE_VALUE) CloseHandle(iLocationOrder);
  LocalFree(iLocationReadBuffer);
}

void CKveContactsDatabase::MarkItemDeletedL(CEOID aOid) {
  LogMessage(KLogFilePath, u"CKveContactsDatabase::MarkItemDeletedL");
  auto* contact = static_cast<CKveContactsItem*>(ReadItemL(aOid));
  if (contact == nullptr) {
    LogMessage(KLogFilePath, u"CKveContactsDatabase::MarkItemDeletedL - can't find item");
    return;
  }
  contact->LogItem();
  contact->MarkDeleted();
  ReplaceItemL(*contact);
  delete contact;
}

// A contact already on the phone keeps its old version as a separate record
// marked deleted, so the next upload blanks the phone's entry that still
// holds the old name and number before the edited one is written there.
CEOID CKveContactsDatabase::EditItemL(CKveContactsItem& aOld, CKveContactsItem& aNew) {
  LogMessage(KLogFilePath, u"CKveContactsDatabase::EditItemL - oldItem");
  aOld.LogItem();
  LogMessage(KLogFilePath, u"CKveContactsDatabase::EditItemL - newItem");
  aNew.LogItem();
  if (aNew.Location() != -1 && !aNew.IsEdited()) {
    aNew.SetEdited(true);
    ReplaceItemL(aNew);
    bool moved = aOld.IsOnSim() != aNew.IsOnSim();
    aOld.MarkDeleted();
    // A contact moved to the other phone book keeps its name and number, so
    // its old copy would pass for the new record and not be written.
    return moved ? AddItemL(aOld) : WriteItemL(aOld);
  }
  LogMessage(KLogFilePath, u"CKveContactsDatabase::EditItemL - location = %1!d!, IsEdited = %2!d!", aNew.Location(),
             aNew.IsEdited() ? 1 : 0);
  return ReplaceItemL(aNew);
}

void CKveContactsDatabase::LogDataToFile() {
  LogMessage(KLogFilePath, u"CKveContactsDatabase::LogDataToFile");
  for (CEpocDatabaseItem* record = ReadFirstItemL(); record != nullptr; record = ReadNextItemL()) {
    static_cast<CKveContactsItem*>(record)->LogItem();
    delete record;
  }
}
