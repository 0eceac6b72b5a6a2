#include "gateway/gateway_topics.h"

bool IsTopicWord(std::string_view aWord) {
  if (aWord.empty() || aWord.size() > KKvMaxTopicWord) return false;
  for (char c : aWord) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

TKvGatewayTopics::TKvGatewayTopics(const std::string& aPrefix, const std::string& aId) {
  const std::string own = aPrefix + "/" + aId + "/";
  iAvailability = own + "availability";
  iStatus = own + "status";
  iReceived = own + "received";
  iSend = own + "send";
  iFleetSendTopic = aPrefix + "/send";
  iFleetSend = "$share/" + aPrefix + "/" + iFleetSendTopic;
  iSent = own + "sent";
  iDelivery = own + "delivery";
  iUssd = own + "ussd";
  iUssdReply = own + "ussd/reply";
}
