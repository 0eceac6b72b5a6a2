// Writes the seed volumes of the property_volume target: volumes made by the
// platform itself, then compacted to small pages so each seed is a few KB.
//   make_volume_seeds <folder>
#include <cstdio>
#include <cstring>
#include <string>

#include <windbase.h>
#include <windows.h>

#include "fuzz/fuzz_root.h"
#include "fuzz/seed_maker.h"

namespace {

const CEPROPID KName = (1u << 16) | CEVT_LPWSTR;
const CEPROPID KNumber = (2u << 16) | CEVT_UI4;
const CEPROPID KWhen = (3u << 16) | CEVT_FILETIME;

CEOID Create(CEGUID& aGuid, const char16_t* aName, const SORTORDERSPEC* aSorts, WORD aCount) {
  CEDBASEINFO info = {};
  info.dwFlags = CEDB_VALIDCREATE;
  std::memcpy(info.szDbaseName, aName, (std::char_traits<char16_t>::length(aName) + 1) * sizeof(char16_t));
  info.wNumSortOrder = aCount;
  for (WORD i = 0; i < aCount; ++i) info.rgSortSpecs[i] = aSorts[i];
  return CeCreateDatabaseEx(&aGuid, &info);
}

void Fill(CEGUID& aGuid, CEOID aDatabase, int aRecords, bool aAllTypes) {
  CEOID database = aDatabase;
  HANDLE handle = CeOpenDatabaseEx(&aGuid, &database, nullptr, 0, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  static const char16_t* const names[] = {u"Anna M\u00fcller", u"+447785016005", u"", u"Zo\u00eb", u"How are you?"};
  for (int i = 0; i < aRecords; ++i) {
    WCHAR text[64] = {};
    const char16_t* name = names[i % 5];
    std::memcpy(text, name, (std::char_traits<char16_t>::length(name) + 1) * sizeof(char16_t));
    CEPROPVAL values[3] = {};
    values[0].propid = KName;
    values[0].val.lpwstr = text;
    values[1].propid = KNumber;
    values[1].val.ulVal = static_cast<ULONG>(i * 37);
    values[2].propid = KWhen;
    values[2].val.filetime = FILETIME{static_cast<DWORD>(i), 0x01C2A000};
    CeWriteRecordProps(handle, 0, aAllTypes ? 3 : 1, values);
  }
  CloseHandle(handle);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  if (!SeedFolderArgument(argc, argv, "make_volume_seeds <folder>", out)) return 2;
  const std::string root = MakeFuzzRoot("seeds");
  struct Seed {
    const char* name;
    int databases;
    int records;
    bool allTypes;
  };
  const Seed seeds[] = {{"seed-empty-volume", 0, 0, false},
                        {"seed-one-database", 1, 0, false},
                        {"seed-contacts", 1, 6, true},
                        {"seed-two-databases", 2, 4, true},
                        {"seed-texts-only", 1, 8, false}};
  int failures = 0;
  for (const Seed& seed : seeds) {
    EmptyFolder(root);
    CEGUID guid;
    WCHAR path[] = u"\\Volume";
    if (!CeMountDBVol(&guid, path, OPEN_ALWAYS)) {
      std::fprintf(stderr, "%s: mount failed (%u)\n", seed.name, GetLastError());
      ++failures;
      continue;
    }
    const SORTORDERSPEC byName[] = {{KName, CEDB_SORT_IGNORENONSPACE}, {KNumber, CEDB_SORT_DESCENDING}};
    const SORTORDERSPEC byTime[] = {{KWhen, 0}};
    for (int d = 0; d < seed.databases; ++d) {
      CEOID database = d == 0 ? Create(guid, u"Contacts", byName, 2) : Create(guid, u"Messages", byTime, 1);
      if (database != 0) Fill(guid, database, seed.records, seed.allTypes);
    }
    CeUnmountDBVol(&guid);
    std::string bytes;
    if (!CompactVolume(root + "/Volume") || !ReadFileBytes(root + "/Volume", bytes) ||
        !WriteFileBytes(out + "/" + seed.name, bytes)) {
      std::fprintf(stderr, "%s: could not be written\n", seed.name);
      ++failures;
    }
  }
  EmptyFolder(root);
  rmdir(root.c_str());
  return failures == 0 ? 0 : 1;
}
