// Storing a message the user wrote and sending it: in the Outbox first, so
// nothing typed is lost when the phone fails, then in Sent, dated when it
// went, once the phone took it. The compose dialog and a conversation's
// reply box send alike through here.
#pragma once

#include <windows.h>

class CKveMessagesDatabase;
class CKveMessagesItem;
class MKvViewHost;

// Writes the message (a new record, or over its own); false when the store
// refused it.
bool KvStoreMessageL(CKveMessagesDatabase& aMessages, CKveMessagesItem& aMessage);

// Sends the stored message behind the host's progress dialog; when it went,
// it moves to Sent. What the send answered: 0 when it went.
int KvSendStoredMessageL(MKvViewHost& aHost, HWND aWindow, CKveMessagesDatabase& aMessages,
                         CKveMessagesItem& aMessage);
