// Bringing the phone's two phone books in line with the local contacts, and
// blanking them. Every decision is taken against the place-holder lists read
// from the phone first, which follow every entry written and blanked.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/phone_engine.h"
#include "engine/engine_text.h"
#include "kernel/log.h"
#include "phone/at_argument.h"

namespace {
template <typename T>
using TOwned = std::unique_ptr<T>;
}  // namespace

const TPhoneMemory& CPhoneEng::CurrentMemory() const {
  return iPhoneSettings.MemoryValues[iCurrentStore == EKvStorePhoneMemory ? EPhoneMemory : ESimCard];
}

bool CPhoneEng::BelongsToCurrentStore(const CKveContactsItem& aContact) const {
  return (aContact.IsOnSim() && iCurrentStore == EKvStoreSim) ||
         (aContact.IsInPhoneMemory() && iCurrentStore == EKvStorePhoneMemory);
}

void CPhoneEng::InsertPlaceHolder(CPlaceHolderList& aList, CKveContactsItem* aItem) {
  if (aItem == nullptr) return;
  int index = 0;
  while (index < aList.Count() && aList[index]->Location() <= aItem->Location()) ++index;
  if (aList.InsertL(index, &aItem) != KErrNone) delete aItem;
}

int CPhoneEng::ProcessUploadPhoneBook(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessUploadPhoneBook");
  return SynchronisePhoneBooks(aMessage, true, &CPhoneEng::WriteContactsToPhone);
}

int CPhoneEng::ProcessDeletePhoneBook(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessDeletePhoneBook");
  return SynchronisePhoneBooks(aMessage, false, &CPhoneEng::DeleteContactsFromPhone);
}

// Upload and delete both read the two phone books into place-holder lists,
// change the phone from them, and end alike.
int CPhoneEng::SynchronisePhoneBooks(const MSG& aMessage, bool aReadSettings, void (CPhoneEng::*aChangePhone)()) {
  iSynchronising = 1;
  iUploadRefused = 0;
  iUploadNamesNotCarried = 0;
  iUploadNumbersNotDialable = 0;
  iUploadNoRoom = 0;
  KeepAction(aMessage);
  int result = InitialiseConnection();
  if (result != KErrNone) {
    iSynchronising = 0;
    return result;
  }
  if (aReadSettings) GetPhoneSettings();
  iCurrentStore = EKvStoreSim;
  iPhone->ReadPhoneBook(ESimCard);
  iCurrentStore = EKvStorePhoneMemory;
  iPhone->ReadPhoneBook(EPhoneMemory);
  LogContactsArray(*iSimPlaceHolders);
  LogContactsArray(*iPhoneMemoryPlaceHolders);
  (this->*aChangePhone)();
  ResetPlaceHolders();
  iSynchronising = 0;
  SetUploadSummary();
  NotifyComplete();
  ClosePort();
  return KErrNone;
}

void CPhoneEng::LogContactsArray(CPlaceHolderList& aList) {
  LogMessage(KLogFilePath, u"CPhoneEng::LogContactsArray count = %1!d!", aList.Count());
  for (int i = 0; i < aList.Count(); ++i) {
    CKveContactsItem* item = aList[i];
    TZText<KEntryNameLength> name(item->Name());
    TZText<KEntryNumberLength> number(item->Number());
    LogMessage(KLogFilePath, u"Item Name = %1!s!", name.Ptr());
    LogMessage(KLogFilePath, u"Item Number = %1!s!", number.Ptr());
    LogMessage(KLogFilePath, u"Item Location = %1!d!", item->Location());
  }
}

void CPhoneEng::WriteContactsToPhone() {
  LogMessage(KLogFilePath, u"CPhoneEng::WriteContactsToPhone");
  if (iPhone->ChangePhoneStore(EPhoneMemory) != KReplyOk) {
    LogMessage(KLogFilePath, u"CPhoneEng::WriteContactsToPhone - Failed to ChangePhoneStore EPhoneMemory");
    return;
  }
  iCurrentStore = EKvStorePhoneMemory;
  DoWriteContactsToPhone();
  if (iPhone->ChangePhoneStore(ESimCard) != KReplyOk) {
    LogMessage(KLogFilePath, u"CPhoneEng::WriteContactsToPhone - Failed to ChangePhoneStore ESimCard");
    return;
  }
  iCurrentStore = EKvStoreSim;
  DoWriteContactsToPhone();
  CleanupDatabase();
}

void CPhoneEng::DeleteContactsFromPhone() {
  LogMessage(KLogFilePath, u"CPhoneEng::DeleteContactsFromPhone");
  if (iPhone->ChangePhoneStore(EPhoneMemory) != KReplyOk) {
    LogMessage(KLogFilePath, u"CPhoneEng::DeleteContactsFromPhone - Failed to ChangePhoneStore EPhoneMemory");
    return;
  }
  iCurrentStore = EKvStorePhoneMemory;
  BlankAllEntries(*iPhoneMemoryPlaceHolders);
  if (iPhone->ChangePhoneStore(ESimCard) != KReplyOk) {
    LogMessage(KLogFilePath, u"CPhoneEng::DeleteContactsFromPhone - Failed to ChangePhoneStore ESimCard");
    return;
  }
  iCurrentStore = EKvStoreSim;
  BlankAllEntries(*iSimPlaceHolders);
  CleanupDatabase();
}

void CPhoneEng::DoWriteContactsToPhone() {
  LogMessage(KLogFilePath, u"CPhoneEng::DoWriteContactsToPhone");
  iProgressCounter = 0;
  DoWriteDeletedItemsToPhone();
  iProgressCounter = 0;
  DoWriteEditedItemsToPhone();
  DoWriteNewItemsToPhone();  // numbering runs on from the edited contacts
  iProgressCounter = 0;
}

void CPhoneEng::DoWriteDeletedItemsToPhone() {
  LogMessage(KLogFilePath, u"CPhoneEng::DoWriteDeletedItemsToPhone");
  for (CEpocDatabaseItem* record = iContactsDatabase->ReadFirstItemL(); record != nullptr;
       record = iContactsDatabase->ReadNextItemL()) {
    TOwned<CKveContactsItem> contact(static_cast<CKveContactsItem*>(record));
    if (!BelongsToCurrentStore(*contact) || !contact->IsDeleted()) continue;
    int location = IsNewContact(*contact);
    if (location != -1) UploadBlank(location);
  }
}

void CPhoneEng::DoWriteEditedItemsToPhone() {
  LogMessage(KLogFilePath, u"CPhoneEng::DoWriteEditedItemsToPhone");
  for (CEpocDatabaseItem* record = iContactsDatabase->ReadFirstItemL(); record != nullptr;
       record = iContactsDatabase->ReadNextItemL()) {
    TOwned<CKveContactsItem> contact(static_cast<CKveContactsItem*>(record));
    if (!BelongsToCurrentStore(*contact) || !contact->IsEdited()) continue;
    if (IsFreeLocation(contact->Location())) UploadContact(*contact, contact->Location());
  }
}

void CPhoneEng::DoWriteNewItemsToPhone() {
  LogMessage(KLogFilePath, u"CPhoneEng::DoWriteNewItemsToPhone");
  std::vector<std::pair<CEOID, int>> placed;
  for (CEpocDatabaseItem* record = iContactsDatabase->ReadFirstItemL(); record != nullptr;
       record = iContactsDatabase->ReadNextItemL()) {
    TOwned<CKveContactsItem> contact(static_cast<CKveContactsItem*>(record));
    if (!BelongsToCurrentStore(*contact) || contact->IsDeleted()) continue;
    if (IsNewContact(*contact) != -1) continue;
    int location = FindNextLocation();
    if (location == -1) {
      ++iUploadNoRoom;
      TZText<KEntryNameLength> name(contact->Name());
      LogMessage(KLogFilePath, u"CPhoneEng::DoWriteNewItemsToPhone - not written: no free place for %1!s!", name.Ptr());
      continue;
    }
    if (UploadContact(*contact, location) == KErrNone) placed.emplace_back(contact->Oid(), location);
  }
  // A new contact now has its place on the phone; written after the walk so
  // the walk itself is not disturbed by the changes.
  for (const auto& [oid, location] : placed) {
    TOwned<CKveContactsItem> contact(static_cast<CKveContactsItem*>(iContactsDatabase->ReadItemL(oid)));
    if (!contact) continue;
    contact->SetLocation(location);
    iContactsDatabase->ReplaceItemL(*contact);
  }
}

int CPhoneEng::IsNewContact(CKveContactsItem& aContact) {
  CPlaceHolderList& list = aContact.IsOnSim() ? *iSimPlaceHolders : *iPhoneMemoryPlaceHolders;
  int location = SearchArray(list, aContact);
  LogMessage(KLogFilePath, u"CPhoneEng::IsNewContact returns %1!d!", location);
  return location;
}

int CPhoneEng::SearchArray(CPlaceHolderList& aList, CKveContactsItem& aContact) {
  LogMessage(KLogFilePath, u"SearchArray");
  for (int i = 0; i < aList.Count(); ++i) {
    CKveContactsItem* placeHolder = aList[i];
    if (aContact.Compare(*placeHolder) != 0) continue;
    if (aContact.IsDeleted() && placeHolder->Location() != aContact.Location()) continue;
    return placeHolder->Location();
  }
  return -1;
}

int CPhoneEng::FindNextLocation() {
  LogMessage(KLogFilePath, u"CPhoneEng::FindNextLocation");
  const TPhoneMemory& memory = CurrentMemory();
  int candidate = memory.MemLow;
  CPlaceHolderList& list = CurrentList();
  for (int i = 0; i < list.Count(); ++i) {
    if (list[i]->Location() > candidate) return candidate;
    if (list[i]->Location() == candidate) ++candidate;
  }
  if (candidate <= memory.MemHigh) return candidate;
  LogMessage(KLogFilePath, u"CPhoneEng::FindNextLocation - Sim Full");
  return -1;
}

bool CPhoneEng::IsFreeLocation(int aLocation) {
  LogMessage(KLogFilePath, u"CPhoneEng::IsFreeLocation %1!d!", aLocation);
  const TPhoneMemory& memory = CurrentMemory();
  if (aLocation < memory.MemLow || aLocation > memory.MemHigh) return false;
  CPlaceHolderList& list = CurrentList();
  for (int i = 0; i < list.Count(); ++i) {
    if (list[i]->Location() == aLocation) return false;
    if (list[i]->Location() > aLocation) break;
  }
  return true;
}

int CPhoneEng::UploadContact(CKveContactsItem& aContact, int aLocation) {
  LogMessage(KLogFilePath, u"CPhoneEng::UploadContact - location = %1!d!", aLocation);
  aContact.SetLocation(aLocation);
  const TPhoneMemory& memory = CurrentMemory();
  int result = iPhone->UploadContactsItem(aContact, memory.MaxName, memory.MaxNumber);
  if (result == KErrNone) {
    // Only an entry the phone accepted is on the phone.
    int reply = iPhone->WaitForPhoneBookWriteToComplete();
    if (reply == KReplyOk) {
      AppendLocationPlaceHolderToArray(aContact);
      return KErrNone;
    }
    LogMessage(KLogFilePath, u"CPhoneEng::UploadContact - the phone refused the entry: %1!d!", reply);
    ++iUploadRefused;
    return reply < 0 ? reply : KErrGeneral;
  }
  TZText<KEntryNameLength> name(aContact.Name());
  if (result == KErrNameNotCarried) {
    ++iUploadNamesNotCarried;
    LogMessage(KLogFilePath, u"CPhoneEng::UploadContact - not written: the phone cannot show the name %1!s!", name.Ptr());
  } else if (result == KErrNumberNotDialable) {
    ++iUploadNumbersNotDialable;
    LogMessage(KLogFilePath, u"CPhoneEng::UploadContact - not written: the number of %1!s! is no dial string", name.Ptr());
  } else {
    ++iUploadRefused;
    LogMessage(KLogFilePath, u"CPhoneEng::UploadContact - Item upload failed");
  }
  return result;
}

void CPhoneEng::SetUploadSummary() {
  if (iAction == nullptr) return;
  struct TKind {
    int iCount;
    const char16_t* iOne;   // the only kind: said in full
    const char16_t* iMany;
    const char16_t* iShortOne;  // beside other kinds
    const char16_t* iShortMany;
  };
  const TKind kinds[] = {
      {iUploadRefused, u" not accepted by the phone", u" not accepted by the phone", u" not accepted",
       u" not accepted"},
      {iUploadNamesNotCarried, u" name the phone cannot show", u" names the phone cannot show",
       u" name it can't show", u" names it can't show"},
      {iUploadNumbersNotDialable, u" number that is no dial string", u" numbers that are no dial string",
       u" bad number", u" bad numbers"},
      {iUploadNoRoom, u" with no free place", u" with no free place", u" no room", u" no room"},
  };
  int total = 0, present = 0;
  for (const TKind& kind : kinds) {
    total += kind.iCount;
    if (kind.iCount > 0) ++present;
  }
  if (total == 0) {
    iAction->iText.Copy(u"Upload complete.");
    return;
  }
  auto number = [](int aValue) {
    std::u16string text;
    for (char c : std::to_string(aValue)) text += static_cast<char16_t>(c);
    return text;
  };
  std::u16string text = u"Upload incomplete:";
  for (const TKind& kind : kinds) {
    if (kind.iCount == 0) continue;
    if (text.back() != u':') text += u',';
    const bool one = kind.iCount == 1;
    text += u' ' + number(kind.iCount) + (present > 1 ? (one ? kind.iShortOne : kind.iShortMany) : one ? kind.iOne : kind.iMany);
  }
  text += u'.';
  // Too many kinds for one line: the count, and the log has each reason.
  if (text.size() > static_cast<size_t>(KEngineTextLength))
    text = u"Upload incomplete: " + number(total) + u" not written, see the log.";
  iAction->iText.Copy(TConstPtr16(text.data(), static_cast<int>(text.size())));
  iAction->iResult = KErrGeneral;
}

void CPhoneEng::AppendLocationPlaceHolderToArray(const CKveContactsItem& aContact) {
  LogMessage(KLogFilePath, u"CPhoneEng::AppendLocationPlaceHolderToArray");
  auto* placeHolder = static_cast<CKveContactsItem*>(iContactsDatabase->NewItemL());
  if (placeHolder == nullptr) return;
  placeHolder->SetNameL(aContact.Name());
  placeHolder->SetNumberL(aContact.Number());
  placeHolder->SetLocation(aContact.Location());
  InsertPlaceHolder(CurrentList(), placeHolder);
}

int CPhoneEng::UploadBlank(int aLocation) {
  LogMessage(KLogFilePath, u"CPhoneEng::UploadBlank");
  int result = iPhone->UploadBlank(aLocation);
  if (result == KErrNone) {
    int reply = iPhone->WaitForPhoneBookWriteToComplete();
    if (reply == KReplyOk) {
      DeleteLocationPlaceHolderFromArray(aLocation);
      return KErrNone;
    }
    LogMessage(KLogFilePath, u"CPhoneEng::UploadBlank - the phone refused to blank %1!d!: %2!d!", aLocation, reply);
    result = reply < 0 ? reply : KErrGeneral;
  } else {
    LogMessage(KLogFilePath, u"CPhoneEng::UploadBlank - Item upload failed");
  }
  ++iUploadRefused;
  return result;
}

void CPhoneEng::DeleteLocationPlaceHolderFromArray(int aLocation) {
  LogMessage(KLogFilePath, u"CPhoneEng::DeleteLocationPlaceHolderFromArray");
  CPlaceHolderList& list = CurrentList();
  for (int i = 0; i < list.Count(); ++i) {
    CKveContactsItem* placeHolder = list[i];
    if (placeHolder->Location() != aLocation) continue;
    placeHolder->LogItem();
    delete placeHolder;
    list.Delete(i);
    return;
  }
  LogMessage(KLogFilePath, u"CPhoneEng::DeleteLocationPlaceHolderFromArray - no match");
}

void CPhoneEng::BlankAllEntries(CPlaceHolderList& aList) {
  iProgressCounter = 0;
  // The locations first: a location the phone refuses to blank stays in the list.
  std::vector<int> locations;
  for (int i = 0; i < aList.Count(); ++i) locations.push_back(aList[i]->Location());
  for (int location : locations) UploadBlank(location);
}

void CPhoneEng::ResetPlaceHolders() {
  CPlaceHolderList* lists[] = {iSimPlaceHolders, iPhoneMemoryPlaceHolders};
  for (CPlaceHolderList* list : lists) {
    for (int i = list->Count() - 1; i >= 0; --i) {
      delete (*list)[i];
      list->Delete(i);
    }
  }
}
