// A message as 'messages list --json' prints it and the exports write it.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "store/message_delivery.h"
#include "store/messages.h"

namespace kvexchange {

// The folder rule of the message views: unknown folders show in the Inbox.
std::string FolderName(DWORD aFolder);
// id, folder, name, number, date (as shown), date_sent (ISO 8601, UTC), text
// (LF line ends), for a long message the parts received, and for a Sent one
// its delivery.
nlohmann::json MessageJson(CKveMessagesItem& aMessage);
// What the status reports say of a Sent message: the state, and the time it
// was delivered or the reason it failed.
struct TDeliveryOutcome {
  TKvDeliveryState iState = EKvDeliveryNone;
  std::string iTime;    // ISO 8601 UTC, delivered only
  std::string iReason;  // failed only
  int iStatus = KKvNoReportYet;
};
const char* DeliveryName(TKvDeliveryState aState);
TDeliveryOutcome Delivery(const CKveMessagesItem& aMessage);
// state, and time (delivered) or reason and status (failed)
nlohmann::json DeliveryJson(const CKveMessagesItem& aMessage);
// The text of a value for files: invalid UTF-8 becomes U+FFFD, never an error.
std::string JsonText(const nlohmann::json& aValue, int aIndent = -1);

}  // namespace kvexchange
