// The gateway's topics, made from the prefix P and the gateway's id I:
// P/I/availability, P/I/status, P/I/received, P/I/send, P/send (shared by a fleet),
// P/I/sent, P/I/delivery, P/I/ussd and P/I/ussd/reply.
#pragma once

#include <string>
#include <string_view>

inline constexpr size_t KKvMaxTopicWord = 64;

// A prefix or an id becomes one level of a topic: letters, digits, '.', '_'
// and '-' only, so it can hold no wildcard, no level separator and nothing
// a terminal would act on.
bool IsTopicWord(std::string_view aWord);

struct TKvGatewayTopics {
  TKvGatewayTopics() = default;  // none yet: the id is learnt later
  TKvGatewayTopics(const std::string& aPrefix, const std::string& aId);
  std::string iAvailability;
  std::string iStatus;
  std::string iReceived;
  std::string iSend;
  // Every gateway of a fleet takes a share of P/send: each request goes to one.
  std::string iFleetSend;
  std::string iFleetSendTopic;  // the topic as requests arrive on it
  std::string iSent;
  std::string iDelivery;
  std::string iUssd;
  std::string iUssdReply;
};
