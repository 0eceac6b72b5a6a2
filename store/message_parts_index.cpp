#include "store/message_parts_index.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <kvplatform_db.h>

#include "kernel/log.h"
#include "store/duplicate_key.h"
#include "store/messages.h"

namespace {

// Long message keys and earlier part keys never meet: each starts with its kind.
const TText16 KLongMessage = u'L';
const TText16 KEarlierPart = u'E';
const int KIndexedProgressStep = 1000;

// Numbers as code units, each DWORD as two.
class TKeyNumbers {
 public:
  void Add(DWORD aValue) {
    iUnits[iLength++] = static_cast<TText16>(aValue & 0xFFFF);
    iUnits[iLength++] = static_cast<TText16>(aValue >> 16);
  }
  TConstPtr16 Units() const { return TConstPtr16(iUnits, iLength); }

 private:
  TText16 iUnits[12];
  int iLength = 0;
};

ULONGLONG KeyOf(TText16 aKind, DWORD aFolder, const TDesc16& aNumber, const TKeyNumbers& aNumbers,
                const TDesc16* aText) {
  TKeyNumbers head;
  head.Add(aKind);
  head.Add(aFolder);
  TDuplicateKey key;
  key.Add(head.Units());
  key.Add(aNumber);
  key.Add(aNumbers.Units());
  if (aText != nullptr) key.Add(*aText);
  return key.Value();
}

CEPROPVAL KeyValue(ULONGLONG aKey) {
  CEPROPVAL value = DuplicateKeyProperty(aKey);
  value.propid = KPartsIndexKeyProp;
  return value;
}

}  // namespace

ULONGLONG LongMessageKey(DWORD aFolder, const TDesc16& aNumber, const TKvMessagePart& aPart) {
  TKeyNumbers numbers;
  numbers.Add(aPart.iReference);
  numbers.Add(aPart.iReferenceBits);
  numbers.Add(aPart.iTotal);
  return KeyOf(KLongMessage, aFolder, aNumber, numbers, nullptr);
}

ULONGLONG EarlierPartKey(DWORD aFolder, const TDesc16& aNumber, const TDesc16& aText) {
  return KeyOf(KEarlierPart, aFolder, aNumber, TKeyNumbers(), &aText);
}

bool PartsKeyOf(const CKveMessagesItem& aRecord, ULONGLONG& aKey) {
  if (aRecord.IsLongMessage()) {
    aKey = LongMessageKey(aRecord.Folder(), aRecord.Number(), aRecord.LongMessagePart());
    return true;
  }
  if (aRecord.IsFromEarlierVersion()) {
    aKey = EarlierPartKey(aRecord.Folder(), aRecord.Number(), aRecord.Text());
    return true;
  }
  return false;
}

bool CKveMessagesDatabase::OpenPartsIndexL(bool aMakeWhenMissing) {
  if (iPartsIndex != INVALID_HANDLE_VALUE) return true;
  CEOID oid = 0;
  iPartsIndex = CeOpenDatabaseEx(&VolumeId(), &oid, const_cast<LPWSTR>(KPartsIndexName), KPartsIndexKeyProp,
                                 CEDB_AUTOINCREMENT, nullptr);
  if (iPartsIndex != INVALID_HANDLE_VALUE || !aMakeWhenMissing || GetLastError() != ERROR_FILE_NOT_FOUND)
    return iPartsIndex != INVALID_HANDLE_VALUE;
  // Made and filled in one transaction: a volume holds the whole index or none.
  if (!kvplatform::BeginVolumeTransaction(VolumeId())) return false;
  bool made = MakePartsIndexL();
  if (!kvplatform::EndVolumeTransaction(VolumeId(), made ? TRUE : FALSE) || !made) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to make the parts index");
    ClosePartsIndex();
    return false;
  }
  return true;
}

bool CKveMessagesDatabase::MakePartsIndexL() {
  LogMessage(KLogFilePath, u"CKveMessagesDatabase - Making the parts index");
  CEDBASEINFO info = {};
  info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDDBFLAGS | CEDB_NOCOMPRESS;
  std::copy_n(KPartsIndexName, std::size(KPartsIndexName), info.szDbaseName);
  info.wNumSortOrder = 1;
  info.rgSortSpecs[0].propid = KPartsIndexKeyProp;
  CEOID oid = CeCreateDatabaseEx(&VolumeId(), &info);
  if (oid == 0) return false;
  iPartsIndex = CeOpenDatabaseEx(&VolumeId(), &oid, nullptr, KPartsIndexKeyProp, CEDB_AUTOINCREMENT, nullptr);
  if (iPartsIndex == INVALID_HANDLE_VALUE) return false;
  int indexed = 0;
  for (CEpocDatabaseItem* item = ReadFirstItemL(); item != nullptr; item = ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(item));
    ULONGLONG key = 0;
    if (!PartsKeyOf(*record, key)) continue;
    if (!IndexPartsRecordL(record->Oid(), key)) return false;
    if (++indexed % KIndexedProgressStep == 0)
      LogMessage(KLogFilePath, u"CKveMessagesDatabase - %1!d! records indexed", indexed);
  }
  LogMessage(KLogFilePath, u"CKveMessagesDatabase - Parts index complete, %1!d! records indexed", indexed);
  return true;
}

void CKveMessagesDatabase::ClosePartsIndex() {
  if (iPartsIndex != INVALID_HANDLE_VALUE) CloseHandle(iPartsIndex);
  iPartsIndex = INVALID_HANDLE_VALUE;
  LocalFree(iPartsReadBuffer);
  iPartsReadBuffer = nullptr;
  iPartsReadBufferSize = 0;
}

bool CKveMessagesDatabase::IndexPartsRecordL(CEOID aOid, ULONGLONG aKey) {
  CEPROPVAL values[2] = {KeyValue(aKey), {}};
  values[1].propid = KPartsIndexRecordProp;
  values[1].val.ulVal = aOid;
  return CeWriteRecordProps(iPartsIndex, 0, 2, values) != 0;
}

bool CKveMessagesDatabase::ReadPartsEntriesL(ULONGLONG aKey, std::vector<TPartsEntry>& aEntries) {
  CEPROPVAL wanted = KeyValue(aKey);
  if (CeSeekDatabase(iPartsIndex, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&wanted), nullptr) == 0)
    return GetLastError() == ERROR_NO_MORE_ITEMS;
  for (;;) {
    WORD count = 0;
    CEOID entry = CeReadRecordProps(iPartsIndex, CEDB_ALLOWREALLOC, &count, nullptr, &iPartsReadBuffer,
                                    &iPartsReadBufferSize);
    if (entry == 0) return GetLastError() == ERROR_NO_MORE_ITEMS;
    const auto* values = reinterpret_cast<const CEPROPVAL*>(iPartsReadBuffer);
    bool sameKey = false;
    CEOID record = 0;
    for (int i = 0; i < count; ++i) {
      if (values[i].propid == KPartsIndexKeyProp) sameKey = DuplicateKeyOf(values[i]) == aKey;
      if (values[i].propid == KPartsIndexRecordProp) record = values[i].val.ulVal;
    }
    if (!sameKey) return true;
    aEntries.push_back({entry, record, aKey});
  }
}

void CKveMessagesDatabase::UnindexPartsRecordL(CEOID aOid, ULONGLONG aKey) {
  std::vector<TPartsEntry> entries;
  ReadPartsEntriesL(aKey, entries);
  for (const TPartsEntry& entry : entries)
    if (entry.iRecord == aOid) CeDeleteRecord(iPartsIndex, entry.iEntry);
}

bool CKveMessagesDatabase::PartsCandidatesL(const ULONGLONG* aKeys, int aCount,
                                            std::vector<std::unique_ptr<CKveMessagesItem>>& aRecords) {
  if (!OpenPartsIndexL(true)) return false;
  std::vector<TPartsEntry> entries;
  for (int i = 0; i < aCount; ++i) {
    if (!ReadPartsEntriesL(aKeys[i], entries)) {
      LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to read the parts index");
      ClosePartsIndex();
      return false;
    }
  }
  std::vector<CEOID> records;
  for (const TPartsEntry& entry : entries) {
    std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(ReadRecordL(entry.iRecord, nullptr)));
    ULONGLONG key = 0;
    if (!record || !PartsKeyOf(*record, key) || key != entry.iKey)
      CeDeleteRecord(iPartsIndex, entry.iEntry);  // its record gone, or no longer found by that key
    else if (std::find(records.begin(), records.end(), entry.iRecord) == records.end())
      records.push_back(entry.iRecord);
  }
  // In the store's order, as the walk met them: of several records the
  // first it met wins a tie.
  std::vector<std::pair<DWORD, std::unique_ptr<CKveMessagesItem>>> found;
  for (CEOID oid : records) {
    DWORD place = 0;
    std::unique_ptr<CKveMessagesItem> record(
        static_cast<CKveMessagesItem*>(ReadRecordL(oid, records.size() > 1 ? &place : nullptr)));
    if (record) found.emplace_back(place, std::move(record));
  }
  std::sort(found.begin(), found.end(), [](const auto& aOne, const auto& aOther) { return aOne.first < aOther.first; });
  for (auto& record : found) aRecords.push_back(std::move(record.second));
  return true;
}

void CKveMessagesDatabase::RecordKeyedL(CEpocDatabaseItem& aRecord) {
  ULONGLONG key = 0;
  if (iPartsIndexAbsent || !PartsKeyOf(static_cast<CKveMessagesItem&>(aRecord), key)) return;
  // A volume without the index gets it, whole, when a part first needs it.
  if (OpenPartsIndexL(false))
    IndexPartsRecordL(aRecord.Oid(), key);
  else
    iPartsIndexAbsent = true;
}
