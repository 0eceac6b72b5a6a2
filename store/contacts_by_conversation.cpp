// Contacts by the conversation key of their number: the title of each
// conversation is one index lookup, not a read of every contact.
#include <kvplatform_db.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <winnls.h>

#include "kernel/log.h"
#include "store/contacts.h"
#include "store/conversation_key.h"

namespace {

void LogContactsIndexProgress(void* /*aContext*/, DWORD aDone, DWORD aTotal) {
  LogMessage(KLogFilePath, u"CKveContactsDatabase - Conversation index: %1!d! of %2!d! contacts",
             static_cast<int>(aDone), static_cast<int>(aTotal));
}

// As the contacts' name order compares.
bool ComesFirst(const TDesc16& aName, const TDesc16& aOther) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS, aName.Ptr(), aName.Length(),
                        aOther.Ptr(), aOther.Length()) == CSTR_LESS_THAN;
}

}  // namespace

void CKveContactsDatabase::OpenConversationIndexL() {
  if (DatabaseOid() == 0) return;
  bool made = false;
  if (!kvplatform::AddValueIndex(VolumeId(), DatabaseOid(), KContactConversationProp, made, LogContactsIndexProgress,
                                 nullptr)) {
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to open the conversation index");
    return;
  }
  if (made) LogMessage(KLogFilePath, u"CKveContactsDatabase - Made the conversation index");
  iConversationIndexOpen = KeyContactsL();
  // Keys of another country still find most names: the index stays open
  // when they cannot be made again now.
  FollowHomeCountryL();
}

// Contacts an earlier version wrote have no key: they are in the index under
// the empty text, and get theirs in one transaction.
bool CKveContactsDatabase::KeyContactsL() {
  std::vector<CEOID> unkeyed;
  if (!kvplatform::FindRecordsWithValue(VolumeId(), DatabaseOid(), KContactConversationProp, u"", unkeyed)) {
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to read the conversation index");
    return false;
  }
  if (unkeyed.empty()) return true;
  LogMessage(KLogFilePath, u"CKveContactsDatabase - Keying %1!d! contacts for conversations",
             static_cast<int>(unkeyed.size()));
  std::vector<std::pair<CEOID, std::u16string>> keys;
  keys.reserve(unkeyed.size());
  CEOID oid = 0;
  int count = 0;
  for (const CEPROPVAL* values = ReadStoredPropertiesL(true, oid, count); values != nullptr;
       values = ReadStoredPropertiesL(false, oid, count)) {
    if (!std::binary_search(unkeyed.begin(), unkeyed.end(), oid)) continue;
    TConstPtr16 number;
    for (int i = 0; i < count; ++i)
      if (values[i].propid == KContactNumberProp && values[i].val.lpwstr != nullptr)
        number = TConstPtr16(values[i].val.lpwstr);
    keys.emplace_back(oid, ConversationKey(number, TConstPtr16()));
  }
  HANDLE writer = kvplatform::OpenDatabaseInStoredOrder(VolumeId(), DatabaseOid());
  if (writer == INVALID_HANDLE_VALUE || !kvplatform::BeginVolumeTransaction(VolumeId())) {
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to key the contacts");
    return false;
  }
  bool keyed = true;
  for (auto& [record, key] : keys) {
    CEPROPVAL value = {};
    value.propid = KContactConversationProp;
    value.val.lpwstr = key.data();
    if (CeWriteRecordProps(writer, record, 1, &value) == 0) {
      keyed = false;
      break;
    }
  }
  keyed = kvplatform::EndVolumeTransaction(VolumeId(), keyed ? TRUE : FALSE) && keyed;
  CloseHandle(writer);
  if (keyed)
    LogMessage(KLogFilePath, u"CKveContactsDatabase - %1!d! contacts keyed for conversations",
               static_cast<int>(keys.size()));
  else
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to key the contacts");
  return keyed;
}

std::u16string CKveContactsDatabase::NameOfConversationL(const std::u16string& aKey) {
  std::vector<CEOID> holders;
  // "~" alone is the key of a message with neither number nor name.
  if (aKey.empty() || aKey == u"~") return std::u16string();
  if (!iConversationIndexOpen ||
      !kvplatform::FindRecordsWithValue(VolumeId(), DatabaseOid(), KContactConversationProp, aKey, holders)) {
    // Without the index every contact is looked at: slower, not wrong.
    holders.clear();
    for (CEpocDatabaseItem* record = ReadFirstItemL(); record != nullptr; record = ReadNextItemL()) {
      std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(record));
      if (!contact->IsDeleted() && contact->Number().Length() != 0 &&
          ConversationKey(contact->Number(), TConstPtr16()) == aKey)
        return std::u16string(contact->Name().Ptr(), static_cast<size_t>(contact->Name().Length()));
    }
    return std::u16string();
  }
  std::unique_ptr<CKveContactsItem> first;
  for (CEOID holder : holders) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(ReadRecordL(holder, nullptr)));
    if (contact == nullptr || contact->IsDeleted() || contact->Number().Length() == 0) continue;
    if (first == nullptr || ComesFirst(contact->Name(), first->Name())) first = std::move(contact);
  }
  return first != nullptr ? std::u16string(first->Name().Ptr(), static_cast<size_t>(first->Name().Length()))
                          : std::u16string();
}
