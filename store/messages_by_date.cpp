// The messages store read by date sent, through a sort order of its own, so
// that a list of years of messages never has to be held and sorted at once.
#include "store/messages.h"

CKveMessagesItem* CKveMessagesDatabase::ReadFirstByDateL() {
  if (iDateDatabase == INVALID_HANDLE_VALUE)
    iDateDatabase = OpenOrderL(KMessageDateProp, 0, u"CKveMessagesDatabase::ReadFirstByDateL - Making the date order");
  if (iDateDatabase == INVALID_HANDLE_VALUE) return nullptr;
  if (CeSeekDatabase(iDateDatabase, CEDB_SEEK_BEGINNING, 0, nullptr) == 0) return nullptr;  // no messages
  return ReadNextByDateL();
}

CKveMessagesItem* CKveMessagesDatabase::ReadNextByDateL() {
  if (iDateDatabase == INVALID_HANDLE_VALUE) return nullptr;
  return static_cast<CKveMessagesItem*>(ReadItemFromL(iDateDatabase, iDateReadBuffer, iDateReadBufferSize));
}
