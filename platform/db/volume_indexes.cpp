// Indexes of a database's records by their text properties: by exact value
// (records grouped by a key their owner makes) and by full text (an FTS5
// trigram index over the texts folded, so any part of a text in any script
// is found, spaces or not). Both live in the volume file and change in the
// transaction of the record's own write.
#include <algorithm>

#include <kvplatform.h>

#include "record_codec.h"
#include "volume.h"

namespace kvplatform::db {
namespace {

constexpr DWORD kProgressStep = 1000;
// What one search may ask for: a screenful of pages, not the whole store.
constexpr DWORD kMostResults = 100000;

const StoredValue* Find(const std::vector<StoredValue>& values, CEPROPID property) {
  for (const StoredValue& value : values)
    if (value.propid == property) return &value;
  return nullptr;
}

bool Wrote(const CEPROPVAL* written, WORD count, CEPROPID property) {
  for (WORD i = 0; i < count; ++i)
    if (written[i].propid == property) return true;
  return false;
}

std::u16string IndexedTextOf(const std::vector<StoredValue>& values, CEPROPID property) {
  const StoredValue* value = Find(values, property);
  return value != nullptr && TypeFromPropID(value->propid) == CEVT_LPWSTR ? value->text : std::u16string();
}

// The properties' texts folded, one line each: the fold leaves no line end,
// so no match runs from one into the next.
std::u16string TextBody(const std::vector<StoredValue>& values, const std::vector<CEPROPID>& properties) {
  std::u16string body;
  for (CEPROPID property : properties) {
    if (!body.empty()) body += u'\n';
    body += FoldForSearch(IndexedTextOf(values, property));
  }
  return body;
}

size_t CodePoints(const std::u16string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char16_t c) { return (c & 0xFC00) != 0xDC00; }));
}

// An FTS5 phrase holding the text as it is.
std::u16string Phrase(const std::u16string& text) {
  std::u16string phrase = u"\"";
  for (char16_t c : text) {
    phrase += c;
    if (c == u'"') phrase += u'"';
  }
  return phrase + u"\"";
}

}  // namespace

bool Volume::IndexedProperties(Statement& query, CEOID database, std::vector<CEPROPID>& properties) {
  properties.clear();
  int rc;
  for (rc = query.Bind(sqlite3_int64{database}).Step(); rc == SQLITE_ROW; rc = query.Step())
    properties.push_back(static_cast<CEPROPID>(query.Int(0)));
  return rc == SQLITE_DONE || Fail(rc);
}

bool Volume::IndexRecord(CEOID database, CEOID record, const std::vector<StoredValue>& values,
                         const CEPROPVAL* written, WORD count, bool created) {
  std::vector<CEPROPID> properties;
  if (!IndexedProperties(s_->valueIndexesOf, database, properties)) return false;
  for (CEPROPID property : properties) {
    if (!created && !Wrote(written, count, property)) continue;
    int rc = s_->deleteValueOf.Bind(sqlite3_int64{record}, sqlite3_int64{database}, sqlite3_int64{property}).Step();
    if (rc == SQLITE_DONE)
      rc = s_->insertValue
               .Bind(sqlite3_int64{database}, sqlite3_int64{property}, IndexedTextOf(values, property), sqlite3_int64{record})
               .Step();
    if (rc != SQLITE_DONE) return Fail(rc);
  }
  if (!IndexedProperties(s_->textIndexesOf, database, properties)) return false;
  if (properties.empty()) return true;
  bool changed = created;
  for (CEPROPID property : properties) changed = changed || Wrote(written, count, property);
  if (!changed) return true;
  int rc = created ? SQLITE_DONE : s_->deleteText.Bind(sqlite3_int64{record}).Step();
  if (rc == SQLITE_DONE)
    rc = s_->insertText.Bind(sqlite3_int64{record}, TextBody(values, properties), sqlite3_int64{database}).Step();
  return rc == SQLITE_DONE || Fail(rc);
}

bool Volume::UnindexRecord(CEOID record) {
  int rc = s_->deleteValuesOfRecord.Bind(sqlite3_int64{record}).Step();
  if (rc == SQLITE_DONE) rc = s_->deleteText.Bind(sqlite3_int64{record}).Step();
  return rc == SQLITE_DONE || Fail(rc);
}

BOOL Volume::AddValueIndex(CEOID database, CEPROPID property, bool& made, IndexProgress progress, void* context) {
  made = false;
  if (TypeFromPropID(property) != CEVT_LPWSTR) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(lock_);
  std::vector<CEPROPID> properties;
  if (!IndexedProperties(s_->valueIndexesOf, database, properties)) return FALSE;
  if (std::find(properties.begin(), properties.end(), property) != properties.end()) return TRUE;
  if (!FindDatabaseLocked(nullptr, database)) return FALSE;
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began());
  int rc = s_->countRecords.Bind(sqlite3_int64{database}).Step();
  if (rc != SQLITE_ROW) return Fail(rc);
  const DWORD total = static_cast<DWORD>(s_->countRecords.Int(0));
  s_->countRecords.Reset();
  rc = s_->insertValueIndex.Bind(sqlite3_int64{database}, sqlite3_int64{property}).Step();
  if (rc == SQLITE_DONE) rc = s_->deleteValuesOfIndex.Bind(sqlite3_int64{database}, sqlite3_int64{property}).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  DWORD done = 0;
  Statement& records = s_->recordsOfDb;
  for (rc = records.Bind(sqlite3_int64{database}).Step(); rc == SQLITE_ROW; rc = records.Step()) {
    auto values = DecodeRecord(records.Blob(1));
    if (!values) {
      records.Reset();
      SetLastError(ERROR_BADDB);
      return FALSE;
    }
    int put = s_->insertValue
                  .Bind(sqlite3_int64{database}, sqlite3_int64{property}, IndexedTextOf(*values, property), records.Int(0))
                  .Step();
    if (put != SQLITE_DONE) {
      records.Reset();
      return Fail(put);
    }
    if (++done % kProgressStep == 0 && progress) progress(context, done, total);
  }
  if (rc != SQLITE_DONE) return Fail(rc);
  rc = transaction.Commit();
  if (rc != SQLITE_OK) return Fail(rc);
  made = true;
  return TRUE;
}

BOOL Volume::FindWithValue(CEOID database, CEPROPID property, const std::u16string& value, std::vector<CEOID>& records) {
  std::lock_guard guard(lock_);
  Statement& query = s_->findValue;
  int rc;
  for (rc = query.Bind(sqlite3_int64{database}, sqlite3_int64{property}, value).Step(); rc == SQLITE_ROW; rc = query.Step())
    records.push_back(static_cast<CEOID>(query.Int(0)));
  return rc == SQLITE_DONE || Fail(rc);
}

BOOL Volume::FindWithAnyValue(CEOID database, CEPROPID property, std::vector<CEOID>& records) {
  std::lock_guard guard(lock_);
  Statement& query = s_->findAnyValue;
  int rc;
  for (rc = query.Bind(sqlite3_int64{database}, sqlite3_int64{property}).Step(); rc == SQLITE_ROW; rc = query.Step())
    records.push_back(static_cast<CEOID>(query.Int(0)));
  return rc == SQLITE_DONE || Fail(rc);
}

BOOL Volume::IndexedValues(CEOID database, CEPROPID property, std::vector<IndexedValue>& values) {
  std::lock_guard guard(lock_);
  Statement& query = s_->valueGroups;
  int rc;
  for (rc = query.Bind(sqlite3_int64{database}, sqlite3_int64{property}).Step(); rc == SQLITE_ROW; rc = query.Step())
    values.push_back({query.Text16(0), static_cast<DWORD>(query.Int(1)), static_cast<CEOID>(query.Int(2))});
  return rc == SQLITE_DONE || Fail(rc);
}

BOOL Volume::AddTextIndex(CEOID database, const std::vector<CEPROPID>& properties, IndexProgress progress,
                          void* context) {
  if (properties.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (CEPROPID property : properties)
    if (TypeFromPropID(property) != CEVT_LPWSTR) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  std::lock_guard guard(lock_);
  std::vector<CEPROPID> current;
  if (!IndexedProperties(s_->textIndexesOf, database, current)) return FALSE;
  if (current == properties) return TRUE;
  if (!FindDatabaseLocked(nullptr, database)) return FALSE;
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began());
  int rc = s_->countRecords.Bind(sqlite3_int64{database}).Step();
  if (rc != SQLITE_ROW) return Fail(rc);
  const DWORD total = static_cast<DWORD>(s_->countRecords.Int(0));
  s_->countRecords.Reset();
  rc = s_->deleteTextIndexes.Bind(sqlite3_int64{database}).Step();
  if (rc == SQLITE_DONE) rc = s_->deleteTextsOfDb.Bind(sqlite3_int64{database}).Step();
  for (size_t i = 0; i < properties.size() && rc == SQLITE_DONE; ++i)
    rc = s_->insertTextIndex
             .Bind(sqlite3_int64{database}, static_cast<sqlite3_int64>(i), sqlite3_int64{properties[i]})
             .Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  DWORD done = 0;
  Statement& records = s_->recordsOfDb;
  for (rc = records.Bind(sqlite3_int64{database}).Step(); rc == SQLITE_ROW; rc = records.Step()) {
    auto values = DecodeRecord(records.Blob(1));
    if (!values) {
      records.Reset();
      SetLastError(ERROR_BADDB);
      return FALSE;
    }
    int put = s_->insertText.Bind(records.Int(0), TextBody(*values, properties), sqlite3_int64{database}).Step();
    if (put != SQLITE_DONE) {
      records.Reset();
      return Fail(put);
    }
    if (++done % kProgressStep == 0 && progress) progress(context, done, total);
  }
  if (rc != SQLITE_DONE) return Fail(rc);
  rc = transaction.Commit();
  return rc == SQLITE_OK || Fail(rc);
}

BOOL Volume::SearchText(CEOID database, const std::u16string& folded, CEOID before, DWORD limit,
                        std::vector<CEOID>& records) {
  if (folded.empty() || folded == u" ") {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(lock_);
  // The trigram index finds three characters or more; fewer are looked for
  // in each folded text, which is still one pass over a table of texts.
  const bool scan = CodePoints(folded) < 3;
  Statement& query = scan ? s_->scanText : s_->matchText;
  const sqlite3_int64 bound = before == 0 ? sqlite3_int64{0x7fffffffffffffff} : sqlite3_int64{before};
  const sqlite3_int64 most = std::min(limit, kMostResults);
  int rc;
  for (rc = query.Bind(sqlite3_int64{database}, scan ? folded : Phrase(folded), bound, most).Step(); rc == SQLITE_ROW;
       rc = query.Step())
    records.push_back(static_cast<CEOID>(query.Int(0)));
  return rc == SQLITE_DONE || Fail(rc);
}

}  // namespace kvplatform::db
