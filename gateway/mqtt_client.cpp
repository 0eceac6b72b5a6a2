#include "gateway/mqtt_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

std::once_flag gLibraryReady;
// How long one turn of the network loop waits for the socket: the loop
// looks after the keep-alive between turns, as libmosquitto's own does.
const int KLoopWaitMs = 1000;
const int KMaxRetrySeconds = 30;
// A clean stop lets the DISCONNECT go out for this long.
const auto KStopGrace = std::chrono::seconds(2);
const size_t KMaxTlsDetail = 160;

bool IsTlsFailure(int aCode) { return aCode == MOSQ_ERR_TLS || aCode == MOSQ_ERR_TLS_HANDSHAKE; }

}  // namespace

CKvMqttClient::CKvMqttClient(MKvMqttObserver& aObserver) : iObserver(aObserver) {}

CKvMqttClient* CKvMqttClient::NewL(const TKvMqttSettings& aSettings, MKvMqttObserver& aObserver, std::string& aError) {
  std::call_once(gLibraryReady, [] { mosquitto_lib_init(); });
  CKvMqttClient* self = new CKvMqttClient(aObserver);
  if (self->ConstructL(aSettings, aError) != MOSQ_ERR_SUCCESS) {
    delete self;
    return nullptr;
  }
  return self;
}

int CKvMqttClient::ConstructL(const TKvMqttSettings& aSettings, std::string& aError) {
  iSettings = aSettings;
  // A persistent session: what the broker holds for us while we are away
  // (requests on our topics) is delivered when we are back.
  iMosq = mosquitto_new(aSettings.iClientId.c_str(), false, this);
  if (iMosq == nullptr) {
    aError = "cannot make the MQTT client";
    return MOSQ_ERR_NOMEM;
  }
  int r = mosquitto_int_option(iMosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  if (r == MOSQ_ERR_SUCCESS && (!aSettings.iUsername.empty() || !aSettings.iPassword.empty()))
    r = mosquitto_username_pw_set(iMosq, aSettings.iUsername.empty() ? nullptr : aSettings.iUsername.c_str(),
                                  aSettings.iPassword.empty() ? nullptr : aSettings.iPassword.c_str());
  if (r == MOSQ_ERR_SUCCESS && aSettings.iTls) {
    r = mosquitto_tls_set(iMosq, aSettings.iCaFile.empty() ? nullptr : aSettings.iCaFile.c_str(),
                          aSettings.iCaFile.empty() ? "/etc/ssl/certs" : nullptr,
                          aSettings.iCertFile.empty() ? nullptr : aSettings.iCertFile.c_str(),
                          aSettings.iKeyFile.empty() ? nullptr : aSettings.iKeyFile.c_str(), nullptr);
    if (r != MOSQ_ERR_SUCCESS) {
      aError = "the TLS files do not load: " + ErrorText(r);
      return r;
    }
  }
  if (r == MOSQ_ERR_SUCCESS && !aSettings.iWillTopic.empty()) {
    r = mosquitto_will_set_v5(iMosq, aSettings.iWillTopic.c_str(), static_cast<int>(aSettings.iWillPayload.size()),
                              aSettings.iWillPayload.data(), 1, true, nullptr);
  }
  if (r != MOSQ_ERR_SUCCESS) {
    aError = ErrorText(r);
    return r;
  }
  // Our thread runs the loop while others publish.
  mosquitto_threaded_set(iMosq, true);
  mosquitto_log_callback_set(iMosq, OnLog);
  mosquitto_connect_v5_callback_set(iMosq, OnConnect);
  mosquitto_disconnect_v5_callback_set(iMosq, OnDisconnect);
  mosquitto_publish_v5_callback_set(iMosq, OnPublish);
  mosquitto_message_v5_callback_set(iMosq, OnMessage);
  return MOSQ_ERR_SUCCESS;
}

CKvMqttClient::~CKvMqttClient() {
  Stop();
  if (iMosq != nullptr) mosquitto_destroy(iMosq);
}

int CKvMqttClient::Start(std::string& aError) {
  mosquitto_property* properties = nullptr;
  // The broker keeps the session a day after we went: long enough for a
  // gateway restarted or a broker restarted, not for ever.
  mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, 24 * 60 * 60);
  int r = mosquitto_connect_bind_v5(iMosq, iSettings.iHost.c_str(), iSettings.iPort, iSettings.iKeepAliveSeconds,
                                    nullptr, properties);
  mosquitto_property_free_all(&properties);
  // A broker that is not up yet is tried again by the loop; a certificate
  // or an address that can never work is the user's to fix.
  if (r != MOSQ_ERR_SUCCESS && r != MOSQ_ERR_ERRNO && r != MOSQ_ERR_CONN_REFUSED && r != MOSQ_ERR_NO_CONN) {
    aError = Reason(r);
    return r;
  }
  iNetwork = std::thread([this, r] { RunNetwork(r); });
  iLoopRunning = true;
  return MOSQ_ERR_SUCCESS;
}

// libmosquitto's loop until it fails, then a wait (1 s doubling to 30 s,
// ended early by Stop) and a new connection, until our own disconnection
// is through or Stop wants the thread back.
void CKvMqttClient::RunNetwork(int aFirstResult) {
  int r = aFirstResult;
  for (;;) {
    while (r == MOSQ_ERR_SUCCESS) {
      r = mosquitto_loop(iMosq, KLoopWaitMs, 1);
      std::lock_guard<std::mutex> hold(iLock);
      if (iStopWanted && std::chrono::steady_clock::now() >= iStopAt) return;
    }
    if (iDisconnecting) return;
    TellFailure(r, "cannot connect to the broker: " + Reason(r));
    {
      std::unique_lock<std::mutex> hold(iLock);
      const int wait = iRetrySeconds;
      iRetrySeconds = std::min(iRetrySeconds * 2, KMaxRetrySeconds);
      if (iWake.wait_for(hold, std::chrono::seconds(wait), [&] { return iStopWanted; })) return;
      iTlsDetail.clear();
    }
    if (iDisconnecting) return;
    r = mosquitto_reconnect(iMosq);
  }
}

void CKvMqttClient::TellFailure(int aCode, const std::string& aReason) {
  {
    std::lock_guard<std::mutex> hold(iLock);
    // One line per outage; a certificate or a refusal that follows a broker
    // that was away is told as well, for it will not mend.
    const bool newlyLasting = IsLasting(aCode) && !IsLasting(iToldCode);
    if (iOutageTold && !newlyLasting) return;
    iOutageTold = true;
    iToldCode = aCode;
  }
  iObserver.MqttDisconnected(aCode, aReason);
}

void CKvMqttClient::Disconnect(const std::string& aTopic, const std::string& aOffline) {
  if (!iLoopRunning || iDisconnecting) return;
  iDisconnecting = true;
  if (!aTopic.empty())
    mosquitto_publish_v5(iMosq, nullptr, aTopic.c_str(), static_cast<int>(aOffline.size()), aOffline.data(), 1, true,
                         nullptr);
  // A clean disconnect: the broker drops the will, our "offline" stands.
  mosquitto_disconnect_v5(iMosq, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
}

void CKvMqttClient::Stop() {
  if (!iLoopRunning) return;
  Disconnect();
  {
    std::lock_guard<std::mutex> hold(iLock);
    iStopWanted = true;
    iStopAt = std::chrono::steady_clock::now() + KStopGrace;
  }
  iWake.notify_all();
  iNetwork.join();
  iLoopRunning = false;
}

int CKvMqttClient::Publish(const std::string& aTopic, const std::string& aPayload, int aQos, bool aRetain,
                           const std::string& aCorrelation, const std::string& aResponseTopic) {
  mosquitto_property* properties = nullptr;
  if (!aResponseTopic.empty())
    mosquitto_property_add_string(&properties, MQTT_PROP_RESPONSE_TOPIC, aResponseTopic.c_str());
  if (!aCorrelation.empty())
    mosquitto_property_add_binary(&properties, MQTT_PROP_CORRELATION_DATA, aCorrelation.data(),
                                  static_cast<uint16_t>(aCorrelation.size()));
  int id = 0;
  int r = mosquitto_publish_v5(iMosq, &id, aTopic.c_str(), static_cast<int>(aPayload.size()), aPayload.data(), aQos,
                               aRetain, properties);
  mosquitto_property_free_all(&properties);
  // Not connected: a QoS 1 message is queued all the same, and sent on
  // reconnection.
  if (r == MOSQ_ERR_SUCCESS || (r == MOSQ_ERR_NO_CONN && aQos > 0)) return id;
  return r > 0 ? -r : -1;
}

int CKvMqttClient::Subscribe(const std::vector<std::string>& aTopics, int aQos) {
  for (const std::string& topic : aTopics) {
    int r = mosquitto_subscribe_v5(iMosq, nullptr, topic.c_str(), aQos, 0, nullptr);
    if (r != MOSQ_ERR_SUCCESS) return r;
  }
  return MOSQ_ERR_SUCCESS;
}

std::string CKvMqttClient::ErrorText(int aCode) {
  switch (aCode) {
    case MQTT_RC_NOT_AUTHORIZED:
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD: return "the broker refused the user name or password";
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE: return "the TLS handshake failed (is the CA file the broker's?)";
    default: break;
  }
  if (aCode > 128) return mosquitto_reason_string(aCode);
  return mosquitto_strerror(aCode);
}

std::string CKvMqttClient::Reason(int aCode) {
  std::string text = ErrorText(aCode);
  std::lock_guard<std::mutex> hold(iLock);
  if (IsTlsFailure(aCode) && !iTlsDetail.empty()) text += ": " + iTlsDetail;
  return text;
}

bool CKvMqttClient::IsLasting(int aCode) {
  return aCode == MOSQ_ERR_TLS || aCode == MOSQ_ERR_TLS_HANDSHAKE || aCode == MQTT_RC_NOT_AUTHORIZED ||
         aCode == MQTT_RC_BAD_USERNAME_OR_PASSWORD || aCode == MOSQ_ERR_AUTH || aCode == MOSQ_ERR_CONN_REFUSED;
}

void CKvMqttClient::OnConnect(struct mosquitto*, void* aThis, int aCode, int aFlags, const mosquitto_property*) {
  auto* self = static_cast<CKvMqttClient*>(aThis);
  if (aCode == 0) {
    {
      std::lock_guard<std::mutex> hold(self->iLock);
      self->iOutageTold = false;
      self->iToldCode = 0;
      self->iRetrySeconds = 1;
    }
    self->iObserver.MqttConnected((aFlags & 1) != 0);
  } else {
    self->TellFailure(aCode, "the broker refused the connection: " + ErrorText(aCode));
  }
}

void CKvMqttClient::OnDisconnect(struct mosquitto*, void* aThis, int aCode, const mosquitto_property*) {
  auto* self = static_cast<CKvMqttClient*>(aThis);
  if (aCode == 0) {
    self->iObserver.MqttDisconnected(aCode, "disconnected");
    return;
  }
  self->TellFailure(aCode, "the connection was lost: " + self->Reason(aCode));
}

// Keeps what the TLS library said of a failed handshake; the rest of the
// library's log is not ours to print.
void CKvMqttClient::OnLog(struct mosquitto*, void* aThis, int aLevel, const char* aText) {
  if ((aLevel & MOSQ_LOG_ERR) == 0 || aText == nullptr || std::strncmp(aText, "OpenSSL Error", 13) != 0) return;
  // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
  const char* last = std::strrchr(aText, ':');
  std::string detail;
  for (const char* c = last != nullptr ? last + 1 : aText; *c != '\0' && detail.size() < KMaxTlsDetail; ++c)
    if (*c >= ' ' && *c <= '~') detail += *c;
  while (!detail.empty() && detail.front() == ' ') detail.erase(detail.begin());
  if (detail.empty()) return;
  auto* self = static_cast<CKvMqttClient*>(aThis);
  std::lock_guard<std::mutex> hold(self->iLock);
  // The first complaint of a handshake is the cause; the rest follow from it.
  if (self->iTlsDetail.empty()) self->iTlsDetail = detail;
}

void CKvMqttClient::OnPublish(struct mosquitto*, void* aThis, int aId, int, const mosquitto_property*) {
  static_cast<CKvMqttClient*>(aThis)->iObserver.MqttPublished(aId);
}

void CKvMqttClient::OnMessage(struct mosquitto*, void* aThis, const struct mosquitto_message* aMessage,
                              const mosquitto_property* aProperties) {
  TKvMqttMessage message;
  message.iTopic = aMessage->topic != nullptr ? aMessage->topic : "";
  if (aMessage->payloadlen > 0)
    message.iPayload.assign(static_cast<const char*>(aMessage->payload), static_cast<size_t>(aMessage->payloadlen));
  char* responseTopic = nullptr;
  if (mosquitto_property_read_string(aProperties, MQTT_PROP_RESPONSE_TOPIC, &responseTopic, false) != nullptr &&
      responseTopic != nullptr) {
    message.iResponseTopic = responseTopic;
    free(responseTopic);
  }
  void* correlation = nullptr;
  uint16_t length = 0;
  if (mosquitto_property_read_binary(aProperties, MQTT_PROP_CORRELATION_DATA, &correlation, &length, false) != nullptr &&
      correlation != nullptr) {
    message.iCorrelation.assign(static_cast<const char*>(correlation), length);
    free(correlation);
  }
  static_cast<CKvMqttClient*>(aThis)->iObserver.MqttMessage(message);
}
