// Reading the phone's status as an action, against phonesim answering in
// each of the modem shapes it knows.
#include "engine/tests/engine_fixture.h"

namespace {

class StatusTest : public EngineTest {
 protected:
  static std::string Text(const TDesc16& aText) { return Utf8(aText); }
  // One engine for every read; each on the phone of aProfile.
  TPhoneStatus ReadStatus(const nlohmann::json& aProfile) {
    if (iPhone.Running()) StopPhone();
    StartPhone(aProfile);
    if (iEngineThread == nullptr) {
      iShutdownOnComplete = false;
      StartEngine();
    }
    iNotices.clear();
    iAction.iStatusRead = false;
    EXPECT_TRUE(Run(EKvReadStatus));
    EXPECT_EQ(Completion()->iText, "Status read.");
    EXPECT_EQ(Completion()->iResult, 0);
    EXPECT_TRUE(iAction.iStatusRead);
    return iAction.iStatus;
  }
};

}  // namespace

TEST_F(StatusTest, EachModemShapeGivesTheSameStatus) {
  for (const char* style : {"plain", "prefixed", "labelled"}) {
    SCOPED_TRACE(style);
    nlohmann::json profile = SmallProfile();
    profile["identity"] = {{"manufacturer", "Simcorp"}, {"model", "SC-1"}, {"revision", "R1.2"}, {"imei", "356938035643809"}};
    profile["quirks"]["status_replies"] = style;
    profile["quirks"]["space_after_colon"] = std::string(style) != "labelled";
    profile["network"] = {{"operator", "Netz"}, {"registration", 2}, {"eps_registration", 1}};
    profile["signal"] = {{"rssi", 12}, {"ber", 0}};
    profile["battery"] = {{"source", 0}, {"level", 42}};
    // Names in UCS2 where the phone offers it: the operator comes as hexadecimal.
    profile["charsets"] = {"GSM", "UCS2"};
    TPhoneStatus status = ReadStatus(profile);
    EXPECT_EQ(Text(status.iMaker), "Simcorp");
    EXPECT_EQ(Text(status.iModel), "SC-1");
    EXPECT_EQ(Text(status.iFirmware), "R1.2");
    EXPECT_EQ(Text(status.iImei), "356938035643809");
    EXPECT_EQ(status.iSim, ESimReady);
    EXPECT_EQ(Text(status.iOperator), "Netz");
    EXPECT_EQ(status.iRegistration, ERegHome);  // on LTE, searching elsewhere
    EXPECT_EQ(status.iSignalDbm, -89);
    EXPECT_EQ(status.iSignalBars, 2);
    EXPECT_EQ(status.iBatteryPercent, 42);
    EXPECT_EQ(status.iPower, EPowerBattery);
    EXPECT_EQ(status.iStores[0].iSize, 10);
  }
}

TEST_F(StatusTest, WhatThePhoneRefusesStaysUnknown) {
  nlohmann::json profile = SmallProfile();
  profile["battery"] = nullptr;
  profile["signal"] = nullptr;
  profile["network"] = {{"registration", 0}};
  profile["quirks"]["refuse"] = {"AT+CGMR", "AT+CGSN", "AT+CPMS?"};
  TPhoneStatus status = ReadStatus(profile);
  EXPECT_EQ(Text(status.iMaker), "PHONESIM");
  EXPECT_EQ(Text(status.iFirmware), "");
  EXPECT_EQ(Text(status.iImei), "");
  EXPECT_EQ(Text(status.iOperator), "");
  EXPECT_EQ(status.iRegistration, ERegNotRegistered);
  EXPECT_EQ(status.iSignalBars, KStatusUnknown);
  EXPECT_EQ(status.iBatteryPercent, KStatusUnknown);
  EXPECT_EQ(status.iStores[0].iUsed, KStatusUnknown);
}
