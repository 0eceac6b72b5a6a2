// The XML that Android's SMS backup apps write and read: an <smses> element
// holding one <sms> per message with address, date (milliseconds since
// 1970), type (1 received, 2 sent, 3 draft, 4 outbox, 5 failed, 6 queued),
// body and read attributes, among others. <mms> elements are passed over.
#pragma once

#include <string>
#include <vector>

#include "exchange/message_record.h"
#include "store/messages.h"

namespace kvexchange {

std::string SmsBackupStart(int aCount);
std::string SmsBackupElement(CKveMessagesItem& aMessage);
std::string SmsBackupEnd();

// Every <sms> in file order; received ones go to the Inbox, sent ones to
// Sent, drafts and unsent ones to the Outbox. False, with aError, for a file
// that is not such a backup or ends before its </smses>.
bool ReadSmsBackup(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError);

}  // namespace kvexchange
