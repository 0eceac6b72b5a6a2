// A message as 'messages list --json' prints it and the exports write it.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "store/messages.h"

namespace kvexchange {

// The folder rule of the message views: unknown folders show in the Inbox.
std::string FolderName(DWORD aFolder);
// id, folder, name, number, date (as shown), date_sent (ISO 8601, UTC), text
// (LF line ends), and for a long message the parts received.
nlohmann::json MessageJson(CKveMessagesItem& aMessage);
// The text of a value for files: invalid UTF-8 becomes U+FFFD, never an error.
std::string JsonText(const nlohmann::json& aValue, int aIndent = -1);

}  // namespace kvexchange
