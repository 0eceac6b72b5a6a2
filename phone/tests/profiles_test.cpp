// Every operation of the layer, one after the other in one action, against
// each of the shipped phones.
#include "phone/tests/sim_fixture.h"

namespace {

struct TProbeContact {
  TConstPtr16 Name() const { return TConstPtr16(u"Probe"); }
  TConstPtr16 Number() const { return TConstPtr16(u"+15550199"); }
  int Location() const { return 10; }
};

class EveryProfileTest : public PhoneSimTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EveryProfileTest, EveryOperationWorks) {
  std::vector<int> results;
  int deleted = -1;
  Run(ShippedProfile(GetParam()), [&](CMobilePhoneBase& aPhone) {
    results.push_back(aPhone.ReadPhoneSettings());
    results.push_back(aPhone.ReadPhoneBook(ESimCard));
    results.push_back(aPhone.EstablishConnection());
    results.push_back(aPhone.ChangePhoneStore(ESimCard));
    results.push_back(aPhone.UploadContactsItem(TProbeContact(), 14, 20));
    results.push_back(aPhone.WaitForPhoneBookWriteToComplete());
    results.push_back(aPhone.UploadBlank(10));
    results.push_back(aPhone.WaitForPhoneBookWriteToComplete());
    results.push_back(aPhone.ReadSms());
    CStdSms* sms = CStdSms::NewL(0);
    sms->Recipient(0)->iNumber.Copy(u"+15550123");
    sms->SmsCentre().iNumber.Copy(u"+15550000");
    sms->SetText(TConstPtr16(u"Probe {one}"));
    results.push_back(aPhone.SendSms(*sms, 3));
    delete sms;
    TSmsAddress centre;
    centre.iNumber.Copy(u"+15550001");
    results.push_back(aPhone.SetSmsCentre(centre));
    results.push_back(aPhone.DeleteAllSms(4, deleted, 2));
  });
  EXPECT_EQ(results, (std::vector<int>{2, 2, 0, 2, 0, 2, 0, 2, 2, 2, 2, 2}));
  EXPECT_EQ(iObserver.iDiscovered.size(), 1u);  // one full connection, then quick checks
  EXPECT_EQ(iObserver.iSettingsReports, 1);
  EXPECT_FALSE(iObserver.iEntries.empty());
  iSim.Stop();
  nlohmann::json state = iSim.State();
  EXPECT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["smsc"], "+15550001");
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CSCA=\"+15550001\",145"), 1);
  EXPECT_EQ(deleted, static_cast<int>(iObserver.iSms.size()));
  for (const char* store : {"ME", "SM"}) {
    if (!state["sms"]["stores"][store].is_null()) {
      EXPECT_TRUE(state["sms"]["stores"][store]["messages"].empty());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, EveryProfileTest, ::testing::Values("generic", "ericsson", "minimal", "full"));

}  // namespace
