// A client of the test's own on the gateway's broker: subscribes to the
// topics it is given and keeps what arrives, topic by topic.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gateway/mqtt_client.h"
#include "wait_until.h"

class TMqttProbe : private MKvMqttObserver {
 public:
  bool Start(int aPort, const std::string& aClientId, std::vector<std::string> aTopics) {
    iTopics = std::move(aTopics);
    TKvMqttSettings settings;
    settings.iHost = "127.0.0.1";
    settings.iPort = aPort;
    settings.iClientId = aClientId;
    std::string error;
    iClient.reset(CKvMqttClient::NewL(settings, *this, error));
    if (!iClient || iClient->Start(error) != 0) return false;
    return kvtest::WaitUntil([&] { return Subscribed(); });
  }
  void Stop() {
    if (iClient) iClient->Stop();
    iClient.reset();
  }
  ~TMqttProbe() { Stop(); }

  std::map<std::string, std::vector<TKvMqttMessage>> All() {
    std::lock_guard<std::mutex> hold(iLock);
    return iMessages;
  }
  std::vector<TKvMqttMessage> On(const std::string& aTopic) {
    std::lock_guard<std::mutex> hold(iLock);
    return iMessages[aTopic];
  }
  std::vector<nlohmann::json> JsonOn(const std::string& aTopic) {
    std::vector<nlohmann::json> values;
    for (const TKvMqttMessage& message : On(aTopic)) values.push_back(nlohmann::json::parse(message.iPayload, nullptr, false));
    return values;
  }
  std::string Last(const std::string& aTopic) {
    std::vector<TKvMqttMessage> messages = On(aTopic);
    return messages.empty() ? "" : messages.back().iPayload;
  }
  bool WaitCount(const std::string& aTopic, size_t aCount) {
    return kvtest::WaitUntil([&] { return On(aTopic).size() >= aCount; });
  }
  void Publish(const std::string& aTopic, const std::string& aPayload, const std::string& aResponseTopic = "",
               const std::string& aCorrelation = "") {
    ASSERT_GT(iClient->Publish(aTopic, aPayload, 1, false, aCorrelation, aResponseTopic), 0);
  }
  bool Subscribed() {
    std::lock_guard<std::mutex> hold(iLock);
    return iConnected;
  }

 private:
  void MqttConnected(bool) override {
    iClient->Subscribe(iTopics, 1);
    std::lock_guard<std::mutex> hold(iLock);
    iConnected = true;
  }
  void MqttDisconnected(int, const std::string&) override {
    std::lock_guard<std::mutex> hold(iLock);
    iConnected = false;
  }
  void MqttPublished(int) override {}
  void MqttMessage(const TKvMqttMessage& aMessage) override {
    std::lock_guard<std::mutex> hold(iLock);
    iMessages[aMessage.iTopic].push_back(aMessage);
  }

  std::unique_ptr<CKvMqttClient> iClient;
  std::vector<std::string> iTopics;
  std::mutex iLock;
  std::map<std::string, std::vector<TKvMqttMessage>> iMessages;
  bool iConnected = false;
};

