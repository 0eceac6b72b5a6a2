// The SIM at connect and USSD, against phonesim.
#include "phone/tests/sim_fixture.h"

namespace {

nlohmann::json LockedSim(const char* aQuery = "cpinr") {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sim"] = {{"state", "SIM PIN"}, {"pin", "4321"}, {"attempts_query", aQuery}};
  return profile;
}

TEST_F(PhoneSimTest, APinIsAskedForWithTheAttemptsLeftAndARefusedOneIsNeverSentAgain) {
  // Wrong, the same wrong one again (not sent), then the right one.
  iObserver.iPins = {u"1111", u"1111", u"4321"};
  int result = -1;
  Run(LockedSim(), [&](CMobilePhoneBase& aPhone) {
    result = aPhone.EstablishConnection();
    EXPECT_EQ(aPhone.SimPinState().iState, ESimReady);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPIN=\"1111\""), 1);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPIN=\"4321\""), 1);
  ASSERT_EQ(iObserver.iPinAsks.size(), 3u);
  EXPECT_EQ(iObserver.iPinAsks[0].iAttemptsLeft, 3);
  EXPECT_FALSE(iObserver.iPinAsks[0].iRefusedBefore);
  EXPECT_EQ(iObserver.iPinAsks[1].iAttemptsLeft, 2);
  EXPECT_TRUE(iObserver.iPinAsks[1].iRefusedBefore);
  // The PIN is shown to nobody: not in what was sent, not in the log.
  for (const std::string& line : iObserver.iSending) EXPECT_EQ(line.find("4321"), std::string::npos) << line;
  for (const std::string& line : iObserver.iSending) EXPECT_EQ(line.find("1111"), std::string::npos) << line;
  for (const std::string& message : Messages()) {
    EXPECT_EQ(message.find("4321"), std::string::npos) << message;
    EXPECT_EQ(message.find("1111"), std::string::npos) << message;
  }
  EXPECT_EQ(Count("CMobilePhoneBase::UnlockSim - sending AT+CPIN=\"****\""), 2);
  EXPECT_EQ(iSim.Commands().back(), "AT+CIMI");  // went on to identify the phone and its SIM
}

TEST_F(PhoneSimTest, TheAttemptsLeftFromTheOtherFamilyReplyAndNoPinGiven) {
  int result = 0;
  Run(LockedSim("caret"), [&](CMobilePhoneBase& aPhone) { result = aPhone.EstablishConnection(); });
  EXPECT_EQ(result, KErrSimPinNeeded);
  ASSERT_EQ(iObserver.iPinAsks.size(), 1u);
  EXPECT_EQ(iObserver.iPinAsks[0].iAttemptsLeft, 3);
  EXPECT_EQ(iSim.Commands().back(), "AT^CPIN?");
}

TEST_F(PhoneSimTest, ASimThatCannotBeUnlockedEndsTheConnectWithNothingElseSent) {
  const std::pair<const char*, int> KCases[] = {{"SIM PUK", KErrSimPukNeeded},
                                                {"PH-SIM PIN", KErrSimPhoneLocked},
                                                {"absent", KErrSimAbsent},
                                                {"failure", KErrSimFailure}};
  for (const auto& [state, expected] : KCases) {
    nlohmann::json profile = ShippedProfile("generic");
    profile["sim"] = {{"state", state}};
    int result = 0;
    Run(profile, [&](CMobilePhoneBase& aPhone) { result = aPhone.EstablishConnection(); });
    EXPECT_EQ(result, expected) << state;
    EXPECT_EQ(iSim.Commands().back(), "AT+CPIN?") << state;
    EXPECT_TRUE(iObserver.iPinAsks.empty());
    iSim.Stop();
  }
}

TEST_F(PhoneSimTest, ThreeWrongPinsLeaveTheSimWantingItsPuk) {
  iObserver.iPins = {u"1111", u"2222", u"3333", u"4444"};
  int result = 0;
  Run(LockedSim(), [&](CMobilePhoneBase& aPhone) { result = aPhone.EstablishConnection(); });
  EXPECT_EQ(result, KErrSimPukNeeded);
  EXPECT_EQ(iObserver.iPins, std::vector<std::u16string>{u"4444"});  // never asked for a fourth
  EXPECT_EQ(iSim.Commands().back(), "AT+CPIN?");
}

TEST_F(PhoneSimTest, UssdRepliesInEachCodingAndAMenuAnsweredThenCancelled) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["ussd"] = {{{"request", "*101#"}, {"reply", "Balance 5.00 EUR"}, {"coding", "packed"}},
                     {{"request", "*102#"}, {"reply", "Баланс: 5 ₽"}, {"coding", "ucs2"}},
                     {{"request", "*103#"}, {"reply", "1234"}, {"coding", "plain"}},
                     {{"request", "*100#"}, {"reply", "1 Balance\n2 Bundles"}, {"menu", true}},
                     {{"request", "*100#>2"}, {"reply", "Bundles: none"}},
                     {{"request", "*104#"}, {"coding", "silent"}}};
  std::vector<std::u16string> texts;
  std::vector<int> results, statuses;
  Run(profile, [&](CMobilePhoneBase& aPhone) {
    ASSERT_EQ(aPhone.EstablishConnection(), 0);
    for (const char16_t* code : {u"*101#", u"*102#", u"*103#", u"*100#", u"2"}) {
      TUssdReply reply;
      results.push_back(aPhone.SendUssd(TConstPtr16(code), reply));
      statuses.push_back(reply.iStatus);
      texts.push_back(Text(reply.iText));
    }
    TUssdReply reply;
    EXPECT_EQ(aPhone.SendUssd(TConstPtr16(u"*100#"), reply), KReplyOk);
    EXPECT_EQ(reply.iStatus, EUssdMenu);
    EXPECT_EQ(aPhone.CancelUssd(), KReplyOk);
    EXPECT_EQ(aPhone.SendUssd(TConstPtr16(u"*100#\";AT+CPIN=\"1"), reply), KErrUssdNotCode);
    aPhone.SetUssdTimeout(1000);
    EXPECT_EQ(aPhone.SendUssd(TConstPtr16(u"*104#"), reply), KErrUssdTimedOut);
  });
  EXPECT_EQ(results, (std::vector<int>{KReplyOk, KReplyOk, KReplyOk, KReplyOk, KReplyOk}));
  EXPECT_EQ(statuses, (std::vector<int>{0, 0, 0, 1, 0}));
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Balance 5.00 EUR", u"Баланс: 5 ₽", u"1234", u"1 Balance\n2 Bundles",
                                                u"Bundles: none"}));
  std::vector<std::string> tail = CommandsAfter("AT+CUSD=1,\"*104#\",15");
  EXPECT_EQ(tail, Lines{"AT+CUSD=2"});  // the silent request was cancelled
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CUSD=2"), 2);
}

}  // namespace
