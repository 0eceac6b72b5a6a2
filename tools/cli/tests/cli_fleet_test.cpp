// A fleet: several gateways, each on a modem of its own paced as a real
// serial line, sharing the requests of P/send through one broker. Each
// request must be sent by exactly one phone, and every phone must take a
// share. Its timing against one modem is a benchmark (bench/gateway_fleet.sh).
#include <signal.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "testing/background_run.h"
#include "testing/files.h"
#include "testing/mosquitto_process.h"
#include "testing/phonesim_process.h"
#include "tools/cli/tests/mqtt_probe.h"
#include "wait_until.h"

namespace {

const std::string KFleetPrefix = "fleet";
const int KFleetModems = 4;
const int KFleetRequests = 200;

// One modem with its gateway, in a data folder of its own.
struct TFleetMember {
  explicit TFleetMember(int aIndex) : iDir("kv-fleet"), iRoot(iDir.Path()), iId("m" + std::to_string(aIndex)) {
    std::filesystem::create_directories(iRoot + "/dev");
  }
  TChildResult Cli(const std::vector<std::string>& aArgs, TChildOptions aOptions = {}) const {
    std::vector<std::string> argv = {KORVANET_CLI_BINARY, "--root", iRoot};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    aOptions.iEnvironment.emplace("KORVANET_COM3", std::nullopt);
    aOptions.iEnvironment.emplace("KORVANET_ROOT", std::nullopt);
    return RunChild(argv, aOptions);
  }

  TTempDir iDir;
  std::string iRoot;
  std::string iId;
  TPhoneSimProcess iPhone;
  TBackgroundRun iGateway;
};

std::string FleetTopic(const std::string& aId, const std::string& aLeaf) { return KFleetPrefix + "/" + aId + "/" + aLeaf; }

}  // namespace

TEST(GatewayFleet, EachRequestOnTheSharedTopicIsSentByExactlyOnePhoneAndEveryPhoneTakesSome) {
  TTempDir brokerDir("kv-fleet-broker");
  TMosquittoProcess broker;
  ASSERT_TRUE(broker.Start(brokerDir.Path())) << broker.Errors();
  TMqttProbe probe;
  ASSERT_TRUE(probe.Start(broker.Port(), "fleet-probe", {KFleetPrefix + "/#"}));

  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"] = nlohmann::json::array();
  // A real modem's serial line, not the pseudo-terminal's speed.
  profile["quirks"]["baud"] = 9600;
  std::vector<std::unique_ptr<TFleetMember>> fleet;
  for (int i = 0; i < KFleetModems; ++i) {
    fleet.push_back(std::make_unique<TFleetMember>(i));
    TFleetMember& member = *fleet.back();
    ASSERT_EQ(member.Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
    ASSERT_TRUE(member.iPhone.Start(profile, member.iRoot, member.iRoot + "/dev/COM3")) << member.iPhone.Errors();
    TChildOptions options;
    options.iTimeoutMs = 400000;
    const std::vector<std::string> args = {"gateway", "--broker", broker.Url(), "--id", member.iId,
                                           "--prefix", KFleetPrefix};
    member.iGateway.Start([&member, args](const TChildOptions& aOptions) { return member.Cli(args, aOptions); },
                          options);
  }
  for (auto& member : fleet) ASSERT_TRUE(member->iGateway.WaitErr("Listening for messages")) << member->iGateway.Err();

  // A request on a gateway's own topic is answered only once the broker has
  // its subscriptions (the shared one came in the same packet): until each
  // has answered one, the shared requests could miss it.
  for (auto& member : fleet) {
    const std::string sent = FleetTopic(member->iId, "sent");
    ASSERT_TRUE(kvtest::WaitUntil([&] {
      if (!probe.On(sent).empty()) return true;
      probe.Publish(FleetTopic(member->iId, "send"), R"({"id": "ready"})");
      return kvtest::WaitUntil([&] { return !probe.On(sent).empty(); }, std::chrono::milliseconds(500));
    })) << member->iGateway.Err();
  }

  for (int i = 0; i < KFleetRequests; ++i)
    probe.Publish(KFleetPrefix + "/send",
                  nlohmann::json{{"to", "+4477009003" + std::to_string(10 + i)},
                                 {"text", "Fleet " + std::to_string(i)},
                                 {"id", "f" + std::to_string(i)}}
                      .dump());

  // Results, the gateways' own answers to "ready" left out.
  auto results = [&] {
    std::map<std::string, std::vector<nlohmann::json>> byModem;
    for (auto& member : fleet)
      for (const nlohmann::json& result : probe.JsonOn(FleetTopic(member->iId, "sent")))
        if (result["id"] != "ready") byModem[member->iId].push_back(result);
    return byModem;
  };
  auto total = [&] {
    size_t count = 0;
    for (const auto& [id, list] : results()) count += list.size();
    return count;
  };
  ASSERT_TRUE(kvtest::WaitUntil([&] { return total() >= KFleetRequests; }, std::chrono::milliseconds(300000)))
      << total() << " results";

  std::multiset<std::string> sentTexts;
  std::map<std::string, size_t> perPhone;
  for (auto& member : fleet) {
    EXPECT_EQ(member->iGateway.Signal(SIGTERM).iStatus, 0) << member->iGateway.Err();
    member->iPhone.Stop();
    const nlohmann::json state = member->iPhone.State();
    for (const auto& sent : state["sms"]["sent"]) {
      sentTexts.insert(sent.value("text", sent.value("pdu", "")));
      ++perPhone[member->iId];
    }
  }
  std::multiset<std::string> expected;
  for (int i = 0; i < KFleetRequests; ++i) expected.insert("Fleet " + std::to_string(i));
  EXPECT_EQ(sentTexts, expected);
  for (auto& member : fleet) EXPECT_GT(perPhone[member->iId], 0u) << member->iId << " sent none";
  std::set<std::string> ids;
  for (const auto& [id, list] : results())
    for (const nlohmann::json& result : list) {
      EXPECT_EQ(result["result"], "sent") << result.dump();
      ids.insert(result["id"].get<std::string>());
    }
  EXPECT_EQ(ids.size(), static_cast<size_t>(KFleetRequests));
  EXPECT_EQ(total(), static_cast<size_t>(KFleetRequests));
}
