// 'korvanet-cli gateway' against a real mosquitto on a loopback port and
// phonesim: what arrives is published once and in order, what is asked for
// is sent once, also across a broker restart and a killed gateway.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "gateway/mqtt_client.h"
#include "testing/background_run.h"
#include "testing/mosquitto_process.h"
#include "tools/cli/tests/mqtt_probe.h"
#include "tools/cli/tests/cli_fixture.h"
#include "wait_until.h"

namespace {

const std::string KPrefix = "kvtest";
const std::string KId = "modem1";

std::string Topic(const std::string& aLeaf) { return KPrefix + "/" + KId + "/" + aLeaf; }

class GatewayTest : public CliTest {
 protected:
  ~GatewayTest() override { Kill(); }

  void StartBroker(const TBrokerOptions& aOptions = {}) {
    ASSERT_TRUE(iBroker.Start(iRoot + "/broker", aOptions)) << iBroker.Errors();
  }
  void StartPhoneWithControl(const std::string& aOperator = "", const nlohmann::json& aUssd = nullptr) {
    nlohmann::json profile = SmallProfile();
    if (!aOperator.empty()) profile["network"]["operator"] = aOperator;
    if (!aUssd.is_null()) profile["ussd"] = aUssd;
    profile["sms"]["stores"]["SM"]["messages"] = nlohmann::json::array();
    profile["sms"]["stores"]["SM"]["capacity"] = 100;
    profile["sms"]["stores"]["ME"]["capacity"] = 100;
    iControl = iRoot + "/control";
    StartPhone(profile, {"--control", iControl});
  }
  void Deliver(const std::string& aLine) { std::ofstream(iControl) << aLine << "\n"; }

  // korvanet-cli gateway on a thread of the test, its standard error watched.
  void StartGateway(const std::vector<std::string>& aExtra = {}, bool aWaitConnected = true) {
    std::vector<std::string> args = {"gateway", "--broker", iBroker.Url(), "--prefix", KPrefix};
    // Without --id the gateway is named by the modem's IMEI.
    if (iWithId) args.insert(args.end(), {"--id", KId});
    args.insert(args.end(), aExtra.begin(), aExtra.end());
    TChildOptions options;
    options.iTimeoutMs = 300000;
    iRun.Start([this, args](const TChildOptions& aOptions) { return Cli(args, aOptions); }, options);
    if (aWaitConnected) {
      ASSERT_TRUE(WaitErr("Connected to the broker")) << Err();
      ASSERT_TRUE(WaitErr("Listening for messages")) << Err();
    }
  }
  std::string Err() { return iRun.Err(); }
  bool WaitErr(const std::string& aText) { return iRun.WaitErr(aText); }
  TChildResult WaitEnded() { return iRun.Wait(); }
  TChildResult Signal(int aSignal) { return iRun.Signal(aSignal); }
  void Kill() { iRun.Kill(); }
  std::vector<std::string> FolderTexts(const std::string& aFolder) {
    std::vector<std::string> texts;
    for (const auto& message : CliJson({"messages", "list", "--folder", aFolder})) texts.push_back(message["text"]);
    return texts;
  }
  // The texts the phone sent, as its state says once it is stopped.
  std::multiset<std::string> PhoneSent(const nlohmann::json& aState) {
    std::multiset<std::string> texts;
    for (const auto& sent : aState["sms"]["sent"]) texts.insert(sent.value("text", sent.value("pdu", "")));
    return texts;
  }

  bool iWithId = true;
  TMosquittoProcess iBroker;
  TMqttProbe iProbe;
  std::string iControl;
  TBackgroundRun iRun;
};

std::string Request(const std::string& aTo, const std::string& aText, const std::string& aId) {
  return nlohmann::json{{"to", aTo}, {"text", aText}, {"id", aId}}.dump();
}

}  // namespace

TEST_F(GatewayTest, EachDeliveredMessageIsPublishedOnceInOrderAndTheAvailabilityFollowsTheGateway) {
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  StartPhoneWithControl();
  StartGateway();
  ASSERT_TRUE(kvtest::WaitUntil([&] { return iProbe.Last(Topic("availability")) == "online"; }));

  for (int i = 0; i < 50; ++i) Deliver("deliver +4477009001" + std::to_string(10 + i) + " Message " + std::to_string(i));
  ASSERT_TRUE(iProbe.WaitCount(Topic("received"), 50)) << Err() << iPhone.Errors();
  TChildResult run = Signal(SIGTERM);
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  ASSERT_TRUE(kvtest::WaitUntil([&] { return iProbe.Last(Topic("availability")) == "offline"; }));

  std::vector<nlohmann::json> received = iProbe.JsonOn(Topic("received"));
  ASSERT_EQ(received.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(received[i]["text"], "Message " + std::to_string(i));
  // The form the message list gives.
  nlohmann::json listed = CliJson({"messages", "list", "--folder", "inbox"});
  ASSERT_EQ(listed.size(), 50u);
  EXPECT_EQ(listed[0], received[0]);

  // Started again, nothing is published twice: every message is marked.
  StartGateway();
  ASSERT_TRUE(kvtest::WaitUntil([&] { return iProbe.Last(Topic("availability")) == "online"; }));
  Deliver("deliver +447700900199 One more");
  ASSERT_TRUE(iProbe.WaitCount(Topic("received"), 51)) << Err();
  EXPECT_EQ(iProbe.JsonOn(Topic("received")).back()["text"], "One more");
  Signal(SIGTERM);
  EXPECT_EQ(iProbe.On(Topic("received")).size(), 51u);
}

TEST_F(GatewayTest, RequestsAreSentOnceEachAndAnsweredAndMalformedOnesAreRefusedWithTheirReason) {
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Dora", "--number", "+447700900123"}).iStatus, 0);
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  StartPhoneWithControl();
  StartGateway();

  for (int i = 0; i < 50; ++i)
    iProbe.Publish(i % 2 == 0 ? Topic("send") : KPrefix + "/send",
                   Request("+4477009002" + std::to_string(10 + i), "Request " + std::to_string(i), "r" + std::to_string(i)));
  ASSERT_TRUE(iProbe.WaitCount(Topic("sent"), 50)) << Err();
  std::set<std::string> ids;
  for (const nlohmann::json& result : iProbe.JsonOn(Topic("sent"))) {
    EXPECT_EQ(result["result"], "sent") << result.dump();
    EXPECT_EQ(result["parts"], 1);
    ids.insert(result["id"].get<std::string>());
  }
  EXPECT_EQ(ids.size(), 50u);

  // A repeated id gets the earlier result, nothing sent again; a contact's
  // name is its number; the reply goes to the response topic too.
  iProbe.Publish(Topic("send"), Request("+447700900210", "Request 0", "r0"), "replies/one", "corr-1");
  iProbe.Publish(Topic("send"), Request("Dora", "Hello Dora", "dora"));
  iProbe.Publish(Topic("send"), "not json");
  iProbe.Publish(Topic("send"), R"({"text": "no one", "id": "noto"})");
  iProbe.Publish(Topic("send"), Request("Nobody Known", "hi", "unknown"));
  iProbe.Publish(Topic("send"), Request("+447700900123", std::string(40000, 'x'), "long"));
  iProbe.Publish(Topic("send"), Request("+447700900123", "x", std::string(100, 'i')));
  ASSERT_TRUE(iProbe.WaitCount(Topic("sent"), 57)) << Err();
  ASSERT_TRUE(iProbe.WaitCount("replies/one", 1));
  std::vector<nlohmann::json> results = iProbe.JsonOn(Topic("sent"));
  std::map<std::string, nlohmann::json> byId;
  for (size_t i = 50; i < results.size(); ++i) byId[results[i]["id"].is_null() ? "" : results[i]["id"].get<std::string>()] = results[i];
  EXPECT_EQ(byId["r0"]["message_id"], results[0]["message_id"]);
  EXPECT_EQ(byId["r0"]["result"], "sent");
  TKvMqttMessage reply = iProbe.On("replies/one")[0];
  EXPECT_EQ(reply.iCorrelation, "corr-1");
  EXPECT_EQ(nlohmann::json::parse(reply.iPayload)["message_id"], results[0]["message_id"]);
  EXPECT_EQ(byId["dora"]["result"], "sent");
  EXPECT_EQ(byId["noto"]["error"], "no \"to\"");
  EXPECT_EQ(byId["unknown"]["error"], "unknown contact");
  EXPECT_EQ(byId["long"]["result"], "failed");
  EXPECT_EQ(byId[""]["result"], "failed");  // not JSON, and the id too long: no id to name
  Signal(SIGTERM);

  std::multiset<std::string> sent = PhoneSent(StopPhone());
  EXPECT_EQ(sent.size(), 51u);
  EXPECT_EQ(FolderTexts("sent").size(), 51u);
  EXPECT_EQ(FolderTexts("outbox").size(), 0u);
}

TEST_F(GatewayTest, MessagesStoredWhileTheBrokerIsAwayArePublishedInOrderOnceItIsBack) {
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  StartPhoneWithControl();
  StartGateway();
  Deliver("deliver +447700900100 Before");
  ASSERT_TRUE(iProbe.WaitCount(Topic("received"), 1)) << Err();

  iBroker.Stop();
  ASSERT_TRUE(WaitErr("the connection was lost")) << Err();
  for (int i = 0; i < 10; ++i) Deliver("deliver +447700900101 Away " + std::to_string(i));
  ASSERT_TRUE(kvtest::WaitUntil([&] { return FolderTexts("inbox").size() == 11; }));
  ASSERT_TRUE(iBroker.Restart()) << iBroker.Errors();

  ASSERT_TRUE(iProbe.WaitCount(Topic("received"), 11)) << Err();
  // Anything late would show now, before the gateway ends.
  Deliver("deliver +447700900102 After");
  ASSERT_TRUE(iProbe.WaitCount(Topic("received"), 12)) << Err();
  Signal(SIGTERM);
  std::vector<nlohmann::json> received = iProbe.JsonOn(Topic("received"));
  ASSERT_EQ(received.size(), 12u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(received[1 + i]["text"], "Away " + std::to_string(i));
  EXPECT_EQ(received[11]["text"], "After");
}

TEST_F(GatewayTest, RequestsTakenBeforeTheGatewayWasKilledAreEachSentOnceAfterItsRestart) {
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  StartPhoneWithControl();
  StartGateway();
  // The phone goes away: requests are taken into the Outbox and wait.
  iPhone.Stop();
  ASSERT_TRUE(WaitErr("Waiting for the phone")) << Err();
  for (int i = 0; i < 10; ++i) iProbe.Publish(Topic("send"), Request("+447700900300", "Pending " + std::to_string(i), "p" + std::to_string(i)));
  ASSERT_TRUE(kvtest::WaitUntil([&] { return FolderTexts("outbox").size() == 10; }));
  Signal(SIGKILL);

  StartPhoneWithControl();
  StartGateway();
  ASSERT_TRUE(iProbe.WaitCount(Topic("sent"), 10)) << Err();
  Signal(SIGTERM);
  std::multiset<std::string> sent = PhoneSent(StopPhone());
  std::multiset<std::string> expected;
  for (int i = 0; i < 10; ++i) expected.insert("Pending " + std::to_string(i));
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(iProbe.On(Topic("sent")).size(), 10u);
}

TEST_F(GatewayTest, TlsWithTheBrokersCaAndAPasswordFileConnects) {
  StartBroker({true, "gateway", "s3cret"});
  StartPhoneWithControl();
  const std::string password = iRoot + "/password";
  std::ofstream(password) << "s3cret\n";
  chmod(password.c_str(), 0644);
  TChildResult open = Cli({"gateway", "--broker", iBroker.Url(), "--id", KId, "--username", "gateway",
                           "--password-file", password, "--ca-file", iBroker.CaFile()});
  EXPECT_EQ(open.iStatus, 1);
  EXPECT_NE(open.iErr.find("can be read by others"), std::string::npos) << open.iErr;
  chmod(password.c_str(), 0600);

  StartGateway({"--username", "gateway", "--password-file", password, "--ca-file", iBroker.CaFile()});
  TChildResult stopped = Signal(SIGTERM);
  EXPECT_EQ(stopped.iStatus, 0) << stopped.iErr;
}

// Without --id the IMEI names the gateway; its status is retained as
// 'status --json' prints it, and published again when it changed (here at a
// reconnection to a phone on another network), not when it did not.
TEST_F(GatewayTest, TheStatusIsRetainedUnderTheImeiAndPublishedWhenItChanges) {
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  StartPhoneWithControl();
  const nlohmann::json status = CliJson({"status"});
  const std::string imei = status["imei"];
  ASSERT_EQ(imei, "352099001761481");
  iWithId = false;
  StartGateway();
  const std::string own = KPrefix + "/" + imei + "/";
  ASSERT_TRUE(kvtest::WaitUntil([&] { return iProbe.Last(own + "availability") == "online"; })) << Err();
  ASSERT_TRUE(iProbe.WaitCount(own + "status", 1)) << Err();
  // The form 'status' prints; the memories are those listening chose.
  nlohmann::json published = iProbe.JsonOn(own + "status")[0];
  EXPECT_EQ(published["storage"].size(), 3u) << published.dump();
  published.erase("storage");
  nlohmann::json printed = status;
  printed.erase("storage");
  EXPECT_EQ(published, printed);

  // Requests on the IMEI's topic are taken.
  iProbe.Publish(own + "send", R"({"text": "no one", "id": "noto"})");
  ASSERT_TRUE(iProbe.WaitCount(own + "sent", 1)) << Err();

  iPhone.Stop();
  ASSERT_TRUE(WaitErr("Waiting for the phone")) << Err();
  StartPhoneWithControl("OTHERNET");
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    std::vector<nlohmann::json> published = iProbe.JsonOn(own + "status");
    return published.size() >= 2 && published.back()["operator"] == "OTHERNET";
  })) << Err();
  // A retained status: a client that comes later gets the latest at once.
  TMqttProbe late;
  ASSERT_TRUE(late.Start(iBroker.Port(), "late", {KPrefix + "/#"}));
  ASSERT_TRUE(late.WaitCount(own + "status", 1));
  EXPECT_EQ(late.JsonOn(own + "status")[0]["operator"], "OTHERNET");
  TChildResult stopped = Signal(SIGTERM);
  EXPECT_EQ(stopped.iStatus, 0) << stopped.iErr;
  EXPECT_EQ(iProbe.On(own + "status").size(), 2u);
  EXPECT_TRUE(iProbe.On(Topic("status")).empty());
}

// A modem that gives no IMEI cannot name the gateway: it ends, asking for
// --id, before anything is said to the broker.
TEST_F(GatewayTest, WithoutAnImeiAndWithoutIdTheGatewayEndsAskingForAnId) {
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  nlohmann::json profile = SmallProfile();
  profile["identity"]["imei"] = "";
  StartPhone(profile);
  iWithId = false;
  StartGateway({}, false);
  TChildResult ended = WaitEnded();
  EXPECT_EQ(ended.iStatus, 1) << ended.iErr;
  EXPECT_EQ(LastLine(ended.iErr), "korvanet-cli: gateway: the modem gave no IMEI to name the gateway by; give --id ID");
  EXPECT_EQ(ended.iErr.find("Connected to the broker"), std::string::npos) << ended.iErr;
}

// USSD through the broker while the gateway listens: each request answered
// on P/I/ussd/reply (and its response topic), menus answered from
// "replies"; what is no USSD string never reaches the line; one session at
// a time.
TEST_F(GatewayTest, UssdRequestsAreAnsweredWithTheNetworksReplyOrAReasonOneAtATime) {
  StartBroker();
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {KPrefix + "/#", "replies/#"}));
  iPhone.EnableTranscript();
  StartPhoneWithControl("", {{{"request", "*101#"}, {"reply", "Your balance is 5.00 EUR"}, {"coding", "packed"}},
                             {{"request", "*102#"}, {"reply", "Ваш баланс 5.00 ₽"}, {"coding", "ucs2"}},
                             {{"request", "*100#"}, {"reply", "1 Balance\n2 Bundles"}, {"menu", true}},
                             {{"request", "*100#>2"}, {"reply", "1 Data\n2 Minutes"}, {"menu", true}},
                             {{"request", "*100#>2>1"}, {"reply", "Data: 2 GB left\x1b[2J"}},
                             {{"request", "*109#"}, {"coding", "silent"}}});
  StartGateway();
  const std::string reply = Topic("ussd/reply");
  size_t answers = 0;
  auto ask = [&](const std::string& aRequest) {
    iProbe.Publish(Topic("ussd"), aRequest, "replies/ussd", "c" + std::to_string(answers));
    EXPECT_TRUE(iProbe.WaitCount(reply, ++answers)) << Err();
    return iProbe.JsonOn(reply).back();
  };

  nlohmann::json balance = ask(R"({"code": "*101#", "id": "b1"})");
  EXPECT_EQ(balance["result"], "ok") << balance.dump();
  EXPECT_EQ(balance["id"], "b1");
  EXPECT_EQ(balance["code"], "*101#");
  EXPECT_EQ(balance["reply"], "Your balance is 5.00 EUR");
  EXPECT_TRUE(balance["error"].is_null());
  EXPECT_EQ(ask(R"({"code": "*102#"})")["reply"], "Ваш баланс 5.00 ₽");
  nlohmann::json menu = ask(R"({"code": "*100#", "replies": ["2", "1"]})");
  EXPECT_EQ(menu["result"], "ok") << menu.dump();
  ASSERT_EQ(menu["replies"].size(), 3u);
  EXPECT_EQ(menu["replies"][0], (nlohmann::json{{"menu", true}, {"text", "1 Balance\n2 Bundles"}}));
  EXPECT_EQ(menu["reply"], "Data: 2 GB left\x1b[2J");  // JSON escapes it
  ASSERT_TRUE(iProbe.WaitCount("replies/ussd", 3));
  EXPECT_EQ(iProbe.On("replies/ussd")[2].iCorrelation, "c2");

  const size_t before = iPhone.ReceivedCommands().size();
  EXPECT_EQ(ask(R"({"code": "*100#\";+CPIN=\"1"})")["error"], "\"code\" is not a USSD code: 1 to 40 digits, * and #");
  EXPECT_EQ(ask(R"({"code": "*100#", "replies": ["1\r\nATZ"]})")["error"],
            "each of \"replies\" must be a USSD answer: 1 to 40 digits, * and #");
  EXPECT_EQ(ask("not json")["error"], "the request is not a JSON object");
  nlohmann::json eleven = {{"code", "*100#"}, {"replies", std::vector<std::string>(11, "1")}};
  EXPECT_EQ(ask(eleven.dump())["error"], "more than 10 \"replies\"");
  EXPECT_EQ(iPhone.ReceivedCommands().size(), before);

  nlohmann::json unanswered = ask(R"({"code": "*100#", "replies": ["2"]})");
  EXPECT_EQ(unanswered["result"], "failed");
  EXPECT_EQ(unanswered["error"], "the network waited for an answer and none was given");
  EXPECT_EQ(unanswered["replies"].size(), 2u);
  EXPECT_EQ(iPhone.ReceivedCommands().back(), "AT+CUSD=2");

  // A network that does not answer holds the session: the next is busy.
  iProbe.Publish(Topic("ussd"), R"({"code": "*109#", "id": "silent"})");
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    std::vector<std::string> commands = iPhone.ReceivedCommands();
    return !commands.empty() && commands.back() == "AT+CUSD=1,\"*109#\",15";
  }));
  nlohmann::json busy = ask(R"({"code": "*101#", "id": "second"})");
  EXPECT_EQ(busy["id"], "second");
  EXPECT_EQ(busy["result"], "failed");
  EXPECT_EQ(busy["error"], "busy: another USSD session is running");
  Kill();
}

// A CA that did not sign the broker's certificate: the handshake fails in
// the network thread, and the gateway ends with the certificate's problem
// while its phone is still there (it is the broker that stops it).
TEST_F(GatewayTest, AWrongCaIsRefused) {
  StartBroker({true, "gateway", "s3cret"});
  StartPhoneWithControl();
  const std::string password = iRoot + "/password";
  std::ofstream(password) << "s3cret\n";
  chmod(password.c_str(), 0600);
  StartGateway({"--username", "gateway", "--password-file", password, "--ca-file", iBroker.OtherCaFile()}, false);
  TChildResult refused = WaitEnded();
  EXPECT_EQ(refused.iStatus, 1) << refused.iErr;
  EXPECT_NE(refused.iErr.find("korvanet-cli: gateway: cannot connect to the broker: the TLS handshake failed"),
            std::string::npos)
      << refused.iErr;
  EXPECT_NE(refused.iErr.find("certificate verify failed"), std::string::npos) << refused.iErr;
  int status = 0;
  EXPECT_EQ(waitpid(iPhone.Pid(), &status, WNOHANG), 0) << "the phone ended: " << iPhone.Errors();
}

TEST_F(GatewayTest, DiscoveryConfigsAreRetainedForTheModemAsItsStatusNamesIt) {
  StartBroker();
  StartPhoneWithControl();
  nlohmann::json status = CliJson({"status"});
  ASSERT_TRUE(status["imei"].is_string()) << status.dump();

  TChildResult bad = Cli({"gateway", "--broker", iBroker.Url(), "--id", KId, "--ha-discovery=a/b"});
  EXPECT_EQ(bad.iStatus, 2) << bad.iErr;
  EXPECT_NE(bad.iErr.find("--ha-discovery takes"), std::string::npos) << bad.iErr;

  // The prefix left out: the platform's own, default one.
  ASSERT_TRUE(iProbe.Start(iBroker.Port(), "probe", {"homeassistant/#"}));
  StartGateway({"--ha-discovery"});
  ASSERT_TRUE(kvtest::WaitUntil([&] { return iProbe.All().size() == 7; })) << Err();
  EXPECT_EQ(Signal(SIGTERM).iStatus, 0);

  // A reader that comes later gets every config from the broker.
  TMqttProbe reader;
  ASSERT_TRUE(reader.Start(iBroker.Port(), "late-reader", {"homeassistant/#"}));
  ASSERT_TRUE(kvtest::WaitUntil([&] { return reader.All().size() == 7; }));
  std::set<std::string> ids;
  std::set<std::string> components;
  for (const auto& [topic, messages] : reader.All()) {
    ASSERT_EQ(messages.size(), 1u) << topic;
    nlohmann::json config = nlohmann::json::parse(messages[0].iPayload, nullptr, false);
    ASSERT_TRUE(config.is_object()) << messages[0].iPayload;
    components.insert(topic.substr(14, topic.find('/', 14) - 14));
    ids.insert(config["unique_id"].get<std::string>());
    EXPECT_EQ(config["availability"][0]["topic"], Topic("availability"));
    const nlohmann::json& device = config["device"];
    EXPECT_EQ(device["identifiers"], nlohmann::json({KPrefix + "_" + KId, "imei_" + status["imei"].get<std::string>()}));
    EXPECT_EQ(device["manufacturer"], status["maker"]);
    EXPECT_EQ(device["model"], status["model"]);
    EXPECT_EQ(device["sw_version"], status["firmware"]);
    if (config.contains("state_topic")) {
      const std::string from = config["state_topic"];
      EXPECT_TRUE(from == Topic("status") || from == Topic("received")) << from;
    }
  }
  EXPECT_EQ(ids.size(), 7u);
  EXPECT_EQ(components, (std::set<std::string>{"event", "notify", "sensor"}));
  nlohmann::json notify = nlohmann::json::parse(
      reader.All()["homeassistant/notify/" + KPrefix + "_" + KId + "/send/config"].at(0).iPayload);
  EXPECT_EQ(notify["command_topic"], Topic("send"));
}
