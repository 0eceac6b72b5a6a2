// The gateway between a listening engine and an MQTT broker. Received
// messages are published once each, in order, and marked in the store when
// the broker has them; send requests become Outbox messages (stored before
// the broker hears they were taken), are sent by the listening engine, and
// answered with their results. Everything that touches the store runs on
// the thread that made the gateway; the MQTT client's thread only hands
// work over and wakes it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <windbase.h>

#include "engine/send_queue.h"
#include "engine/ussd_slot.h"
#include "gateway/gateway_topics.h"
#include "gateway/mqtt_client.h"

class CKveMessagesDatabase;
class CKveMessagesItem;

struct TKvGatewayHooks {
  // A received message as JSON, as the messages list prints it.
  std::function<std::string(CKveMessagesItem&)> iMessageJson;
  // A Sent message's delivery: its state word and time.
  std::function<void(CKveMessagesItem&, std::string& aState, std::string& aTime)> iDelivery;
  // The number of the contact named aName; false when there is none.
  std::function<bool(const std::string& aName, std::u16string& aNumber, std::u16string& aContact)> iContact;
  // Wakes the owning thread to run HandlePending (from any thread).
  std::function<void()> iWake;
  // The send queue grew: the listening engine is told.
  std::function<void()> iSendWanted;
  // A USSD session waits in the slot: the listening engine is told.
  std::function<void()> iUssdWanted;
  // A line for the user (standard error), plain text.
  std::function<void(const std::string&)> iSay;
};

class CKvGateway : private MKvMqttObserver {
 public:
  CKvGateway(const TKvGatewayTopics& aTopics, CKveMessagesDatabase& aStore, TKvGatewayHooks aHooks);
  ~CKvGateway();

  // The topics, when the id is known only once the phone has answered (its
  // IMEI): before Start. Messages stored until then are published at Start.
  void SetTopics(const TKvGatewayTopics& aTopics) { iTopics = aTopics; }
  bool Started() const { return iClient != nullptr; }

  // Reads the store for what is owed (unpublished messages and results,
  // requests not sent) and connects. False with aError when the client
  // cannot start.
  bool Start(const TKvMqttSettings& aSettings, std::string& aError);
  // "offline", then a clean disconnect.
  void Stop();

  // Retained messages (topic, payload) published at every connection before
  // "online": discovery configs. Set again (the phone described itself),
  // the ones that changed are published at once when connected.
  void SetRetainedAtConnect(std::vector<std::pair<std::string, std::string>> aMessages);

  TKvSendQueue& SendQueue() { return iSendQueue; }
  TKvUssdSlot& UssdSlot() { return iUssdSlot; }
  // A lasting failure to connect (certificate, credentials): the gateway
  // should end with it. Empty while none.
  std::string LastingFailure();

  // On the owning thread: the engine's notices, and the hand-overs.
  void MessageStored(CEOID aOid);
  void MessageSent(CEOID aOid, bool aSent);
  void DeliveryReportApplied(CEOID aOid);
  void HandlePending();
  // The engine ended the USSD session of the slot: its answer is published.
  void UssdAnswered();
  // The phone's status as JSON, retained on P/I/status: published when it
  // changed (or always with aAgain), and again at each connection.
  void PublishStatus(const std::string& aJson, bool aAgain);
  // The last status again, so that a retained one never grows stale.
  void RepublishStatus();

 private:
  struct TReplyTo {
    std::string iTopic;
    std::string iCorrelation;
  };
  struct TInbound {
    TKvMqttMessage iMessage;
    bool iDone = false;
  };
  void MqttConnected(bool aSessionPresent) override;
  void MqttDisconnected(int aCode, const std::string& aReason) override;
  void MqttPublished(int aId) override;
  void MqttMessage(const TKvMqttMessage& aMessage) override;

  void TakeRequest(const TKvMqttMessage& aMessage);
  void TakeUssd(const TKvMqttMessage& aMessage);
  void PublishUssdAnswer(const std::string& aId, const std::string& aCode, const TReplyTo& aReplyTo,
                         const TKvUssdOutcome& aOutcome, const std::string& aError);
  void PublishReceived(CKveMessagesItem& aMessage);
  void PublishResult(CKveMessagesItem& aMessage, const TReplyTo* aReplyTo);
  void PublishRefusal(const std::string& aId, const std::string& aError, const TReplyTo& aReplyTo);
  void MarkPublished(CEOID aOid);
  void ReadOwedWork();

  TKvGatewayTopics iTopics;
  CKveMessagesDatabase& iStore;
  TKvGatewayHooks iHooks;
  std::unique_ptr<CKvMqttClient> iClient;
  TKvSendQueue iSendQueue;
  // Request ids taken (kept in the store too), to their records.
  std::map<std::string, CEOID> iRequests;
  std::map<CEOID, TReplyTo> iReplyTo;
  // The USSD session running (one at a time): who asked, and where to answer.
  TKvUssdSlot iUssdSlot;
  bool iUssdRunning = false;
  std::string iUssdId;
  std::string iUssdCode;
  TReplyTo iUssdReplyTo;
  // Message ids of QoS 1 publications to the records they mark.
  std::map<int, CEOID> iInFlight;
  std::vector<std::pair<std::string, std::string>> iRetainedAtConnect;

  // Handed over by the client's thread.
  std::mutex iLock;
  std::condition_variable iHandled;
  std::deque<TInbound*> iInbound;
  std::deque<int> iAcknowledged;
  std::string iLastingFailure;
  std::string iStatusJson;  // the last status, for each new connection
  bool iEverConnected = false;
  bool iConnectedNow = false;
  bool iStopping = false;
  bool iDisconnected = false;  // after Stop's disconnection
};
