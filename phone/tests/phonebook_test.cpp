// Reading, writing and blanking phone book locations against phonesim.
#include "phone/tests/sim_fixture.h"

namespace {

using Lines = std::vector<std::string>;

// What UploadContactsItem needs of a contact record.
struct TContact {
  std::u16string iName, iNumber;
  int iLocation;
  TConstPtr16 Name() const { return TConstPtr16(iName.data(), static_cast<int>(iName.size())); }
  TConstPtr16 Number() const { return TConstPtr16(iNumber.data(), static_cast<int>(iNumber.size())); }
  int Location() const { return iLocation; }
};

nlohmann::json Entry(const nlohmann::json& aState, const char* aStore, int aLocation) {
  for (const auto& entry : aState["phonebooks"][aStore]["entries"])
    if (entry["location"] == aLocation) return entry;
  return nullptr;
}

TEST_F(PhoneSimTest, ReadingTheSimInRangesOf51) {
  int result = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) { result = aPhone.ReadPhoneBook(ESimCard); });
  EXPECT_EQ(result, KReplyOk);
  EXPECT_EQ(CommandsAfter("AT+GMM"), (Lines{"AT+CPBS=\"SM\"", "AT+CPBR=?", "AT+CPBR=1,51", "AT+CPBR=52,102",
                                            "AT+CPBR=103,153", "AT+CPBR=154,204", "AT+CPBR=205,250"}));
  ASSERT_EQ(iObserver.iEntries.size(), 3u);
  EXPECT_EQ(iObserver.iEntries[0].iLocation, 1);
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[0].iNumber)), "+441234567890");
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[0].iName)), "Alice");
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[2].iName)), "Carol");
  EXPECT_TRUE(Logged("CMobilePhoneBase::ChangePhoneStore completed 2"));
}

TEST_F(PhoneSimTest, AnEricssonKeepsNumbersWithoutThePlus) {
  // No space after the colon; type 145 numbers come back with their "+",
  // and a written international number goes out without it.
  int read = 0, written = 0;
  Run(ShippedProfile("ericsson"), [&](CMobilePhoneBase& aPhone) {
    read = aPhone.ReadPhoneBook(ESimCard);
    EXPECT_EQ(aPhone.iIsEricssonPhone, 1);
    TContact nils{u"Nils", u"+46701111111", 9};
    EXPECT_EQ(aPhone.UploadContactsItem(nils, 18, 20), 0);
    written = aPhone.WaitForPhoneBookWriteToComplete();
  });
  EXPECT_EQ(read, KReplyOk);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPBR=1,51"), 1);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPBR=52,100"), 1);
  ASSERT_EQ(iObserver.iEntries.size(), 2u);
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[0].iNumber)), "+441234567890");
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[1].iNumber)), "0161496000");
  EXPECT_EQ(written, KReplyOk);
  EXPECT_EQ(iSim.Commands().back(), "AT+CPBW=9,\"46701111111\",145,\"Nils\"");
  EXPECT_EQ(iObserver.iEntriesSent, 1);
  iSim.Stop();
  nlohmann::json nils = Entry(iSim.State(), "SM", 9);
  ASSERT_FALSE(nils.is_null());
  EXPECT_EQ(nils["type"], 145);
  EXPECT_EQ(nils["name"], "Nils");
}

TEST_F(PhoneSimTest, WritingAndBlankingLocations) {
  int written = 0, blanked = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) {
    ASSERT_EQ(aPhone.EstablishConnection(), 0);
    ASSERT_EQ(aPhone.ChangePhoneStore(ESimCard), KReplyOk);
    // Names are cut at twice the name limit, numbers at the number limit.
    TContact zed{u"Zed \u00C5ngstr\u00F6m the thirty-one-character", u"+4477009001239999", 7};
    EXPECT_EQ(aPhone.UploadContactsItem(zed, 14, 14), 0);
    written = aPhone.WaitForPhoneBookWriteToComplete();
    EXPECT_EQ(aPhone.UploadBlank(2), 0);
    blanked = aPhone.WaitForPhoneBookWriteToComplete();
  });
  EXPECT_EQ(written, KReplyOk);
  EXPECT_EQ(blanked, KReplyOk);
  EXPECT_EQ(iSim.Commands().back(), "AT+CPBW=2");
  EXPECT_EQ(iObserver.iEntriesSent, 1);
  EXPECT_EQ(iObserver.iEntriesDeleted, 1);
  EXPECT_TRUE(Logged("CMobilePhoneBase::WaitForPhoneBookWriteToComplete - completed"));
  iSim.Stop();
  nlohmann::json state = iSim.State();
  EXPECT_TRUE(Entry(state, "SM", 2).is_null());
  nlohmann::json zed = Entry(state, "SM", 7);
  ASSERT_FALSE(zed.is_null());
  EXPECT_EQ(zed["number"], "+4477009001239");
  // 8859-1 was accepted, so the name went out unconverted (phonesim keeps 18 characters).
  EXPECT_EQ(zed["name"], "Zed \u00C5ngstr\u00F6m the t");
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPBW=7,\"+4477009001239\",145,\"Zed \xC5ngstr\xF6m the thirty-one-\""), 1);
}

TEST_F(PhoneSimTest, WritingInTheGsmCharacterSet) {
  int written = 0;
  Run(ShippedProfile("minimal"), [&](CMobilePhoneBase& aPhone) {
    ASSERT_EQ(aPhone.EstablishConnection(), 0);
    ASSERT_EQ(aPhone.ChangePhoneStore(ESimCard), KReplyOk);
    TContact name{u"\u00C4 [x]", u"123", 3};
    aPhone.UploadContactsItem(name, 14, 20);
    written = aPhone.WaitForPhoneBookWriteToComplete();
    // A store the phone does not have is refused without reading.
    EXPECT_EQ(aPhone.ReadPhoneBook(EPhoneMemory), KReplyError);
  });
  EXPECT_EQ(written, KReplyOk);
  iSim.Stop();
  nlohmann::json entry = Entry(iSim.State(), "SM", 3);
  ASSERT_FALSE(entry.is_null());
  EXPECT_EQ(entry["name"], "\u00C4 [x]");
}

}  // namespace
