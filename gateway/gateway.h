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
  // A line for the user (standard error), plain text.
  std::function<void(const std::string&)> iSay;
};

class CKvGateway : private MKvMqttObserver {
 public:
  CKvGateway(const TKvGatewayTopics& aTopics, CKveMessagesDatabase& aStore, TKvGatewayHooks aHooks);
  ~CKvGateway();

  // Reads the store for what is owed (unpublished messages and results,
  // requests not sent) and connects. False with aError when the client
  // cannot start.
  bool Start(const TKvMqttSettings& aSettings, std::string& aError);
  // "offline", then a clean disconnect.
  void Stop();

  // Retained messages (topic, payload) published at every connection before
  // "online": discovery configs. Set before Start.
  void SetRetainedAtConnect(std::vector<std::pair<std::string, std::string>> aMessages) {
    iRetainedAtConnect = std::move(aMessages);
  }

  TKvSendQueue& SendQueue() { return iSendQueue; }
  // A lasting failure to connect (certificate, credentials): the gateway
  // should end with it. Empty while none.
  std::string LastingFailure();

  // On the owning thread: the engine's notices, and the hand-overs.
  void MessageStored(CEOID aOid);
  void MessageSent(CEOID aOid, bool aSent);
  void DeliveryReportApplied(CEOID aOid);
  void HandlePending();

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
  // Message ids of QoS 1 publications to the records they mark.
  std::map<int, CEOID> iInFlight;
  std::vector<std::pair<std::string, std::string>> iRetainedAtConnect;

  // Handed over by the client's thread.
  std::mutex iLock;
  std::condition_variable iHandled;
  std::deque<TInbound*> iInbound;
  std::deque<int> iAcknowledged;
  std::string iLastingFailure;
  bool iEverConnected = false;
  bool iConnectedNow = false;
  bool iStopping = false;
  bool iDisconnected = false;  // after Stop's disconnection
};
