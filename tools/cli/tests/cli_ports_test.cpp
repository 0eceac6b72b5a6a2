// 'ports' and 'status' against several simulated modems on pseudo-terminals,
// in a device folder of the test's own (KORVANET_DEV), with stable names
// under its serial/by-id, one port held by another process and one on which
// nothing answers.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <regex>
#include <sstream>

#include "tools/cli/tests/cli_fixture.h"

namespace {

struct TModem {
  const char* iDevice;
  const char* iMaker;
  const char* iModel;
  const char* iImei;
  const char* iStyle;
};

const TModem KModems[] = {
    {"ttyUSB0", "Simcorp", "SC-1", "352099001761481", "plain"},
    {"ttyUSB1", "Netmod", "LTE-7", "356938035643809", "prefixed"},
    {"ttyACM0", "Quadlink", "Q-9\x1b[2J", "490154203237518", "labelled"},
};

class CliPortsTest : public CliTest {
 protected:
  CliPortsTest() : iDev(iRoot + "/hostdev") {
    std::filesystem::create_directories(iDev + "/serial/by-id");
  }
  ~CliPortsTest() override {
    iHolder.Stop();
    if (iSilentMaster >= 0) close(iSilentMaster);
  }

  nlohmann::json Profile(const TModem& aModem) {
    nlohmann::json profile = SmallProfile();
    profile["identity"]["manufacturer"] = aModem.iMaker;
    profile["identity"]["model"] = aModem.iModel;
    profile["identity"]["imei"] = aModem.iImei;
    profile["quirks"]["status_replies"] = aModem.iStyle;
    return profile;
  }

  void StartModem(TPhoneSimProcess& aPhone, const nlohmann::json& aProfile, const std::string& aDevice) {
    std::string dir = iRoot + "/sim-" + aDevice;
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(aPhone.Start(aProfile, dir, iDev + "/" + aDevice)) << aPhone.Errors();
  }

  void ById(const std::string& aName, const std::string& aDevice) {
    std::filesystem::create_symlink("../../" + aDevice, iDev + "/serial/by-id/" + aName);
  }

  // Three modems that answer, a fourth held by another process, and a
  // terminal on which nobody answers.
  void StartAll() {
    for (size_t i = 0; i < 3; ++i) StartModem(iModems[i], Profile(KModems[i]), KModems[i].iDevice);
    ById("usb-Simcorp_SC-1_0001-if00-port0", "ttyUSB0");
    ById("usb-Netmod_LTE-7_0002-if02-port0", "ttyUSB1");
    StartModem(iHeldModem, SmallProfile(), "ttyUSB2");
    std::string held = std::filesystem::read_symlink(iDev + "/ttyUSB2");
    ASSERT_TRUE(iHolder.Start({"/bin/sh", "-c", "exec 3<>\"$1\"; echo holding; exec sleep 600", "sh", held},
                              iRoot + "/holder.out", iRoot + "/holder.err", "holding"));
    iSilentMaster = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(iSilentMaster, 0);
    ASSERT_EQ(grantpt(iSilentMaster), 0);
    ASSERT_EQ(unlockpt(iSilentMaster), 0);
    std::filesystem::create_symlink(ptsname(iSilentMaster), iDev + "/rfcomm0");
  }

  TChildResult Ports(std::vector<std::string> aArgs = {}) {
    TChildOptions options;
    options.iEnvironment["KORVANET_DEV"] = iDev;
    aArgs.insert(aArgs.begin(), "ports");
    auto start = std::chrono::steady_clock::now();
    TChildResult result = Cli(aArgs, options);
    iElapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return result;
  }

  std::vector<std::string> Lines(const std::string& aText) {
    std::vector<std::string> lines;
    std::istringstream in(aText);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::string iDev;
  TPhoneSimProcess iModems[3];
  TPhoneSimProcess iHeldModem;
  TBackgroundChild iHolder;
  int iSilentMaster = -1;
  long long iElapsedMs = 0;
};

TEST_F(CliPortsTest, TableOfFreeBusyAndSilentPorts) {
  StartAll();
  TChildResult result = Ports();
  ASSERT_EQ(result.iStatus, 0) << result.iErr;
  std::cout << "[ figure ] ports with 5 devices (3 answering, 1 busy, 1 silent): " << iElapsedMs << " ms\n";
  RecordProperty("ports_ms", static_cast<int>(iElapsedMs));

  std::vector<std::string> lines = Lines(result.iOut);
  ASSERT_EQ(lines.size(), 8u) << result.iOut;
  EXPECT_TRUE(std::regex_match(lines[0], std::regex("PORT +STATE +MAKER +MODEL +IMEI +SMS"))) << lines[0];
  // Sorted by path: rfcomm0, ttyACM0, ttyUSB0 (+ its stable name), ttyUSB1 (+ its), ttyUSB2.
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(".*/hostdev/rfcomm0 +no answer"))) << lines[1];
  // The modem's escape character is shown, not sent to the terminal.
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(".*/hostdev/ttyACM0 +free +Quadlink +Q-9\\\\x1B\\[2J +490154203237518 +yes")))
      << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(".*/hostdev/ttyUSB0 +free +Simcorp +SC-1 +352099001761481 +yes")))
      << lines[3];
  EXPECT_EQ(lines[4], "  = " + iDev + "/serial/by-id/usb-Simcorp_SC-1_0001-if00-port0");
  EXPECT_TRUE(std::regex_match(lines[5], std::regex(".*/hostdev/ttyUSB1 +free +Netmod +LTE-7 +356938035643809 +yes")))
      << lines[5];
  EXPECT_EQ(lines[6], "  = " + iDev + "/serial/by-id/usb-Netmod_LTE-7_0002-if02-port0");
  EXPECT_TRUE(std::regex_match(lines[7], std::regex(".*/hostdev/ttyUSB2 +busy \\(sleep, pid " +
                                                    std::to_string(iHolder.Pid()) + "\\)")))
      << lines[7];
  EXPECT_EQ(result.iOut.find('\x1b'), std::string::npos);

  // The probe asked, and changed nothing: no ATE, no AT+C...= that sets.
  for (TPhoneSimProcess& modem : iModems) EXPECT_TRUE(modem.Running());
}

TEST_F(CliPortsTest, JsonForScripts) {
  StartAll();
  TChildResult result = Ports({"--json"});
  ASSERT_EQ(result.iStatus, 0) << result.iErr;
  nlohmann::json list = nlohmann::json::parse(result.iOut, nullptr, false);
  ASSERT_TRUE(list.is_array()) << result.iOut;
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0]["port"], iDev + "/rfcomm0");
  EXPECT_EQ(list[0]["state"], "free");
  EXPECT_EQ(list[0]["answers"], false);
  EXPECT_TRUE(list[0]["maker"].is_null());
  EXPECT_EQ(list[1]["model"], "Q-9\x1b[2J");
  EXPECT_EQ(result.iOut.find('\x1b'), std::string::npos);
  EXPECT_EQ(list[2]["by_id"], nlohmann::json::array({iDev + "/serial/by-id/usb-Simcorp_SC-1_0001-if00-port0"}));
  EXPECT_EQ(list[3]["imei"], "356938035643809");
  EXPECT_EQ(list[3]["sms"], true);
  EXPECT_EQ(list[4]["state"], "busy");
  EXPECT_EQ(list[4]["holder"]["pid"], iHolder.Pid());
  EXPECT_EQ(list[4]["holder"]["name"], "sleep");
  EXPECT_TRUE(list[4]["answers"].is_null());
}

TEST_F(CliPortsTest, NoDevicesSaysWhere) {
  TChildResult result = Ports();
  ASSERT_EQ(result.iStatus, 0) << result.iErr;
  EXPECT_EQ(result.iOut, "No serial devices (ttyUSB, ttyACM, rfcomm) in " + iDev + "\n");
}

TEST_F(CliPortsTest, StatusThroughByIdNameAndByImei) {
  nlohmann::json profile = Profile(KModems[1]);
  profile["network"] = {{"operator", "Netz One"}, {"registration", 2}, {"eps_registration", 5}, {"access_technology", 7}};
  profile["battery"] = {{"source", 1}, {"level", 64}};
  profile["signal"] = {{"rssi", 20}, {"ber", 99}};
  StartModem(iModems[1], profile, "ttyUSB1");
  ById("usb-Netmod_LTE-7_0002-if02-port0", "ttyUSB1");

  TChildResult text = Cli({"--port", iDev + "/serial/by-id/usb-Netmod_LTE-7_0002-if02-port0", "status"});
  ASSERT_EQ(text.iStatus, 0) << text.iErr;
  EXPECT_EQ(text.iOut,
            "Maker:        Netmod\n"
            "Model:        LTE-7\n"
            "Firmware:     V 1.00\n"
            "IMEI:         356938035643809\n"
            "SIM:          ready\n"
            "Operator:     Netz One\n"
            "Registration: roaming\n"
            "Signal:       -73 dBm, 4 of 4 bars\n"
            "Battery:      64% (on external power)\n"
            "Storage:      ME 0 of 10 used\n");

  TChildOptions options;
  options.iEnvironment["KORVANET_DEV"] = iDev;
  TChildResult json = Cli({"--json", "--port", "imei:356938035643809", "status"}, options);
  ASSERT_EQ(json.iStatus, 0) << json.iErr;
  nlohmann::json status = nlohmann::json::parse(json.iOut, nullptr, false);
  EXPECT_EQ(status["imei"], "356938035643809");
  EXPECT_EQ(status["registration"], "roaming");
  EXPECT_EQ(status["signal_dbm"], -73);
  EXPECT_EQ(status["signal_bars"], 4);
  EXPECT_EQ(status["battery_percent"], 64);
  EXPECT_EQ(status["operator"], "Netz One");

  TChildResult missing = Cli({"--port", "imei:111111111111111", "status"}, options);
  EXPECT_EQ(missing.iStatus, 1);
  EXPECT_NE(missing.iErr.find("no free port answers with IMEI 111111111111111"), std::string::npos) << missing.iErr;
  TChildResult bad = Cli({"--port", "imei:12ab", "status"}, options);
  EXPECT_EQ(bad.iStatus, 1);
  EXPECT_NE(bad.iErr.find("14 to 17 digits"), std::string::npos) << bad.iErr;
}

TEST_F(CliPortsTest, StatusSaysUnknownForWhatThePhoneDoesNotTell) {
  nlohmann::json profile = Profile(KModems[0]);
  profile["battery"] = nullptr;
  profile["signal"] = nullptr;
  profile["network"] = {{"registration", 3}};
  StartModem(iModems[0], profile, "ttyUSB0");
  TChildResult result = Cli({"--json", "--port", iDev + "/ttyUSB0", "status"});
  ASSERT_EQ(result.iStatus, 0) << result.iErr;
  nlohmann::json status = nlohmann::json::parse(result.iOut, nullptr, false);
  EXPECT_EQ(status["maker"], "Simcorp");
  EXPECT_EQ(status["registration"], "denied");
  EXPECT_TRUE(status["operator"].is_null());
  EXPECT_TRUE(status["signal_dbm"].is_null());
  EXPECT_TRUE(status["signal_bars"].is_null());
  EXPECT_TRUE(status["battery_percent"].is_null());
  EXPECT_TRUE(status["power"].is_null());
}

}  // namespace
