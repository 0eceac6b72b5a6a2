// A record's properties as stored in the volume file, and as handed to the
// caller: a CEPROPVAL array followed by the texts its entries point to.
#pragma once

#include <optional>
#include <vector>

#include "sort_key.h"

namespace kvplatform::db {

// Encodes values into the stored form (little-endian, versioned).
std::vector<unsigned char> EncodeRecord(const std::vector<StoredValue>& values);
// Decodes the stored form; nothing when it is damaged.
std::optional<std::vector<StoredValue>> DecodeRecord(const std::vector<unsigned char>& bytes);

// Applies a caller's values to a record: a value replaces the one with the
// same identifier or is added; CEDB_PROPDELETE removes it. Returns false
// (with the Win32 error in error) for a type the store does not hold.
bool MergeValues(std::vector<StoredValue>& record, const CEPROPVAL* values, WORD count, DWORD& error);

// Bytes the caller's buffer needs for a stored record, and in count its
// number of properties; nothing when the record is damaged.
std::optional<size_t> ReadBufferSize(const std::vector<unsigned char>& bytes, WORD& count);
// Lays a stored record out in buffer (at least ReadBufferSize bytes), once
// ReadBufferSize has accepted it.
void FillReadBuffer(const std::vector<unsigned char>& bytes, WORD count, BYTE* buffer);

}  // namespace kvplatform::db
