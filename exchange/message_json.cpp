#include "exchange/message_json.h"

#include <vector>

#include "exchange/exchange_text.h"
#include "store/message_delivery.h"

namespace kvexchange {
namespace {

// The parts of a long message received so far, in order.
std::vector<int> ReceivedParts(const CKveMessagesItem& aMessage) {
  std::vector<int> parts;
  for (int part = 1; part <= static_cast<int>(aMessage.ConcatTotal()); ++part) {
    TConstPtr16 text;
    if (aMessage.FindPart(part, text)) parts.push_back(part);
  }
  return parts;
}

}  // namespace

const char* DeliveryName(TKvDeliveryState aState) {
  switch (aState) {
    case EKvDeliveryPending: return "pending";
    case EKvDeliveryDelivered: return "delivered";
    case EKvDeliveryFailed: return "failed";
    default: return "none";
  }
}

TDeliveryOutcome Delivery(const CKveMessagesItem& aMessage) {
  TDeliveryOutcome outcome;
  TKvDeliveryList parts = aMessage.Delivery();
  outcome.iState = DeliveryState(parts);
  if (const TKvPartDelivery* deciding = DecidingPart(parts)) {
    outcome.iStatus = deciding->iStatus;
    if (outcome.iState == EKvDeliveryDelivered) outcome.iTime = IsoUtc(deciding->iTime);
    if (outcome.iState == EKvDeliveryFailed) outcome.iReason = Utf8(TConstPtr16(DeliveryStatusReason(deciding->iStatus)));
  }
  return outcome;
}

nlohmann::json DeliveryJson(const CKveMessagesItem& aMessage) {
  TDeliveryOutcome outcome = Delivery(aMessage);
  nlohmann::json delivery = {{"state", DeliveryName(outcome.iState)}};
  if (outcome.iState == EKvDeliveryDelivered) delivery["time"] = outcome.iTime;
  if (outcome.iState == EKvDeliveryFailed) {
    delivery["reason"] = outcome.iReason;
    delivery["status"] = outcome.iStatus;
  }
  return delivery;
}

std::string FolderName(DWORD aFolder) {
  if (aFolder == EKvFolderOutbox) return "outbox";
  if (aFolder == EKvFolderSent) return "sent";
  return "inbox";
}

nlohmann::json MessageJson(CKveMessagesItem& aMessage) {
  nlohmann::json message = {{"id", aMessage.Oid()},
                            {"folder", FolderName(aMessage.Folder())},
                            {"name", Utf8(aMessage.Name())},
                            {"number", Utf8(aMessage.Number())},
                            {"date", nullptr},
                            {"date_sent", nullptr},
                            {"text", WithLf(Utf8(aMessage.Text()))}};
  // A message the phone gave no time keeps both null, never a made-up date.
  if (aMessage.HasDate()) {
    message["date"] = Utf8(aMessage.DateSent());
    message["date_sent"] = IsoUtc(aMessage.DateSentTime());
  }
  if (aMessage.IsLongMessage())
    message["parts"] = {{"total", aMessage.ConcatTotal()}, {"received", ReceivedParts(aMessage)}};
  if (aMessage.Folder() == EKvFolderSent) message["delivery"] = DeliveryJson(aMessage);
  return message;
}

std::string JsonText(const nlohmann::json& aValue, int aIndent) {
  return aValue.dump(aIndent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kvexchange
