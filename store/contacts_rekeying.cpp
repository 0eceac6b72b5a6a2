// The contacts' conversation keys follow the home country as the messages'
// do: a contact saved with a national number is found by the conversation
// of that number once the country is known.
#include <kvplatform_db.h>

#include <utility>
#include <vector>

#include "kernel/log.h"
#include "store/contacts.h"
#include "store/conversation_key.h"
#include "store/keys_country.h"

bool CKveContactsDatabase::FollowHomeCountryL() {
  if (!iConversationIndexOpen) return false;
  const std::u16string wanted = KeysCountryTag(HomeCountry());
  std::u16string kept;
  if (!ReadKeysCountry(VolumeId(), KContactsKeysCountryProp, kept)) {
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to read the country of the conversation keys");
    return false;
  }
  if (kept == wanted) return true;
  if (!kvplatform::BeginVolumeTransaction(VolumeId())) {
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to key the contacts for the home country");
    return false;
  }
  // Read again in the transaction: another process may have keyed them meanwhile.
  bool keyed = ReadKeysCountry(VolumeId(), KContactsKeysCountryProp, kept);
  const bool walk = keyed && kept != wanted;
  std::vector<std::pair<CEOID, std::u16string>> changes;
  if (walk) {
    CEOID oid = 0;
    int count = 0;
    for (const CEPROPVAL* values = ReadStoredPropertiesL(true, oid, count); values != nullptr;
         values = ReadStoredPropertiesL(false, oid, count)) {
      TConstPtr16 number, key;
      for (int i = 0; i < count; ++i) {
        if (values[i].val.lpwstr == nullptr) continue;
        if (values[i].propid == KContactNumberProp) number = TConstPtr16(values[i].val.lpwstr);
        if (values[i].propid == KContactConversationProp) key = TConstPtr16(values[i].val.lpwstr);
      }
      std::u16string now = ConversationKey(number, TConstPtr16());
      if (key != TConstPtr16(now.data(), static_cast<int>(now.size()))) changes.emplace_back(oid, std::move(now));
    }
  }
  HANDLE writer = changes.empty() ? nullptr : kvplatform::OpenDatabaseInStoredOrder(VolumeId(), DatabaseOid());
  if (writer == INVALID_HANDLE_VALUE) keyed = false;
  for (auto& [record, key] : changes) {
    if (!keyed) break;
    CEPROPVAL value = {};
    value.propid = KContactConversationProp;
    value.val.lpwstr = key.data();
    keyed = CeWriteRecordProps(writer, record, 1, &value) != 0;
  }
  if (writer != nullptr && writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  keyed = keyed && KeepKeysCountry(VolumeId(), KContactsKeysCountryProp, wanted);
  keyed = kvplatform::EndVolumeTransaction(VolumeId(), keyed ? TRUE : FALSE) && keyed;
  if (!keyed) {
    LogMessageWithError(KLogFilePath, u"CKveContactsDatabase - Failed to key the contacts for the home country");
    return false;
  }
  if (walk && (!kept.empty() || !changes.empty())) {
    const std::u16string wantedName = KeysCountryName(wanted);
    LogMessage(KLogFilePath, u"CKveContactsDatabase - Contacts keyed again for %1!s!, %2!d! contacts changed",
               wantedName.c_str(), static_cast<int>(changes.size()));
  }
  return true;
}
