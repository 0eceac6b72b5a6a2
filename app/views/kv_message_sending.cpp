#include "app/views/kv_message_sending.h"

#include "app/views/kv_view_host.h"
#include "kernel/log.h"
#include "store/messages.h"

bool KvStoreMessageL(CKveMessagesDatabase& aMessages, CKveMessagesItem& aMessage) {
  if (aMessage.Oid() != 0) {
    if (aMessages.ReplaceItemL(aMessage) != 0) return true;
    LogMessage(KLogFilePath, u"KvStoreMessageL - Failed to replace message");
    return false;
  }
  CEOID oid = aMessages.WriteOwnItemL(aMessage);
  if (oid == 0) {
    LogMessage(KLogFilePath, u"KvStoreMessageL - Failed to save message to outbox");
    return false;
  }
  aMessage.SetOid(oid);
  return true;
}

int KvSendStoredMessageL(MKvViewHost& aHost, HWND aWindow, CKveMessagesDatabase& aMessages,
                         CKveMessagesItem& aMessage) {
  int result = aHost.SendSmsL(aWindow, &aMessage);
  LogMessage(KLogFilePath, u"KvSendStoredMessageL ret = %1!d!", result);
  if (result != 0) return result;
  // Sent is dated when it went, whenever the draft was written.
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME sent;
  if (SystemTimeToFileTime(&now, &sent)) aMessage.SetDateSentTime(sent);
  aMessage.SetFolder(EKvFolderSent);
  KvStoreMessageL(aMessages, aMessage);
  return 0;
}
