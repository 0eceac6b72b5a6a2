// Mounting a database volume file with arbitrary contents.
//
// Properties:
//   - a file that is refused is left byte for byte as it was, with nothing
//     beside it (no journal or shared-memory file left behind);
//   - in a file that is accepted, every database and record can be read
//     without harm: a record either reads whole (its texts inside the
//     returned buffer and terminated) or fails with an error;
//   - a volume that was accepted takes a new database and record, reads
//     them back as written, and is accepted again after unmounting.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <windbase.h>
#include <windows.h>

#include "fuzz/fuzz_root.h"
#include "fuzz/fuzz_util.h"

namespace {

constexpr WCHAR KVolume[] = u"\\Volume";
constexpr CEOID KDatabasesTried = 12;  // seeds hold a few databases with small identifiers
constexpr int KRecordsRead = 40;
const CEPROPID KNumber = (1u << 16) | CEVT_UI4;
const CEPROPID KText = (2u << 16) | CEVT_LPWSTR;
const CEPROPID KTime = (3u << 16) | CEVT_FILETIME;

const std::string& Root() {
  static const std::string root = MakeFuzzRoot("volume");
  return root;
}

bool Mount(CEGUID& aGuid) {
  WCHAR path[sizeof KVolume / sizeof KVolume[0]];
  std::memcpy(path, KVolume, sizeof KVolume);
  return CeMountDBVol(&aGuid, path, OPEN_EXISTING) != FALSE;
}

// Checks a record as handed back: entries, then the texts they point to.
void CheckRecord(const BYTE* aBuffer, DWORD aSize, WORD aCount) {
  FUZZ_CHECK(size_t{aCount} * sizeof(CEPROPVAL) <= aSize, "%u properties in %u bytes", aCount, aSize);
  const auto* values = reinterpret_cast<const CEPROPVAL*>(aBuffer);
  for (WORD i = 0; i < aCount; ++i) {
    const WORD type = TypeFromPropID(values[i].propid);
    FUZZ_CHECK(type == CEVT_UI4 || type == CEVT_LPWSTR || type == CEVT_FILETIME, "type %u handed back", type);
    if (type != CEVT_LPWSTR) continue;
    const auto* text = reinterpret_cast<const BYTE*>(values[i].val.lpwstr);
    FUZZ_CHECK(text >= aBuffer && text < aBuffer + aSize, "text outside the record's buffer");
    const WCHAR* end = values[i].val.lpwstr;
    while (reinterpret_cast<const BYTE*>(end + 1) <= aBuffer + aSize && *end != 0) ++end;
    FUZZ_CHECK(reinterpret_cast<const BYTE*>(end + 1) <= aBuffer + aSize, "text without its terminator");
  }
}

void ReadEverything(CEGUID& aGuid) {
  for (CEOID oid = 1; oid <= KDatabasesTried; ++oid) {
    CEOID database = oid;
    HANDLE handle = CeOpenDatabaseEx(&aGuid, &database, nullptr, 0, CEDB_AUTOINCREMENT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    FUZZ_CHECK(database == oid);
    BYTE* buffer = nullptr;
    DWORD size = 0;
    if (CeSeekDatabase(handle, CEDB_SEEK_BEGINNING, 0, nullptr) != 0) {
      for (int i = 0; i < KRecordsRead; ++i) {
        WORD count = 0;
        if (CeReadRecordProps(handle, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size) == 0) break;
        CheckRecord(buffer, size, count);
      }
    }
    if (buffer != nullptr) LocalFree(buffer);
    CloseHandle(handle);
  }
}

struct Written {
  CEOID database = 0;
  CEOID record = 0;
};

// A new database with one record; nothing when the volume refuses it.
Written WriteOne(CEGUID& aGuid) {
  Written written;
  CEDBASEINFO info = {};
  info.dwFlags = CEDB_VALIDCREATE;
  const char16_t name[] = u"FuzzCheck";
  std::memcpy(info.szDbaseName, name, sizeof name);
  info.dwDbaseType = 7;
  info.wNumSortOrder = 1;
  info.rgSortSpecs[0] = {KText, 0};
  written.database = CeCreateDatabaseEx(&aGuid, &info);
  if (written.database == 0) return written;
  CEOID database = written.database;
  HANDLE handle = CeOpenDatabaseEx(&aGuid, &database, nullptr, 0, 0, nullptr);
  FUZZ_CHECK(handle != INVALID_HANDLE_VALUE, "a database just created does not open: %u", GetLastError());
  WCHAR text[] = u"M\u00fcller, Anna";
  CEPROPVAL values[3] = {};
  values[0].propid = KNumber;
  values[0].val.ulVal = 0xC0FFEE;
  values[1].propid = KText;
  values[1].val.lpwstr = text;
  values[2].propid = KTime;
  values[2].val.filetime = FILETIME{0x89ABCDEF, 0x01D00000};
  written.record = CeWriteRecordProps(handle, 0, 3, values);
  CloseHandle(handle);
  return written;
}

void CheckWritten(CEGUID& aGuid, const Written& aWritten) {
  CEOID database = aWritten.database;
  HANDLE handle = CeOpenDatabaseEx(&aGuid, &database, nullptr, 0, 0, nullptr);
  FUZZ_CHECK(handle != INVALID_HANDLE_VALUE, "the database written does not open: %u", GetLastError());
  FUZZ_CHECK(CeSeekDatabase(handle, CEDB_SEEK_CEOID, aWritten.record, nullptr) == aWritten.record,
             "record %u written to database %u is not found: %u", aWritten.record, aWritten.database, GetLastError());
  BYTE* buffer = nullptr;
  DWORD size = 0;
  WORD count = 0;
  FUZZ_CHECK(CeReadRecordProps(handle, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size) == aWritten.record,
             "the record written does not read: %u", GetLastError());
  CheckRecord(buffer, size, count);
  FUZZ_CHECK(count == 3, "%u properties read back", count);
  bool number = false, text = false, time = false;
  const auto* values = reinterpret_cast<const CEPROPVAL*>(buffer);
  for (WORD i = 0; i < count; ++i) {
    if (values[i].propid == KNumber) number = values[i].val.ulVal == 0xC0FFEE;
    if (values[i].propid == KText) text = std::u16string(values[i].val.lpwstr) == u"M\u00fcller, Anna";
    if (values[i].propid == KTime)
      time = values[i].val.filetime.dwLowDateTime == 0x89ABCDEF && values[i].val.filetime.dwHighDateTime == 0x01D00000;
  }
  FUZZ_CHECK(number && text && time, "values read back differ");
  LocalFree(buffer);
  CloseHandle(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string& root = Root();
  EmptyFolder(root);
  const std::string path = root + "/Volume";
  const std::string bytes(reinterpret_cast<const char*>(aData), aSize);
  FUZZ_CHECK(WriteFileBytes(path, bytes));

  CEGUID guid;
  if (!Mount(guid)) {
    std::string after;
    FUZZ_CHECK(ReadFileBytes(path, after), "a refused volume file is gone");
    const std::string& expected = bytes;
    size_t differs = 0;
    while (differs < after.size() && differs < expected.size() && after[differs] == expected[differs]) ++differs;
    FUZZ_CHECK(after == expected, "a refused volume file was changed at byte %zu of %zu (error %u)", differs,
               expected.size(), GetLastError());
    for (const std::string& name : FilesIn(root)) {
      FUZZ_CHECK(name == "Volume" || name.rfind("Volume", 0) != 0, "a refused volume left %s beside it", name.c_str());
    }
    return 0;
  }

  ReadEverything(guid);
  const Written written = WriteOne(guid);
  if (written.record != 0) CheckWritten(guid, written);
  FUZZ_CHECK(CeUnmountDBVol(&guid));

  if (written.record != 0) {
    FUZZ_CHECK(Mount(guid), "a volume that took a record is refused afterwards: %u", GetLastError());
    CheckWritten(guid, written);
    FUZZ_CHECK(CeUnmountDBVol(&guid));
  }
  return 0;
}
