#include "gateway/gateway.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include <nlohmann/json.hpp>

#include "gateway/send_request.h"
#include "gateway/ussd_request.h"
#include "sms/sms_length.h"
#include "store/message_gateway.h"
#include "store/messages.h"

namespace {

using TMessage = std::unique_ptr<CKveMessagesItem>;

std::u16string Utf16Of(const std::string& aText) {
  std::u16string out;
  for (size_t i = 0; i < aText.size();) {
    unsigned char c = static_cast<unsigned char>(aText[i]);
    char32_t code = 0xFFFD;
    size_t length = 1;
    if (c < 0x80) {
      code = c;
    } else if ((c >> 5) == 6 && i + 1 < aText.size()) {
      code = ((c & 0x1F) << 6) | (aText[i + 1] & 0x3F);
      length = 2;
    } else if ((c >> 4) == 14 && i + 2 < aText.size()) {
      code = ((c & 0x0F) << 12) | ((aText[i + 1] & 0x3F) << 6) | (aText[i + 2] & 0x3F);
      length = 3;
    } else if ((c >> 3) == 30 && i + 3 < aText.size()) {
      code = ((c & 0x07) << 18) | ((aText[i + 1] & 0x3F) << 12) | ((aText[i + 2] & 0x3F) << 6) | (aText[i + 3] & 0x3F);
      length = 4;
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Utf8Of(const std::u16string& aText) {
  std::string out;
  for (size_t i = 0; i < aText.size(); ++i) {
    char32_t code = aText[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < aText.size() && aText[i + 1] >= 0xDC00 && aText[i + 1] < 0xE000)
      code = 0x10000 + ((code - 0xD800) << 10) + (aText[++i] - 0xDC00);
    else if (code >= 0xD800 && code < 0xE000)
      code = 0xFFFD;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// A network's reply with its line ends as a reader of JSON expects them.
std::string ReplyText(const std::u16string& aText) {
  std::string text = Utf8Of(aText);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i] == '\r' ? '\n' : text[i];
  return out;
}

// The text as the compose dialog keeps it: line ends as CR LF.
std::u16string WithCrLf(const std::u16string& aText) {
  std::u16string out;
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == u'\n' && (i == 0 || aText[i - 1] != u'\r')) out += u'\r';
    out += aText[i];
  }
  return out;
}

TKvGatewayMark MarkOf(const CKveMessagesItem& aMessage) { return ParseGatewayMark(aMessage.GatewayMark()); }

}  // namespace

CKvGateway::CKvGateway(const TKvGatewayTopics& aTopics, CKveMessagesDatabase& aStore, TKvGatewayHooks aHooks)
    : iTopics(aTopics), iStore(aStore), iHooks(std::move(aHooks)) {}

CKvGateway::~CKvGateway() { Stop(); }

bool CKvGateway::Start(const TKvMqttSettings& aSettings, std::string& aError) {
  TKvMqttSettings settings = aSettings;
  settings.iWillTopic = iTopics.iAvailability;
  settings.iWillPayload = "offline";
  iClient.reset(CKvMqttClient::NewL(settings, *this, aError));
  if (!iClient) return false;
  ReadOwedWork();
  return iClient->Start(aError) == 0;
}

void CKvGateway::Stop() {
  if (!iClient) return;
  {
    std::lock_guard<std::mutex> hold(iLock);
    iStopping = true;
    // Nothing will come from a broker we are not connected to.
    if (!iConnectedNow) iDisconnected = true;
  }
  iClient->Disconnect(iTopics.iAvailability, "offline");
  // Requests that arrive until the broker has our disconnection are still
  // taken properly: each is acknowledged once it is stored.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    HandlePending();
    std::unique_lock<std::mutex> hold(iLock);
    if (iDisconnected || std::chrono::steady_clock::now() >= deadline) {
      // Past the deadline a request still waiting is left to the broker,
      // which delivers it again to the next session if it had no answer.
      for (TInbound* inbound : iInbound) inbound->iDone = true;
      iInbound.clear();
      break;
    }
    iHandled.wait_for(hold, std::chrono::milliseconds(20));
  }
  iHandled.notify_all();
  iClient->Stop();
  iClient.reset();
}

std::string CKvGateway::LastingFailure() {
  std::lock_guard<std::mutex> hold(iLock);
  return iLastingFailure;
}

// What the store says is owed from an earlier run: received messages the
// broker never acknowledged and results never published, in the order
// stored; requests taken and not sent go to the engine again.
void CKvGateway::ReadOwedWork() {
  std::vector<CEOID> received, results;
  for (CEpocDatabaseItem* item = iStore.ReadFirstItemL(); item != nullptr; item = iStore.ReadNextItemL()) {
    TMessage message(static_cast<CKveMessagesItem*>(item));
    TKvGatewayMark mark = MarkOf(*message);
    if (mark.iRequest != EKvRequestNone) {
      iRequests[mark.iRequestId] = message->Oid();
      if (message->Folder() == EKvFolderOutbox && mark.iRequest == EKvRequestPending)
        iSendQueue.Push({message->Oid(), mark.iReport});
      else if (!mark.iPublished)
        results.push_back(message->Oid());
    } else if (message->Folder() == EKvFolderInbox && !message->GatewayMark().empty() && !mark.iPublished) {
      received.push_back(message->Oid());
    }
  }
  std::sort(received.begin(), received.end());
  for (CEOID oid : received) {
    TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(oid)));
    if (message) PublishReceived(*message);
  }
  for (CEOID oid : results) {
    TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(oid)));
    if (message) PublishResult(*message, nullptr);
  }
}

void CKvGateway::MessageStored(CEOID aOid) {
  TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(aOid)));
  if (!message || message->Folder() != EKvFolderInbox) return;
  // Marked as owed first, so that a gateway stopped before the broker has it
  // publishes it at its next start.
  TKvGatewayMark mark = MarkOf(*message);
  if (mark.iPublished) return;
  message->SetGatewayMark(FormatGatewayMark(mark));
  iStore.ReplaceItemL(*message);
  if (iClient) PublishReceived(*message);
}

void CKvGateway::PublishReceived(CKveMessagesItem& aMessage) {
  const int id = iClient->Publish(iTopics.iReceived, iHooks.iMessageJson(aMessage), 1, false);
  if (id > 0) iInFlight[id] = aMessage.Oid();
}

void CKvGateway::MessageSent(CEOID aOid, bool aSent) {
  if (!iClient) return;
  TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(aOid)));
  if (!message) return;
  TKvGatewayMark mark = MarkOf(*message);
  if (mark.iRequest == EKvRequestNone) return;
  mark.iRequest = aSent ? EKvRequestSent : EKvRequestFailed;
  message->SetGatewayMark(FormatGatewayMark(mark));
  iStore.ReplaceItemL(*message);
  auto reply = iReplyTo.find(aOid);
  PublishResult(*message, reply != iReplyTo.end() ? &reply->second : nullptr);
  if (reply != iReplyTo.end()) iReplyTo.erase(reply);
}

void CKvGateway::PublishResult(CKveMessagesItem& aMessage, const TReplyTo* aReplyTo) {
  TKvGatewayMark mark = MarkOf(aMessage);
  const bool sent = aMessage.Folder() == EKvFolderSent;
  nlohmann::json result = {{"id", mark.iRequestId},
                           {"result", sent ? "sent" : "failed"},
                           {"message_id", aMessage.Oid()},
                           {"parts", SmsLengthOf(aMessage.SmsFormatMessage()).iParts},
                           {"error", sent ? nlohmann::json(nullptr) : nlohmann::json("the phone did not send it")}};
  const std::string payload = result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  const int id = iClient->Publish(iTopics.iSent, payload, 1, false);
  if (id > 0) iInFlight[id] = aMessage.Oid();
  if (aReplyTo != nullptr && !aReplyTo->iTopic.empty())
    iClient->Publish(aReplyTo->iTopic, payload, 1, false, aReplyTo->iCorrelation);
}

void CKvGateway::PublishRefusal(const std::string& aId, const std::string& aError, const TReplyTo& aReplyTo) {
  nlohmann::json result = {{"id", aId.empty() ? nlohmann::json(nullptr) : nlohmann::json(aId)},
                           {"result", "failed"},
                           {"message_id", nullptr},
                           {"parts", 0},
                           {"error", aError}};
  const std::string payload = result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  iClient->Publish(iTopics.iSent, payload, 1, false);
  if (!aReplyTo.iTopic.empty()) iClient->Publish(aReplyTo.iTopic, payload, 1, false, aReplyTo.iCorrelation);
}

void CKvGateway::DeliveryReportApplied(CEOID aOid) {
  if (!iClient) return;
  TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(aOid)));
  if (!message) return;
  TKvGatewayMark mark = MarkOf(*message);
  if (mark.iRequest == EKvRequestNone) return;
  std::string state, time;
  iHooks.iDelivery(*message, state, time);
  nlohmann::json report = {{"id", mark.iRequestId}, {"message_id", aOid}, {"state", state}, {"time", time}};
  iClient->Publish(iTopics.iDelivery, report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), 1,
                   false);
}

void CKvGateway::MarkPublished(CEOID aOid) {
  TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(aOid)));
  if (!message) return;
  TKvGatewayMark mark = MarkOf(*message);
  if (mark.iPublished) return;
  mark.iPublished = true;
  message->SetGatewayMark(FormatGatewayMark(mark));
  iStore.ReplaceItemL(*message);
}

void CKvGateway::TakeRequest(const TKvMqttMessage& aMessage) {
  TReplyTo replyTo{aMessage.iResponseTopic, aMessage.iCorrelation};
  // A reply address we could not publish to is dropped, not the request.
  if (replyTo.iTopic.size() > 256 || replyTo.iTopic.find_first_of("+#") != std::string::npos) replyTo.iTopic.clear();
  if (replyTo.iCorrelation.size() > 256) replyTo.iCorrelation.clear();
  TKvSendRequest request = ParseSendRequest(aMessage.iPayload);
  if (!request.iValid) {
    PublishRefusal(request.iId, request.iError, replyTo);
    return;
  }
  if (!request.iId.empty()) {
    auto earlier = iRequests.find(request.iId);
    if (earlier != iRequests.end()) {
      TMessage message(static_cast<CKveMessagesItem*>(iStore.ReadItemL(earlier->second)));
      if (message && MarkOf(*message).iRequest != EKvRequestPending) {
        PublishResult(*message, &replyTo);
      } else if (message) {
        // Still on its way: its result goes to this reply address too.
        iReplyTo[earlier->second] = replyTo;
      }
      return;
    }
  }
  std::u16string number, name;
  if (IsPhoneNumber(request.iTo)) {
    number = Utf16Of(request.iTo);
  } else if (!iHooks.iContact(request.iTo, number, name)) {
    PublishRefusal(request.iId, "unknown contact", replyTo);
    return;
  }
  std::u16string text = WithCrLf(Utf16Of(request.iText));
  TConstPtr16 textPtr(text.data(), static_cast<int>(text.size()));
  const int parts = SmsLengthOf(textPtr).iParts;
  if (parts > KSmsMaxParts) {
    PublishRefusal(request.iId, "the text is too long: " + std::to_string(parts) + " messages, at most " +
                                    std::to_string(KSmsMaxParts), replyTo);
    return;
  }
  TMessage message(static_cast<CKveMessagesItem*>(iStore.NewItemL()));
  if (!message) {
    PublishRefusal(request.iId, "the messages store is not available", replyTo);
    return;
  }
  TConstPtr16 nameText(name.data(), static_cast<int>(name.size()));
  TConstPtr16 numberText(number.data(), static_cast<int>(number.size()));
  message->SetDetailsL(&nameText, &textPtr, &numberText, EKvFolderOutbox);
  TKvGatewayMark mark;
  mark.iRequest = EKvRequestPending;
  mark.iReport = request.iReport;
  mark.iRequestId = request.iId;
  message->SetGatewayMark(FormatGatewayMark(mark));
  const CEOID oid = iStore.WriteOwnItemL(*message);
  if (oid == 0) {
    PublishRefusal(request.iId, "the messages store refused the message", replyTo);
    return;
  }
  if (!request.iId.empty()) iRequests[request.iId] = oid;
  if (!replyTo.iTopic.empty()) iReplyTo[oid] = replyTo;
  iSendQueue.Push({oid, request.iReport});
  iHooks.iSendWanted();
}

void CKvGateway::TakeUssd(const TKvMqttMessage& aMessage) {
  TReplyTo replyTo{aMessage.iResponseTopic, aMessage.iCorrelation};
  if (replyTo.iTopic.size() > 256 || replyTo.iTopic.find_first_of("+#") != std::string::npos) replyTo.iTopic.clear();
  if (replyTo.iCorrelation.size() > 256) replyTo.iCorrelation.clear();
  TKvUssdRequest request = ParseUssdRequest(aMessage.iPayload);
  std::string refusal = request.iError;
  std::vector<std::u16string> answers;
  for (const std::string& reply : request.iReplies) answers.push_back(Utf16Of(reply));
  if (request.iValid && (iUssdRunning || !iUssdSlot.Offer(Utf16Of(request.iCode), answers)))
    refusal = "busy: another USSD session is running";
  if (!refusal.empty()) {
    // Answered at once; a running session keeps its own answer to come.
    PublishUssdAnswer(request.iId, request.iCode, replyTo, TKvUssdOutcome(), refusal);
    return;
  }
  iUssdRunning = true;
  iUssdId = request.iId;
  iUssdCode = request.iCode;
  iUssdReplyTo = replyTo;
  if (iHooks.iUssdWanted) iHooks.iUssdWanted();
}

void CKvGateway::UssdAnswered() {
  TKvUssdOutcome outcome;
  if (!iUssdSlot.TakeOutcome(outcome)) return;
  iUssdRunning = false;
  PublishUssdAnswer(iUssdId, iUssdCode, iUssdReplyTo, outcome, outcome.iOk ? std::string() : Utf8Of(outcome.iError));
}

void CKvGateway::PublishUssdAnswer(const std::string& aId, const std::string& aCode, const TReplyTo& aReplyTo,
                                   const TKvUssdOutcome& aOutcome, const std::string& aError) {
  nlohmann::json replies = nlohmann::json::array();
  for (const auto& [menu, text] : aOutcome.iReplies) replies.push_back({{"menu", menu}, {"text", ReplyText(text)}});
  nlohmann::json answer = {{"id", aId.empty() ? nlohmann::json(nullptr) : nlohmann::json(aId)},
                           {"code", aCode.empty() ? nlohmann::json(nullptr) : nlohmann::json(aCode)},
                           {"result", aError.empty() ? "ok" : "failed"},
                           {"reply", replies.empty() ? nlohmann::json(nullptr) : replies.back()["text"]},
                           {"replies", replies},
                           {"error", aError.empty() ? nlohmann::json(nullptr) : nlohmann::json(aError)}};
  const std::string payload = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  iClient->Publish(iTopics.iUssdReply, payload, 1, false);
  if (!aReplyTo.iTopic.empty()) iClient->Publish(aReplyTo.iTopic, payload, 1, false, aReplyTo.iCorrelation);
}

void CKvGateway::HandlePending() {
  std::deque<TInbound*> inbound;
  std::deque<int> acknowledged;
  {
    std::lock_guard<std::mutex> hold(iLock);
    inbound.swap(iInbound);
    acknowledged.swap(iAcknowledged);
  }
  for (int id : acknowledged) {
    auto found = iInFlight.find(id);
    if (found == iInFlight.end()) continue;
    const CEOID oid = found->second;
    iInFlight.erase(found);
    MarkPublished(oid);
  }
  for (TInbound* each : inbound) {
    if (each->iMessage.iTopic == iTopics.iUssd)
      TakeUssd(each->iMessage);
    else
      TakeRequest(each->iMessage);
    std::lock_guard<std::mutex> hold(iLock);
    each->iDone = true;
  }
  if (!inbound.empty()) iHandled.notify_all();
}

void CKvGateway::PublishStatus(const std::string& aJson, bool aAgain) {
  {
    std::lock_guard<std::mutex> hold(iLock);
    if (!aAgain && aJson == iStatusJson) return;
    iStatusJson = aJson;
    // Away, it waits for the next connection, which publishes the latest.
    if (!iConnectedNow) return;
  }
  if (iClient) iClient->Publish(iTopics.iStatus, aJson, 1, true);
}

void CKvGateway::SetRetainedAtConnect(std::vector<std::pair<std::string, std::string>> aMessages) {
  std::vector<std::pair<std::string, std::string>> changed;
  {
    std::lock_guard<std::mutex> hold(iLock);
    if (aMessages == iRetainedAtConnect) return;
    for (const auto& message : aMessages)
      if (std::find(iRetainedAtConnect.begin(), iRetainedAtConnect.end(), message) == iRetainedAtConnect.end())
        changed.push_back(message);
    iRetainedAtConnect = std::move(aMessages);
    // Away, the next connection publishes them all.
    if (!iConnectedNow) return;
  }
  for (const auto& [topic, payload] : changed)
    if (iClient) iClient->Publish(topic, payload, 1, true);
}

void CKvGateway::RepublishStatus() {
  std::string status;
  {
    std::lock_guard<std::mutex> hold(iLock);
    status = iStatusJson;
  }
  if (!status.empty()) PublishStatus(status, true);
}

void CKvGateway::MqttConnected(bool) {
  std::string status;
  std::vector<std::pair<std::string, std::string>> retained;
  {
    std::lock_guard<std::mutex> hold(iLock);
    iEverConnected = true;
    iConnectedNow = true;
    status = iStatusJson;
    retained = iRetainedAtConnect;
  }
  iClient->Subscribe({iTopics.iSend, iTopics.iFleetSend, iTopics.iUssd}, 1);
  for (const auto& [topic, payload] : retained) iClient->Publish(topic, payload, 1, true);
  iClient->Publish(iTopics.iAvailability, "online", 1, true);
  if (!status.empty()) iClient->Publish(iTopics.iStatus, status, 1, true);
  iHooks.iSay("Connected to the broker");
}

void CKvGateway::MqttDisconnected(int aCode, const std::string& aReason) {
  bool lasting = false;
  {
    std::lock_guard<std::mutex> hold(iLock);
    iConnectedNow = false;
    if (iStopping) {
      iDisconnected = true;
      iHandled.notify_all();
      return;
    }
    lasting = !iEverConnected && CKvMqttClient::IsLasting(aCode);
    if (lasting) iLastingFailure = aReason;
  }
  iHooks.iSay(aReason);
  if (lasting) iHooks.iWake();
}

void CKvGateway::MqttPublished(int aId) {
  {
    std::lock_guard<std::mutex> hold(iLock);
    iAcknowledged.push_back(aId);
  }
  iHooks.iWake();
}

// On the client's thread: the request is stored by the owning thread before
// this returns, and only then does the broker hear it was taken.
void CKvGateway::MqttMessage(const TKvMqttMessage& aMessage) {
  if (aMessage.iTopic != iTopics.iSend && aMessage.iTopic != iTopics.iFleetSendTopic && aMessage.iTopic != iTopics.iUssd)
    return;
  TInbound inbound{aMessage};
  std::unique_lock<std::mutex> hold(iLock);
  if (iDisconnected) return;
  iInbound.push_back(&inbound);
  hold.unlock();
  iHooks.iWake();
  hold.lock();
  iHandled.wait(hold, [&] { return inbound.iDone; });
}
