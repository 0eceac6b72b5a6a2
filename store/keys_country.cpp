#include "store/keys_country.h"

#include <algorithm>
#include <iterator>

#include <kvplatform.h>
#include <windows.h>

#include "store/conversation_key.h"

namespace {

const WCHAR KKeysCountryDatabase[] = u"KvKeysCountry";
const char16_t KNoCountryTag[] = u"ZZ";
// Longer than any tag written: a value damaged or made elsewhere is not trusted.
const size_t KMaxTagLength = 8;

bool IsTag(const std::u16string& aTag) {
  return aTag == KNoCountryTag || (aTag.size() <= KMaxTagLength && IsKnownCountry(kvplatform::ToUtf8(aTag)));
}

// The one record's database, opened; made when aMake and missing.
HANDLE OpenKeysCountry(CEGUID& aVolume, bool aMake) {
  CEOID oid = 0;
  HANDLE handle = CeOpenDatabaseEx(&aVolume, &oid, const_cast<LPWSTR>(KKeysCountryDatabase), 0, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE || !aMake || GetLastError() != ERROR_FILE_NOT_FOUND) return handle;
  CEDBASEINFO info = {};
  info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDDBFLAGS | CEDB_NOCOMPRESS;
  std::copy(std::begin(KKeysCountryDatabase), std::end(KKeysCountryDatabase), info.szDbaseName);
  info.wNumSortOrder = 1;
  info.rgSortSpecs[0].propid = KMessagesKeysCountryProp;
  oid = CeCreateDatabaseEx(&aVolume, &info);
  if (oid == 0 && GetLastError() != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
  if (oid == 0) return CeOpenDatabaseEx(&aVolume, &oid, const_cast<LPWSTR>(KKeysCountryDatabase), 0, 0, nullptr);
  return CeOpenDatabaseEx(&aVolume, &oid, nullptr, 0, 0, nullptr);
}

// The record's identifier, its properties read into aBuffer; 0 when there is none.
CEOID ReadRecord(HANDLE aHandle, LPBYTE& aBuffer, WORD& aCount, bool& aFailed) {
  aFailed = false;
  if (CeSeekDatabase(aHandle, CEDB_SEEK_BEGINNING, 0, nullptr) == 0) {
    aFailed = GetLastError() != ERROR_NO_MORE_ITEMS;
    return 0;
  }
  DWORD size = 0;
  CEOID oid = CeReadRecordProps(aHandle, CEDB_ALLOWREALLOC, &aCount, nullptr, &aBuffer, &size);
  aFailed = oid == 0;
  return oid;
}

}  // namespace

std::u16string KeysCountryTag(const std::string& aHomeCountry) {
  return aHomeCountry.empty() ? std::u16string(KNoCountryTag) : kvplatform::FromUtf8(aHomeCountry);
}

std::u16string KeysCountryName(const std::u16string& aTag) {
  if (aTag.empty()) return u"an unknown country";
  return aTag == KNoCountryTag ? u"no country" : aTag;
}

bool ReadKeysCountry(CEGUID& aVolume, CEPROPID aDatabase, std::u16string& aTag) {
  aTag.clear();
  HANDLE handle = OpenKeysCountry(aVolume, false);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  LPBYTE buffer = nullptr;
  WORD count = 0;
  bool failed = false;
  if (ReadRecord(handle, buffer, count, failed) != 0) {
    const auto* values = reinterpret_cast<const CEPROPVAL*>(buffer);
    for (WORD i = 0; i < count; ++i)
      if (values[i].propid == aDatabase && values[i].val.lpwstr != nullptr) {
        std::u16string kept(values[i].val.lpwstr);
        if (IsTag(kept)) aTag = std::move(kept);
      }
  }
  LocalFree(buffer);
  CloseHandle(handle);
  return !failed;
}

bool KeepKeysCountry(CEGUID& aVolume, CEPROPID aDatabase, const std::u16string& aTag) {
  HANDLE handle = OpenKeysCountry(aVolume, true);
  if (handle == INVALID_HANDLE_VALUE) return false;
  LPBYTE buffer = nullptr;
  WORD count = 0;
  bool failed = false;
  const CEOID record = ReadRecord(handle, buffer, count, failed);
  LocalFree(buffer);
  std::u16string tag = aTag;
  CEPROPVAL value = {};
  value.propid = aDatabase;
  value.val.lpwstr = tag.data();
  // The other database's value stays as it is.
  const bool kept = !failed && CeWriteRecordProps(handle, record, 1, &value) != 0;
  CloseHandle(handle);
  return kept;
}
