// What the Windows CE object store does not offer, for large volumes.
#pragma once

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

}  // namespace kvplatform
