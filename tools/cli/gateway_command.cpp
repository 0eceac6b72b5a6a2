// 'gateway': listening as 'listen' does, with an MQTT client: each stored
// message published, send requests taken into the Outbox and sent by the
// listening engine, their results and delivery reports published.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "exchange/message_json.h"
#include "gateway/gateway.h"
#include "gateway/send_request.h"
#include "kernel/errors.h"
#include "store/message_gateway.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"
#include "tools/cli/gateway_discovery.h"
#include "tools/cli/periodic_post.h"
#include "tools/cli/status_json.h"

namespace kvcli {
namespace {

const UINT KCliGatewayWake = WM_APP + 2;
const UINT KCliGatewayStatusDue = WM_APP + 3;
// The retained status is published again this often, changed or not.
const std::chrono::minutes KStatusRepublish(5);
const size_t KMaxSecretBytes = 256;
const size_t KMaxHostBytes = 253;

struct TBroker {
  std::string iHost;
  int iPort = 0;
  bool iTls = false;
};

TBroker ParseBroker(const std::string& aUrl) {
  TBroker broker;
  std::string rest;
  if (aUrl.rfind("mqtt://", 0) == 0) {
    rest = aUrl.substr(7);
    broker.iPort = 1883;
  } else if (aUrl.rfind("mqtts://", 0) == 0) {
    rest = aUrl.substr(8);
    broker.iPort = 8883;
    broker.iTls = true;
  } else {
    throw TUsageError("--broker needs mqtt://HOST[:PORT] or mqtts://HOST[:PORT]", "gateway");
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  const size_t colon = rest.find(':');
  broker.iHost = rest.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string port = rest.substr(colon + 1);
    int value = 0;
    bool digits = !port.empty() && port.size() <= 5;
    for (char c : port) {
      if (c < '0' || c > '9') digits = false;
      if (digits) value = value * 10 + (c - '0');
    }
    if (!digits || value < 1 || value > 65535) throw TUsageError("the broker's port must be 1 to 65535", "gateway");
    broker.iPort = value;
  }
  bool hostOk = !broker.iHost.empty() && broker.iHost.size() <= KMaxHostBytes;
  for (char c : broker.iHost)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
      hostOk = false;
  if (!hostOk) throw TUsageError("the broker's host name is not valid", "gateway");
  return broker;
}

std::string Word(const TParsedOptions& aOptions, const std::string& aName, const std::string& aDefault) {
  std::string value = aOptions.Value(aName).value_or(aDefault);
  if (!IsTopicWord(value))
    throw TUsageError("--" + aName + " takes 1 to " + std::to_string(KKvMaxTopicWord) +
                          " letters, digits, '.', '_' or '-'",
                      "gateway");
  return value;
}

// A secret is read from a file only its owner can read, never taken as an
// argument (others see a process's arguments).
std::string ReadSecretFile(const std::string& aPath) {
  struct stat info {};
  if (stat(aPath.c_str(), &info) != 0) throw TCommandError("gateway: cannot read the password file " + Printable(aPath));
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
    throw TCommandError("gateway: the password file " + Printable(aPath) +
                        " can be read by others; make it private (chmod 600)");
  std::ifstream in(aPath, std::ios::binary);
  std::string secret;
  char c;
  while (in.get(c)) {
    if (secret.size() >= KMaxSecretBytes)
      throw TCommandError("gateway: the password file holds more than " + std::to_string(KMaxSecretBytes) + " bytes");
    secret += c;
  }
  while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) secret.pop_back();
  if (secret.find('\0') != std::string::npos) throw TCommandError("gateway: the password file holds a NUL byte");
  return secret;
}

std::string ReadableFile(const TParsedOptions& aOptions, const std::string& aName) {
  std::optional<std::string> path = aOptions.Value(aName);
  if (!path) return {};
  if (path->empty() || access(path->c_str(), R_OK) != 0)
    throw TCommandError("gateway: cannot read the --" + aName + " file " + Printable(*path));
  return *path;
}

bool FindContact(CKveContactsDatabase& aContacts, const std::string& aName, std::u16string& aNumber,
                 std::u16string& aContact) {
  for (CEpocDatabaseItem* item = aContacts.ReadFirstItemL(); item != nullptr; item = aContacts.ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    if (!contact->IsDeleted() && Utf8(contact->Name()) == aName) {
      aContact.assign(contact->Name().Ptr(), static_cast<size_t>(contact->Name().Length()));
      aNumber.assign(contact->Number().Ptr(), static_cast<size_t>(contact->Number().Length()));
      return true;
    }
  }
  return false;
}

}  // namespace

int Gateway(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::optional<std::string> url = aOptions.Value("broker");
  if (!url) throw TUsageError("--broker URL is required", "gateway");
  const TBroker broker = ParseBroker(*url);
  // Without --id the modem's IMEI names the gateway, once the phone answered.
  const std::string id = aOptions.Has("id") ? Word(aOptions, "id", "") : std::string();
  const std::string prefix = Word(aOptions, "prefix", "korvanet");
  TKvMqttSettings settings;
  settings.iHost = broker.iHost;
  settings.iPort = broker.iPort;
  settings.iTls = broker.iTls;
  settings.iUsername = aOptions.Value("username").value_or("");
  if (settings.iUsername.size() > KMaxSecretBytes || !IsUtf8(settings.iUsername) ||
      Printable(settings.iUsername) != settings.iUsername)
    throw TUsageError("--username takes at most 256 bytes of printable text", "gateway");
  if (std::optional<std::string> file = aOptions.Value("password-file")) settings.iPassword = ReadSecretFile(*file);
  settings.iCaFile = ReadableFile(aOptions, "ca-file");
  settings.iCertFile = ReadableFile(aOptions, "cert");
  settings.iKeyFile = ReadableFile(aOptions, "key");
  if (settings.iCertFile.empty() != settings.iKeyFile.empty())
    throw TUsageError("--cert and --key go together", "gateway");
  if ((!settings.iCaFile.empty() || !settings.iCertFile.empty()) && !settings.iTls)
    throw TUsageError("TLS files need an mqtts:// broker", "gateway");
  const bool deleteAfterStore = aOptions.Has("delete-after-store");

  CKveMessagesDatabase& store = aSession.Messages();
  CKveContactsDatabase& contacts = aSession.Contacts();
  signal(SIGPIPE, SIG_IGN);
  const DWORD mainThread = GetCurrentThreadId();
  CKvAppEngine* engine = nullptr;

  TKvGatewayHooks hooks;
  hooks.iMessageJson = [](CKveMessagesItem& aMessage) {
    return kvexchange::JsonText(kvexchange::MessageJson(aMessage));
  };
  hooks.iDelivery = [](CKveMessagesItem& aMessage, std::string& aState, std::string& aTime) {
    kvexchange::TDeliveryOutcome outcome = kvexchange::Delivery(aMessage);
    aState = kvexchange::DeliveryName(outcome.iState);
    aTime = outcome.iTime;
  };
  hooks.iContact = [&contacts](const std::string& aName, std::u16string& aNumber, std::u16string& aContact) {
    return FindContact(contacts, aName, aNumber, aContact);
  };
  hooks.iWake = [mainThread] { PostThreadMessageW(mainThread, KCliGatewayWake, 0, 0); };
  hooks.iSendWanted = [&engine] {
    if (engine != nullptr) engine->WakeToSend();
  };
  hooks.iUssdWanted = [&engine] {
    if (engine != nullptr) engine->WakeForUssd();
  };
  hooks.iSay = [](const std::string& aLine) {
    std::fprintf(stderr, "gateway: %s\n", Printable(aLine).c_str());
    std::fflush(stderr);
  };

  CKvGateway gateway(TKvGatewayTopics(), store, hooks);
  const std::optional<std::string> discovery = DiscoveryPrefix(aOptions);
  std::string gatewayId;
  // A failure that ends the gateway with exit status 1.
  std::string failure;
  auto start = [&](const std::string& aId) {
    gatewayId = aId;
    gateway.SetTopics(TKvGatewayTopics(prefix, aId));
    settings.iClientId = prefix + "-" + aId;
    // Until the phone tells its maker and model, a device without them.
    if (discovery) gateway.SetRetainedAtConnect(DiscoveryMessages(*discovery, prefix, aId, nullptr));
    std::string error;
    if (!gateway.Start(settings, error)) {
      failure = "cannot connect to the broker: " + error;
      return false;
    }
    // Requests left from an earlier run wait in the queue.
    if (engine != nullptr) engine->WakeToSend();
    return true;
  };
  if (!id.empty() && !start(id)) throw TCommandError("gateway: " + failure);

  TActionHooks action;
  action.iOnStored = [&gateway](CEOID aOid) { gateway.MessageStored(aOid); };
  action.iOnSent = [&gateway](CEOID aOid, bool aSent) { gateway.MessageSent(aOid, aSent); };
  action.iOnReport = [&gateway](CEOID aOid) { gateway.DeliveryReportApplied(aOid); };
  action.iOnUssdAnswered = [&gateway] { gateway.UssdAnswered(); };
  action.iOnStatus = [&](const TPhoneStatus& aStatus) {
    if (!gateway.Started()) {
      const std::string imei = Utf8(aStatus.iImei);
      if (!IsTopicWord(imei)) {
        failure = imei.empty() ? "the modem gave no IMEI to name the gateway by; give --id ID"
                               : "the modem's IMEI \"" + Printable(imei) + "\" cannot name a topic; give --id ID";
        aSession.AbortAction();
        return;
      }
      if (!start(imei)) {
        aSession.AbortAction();
        return;
      }
    }
    if (discovery) gateway.SetRetainedAtConnect(DiscoveryMessages(*discovery, prefix, gatewayId, &aStatus));
    gateway.PublishStatus(StatusJson(aStatus).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), false);
  };
  // A timer, so that the status stays fresh on the broker without a poll.
  std::optional<TPeriodicPost> statusTimer(std::in_place, mainThread, KCliGatewayStatusDue, KStatusRepublish);
  action.iOnThreadMessage = [&](const MSG& aMessage) {
    if (aMessage.message == KCliGatewayStatusDue) {
      gateway.RepublishStatus();
      return true;
    }
    if (aMessage.message != KCliGatewayWake) return false;
    gateway.HandlePending();
    if (!gateway.LastingFailure().empty()) aSession.AbortAction();
    return true;
  };
  TActionOutcome outcome = aSession.RunAction(
      "Listening",
      [&](CKvAppEngine& aEngine) {
        engine = &aEngine;
        aEngine.SetSendQueue(&gateway.SendQueue());
        aEngine.SetUssdSlot(&gateway.UssdSlot());
        return aEngine.Listen(deleteAfterStore);
      },
      action);
  statusTimer.reset();
  // Publications acknowledged while the engine ended are marked still.
  gateway.HandlePending();
  if (failure.empty()) failure = gateway.LastingFailure();
  gateway.Stop();
  if (engine != nullptr) engine->SetSendQueue(nullptr);
  if (engine != nullptr) engine->SetUssdSlot(nullptr);
  if (!failure.empty()) {
    std::fprintf(stderr, "korvanet-cli: gateway: %s\n", Printable(failure).c_str());
    return KExitFailed;
  }
  if (outcome.iInterrupted) return 0;
  return ActionExitStatus(outcome);
}

}  // namespace kvcli
