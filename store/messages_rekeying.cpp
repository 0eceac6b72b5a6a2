// Conversation keys that follow the home country: a national number read in
// another country's plan (or in none) is another party, so the messages
// keyed before the country was known join their conversation once it is.
#include <kvplatform_db.h>

#include <unordered_map>
#include <utility>
#include <vector>

#include "kernel/log.h"
#include "store/conversation_key.h"
#include "store/keys_country.h"
#include "store/messages.h"
#include "store/store_upgrade.h"

namespace {

const char16_t KKeyingConversationsAgain[] = u"Keying conversations";
const int KRekeyProgressStep = 1000;

struct TRekeyedMessage {
  CEOID iRecord;
  std::u16string iKey;
  bool iUnread;  // its unread mark, which holds the key, moves with it
};

}  // namespace

bool CKveMessagesDatabase::FollowHomeCountryL() {
  if (!iIndexesOpen) return false;
  return KeyForHomeCountryL(nullptr, false);
}

bool CKveMessagesDatabase::KeyForHomeCountryL(bool* aShown, bool aJustKeyed) {
  const std::u16string wanted = KeysCountryTag(HomeCountry());
  std::u16string kept;
  if (!ReadKeysCountry(VolumeId(), KMessagesKeysCountryProp, kept)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to read the country of the conversation keys");
    return false;
  }
  if (kept == wanted) return true;
  if (!kvplatform::BeginVolumeTransaction(VolumeId())) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to key conversations for the home country");
    return false;
  }
  // Read again in the transaction: another process may have keyed them meanwhile.
  bool keyed = ReadKeysCountry(VolumeId(), KMessagesKeysCountryProp, kept);
  const bool walk = keyed && kept != wanted && !aJustKeyed;
  std::vector<TRekeyedMessage> changes;
  if (walk) {
    const std::u16string keptName = KeysCountryName(kept), wantedName = KeysCountryName(wanted);
    LogMessage(KLogFilePath, u"CKveMessagesDatabase - Keying conversations again: keys of %1!s!, home country %2!s!",
               keptName.c_str(), wantedName.c_str());
    // Years of messages come from a few thousand parties: each is read in
    // the plan once. International numbers and senders in letters come out
    // as they were, and are not written.
    std::unordered_map<std::u16string, std::u16string> keyOfSender;
    CEOID oid = 0;
    int count = 0;
    for (const CEPROPVAL* values = ReadStoredPropertiesL(true, oid, count); values != nullptr;
         values = ReadStoredPropertiesL(false, oid, count)) {
      TConstPtr16 name, number, key, unread;
      for (int i = 0; i < count; ++i) {
        if (values[i].val.lpwstr == nullptr) continue;
        if (values[i].propid == KMessageNameProp) name = TConstPtr16(values[i].val.lpwstr);
        if (values[i].propid == KMessageNumberProp) number = TConstPtr16(values[i].val.lpwstr);
        if (values[i].propid == KMessageConversationProp) key = TConstPtr16(values[i].val.lpwstr);
        if (values[i].propid == KMessageUnreadProp) unread = TConstPtr16(values[i].val.lpwstr);
      }
      const TConstPtr16& senderText = number.Length() > 0 ? number : name;
      std::u16string sender(senderText.Ptr(), static_cast<size_t>(senderText.Length()));
      auto known = keyOfSender.find(sender);
      if (known == keyOfSender.end()) known = keyOfSender.emplace(std::move(sender), ConversationKey(number, name)).first;
      if (!(key == TConstPtr16(known->second.data(), static_cast<int>(known->second.size()))))
        changes.push_back({oid, known->second, unread.Length() > 0});
    }
  }
  const int total = static_cast<int>(changes.size());
  if (aShown != nullptr && total > 0) {
    *aShown = true;
    ReportStoreUpgrade(KKeyingConversationsAgain, 0, total);
  }
  HANDLE writer = total > 0 ? kvplatform::OpenDatabaseInStoredOrder(VolumeId(), DatabaseOid()) : nullptr;
  if (writer == INVALID_HANDLE_VALUE) keyed = false;
  int done = 0;
  for (TRekeyedMessage& change : changes) {
    if (!keyed) break;
    CEPROPVAL values[2] = {};
    values[0].propid = KMessageConversationProp;
    values[0].val.lpwstr = change.iKey.data();
    values[1].propid = KMessageUnreadProp;
    values[1].val.lpwstr = change.iKey.data();
    if (CeWriteRecordProps(writer, change.iRecord, change.iUnread ? 2 : 1, values) == 0) {
      LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to key a record again");
      keyed = false;
    }
    if (++done % KRekeyProgressStep == 0 && aShown != nullptr)
      ReportStoreUpgrade(KKeyingConversationsAgain, done, total);
  }
  if (writer != nullptr && writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  keyed = keyed && KeepKeysCountry(VolumeId(), KMessagesKeysCountryProp, wanted);
  keyed = kvplatform::EndVolumeTransaction(VolumeId(), keyed ? TRUE : FALSE) && keyed;
  if (!keyed) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to key conversations for the home country");
    return false;
  }
  // One notice for the whole change: a view of the conversations reads its
  // list again once, not once a record. None while opening: no view has
  // read the store yet, and the window must not be asked for it half made.
  if (aShown == nullptr && total > 0 && NotificationWindow() != nullptr)
    Notify(DB_CEOID_CHANGED, changes.back().iRecord);
  // A store that never told its country and had no key to change is not news.
  if (walk && (!kept.empty() || total > 0)) {
    const std::u16string wantedName = KeysCountryName(wanted);
    LogMessage(KLogFilePath, u"CKveMessagesDatabase - Conversations keyed again for %1!s!, %2!d! records changed",
               wantedName.c_str(), total);
  }
  return true;
}
