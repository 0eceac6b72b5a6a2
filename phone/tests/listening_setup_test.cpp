// Setting a phone up for listening against phonesim: the announcements chosen
// from what "AT+CNMI=?" offers, in each shape phones answer it, messages
// routed whole and acknowledged, and the message memories chosen from
// "AT+CPMS=?".
#include "phone/tests/sim_fixture.h"

namespace {

class ListeningSetupTest : public PhoneSimTest {
 protected:
  // Connects to a generic phone whose "AT+CNMI=?" answers aOffer (null: no
  // AT+CNMI) and asks for announcements; the result and the AT+CNMI
  // commands sent.
  int Indications(const nlohmann::json& aOffer, Lines& aCommands, bool aSpaceAfterColon = true,
                  const nlohmann::json& aRefuse = nlohmann::json::array()) {
    nlohmann::json profile = ShippedProfile("generic");
    profile["sms"]["cnmi_offer"] = aOffer;
    profile["quirks"]["space_after_colon"] = aSpaceAfterColon;
    profile["quirks"]["refuse"] = aRefuse;
    int result = 0;
    Run(profile, [&](CMobilePhoneBase& aPhone) {
      ASSERT_EQ(aPhone.EstablishConnection(), 0);
      result = aPhone.EnableNewMessageIndications();
      iRoutes = aPhone.RoutesMessages();
    });
    aCommands.clear();
    for (const std::string& command : iSim.Commands())
      if (command.rfind("AT+CNMI", 0) == 0) aCommands.push_back(command);
    return result;
  }
  bool iRoutes = false;
};

TEST_F(ListeningSetupTest, TheUsualRangesGetStoredMessagesAndReportsAnnounced) {
  Lines sent;
  EXPECT_EQ(Indications("(0-2),(0-3),(0,2),(0-2),(0,1)", sent), KReplyOk);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?", "AT+CNMI=2,1,0,2,0"}));
  EXPECT_FALSE(iRoutes);
}

TEST_F(ListeningSetupTest, ListsWithoutTheSpaceAfterTheColon) {
  Lines sent;
  EXPECT_EQ(Indications("(1,2),(0,1,2,3),(0,2),(0,1,2),(0,1)", sent, false), KReplyOk);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?", "AT+CNMI=2,1,0,2,0"}));
}

TEST_F(ListeningSetupTest, SpacesAfterTheCommasAndReportsOnlyRouted) {
  Lines sent;
  EXPECT_EQ(Indications("(0, 1, 2), (0, 1), (0), (0, 1), (0)", sent), KReplyOk);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?", "AT+CNMI=2,1,0,1,0"}));
}

TEST_F(ListeningSetupTest, BareValuesWithoutParentheses) {
  Lines sent;
  EXPECT_EQ(Indications("1,1,0,2,0", sent), KReplyOk);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?", "AT+CNMI=1,1,0,2,0"}));
}

TEST_F(ListeningSetupTest, AnEmptyAnswerIsTriedThenGivenUpForPolling) {
  Lines sent;
  EXPECT_EQ(Indications("", sent), KReplyNotAnnouncing);
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[1], "AT+CNMI=2,1,0,2,0");
  EXPECT_LE(sent.size(), 20u) << "a bounded number of tries";
}

TEST_F(ListeningSetupTest, APhoneWithoutCnmiIsPolled) {
  Lines sent;
  EXPECT_EQ(Indications(nullptr, sent), KReplyNotAnnouncing);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?"})) << "nothing asked of a phone that has no AT+CNMI";
}

TEST_F(ListeningSetupTest, ARefusedChoiceIsFollowedByTheNextOne) {
  Lines sent;
  EXPECT_EQ(Indications("(0-2),(0-3),(0,2),(0-2),(0,1)", sent, true, {"AT+CNMI=2,1,0,2,0"}), KReplyOk);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?", "AT+CNMI=2,1,0,2,0", "AT+CNMI=2,1"}));
}

TEST_F(ListeningSetupTest, APhoneThatOnlyRoutesMessagesHasThemRouted) {
  Lines sent;
  EXPECT_EQ(Indications("(1,2),(0,2),(0),(0,1),(0)", sent), KReplyOk);
  EXPECT_EQ(sent, (Lines{"AT+CNMI=?", "AT+CNMI=2,2,0,1,0"}));
  EXPECT_TRUE(iRoutes);
}

// A routed message is taken from its "+CMT" line and PDU, and acknowledged
// when the message service is 1; with service 0 nothing is acknowledged.
TEST_F(ListeningSetupTest, RoutedMessagesAreAcknowledgedWhenTheServiceWantsIt) {
  for (int service : {1, 0}) {
    SCOPED_TRACE(service);
    nlohmann::json profile = ShippedProfile("generic");
    profile["sms"]["cnmi_offer"] = "(2),(2),(0),(1),(0)";
    profile["sms"]["service"] = service;
    iSim.EnableControl();
    iObserver = TRecordingObserver();
    int waited = 0;
    Run(profile, [&](CMobilePhoneBase& aPhone) {
      ASSERT_EQ(aPhone.EstablishConnection(), 0);
      ASSERT_EQ(aPhone.EnableNewMessageIndications(), KReplyOk);
      ASSERT_TRUE(iSim.Control("deliver +447700900123 Routed to you"));
      waited = aPhone.WaitForIndication(20000);
    });
    EXPECT_EQ(waited, KReplyIndication);
    ASSERT_EQ(iObserver.iSms.size(), 1u);
    EXPECT_EQ(Narrow(iObserver.iSms[0].iText), "Routed to you");
    EXPECT_EQ(iObserver.iSms[0].iStatus, KSmsStatusReceived);
    EXPECT_EQ(CountOf(iSim.Commands(), "AT+CSMS?"), 1);
    EXPECT_EQ(CountOf(iSim.Commands(), "AT+CNMA"), service);
    iSim.Stop();
    EXPECT_EQ(iSim.State()["sms"]["unacknowledged"], 0);
  }
}

class MessageStoresTest : public PhoneSimTest {
 protected:
  // The AT+CPMS command that chose the memories ("" when none), and the
  // receiving memory's counts.
  std::string Select(const nlohmann::json& aProfile, bool aReadAll = false) {
    Run(aProfile, [&](CMobilePhoneBase& aPhone) {
      ASSERT_EQ(aPhone.EstablishConnection(), 0);
      iResult = aPhone.SelectMessageStores();
      iUsed = aPhone.ReceiveStoreUsed();
      iTotal = aPhone.ReceiveStoreTotal();
      iFull = aPhone.ReceiveStoreFull();
      if (aReadAll) iRead = aPhone.ReadSms();
    });
    for (const std::string& command : iSim.Commands())
      if (command.rfind("AT+CPMS=\"", 0) == 0) return command;
    return "";
  }
  int iResult = 0, iUsed = -1, iTotal = -1, iRead = 0;
  bool iFull = false;
};

TEST_F(MessageStoresTest, AllThreeMemoriesAreChosenWithMostRoomForNewMessages) {
  EXPECT_EQ(Select(ShippedProfile("generic")), "AT+CPMS=\"ME\",\"ME\",\"ME\"");
  EXPECT_EQ(iResult, KReplyOk);
  EXPECT_EQ(iUsed, 2);
  EXPECT_EQ(iTotal, 100);
  EXPECT_FALSE(iFull);
}

TEST_F(MessageStoresTest, BothStoresReceiveWhenThePhoneOffersMt) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sms"]["offer_mt"] = true;
  EXPECT_EQ(Select(profile), "AT+CPMS=\"ME\",\"ME\",\"MT\"");
  EXPECT_EQ(iTotal, 130) << "the phone's 100 and the SIM's 30";
  EXPECT_EQ(iUsed, 4);
}

TEST_F(MessageStoresTest, MemoriesSpelledWithPAreUsedAsThePhoneSpellsThem) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sms"]["memory_suffix"] = "_P";
  profile["sms"]["cpms_format"] = "named";
  EXPECT_EQ(Select(profile, true), "AT+CPMS=\"ME_P\",\"ME_P\",\"ME_P\"");
  EXPECT_EQ(iRead, KReplyOk);
  EXPECT_EQ(iObserver.iSms.size(), 4u) << "both memories read under their own names";
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPMS=\"SM_P\""), 2);
}

TEST_F(MessageStoresTest, OddOffersAreReadOrLeftAlone) {
  struct TCase {
    const char* iReply;
    const char* iChosen;
  } cases[] = {
      {"+CPMS: (\"SM\", \"ME\"), (\"SM\", \"ME\"), (\"SM\", \"ME\")", "AT+CPMS=\"ME\",\"ME\",\"ME\""},
      {"+CPMS: (\"SM,\"ME\"),(\"SM\",\"ME\"),(\"SM\")", "AT+CPMS=\"SM\",\"SM\",\"SM\""},
      {"+CPMS: \"SM\",\"ME\"", "AT+CPMS=\"ME\",\"ME\",\"ME\""},
      {"+CPMS: ", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.iReply);
    nlohmann::json profile = ShippedProfile("generic");
    profile["script"] = {{{"expect", "AT+CPMS=?"}, {"reply", std::string("\r\n") + c.iReply + "\r\n\r\nOK\r\n"}}};
    EXPECT_EQ(Select(profile), c.iChosen);
    EXPECT_EQ(iResult, KReplyOk);
    iSim.Stop();
  }
}

TEST_F(MessageStoresTest, AFullReceivingMemoryIsTold) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sms"]["stores"]["ME"]["capacity"] = 2;
  EXPECT_EQ(Select(profile), "AT+CPMS=\"ME\",\"ME\",\"ME\"");
  EXPECT_TRUE(iFull);
  EXPECT_EQ(iUsed, 2);
  EXPECT_EQ(iTotal, 2);
}

}  // namespace
