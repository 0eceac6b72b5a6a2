// The messages store by conversation and by text: two indexes the volume
// keeps in the transaction of each record's write (kvplatform_db.h), so a
// conversation or a search reads only the messages it shows.
#include <kvplatform_db.h>

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>

#include "kernel/log.h"
#include "store/conversation_key.h"
#include "store/messages.h"
#include "store/store_upgrade.h"

namespace {

// What a full-text search looks in.
const CEPROPID KSearchedProperties[] = {KMessageNameProp, KMessageNumberProp, KMessageTextProp};
// Records keyed in one transaction: a volume of years of messages is keyed
// in a few seconds, without a journal the size of the store.
const int KKeyedPerTransaction = 5000;
const int KConversationProgressStep = 1000;

// Steps of a first open of an earlier version's volume, as the program shows them.
const char16_t KIndexingConversations[] = u"Indexing conversations";
const char16_t KKeyingConversations[] = u"Keying conversations";
const char16_t KIndexingForSearch[] = u"Indexing for search";

// aContext: the open's flag that something was shown, to be ended.
void LogConversationProgress(void* aContext, DWORD aDone, DWORD aTotal) {
  *static_cast<bool*>(aContext) = true;
  LogMessage(KLogFilePath, u"CKveMessagesDatabase - Conversation index: %1!d! of %2!d! records", static_cast<int>(aDone),
             static_cast<int>(aTotal));
  ReportStoreUpgrade(KIndexingConversations, static_cast<int>(aDone), static_cast<int>(aTotal));
}

void LogSearchProgress(void* aContext, DWORD aDone, DWORD aTotal) {
  *static_cast<bool*>(aContext) = true;
  LogMessage(KLogFilePath, u"CKveMessagesDatabase - Search index: %1!d! of %2!d! records", static_cast<int>(aDone),
             static_cast<int>(aTotal));
  ReportStoreUpgrade(KIndexingForSearch, static_cast<int>(aDone), static_cast<int>(aTotal));
}

}  // namespace

void CKveMessagesDatabase::OpenIndexesL() {
  if (DatabaseOid() == 0) return;
  bool shown = false;
  OpenIndexesShowingL(shown);
  if (shown) ReportStoreUpgrade(nullptr, 0, 0);
}

void CKveMessagesDatabase::OpenIndexesShowingL(bool& aShown) {
  bool made = false;
  if (!kvplatform::AddValueIndex(VolumeId(), DatabaseOid(), KMessageConversationProp, made, LogConversationProgress,
                                 &aShown)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to open the conversation index");
    return;
  }
  if (made) LogMessage(KLogFilePath, u"CKveMessagesDatabase - Made the conversation index");
  // Every record of an earlier version goes under the empty text: read.
  if (!kvplatform::AddValueIndex(VolumeId(), DatabaseOid(), KMessageUnreadProp, made)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to open the unread index");
    return;
  }
  bool keyedNow = false;
  if (!KeyConversationsL(aShown, keyedNow)) return;
  // Keys of another country are still keys: the conversations stay usable
  // when they cannot be made again now, and the next opening tries again.
  KeyForHomeCountryL(&aShown, keyedNow);
  // Made only when missing: a volume already indexed costs one lookup here.
  if (!kvplatform::AddTextIndex(VolumeId(), DatabaseOid(), KSearchedProperties,
                                sizeof KSearchedProperties / sizeof KSearchedProperties[0], LogSearchProgress,
                                &aShown)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to open the search index");
    return;
  }
  iIndexesOpen = true;
}

// Records written without a conversation key (by an earlier version) are in
// the index under the empty text. Their keys are made in one walk through
// the store, then written in few transactions: a volume of years of
// messages is keyed in seconds.
bool CKveMessagesDatabase::KeyConversationsL(bool& aShown, bool& aAllKeyed) {
  aAllKeyed = false;
  std::vector<CEOID> unkeyed;
  if (!kvplatform::FindRecordsWithValue(VolumeId(), DatabaseOid(), KMessageConversationProp, u"", unkeyed)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to read the conversation index");
    return false;
  }
  if (unkeyed.empty()) return true;
  const int total = static_cast<int>(unkeyed.size());
  LogMessage(KLogFilePath, u"CKveMessagesDatabase - Keying %1!d! records for conversations", total);
  ReportStoreUpgrade(KKeyingConversations, 0, total);
  aShown = true;
  std::vector<std::pair<CEOID, std::u16string>> keys;
  keys.reserve(unkeyed.size());
  std::unordered_map<std::u16string, std::u16string> keyOfSender;
  // Whether any record kept a key made before: in which country is not known.
  bool keyedBefore = false;
  CEOID oid = 0;
  int count = 0;
  for (const CEPROPVAL* values = ReadStoredPropertiesL(true, oid, count); values != nullptr;
       values = ReadStoredPropertiesL(false, oid, count)) {
    if (!std::binary_search(unkeyed.begin(), unkeyed.end(), oid)) {
      keyedBefore = true;
      continue;
    }
    TConstPtr16 name, number;
    for (int i = 0; i < count; ++i) {
      if (values[i].propid == KMessageNameProp && values[i].val.lpwstr != nullptr) name = TConstPtr16(values[i].val.lpwstr);
      if (values[i].propid == KMessageNumberProp && values[i].val.lpwstr != nullptr) number = TConstPtr16(values[i].val.lpwstr);
    }
    // Years of messages come from a few thousand parties: each number is
    // read in its country's plan once.
    std::u16string sender(number.Length() > 0 ? number.Ptr() : name.Ptr(),
                          static_cast<size_t>(number.Length() > 0 ? number.Length() : name.Length()));
    auto known = keyOfSender.find(sender);
    if (known == keyOfSender.end()) known = keyOfSender.emplace(std::move(sender), ConversationKey(number, name)).first;
    keys.emplace_back(oid, known->second);
  }
  HANDLE writer = kvplatform::OpenDatabaseInStoredOrder(VolumeId(), DatabaseOid());
  if (writer == INVALID_HANDLE_VALUE) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to key conversations");
    return false;
  }
  bool keyed = true;
  int done = 0;
  bool inTransaction = false;
  for (auto& [record, key] : keys) {
    if (!inTransaction) inTransaction = kvplatform::BeginVolumeTransaction(VolumeId()) != FALSE;
    CEPROPVAL value = {};
    value.propid = KMessageConversationProp;
    value.val.lpwstr = key.data();
    if (CeWriteRecordProps(writer, record, 1, &value) == 0) {
      LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to key a record");
      keyed = false;
      break;
    }
    ++done;
    if (done % KConversationProgressStep == 0) {
      LogMessage(KLogFilePath, u"CKveMessagesDatabase - %1!d! of %2!d! records keyed for conversations", done, total);
      ReportStoreUpgrade(KKeyingConversations, done, total);
    }
    if (inTransaction && done % KKeyedPerTransaction == 0) {
      inTransaction = false;
      if (!kvplatform::EndVolumeTransaction(VolumeId(), TRUE)) {
        LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to keep the conversation keys");
        keyed = false;
        break;
      }
    }
  }
  if (inTransaction && !kvplatform::EndVolumeTransaction(VolumeId(), keyed ? TRUE : FALSE)) keyed = false;
  CloseHandle(writer);
  if (keyed) LogMessage(KLogFilePath, u"CKveMessagesDatabase - Conversations complete, %1!d! records keyed", done);
  aAllKeyed = keyed && !keyedBefore;
  return keyed;
}

bool CKveMessagesDatabase::ReadConversationsL(std::vector<TKvConversation>& aConversations) {
  std::vector<kvplatform::IndexedValue> values;
  if (!iIndexesOpen ||
      !kvplatform::ReadIndexedValues(VolumeId(), DatabaseOid(), KMessageConversationProp, values)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase::ReadConversationsL - Failed to read the index");
    return false;
  }
  std::vector<kvplatform::IndexedValue> unread;
  if (!kvplatform::ReadIndexedValues(VolumeId(), DatabaseOid(), KMessageUnreadProp, unread)) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase::ReadConversationsL - Failed to read the unread index");
    return false;
  }
  std::unordered_map<std::u16string, int> unreadOf;
  for (kvplatform::IndexedValue& value : unread)
    if (!value.value.empty()) unreadOf.emplace(std::move(value.value), static_cast<int>(value.count));
  aConversations.reserve(aConversations.size() + values.size());
  for (kvplatform::IndexedValue& value : values) {
    if (value.value.empty()) continue;
    auto found = unreadOf.find(value.value);
    int unreadCount = found != unreadOf.end() ? found->second : 0;
    aConversations.push_back({std::move(value.value), static_cast<int>(value.count), value.newest, unreadCount});
  }
  return true;
}

bool CKveMessagesDatabase::MarkConversationReadL(const std::u16string& aKey, std::vector<CEOID>* aMarked) {
  if (!iIndexesOpen || aKey.empty()) return false;
  std::vector<CEOID> unread;
  if (!kvplatform::FindRecordsWithValue(VolumeId(), DatabaseOid(), KMessageUnreadProp, aKey, unread)) return false;
  if (unread.empty()) return true;
  HANDLE writer = kvplatform::OpenDatabaseInStoredOrder(VolumeId(), DatabaseOid());
  if (writer == INVALID_HANDLE_VALUE) return false;
  // All or none, so the count never shows half a conversation read.
  const bool together = kvplatform::BeginVolumeTransaction(VolumeId()) != FALSE;
  CEPROPVAL value = {};
  value.propid = KMessageUnreadProp;
  value.val.lpwstr = const_cast<LPWSTR>(u"");
  bool marked = true;
  for (CEOID record : unread)
    if (CeWriteRecordProps(writer, record, 1, &value) == 0) {
      LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase::MarkConversationReadL - Failed to mark a record");
      marked = false;
      break;
    }
  if (together && !kvplatform::EndVolumeTransaction(VolumeId(), marked ? TRUE : FALSE)) marked = false;
  CloseHandle(writer);
  if (marked && aMarked != nullptr) aMarked->insert(aMarked->end(), unread.begin(), unread.end());
  return marked;
}

bool CKveMessagesDatabase::MarkReadL(CEOID aOid) {
  if (!iIndexesOpen || aOid == 0) return false;
  // Read first: opening a message read already writes nothing.
  std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(ReadItemL(aOid)));
  if (message == nullptr) return false;
  if (!message->IsUnread()) return true;
  HANDLE writer = kvplatform::OpenDatabaseInStoredOrder(VolumeId(), DatabaseOid());
  if (writer == INVALID_HANDLE_VALUE) return false;
  CEPROPVAL value = {};
  value.propid = KMessageUnreadProp;
  value.val.lpwstr = const_cast<LPWSTR>(u"");
  const bool marked = CeWriteRecordProps(writer, aOid, 1, &value) != 0;
  if (!marked) LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase::MarkReadL - Failed to mark the record");
  CloseHandle(writer);
  return marked;
}

bool CKveMessagesDatabase::UnreadMessagesL(std::vector<CEOID>& aMessages) {
  if (!iIndexesOpen) return false;
  return kvplatform::FindRecordsWithAnyValue(VolumeId(), DatabaseOid(), KMessageUnreadProp, aMessages);
}

bool CKveMessagesDatabase::ConversationMessagesL(const std::u16string& aKey, std::vector<CEOID>& aMessages) {
  if (!iIndexesOpen || aKey.empty()) return false;
  return kvplatform::FindRecordsWithValue(VolumeId(), DatabaseOid(), KMessageConversationProp, aKey, aMessages);
}

bool CKveMessagesDatabase::SearchL(const std::u16string& aQuery, CEOID aBefore, int aLimit, std::vector<CEOID>& aFound) {
  if (aQuery.size() > static_cast<size_t>(KMaxSearchLength) || aLimit <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!iIndexesOpen) {
    SetLastError(ERROR_NOT_READY);
    return false;
  }
  return kvplatform::SearchText(VolumeId(), DatabaseOid(), aQuery, aBefore, static_cast<DWORD>(aLimit), aFound);
}
