// Our one door to MQTT: a thin wrapper over libmosquitto speaking MQTT 5.
// The network thread is ours: libmosquitto's own ends silently when a TLS
// handshake fails, so a refused certificate would never be heard of. Ours
// runs libmosquitto's loop, reconnects with a back-off, and tells every
// failure; libmosquitto keeps QoS 1 messages queued in order while the
// broker is away. The class turns C call-backs into calls on an observer
// and error codes into words. The observer is called on the network thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;
typedef struct mqtt5__property mosquitto_property;

struct TKvMqttSettings {
  std::string iHost;
  int iPort = 1883;
  bool iTls = false;
  std::string iClientId;
  std::string iUsername;
  std::string iPassword;
  std::string iCaFile;
  std::string iCertFile;
  std::string iKeyFile;
  // Published by the broker for us when the connection is lost.
  std::string iWillTopic;
  std::string iWillPayload;
  int iKeepAliveSeconds = 30;
};

// One message received, with its MQTT 5 reply address when it had one.
struct TKvMqttMessage {
  std::string iTopic;
  std::string iPayload;
  std::string iResponseTopic;
  std::string iCorrelation;  // binary, as sent
};

class MKvMqttObserver {
 public:
  // Connected (again); aSessionPresent: the broker kept our subscriptions.
  virtual void MqttConnected(bool aSessionPresent) = 0;
  // The connection was refused or lost (aCode: libmosquitto's error or the
  // broker's reason); aReason says why in words.
  virtual void MqttDisconnected(int aCode, const std::string& aReason) = 0;
  // The broker acknowledged the QoS 1 message aId.
  virtual void MqttPublished(int aId) = 0;
  // A message on a subscribed topic. For QoS 1 the broker hears it was taken
  // only after this returns, so what must not be lost is kept before then.
  virtual void MqttMessage(const TKvMqttMessage& aMessage) = 0;

 protected:
  ~MKvMqttObserver() = default;
};

class CKvMqttClient {
 public:
  // Null with a reason in aError (bad settings, files that do not load).
  static CKvMqttClient* NewL(const TKvMqttSettings& aSettings, MKvMqttObserver& aObserver, std::string& aError);
  ~CKvMqttClient();
  CKvMqttClient(const CKvMqttClient&) = delete;
  CKvMqttClient& operator=(const CKvMqttClient&) = delete;

  // Starts connecting in the background; 0, or an error with aError set.
  int Start(std::string& aError);
  // Publishes aOffline retained on aTopic (when given) and disconnects
  // cleanly; the network thread ends once the broker has it (MqttDisconnected).
  void Disconnect(const std::string& aTopic = "", const std::string& aOffline = "");
  // Disconnects when still connected, and ends the network thread.
  void Stop();

  // Queues a message; its identifier (> 0, for MqttPublished), or a
  // negative error. A QoS 1 message taken while the broker is away is sent
  // once it is back.
  // aCorrelation and aResponseTopic, when given, go as MQTT 5 properties.
  int Publish(const std::string& aTopic, const std::string& aPayload, int aQos, bool aRetain,
              const std::string& aCorrelation = "", const std::string& aResponseTopic = "");
  int Subscribe(const std::vector<std::string>& aTopics, int aQos);

  // The text of a libmosquitto error or connection refusal.
  static std::string ErrorText(int aCode);
  // As ErrorText, with what the TLS library said of a failed handshake
  // ("certificate verify failed") when it said something.
  std::string Reason(int aCode);
  // A failure no retry mends: the certificate, or the broker refusing us.
  static bool IsLasting(int aCode);

 private:
  CKvMqttClient(MKvMqttObserver& aObserver);
  int ConstructL(const TKvMqttSettings& aSettings, std::string& aError);
  static void OnConnect(struct mosquitto*, void* aThis, int aCode, int aFlags, const mosquitto_property*);
  static void OnDisconnect(struct mosquitto*, void* aThis, int aCode, const mosquitto_property*);
  static void OnPublish(struct mosquitto*, void* aThis, int aId, int aReason, const mosquitto_property*);
  static void OnMessage(struct mosquitto*, void* aThis, const struct mosquitto_message* aMessage,
                        const mosquitto_property* aProperties);
  static void OnLog(struct mosquitto*, void* aThis, int aLevel, const char* aText);
  void RunNetwork(int aFirstResult);
  // Tells the observer of a failure, once per outage (a lasting failure
  // after a passing one is told too).
  void TellFailure(int aCode, const std::string& aReason);

  MKvMqttObserver& iObserver;
  struct mosquitto* iMosq = nullptr;
  TKvMqttSettings iSettings;
  std::thread iNetwork;
  bool iLoopRunning = false;
  std::atomic<bool> iDisconnecting{false};
  // Guards what follows; iWake ends the wait between reconnections.
  std::mutex iLock;
  std::condition_variable iWake;
  bool iStopWanted = false;
  std::chrono::steady_clock::time_point iStopAt;
  bool iOutageTold = false;
  int iToldCode = 0;
  int iRetrySeconds = 1;
  std::string iTlsDetail;  // the TLS library's last complaint, printable
};
