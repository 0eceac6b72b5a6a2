// What the Windows CE object store does not offer, for large volumes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windbase.h"

namespace kvplatform {

// Transactions on a mounted database volume: for imports that must be all or
// nothing. Every write this process makes to the volume between the two calls
// (through any of its database handles) takes effect at the end with commit
// set, or not at all. Other processes' writes wait meanwhile.

BOOL BeginVolumeTransaction(const CEGUID& volume);
// With commit FALSE, or when the commit fails, every write is undone.
BOOL EndVolumeTransaction(const CEGUID& volume, BOOL commit);

// A handle on the database that reads its records in the order they are
// stored, which is their identifiers' (the order records tie in under any
// sort order), each once: the cheapest way through every record, for a
// reader that puts them in its own order. It reads on with
// CeReadRecordProps and seeks only with CEDB_SEEK_BEGINNING (any other seek
// fails with ERROR_NOT_SUPPORTED); it is closed with CloseHandle.
HANDLE OpenDatabaseInStoredOrder(const CEGUID& volume, CEOID database);

// Indexes of a database's records by their text properties, kept by the
// volume in the same transaction as every write and delete of a record.
// Asked for once by the database's owner; the calls below make the index
// from every record when the database has none yet (a volume written before
// it was asked for), one transaction, calling progress every so many records.
typedef void (*IndexProgress)(void* context, DWORD done, DWORD total);

// Records by the exact value of one text property; a record without the
// property is indexed under the empty text. made tells whether the index
// was made now.
BOOL AddValueIndex(const CEGUID& volume, CEOID database, CEPROPID property, bool& made,
                   IndexProgress progress = nullptr, void* context = nullptr);
// The records holding the value, in the order they are stored, appended.
BOOL FindRecordsWithValue(const CEGUID& volume, CEOID database, CEPROPID property, const std::u16string& value,
                          std::vector<CEOID>& records);
// The records holding any value but the empty text, in the order they are
// stored, appended: for an index whose empty text means "none", the few
// that have one without passing over the many that do not.
BOOL FindRecordsWithAnyValue(const CEGUID& volume, CEOID database, CEPROPID property, std::vector<CEOID>& records);
// Each value held with how many records hold it and the last stored of them.
struct IndexedValue {
  std::u16string value;
  DWORD count = 0;
  CEOID newest = 0;
};
// Every value, the one whose newest record was stored last first.
BOOL ReadIndexedValues(const CEGUID& volume, CEOID database, CEPROPID property, std::vector<IndexedValue>& values);

// Full text: the properties' texts, folded (FoldForSearch), searchable for
// any part of them in every script. Asking again with other properties
// makes the index again.
BOOL AddTextIndex(const CEGUID& volume, CEOID database, const CEPROPID* properties, WORD count,
                  IndexProgress progress = nullptr, void* context = nullptr);
// The records whose indexed texts hold query (folded here), the last stored
// first, stored before before (0: from the last), at most limit of them,
// appended. A query of one or two characters is looked for record by record.
// An empty query fails with ERROR_INVALID_PARAMETER.
BOOL SearchText(const CEGUID& volume, CEOID database, const std::u16string& query, CEOID before, DWORD limit,
                std::vector<CEOID>& records);

// The form text is indexed and looked for in: case folded (ß = ss), accents
// and other marks dropped (é = e), compatibility forms unified, every run of
// blanks and line ends one blank. origins, when given, gets for each unit of
// the result the index of the unit of text it came from.
std::u16string FoldForSearch(const std::u16string& text, std::vector<uint32_t>* origins = nullptr);

}  // namespace kvplatform
