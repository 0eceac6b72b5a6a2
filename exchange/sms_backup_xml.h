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

// A text that XML 1.0 cannot hold whole (one with C0 control characters
// other than tab and line ends, or U+FFFE, U+FFFF) is written with each such
// character shown by its picture (U+240C for U+000C), and exactly in an
// attribute of ours beside it ("korvanet_body" for "body"), with '%' and
// those characters as %XX of their UTF-8 bytes; ReadSmsBackup prefers it.
std::string SmsBackupStart(int aCount);
std::string SmsBackupElement(CKveMessagesItem& aMessage);
std::string SmsBackupEnd();

// Every <sms> in file order; received ones go to the Inbox, sent ones to
// Sent, drafts and unsent ones to the Outbox. Read by expat, with document
// types and entity declarations refused. False, with aError (and the line and
// column where the XML goes wrong), for a file that is not well-formed, not
// such a backup, or ends before its </smses>.
bool ReadSmsBackup(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError);

}  // namespace kvexchange
