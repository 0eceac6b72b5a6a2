// The messages store with 10,000 messages on a real volume file: iterating
// it, and WriteItemL (whose duplicate search reads every record) into it.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <kvplatform.h>
#include <windows.h>

#include "store/messages.h"

namespace {

const int KMessages = 10000;

std::u16string Numbered(const char16_t* aPrefix, int aNumber) {
  std::u16string text(aPrefix);
  text.append(kvplatform::FromUtf8(std::to_string(aNumber)));
  return text;
}

CKveMessagesItem* NewMessage(CKveMessagesDatabase& aDb, const std::u16string& aName, const std::u16string& aText) {
  auto* item = static_cast<CKveMessagesItem*>(aDb.NewItemL());
  std::u16string number = u"+447700900123";
  TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
  TConstPtr16 text(aText.data(), static_cast<int>(aText.size()));
  TConstPtr16 num(number.data(), static_cast<int>(number.size()));
  item->SetDetailsL(&name, &text, &num, EKvFolderInbox);
  return item;
}

// One store of 10,000 messages for the whole run: each write is synced, so
// filling it takes a while and is done once.
class Fixture {
 public:
  Fixture() {
    char pattern[] = "/tmp/kv-store-bench-XXXXXX";
    iRoot = mkdtemp(pattern);
    kvplatform::SetDeviceRoot(iRoot);
    CreateDirectoryW(u"\\Program Files", nullptr);
    CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr);
    CreateDirectoryW(u"\\Program Files\\Korvanet\\Data", nullptr);
    iDb.reset(CKveMessagesDatabase::NewL(nullptr, 0));
    // Filled through the platform directly: WriteItemL's duplicate search
    // would make filling quadratic.
    HANDLE handle = INVALID_HANDLE_VALUE;
    CEGUID volume;
    CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING);
    CEOID oid = 0;
    handle = CeOpenDatabaseEx(&volume, &oid, const_cast<LPWSTR>(u"KvMessages"), KMessageNameProp, 0, nullptr);
    for (int i = 0; i < KMessages; ++i) {
      std::unique_ptr<CKveMessagesItem> item(
          NewMessage(*iDb, Numbered(u"Contact ", i % 300), Numbered(u"A message of a typical length, number ", i)));
      CEPROPVAL values[5] = {};
      item->SaveProperties(values);
      CeWriteRecordProps(handle, 0, 5, values);
    }
    CloseHandle(handle);
    CeUnmountDBVol(&volume);
  }
  ~Fixture() {
    iDb.reset();
    std::filesystem::remove_all(iRoot);
  }
  CKveMessagesDatabase& Db() { return *iDb; }

 private:
  std::string iRoot;
  std::unique_ptr<CKveMessagesDatabase> iDb;
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

void BM_IterateMessages(benchmark::State& aState) {
  CKveMessagesDatabase& db = TheFixture().Db();
  for (auto _ : aState) {
    int count = 0;
    for (CEpocDatabaseItem* item = db.ReadFirstItemL(); item != nullptr; item = db.ReadNextItemL()) {
      ++count;
      delete item;
    }
    if (count < KMessages) aState.SkipWithError("records missing");
  }
}
BENCHMARK(BM_IterateMessages)->Unit(benchmark::kMillisecond);

void BM_WriteItemIntoTenThousand(benchmark::State& aState) {
  CKveMessagesDatabase& db = TheFixture().Db();
  int next = 0;
  for (auto _ : aState) {
    std::unique_ptr<CKveMessagesItem> item(NewMessage(db, u"Contact 7", Numbered(u"A new message ", next++)));
    if (db.WriteItemL(*item) == 0) aState.SkipWithError("write failed");
  }
}
BENCHMARK(BM_WriteItemIntoTenThousand)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
