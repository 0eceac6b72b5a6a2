#include "store/tests/store_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <kvplatform.h>
#include <windows.h>

#include "kernel/log.h"
#include "store/epoc_database.h"
#include "store/messages.h"
#include "testing/log_file.h"

StoreTest::StoreTest() { SetLogging(1); }

StoreTest::~StoreTest() { SetLogging(0); }

std::vector<std::string> StoreTest::Messages() const { return LogMessages(iRoot); }

int StoreTest::CountMessages(const std::string& aPrefix) const {
  int count = 0;
  for (const std::string& message : Messages())
    if (message.compare(0, aPrefix.size(), aPrefix) == 0) ++count;
  return count;
}

std::string StoreTest::VolumeHostPath() const {
  std::string host;
  kvplatform::DevicePathToHost(KDatabaseVolume, host);
  return host;
}

std::u16string ToU16(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

FILETIME FileTime(int aYear, int aMonth, int aDay, int aHour, int aMinute, int aSecond) {
  SYSTEMTIME when = {static_cast<WORD>(aYear), static_cast<WORD>(aMonth), 0, static_cast<WORD>(aDay),
                     static_cast<WORD>(aHour), static_cast<WORD>(aMinute), static_cast<WORD>(aSecond), 0};
  FILETIME time = {};
  SystemTimeToFileTime(&when, &time);
  return time;
}

std::unique_ptr<CKveMessagesItem> NewMessage(CEpocDatabase& aDb, const std::u16string& aName,
                                             const std::u16string& aNumber, const std::u16string& aText, DWORD aFolder) {
  std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(aDb.NewItemL()));
  TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
  TConstPtr16 number(aNumber.data(), static_cast<int>(aNumber.size()));
  TConstPtr16 text(aText.data(), static_cast<int>(aText.size()));
  item->SetDetailsL(&name, &text, &number, aFolder);
  return item;
}
