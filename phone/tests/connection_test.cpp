// Connecting, identifying and reading the settings, against phonesim.
#include <algorithm>
#include <chrono>
#include <string>

#include "phone/tests/sim_fixture.h"

namespace {

TEST_F(PhoneSimTest, FullConnectionThenTheTwoCommandQuickCheck) {
  int first = -1, second = -1;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) {
    first = aPhone.EstablishConnection();
    EXPECT_EQ(aPhone.Charset8859(), 1);
    EXPECT_EQ(aPhone.iIsEricssonPhone, 0);
    second = aPhone.EstablishConnection();
  });
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(iSim.Commands(), (Lines{"AT", "AT&F", "ATE0", "AT+CMEE=1", "AT+CPIN?", "AT+CSCS=?", "AT+CSCS=\"8859-1\"", "AT+GMM", "AT+CIMI",
                                    "ATE0", "AT+CMEE=1"}));
  EXPECT_EQ(iObserver.iDiscovered, std::vector<std::u16string>{u"PS-100"});
  EXPECT_EQ(iObserver.iStarting, 1);
  EXPECT_EQ(iObserver.iFinished, 1);
  EXPECT_TRUE(Logged("CMobilePhoneBase::SendConnectString - PhoneDiscovered"));
  EXPECT_TRUE(Logged("CMobilePhoneBase::LoadATCommandSetL"));
  EXPECT_TRUE(Logged("CMobilePhoneBase::SendConnectString iIsEricssonPhone = 0"));
}

TEST_F(PhoneSimTest, TheSimsCountryCodeIsTakenAndItsIdentityNeverShown) {
  for (const char* reply : {"234150123456789", "+CIMI: 262011234567890", "\"310260000000001\""}) {
    SCOPED_TRACE(reply);
    nlohmann::json profile = ShippedProfile("generic");
    profile["identity"]["imsi"] = reply;
    iObserver = TRecordingObserver();
    Run(profile, [&](CMobilePhoneBase& aPhone) { EXPECT_EQ(aPhone.EstablishConnection(), 0); });
    iSim.Stop();
    const std::string digits = std::string(reply).substr(std::string(reply).find_first_of("0123456789"), 15);
    ASSERT_EQ(iObserver.iHomeNetworks.size(), 1u);
    EXPECT_EQ(iObserver.iHomeNetworks[0].iCountryCode, std::stoi(digits.substr(0, 3)));
    EXPECT_EQ(iObserver.iHomeNetworks[0].iCentre, "") << "the centre is asked only without the SIM's code";
    for (const std::string& line : iObserver.iLines) EXPECT_EQ(line.find(digits), std::string::npos) << line;
    EXPECT_EQ(std::count(iObserver.iLines.begin(), iObserver.iLines.end(), "(the SIM's subscriber identity, not shown)"), 1);
    for (const std::string& message : Messages()) EXPECT_EQ(message.find(digits), std::string::npos) << message;
    EXPECT_GE(Count("CMobilePhoneBase::ProcessLine (the SIM's subscriber identity, not shown)"), 1);
  }
}

TEST_F(PhoneSimTest, APhoneRefusing8859AndTheFirstIdentityQueries) {
  // minimal: GSM only, and only ATI3 answers with a model line.
  int result = -1;
  Run(ShippedProfile("minimal"), [&](CMobilePhoneBase& aPhone) {
    result = aPhone.EstablishConnection();
    EXPECT_EQ(aPhone.Charset8859(), 0);
    EXPECT_EQ(Narrow(Text(aPhone.PhoneSettings().ModemId)), "MM-1 GSM MODULE");
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(iSim.Commands(), (Lines{"AT", "AT&F", "ATE0", "AT+CMEE=1", "AT+CPIN?", "AT+CSCS=?", "AT+CSCS=\"8859-1\"", "AT+CSCS=\"GSM\"",
                                    "AT+GMM", "AT+CGMM", "ATI3", "AT+CIMI", "AT+CSCA?"}));
  // It keeps its SIM's identity to itself: its service centre tells the country.
  EXPECT_EQ(iObserver.iHomeNetworks, (std::vector<TRecordingObserver::THomeNetwork>{{0, "+441632960000"}}));
}

TEST_F(PhoneSimTest, NoIdentityAtAllFailsWithMinus5) {
  nlohmann::json profile = ShippedProfile("minimal");
  profile["quirks"]["refuse"].push_back("ATI3");
  int result = 0;
  Run(profile, [&](CMobilePhoneBase& aPhone) {
    result = aPhone.EstablishConnection();
    EXPECT_EQ(aPhone.Communicator()->Ready(), 0);  // the port was closed
  });
  EXPECT_EQ(result, KErrNotIdentified);
  EXPECT_EQ(iSim.Commands().back(), "ATI");
  EXPECT_TRUE(iObserver.iDiscovered.empty());
  EXPECT_GE(iObserver.iWiggles, 1);
}

TEST_F(PhoneSimTest, TheMakerNameInAnyCaseMarksAnEricsson) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["identity"]["model"] = "Sony Ericsson K750i";
  Run(profile, [&](CMobilePhoneBase& aPhone) {
    EXPECT_EQ(aPhone.EstablishConnection(), 0);
    EXPECT_EQ(aPhone.iIsEricssonPhone, 1);
  });
  EXPECT_TRUE(Logged("CMobilePhoneBase::SendConnectString iIsEricssonPhone = 1"));
}

TEST_F(PhoneSimTest, SettingsWithAndWithoutBatteryReporting) {
  int result = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) { result = aPhone.ReadPhoneSettings(); });
  EXPECT_EQ(result, KReplyOk);
  ASSERT_EQ(iObserver.iSettingsReports, 1);
  const TPhoneSettings& s = iObserver.iSettings;
  EXPECT_EQ(s.BatteryState, 80);
  EXPECT_EQ(s.PowerSource, 0);
  EXPECT_EQ(s.SignalStrength, 48);
  EXPECT_EQ(Narrow(Text(s.IMEI)), "352099001761481");
  EXPECT_EQ(s.MemoryValues[EPhoneMemory].MemHigh, 200);
  EXPECT_EQ(s.MemoryValues[EPhoneMemory].MaxName, 24);
  EXPECT_EQ(s.MemoryValues[ESimCard].MemHigh, 250);
  EXPECT_EQ(s.MemoryValues[ESimCard].MaxNumber, 40);
  EXPECT_EQ(s.MemoryValues[EFixedDialling].MemHigh, 10);
  EXPECT_EQ(s.MemoryValues[EFixedDialling].NotAvailable, 0);
  EXPECT_EQ(CommandsAfter("AT+CIMI"), (Lines{"AT+CBC", "AT+CSQ", "AT+CGSN", "AT+CPBS=\"ME\"", "AT+CPBR=?",
                                            "AT+CPBS=\"SM\"", "AT+CPBR=?", "AT+CPBS=\"FD\"", "AT+CPBR=?"}));
  iSim.Stop();

  // minimal: no battery or signal, no phone memory or fixed dialling book.
  TSimPhone other;
  TRecordingObserver observer;
  ASSERT_TRUE(other.Start(ShippedProfile("minimal")));
  RunOnEngineThread(observer, [&](CMobilePhoneBase& aPhone) { result = aPhone.ReadPhoneSettings(); });
  EXPECT_EQ(result, KReplyOk);
  const TPhoneSettings& m = observer.iSettings;
  EXPECT_EQ(m.BatteryState, -1);
  EXPECT_EQ(m.PowerSource, -1);
  EXPECT_EQ(m.SignalStrength, -1);
  EXPECT_EQ(Narrow(Text(m.IMEI)), "490154203237518");
  EXPECT_EQ(m.MemoryValues[EPhoneMemory].NotAvailable, 1);
  EXPECT_EQ(m.MemoryValues[ESimCard].NotAvailable, 0);
  EXPECT_EQ(m.MemoryValues[ESimCard].MemHigh, 50);
  EXPECT_EQ(m.MemoryValues[EFixedDialling].NotAvailable, 1);
  // A refused store keeps the default limits.
  EXPECT_EQ(m.MemoryValues[EPhoneMemory].MemHigh, 90);
}

TEST_F(PhoneSimTest, ASilentPhoneEndsTheWaitWithTimedOut) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["quirks"]["hang_after"] = "AT+CSQ";
  int result = 0;
  // The short reply time-out ends the wait; Run fails if the engine never finishes.
  Run(profile, [&](CMobilePhoneBase& aPhone) { result = aPhone.ReadPhoneSettings(); }, 1500);
  EXPECT_EQ(result, KErrTimedOut);
  EXPECT_EQ(iSim.Commands().back(), "AT+CSQ");
  // The battery was read before the phone fell silent; the settings still reach the engine.
  EXPECT_EQ(iObserver.iSettings.BatteryState, 80);
  EXPECT_TRUE(Logged("CMobilePhoneBase - the phone fell silent in state 8"));
}

TEST_F(PhoneSimTest, ASilentPhoneFailsTheQuickCheckAndReconnects) {
  // Answers the full sequence, then stops answering: the quick check's
  // time-out sends the program back to a full connection, which fails too.
  nlohmann::json profile = ShippedProfile("generic");
  profile["quirks"]["hang_after"] = "AT+CBC";
  int first = -1, second = 0, third = 0;
  Run(profile, [&](CMobilePhoneBase& aPhone) {
    first = aPhone.EstablishConnection();
    second = aPhone.SendAndWait(EStateBattery, TConstPtr16(u"AT+CBC"));
    third = aPhone.EstablishConnection();
  }, 800);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, KErrTimedOut);
  EXPECT_LT(third, 0);
  EXPECT_TRUE(Logged("CCommunicator::ClosePort"));
}

}  // namespace
