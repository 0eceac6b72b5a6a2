#include "exchange/message_json.h"

#include <vector>

#include "exchange/exchange_text.h"

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
                            {"date", Utf8(aMessage.DateSent())},
                            {"date_sent", IsoUtc(aMessage.DateSentTime())},
                            {"text", WithLf(Utf8(aMessage.Text()))}};
  if (aMessage.IsLongMessage())
    message["parts"] = {{"total", aMessage.ConcatTotal()}, {"received", ReceivedParts(aMessage)}};
  return message;
}

std::string JsonText(const nlohmann::json& aValue, int aIndent) {
  return aValue.dump(aIndent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kvexchange
