// The messages store read in the order of the folders' lists, through a sort
// order of its own (message_folder_order.h), so that a list of a folder of
// years of messages paints without reading the store first.
#include "kernel/log.h"
#include "store/message_folder_order.h"
#include "store/messages.h"

namespace {

const int KFolderOrderProgressStep = 1000;

CEPROPVAL FolderOrderValue(const std::u16string& aKey) {
  CEPROPVAL value = {};
  value.propid = KMessageFolderOrderProp;
  value.val.lpwstr = const_cast<LPWSTR>(aKey.c_str());
  return value;
}

}  // namespace

bool CKveMessagesDatabase::OpenFolderOrderL() {
  if (iFolderDatabase != INVALID_HANDLE_VALUE) return true;
  iFolderDatabase = OpenOrderL(KMessageFolderOrderProp, 0, u"CKveMessagesDatabase - Making the folder order");
  if (iFolderDatabase == INVALID_HANDLE_VALUE) return false;
  // An order missing records would hide them from their list: not used.
  if (KeyFolderOrderL()) return true;
  CloseHandle(iFolderDatabase);
  iFolderDatabase = INVALID_HANDLE_VALUE;
  return false;
}

// Records without a key (all of an earlier version's volume) sort after
// every keyed one, past the last list's bound: key them one by one until
// none sorts there.
bool CKveMessagesDatabase::KeyFolderOrderL() {
  const std::u16string past = FolderOrderBound(3);
  const CEPROPVAL bound = FolderOrderValue(past);
  int keyed = 0;
  CEOID previous = 0;
  for (;;) {
    if (CeSeekDatabase(iFolderDatabase, CEDB_SEEK_VALUEGREATER, reinterpret_cast<DWORD_PTR>(&bound), nullptr) == 0) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
      LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to read the folder order");
      return false;
    }
    CKveMessagesItem* message = ReadNextFolderItemL();
    if (message == nullptr || message->Oid() == previous) {  // a write that did not take
      delete message;
      return false;
    }
    if (keyed == 0) LogMessage(KLogFilePath, u"CKveMessagesDatabase - Keying records for the folder order");
    std::u16string key = FolderOrderKey(message->Folder(), message->Name(), message->DateSentTime());
    CEPROPVAL value = FolderOrderValue(key);
    previous = message->Oid();
    delete message;
    if (CeWriteRecordProps(iFolderDatabase, previous, 1, &value) == 0) {
      LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase - Failed to key a record");
      return false;
    }
    if (++keyed % KFolderOrderProgressStep == 0)
      LogMessage(KLogFilePath, u"CKveMessagesDatabase - %1!d! records keyed", keyed);
  }
  if (keyed > 0) LogMessage(KLogFilePath, u"CKveMessagesDatabase - Folder order complete, %1!d! records keyed", keyed);
  return true;
}

int CKveMessagesDatabase::IndexAfterL(const std::u16string& aBound) {
  CEPROPVAL value = FolderOrderValue(aBound);
  DWORD index = 0;
  if (CeSeekDatabase(iFolderDatabase, CEDB_SEEK_VALUEGREATER, reinterpret_cast<DWORD_PTR>(&value), &index) != 0)
    return static_cast<int>(index);
  if (GetLastError() != ERROR_NO_MORE_ITEMS) return -1;
  // Nothing after the bound: the count of records is the last one's index and one.
  if (CeSeekDatabase(iFolderDatabase, CEDB_SEEK_END, 0, &index) != 0) return static_cast<int>(index) + 1;
  return GetLastError() == ERROR_NO_MORE_ITEMS ? 0 : -1;
}

bool CKveMessagesDatabase::FolderRangeL(DWORD aFolder, int& aFirst, int& aCount) {
  if (!OpenFolderOrderL()) return false;
  const int list = FolderListOf(aFolder);
  const int first = IndexAfterL(FolderOrderBound(list));
  const int end = first < 0 ? -1 : IndexAfterL(FolderOrderBound(list + 1));
  if (end < 0) {
    LogMessageWithError(KLogFilePath, u"CKveMessagesDatabase::FolderRangeL - Failed to read the folder order");
    return false;
  }
  aFirst = first;
  aCount = end - first;
  return true;
}

CKveMessagesItem* CKveMessagesDatabase::ReadFolderItemL(int aIndex) {
  if (aIndex < 0 || !OpenFolderOrderL()) return nullptr;
  if (CeSeekDatabase(iFolderDatabase, CEDB_SEEK_BEGINNING, static_cast<DWORD>(aIndex), nullptr) == 0) return nullptr;
  return ReadNextFolderItemL();
}

CKveMessagesItem* CKveMessagesDatabase::ReadNextFolderItemL() {
  if (iFolderDatabase == INVALID_HANDLE_VALUE) return nullptr;
  auto* message = static_cast<CKveMessagesItem*>(ReadItemFromL(iFolderDatabase, iFolderReadBuffer, iFolderReadBufferSize));
  if (message != nullptr) ++iFolderItemsRead;
  return message;
}

int CKveMessagesDatabase::FolderIndexL(CEOID aOid) {
  if (!OpenFolderOrderL()) return -1;
  DWORD index = 0;
  if (CeSeekDatabase(iFolderDatabase, CEDB_SEEK_CEOID, aOid, &index) == 0) return -1;
  return static_cast<int>(index);
}
