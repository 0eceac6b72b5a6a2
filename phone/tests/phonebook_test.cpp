// Reading, writing and blanking phone book locations against phonesim.
#include <kvplatform.h>

#include "phone/tests/sim_fixture.h"

namespace {

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
  EXPECT_EQ(CommandsAfter("AT+CIMI"), (Lines{"AT+CPBS=\"SM\"", "AT+CPBR=?", "AT+CPBR=1,51", "AT+CPBR=52,102",
                                            "AT+CPBR=103,153", "AT+CPBR=154,204", "AT+CPBR=205,250"}));
  ASSERT_EQ(iObserver.iEntries.size(), 3u);
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

namespace {

// The generic phone offering UCS2 as well, its SIM holding aNames from location 1.
nlohmann::json Ucs2Phone(const std::vector<std::string>& aNames, const std::string& aNameForm = "hex") {
  nlohmann::json profile = ShippedProfile("generic");
  profile["charsets"] = {"GSM", "8859-1", "UCS2"};
  profile["quirks"]["ucs2_names"] = aNameForm;
  nlohmann::json entries = nlohmann::json::array();
  for (size_t i = 0; i < aNames.size(); ++i)
    entries.push_back({{"location", i + 1}, {"number", "0161496000" + std::to_string(i)}, {"name", aNames[i]}});
  profile["phonebooks"]["SM"]["entries"] = entries;
  profile["phonebooks"]["SM"]["name_length"] = 20;
  return profile;
}

// Every script is the name codec's test; here letters of two and three UTF-8
// octets and a pair, as the phone takes and gives them.
const std::vector<std::u16string> KUnicodeNames = {
    u"\u0418\u0432\u0430\u043D",  // Cyrillic
    u"\u738B\u5C0F\u660E",        // Chinese
    u"Mia \U0001F600\U0001F389",  // emoji
};

TEST_F(PhoneSimTest, UnicodeNamesGoAndComeBackInUcs2) {
  int read = 0;
  std::vector<int> written;
  Run(Ucs2Phone({}), [&](CMobilePhoneBase& aPhone) {
    ASSERT_EQ(aPhone.EstablishConnection(), 0);
    EXPECT_EQ(aPhone.CharsetUcs2(), 1);
    EXPECT_EQ(aPhone.Charset8859(), 0);
    ASSERT_EQ(aPhone.ChangePhoneStore(ESimCard), KReplyOk);
    int location = 11;
    for (const std::u16string& name : KUnicodeNames) {
      TContact contact{name, u"+4477009001", location++};
      EXPECT_EQ(aPhone.UploadContactsItem(contact, 20, 40), 0);
      written.push_back(aPhone.WaitForPhoneBookWriteToComplete());
    }
    read = aPhone.ReadPhoneBook(ESimCard);
  });
  EXPECT_EQ(written, std::vector<int>(KUnicodeNames.size(), KReplyOk));
  EXPECT_EQ(read, KReplyOk);
  std::vector<std::string> commands = iSim.Commands();
  EXPECT_EQ(CountOf(commands, "AT+CSCS=?"), 1);
  EXPECT_EQ(CountOf(commands, "AT+CSCS=\"UCS2\""), 1);
  EXPECT_EQ(CountOf(commands, "AT+CSCS=\"8859-1\""), 0);
  EXPECT_TRUE(Logged("CMobilePhoneBase::SendConnectString - names in UCS2"));
  EXPECT_EQ(CountOf(commands, "AT+CPBW=11,\"+4477009001\",145,\"041804320430043D\""), 1);
  EXPECT_EQ(CountOf(commands, "AT+CPBW=13,\"+4477009001\",145,\"004D006900610020D83DDE00D83CDF89\""), 1);
  ASSERT_EQ(iObserver.iEntries.size(), KUnicodeNames.size());
  for (size_t i = 0; i < KUnicodeNames.size(); ++i) {
    EXPECT_EQ(iObserver.iEntries[i].iLocation, static_cast<int>(11 + i));
    EXPECT_EQ(Text(iObserver.iEntries[i].iName), KUnicodeNames[i]) << i;
    EXPECT_EQ(Narrow(Text(iObserver.iEntries[i].iNumber)), "+4477009001");
  }
  iSim.Stop();
  nlohmann::json chinese = Entry(iSim.State(), "SM", 12);
  ASSERT_FALSE(chinese.is_null());
  EXPECT_EQ(chinese["name"], kvplatform::ToUtf8(KUnicodeNames[1]));
}

TEST_F(PhoneSimTest, ANameLongerThanThePhoneTakesIsCutInCodeUnitsAndLogged) {
  nlohmann::json profile = Ucs2Phone({});
  profile["phonebooks"]["SM"]["name_length"] = 5;
  Run(profile, [&](CMobilePhoneBase& aPhone) {
    ASSERT_EQ(aPhone.EstablishConnection(), 0);
    ASSERT_EQ(aPhone.ChangePhoneStore(ESimCard), KReplyOk);
    int limit = aPhone.PhoneSettings().MemoryValues[ESimCard].MaxName;
    EXPECT_EQ(limit, 5);
    // The emoji would end at the sixth unit: it goes whole.
    TContact emoji{u"abcd\U0001F600x", u"123", 3};
    EXPECT_EQ(aPhone.UploadContactsItem(emoji, limit, 20), 0);
    EXPECT_EQ(aPhone.WaitForPhoneBookWriteToComplete(), KReplyOk);
    // A name that fits exactly is not cut.
    TContact fits{u"\u0416\u0416\u0416\U0001F600", u"124", 4};
    EXPECT_EQ(aPhone.UploadContactsItem(fits, limit, 20), 0);
    EXPECT_EQ(aPhone.WaitForPhoneBookWriteToComplete(), KReplyOk);
  });
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPBW=3,\"123\",129,\"0061006200630064\""), 1);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CPBW=4,\"124\",129,\"041604160416D83DDE00\""), 1);
  EXPECT_TRUE(Logged("CMobilePhoneBase::UploadContactsItem name cut from 7 to 4 characters"));
  EXPECT_FALSE(Logged("CMobilePhoneBase::UploadContactsItem name cut from 5"));
}

TEST_F(PhoneSimTest, NamesFromPhonesThatAnswerUcs2TheirOwnWay) {
  struct TCase {
    const char* iForm;
    std::vector<std::u16string> iNames;
  };
  // Phones that send 8-bit text can only hold Latin-1 names.
  const std::vector<TCase> cases = {
      {"byte_swapped", {u"J\u00F6rg", u"\u0418\u0432\u0430\u043D", u"\u738B\u5C0F\u660E", u"\u0395\u03BB\u03AD\u03BD\u03B7"}},
      {"8bit_hex_00", {u"J\u00F6rg", u"Bob", u"Anna Berg", u"Eve"}},
      {"plain", {u"J\u00F6rg", u"Abba", u"Cafe 2"}},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> names;
    for (const std::u16string& name : c.iNames) names.push_back(kvplatform::ToUtf8(name));
    iObserver.iEntries.clear();
    int read = 0;
    Run(Ucs2Phone(names, c.iForm), [&](CMobilePhoneBase& aPhone) { read = aPhone.ReadPhoneBook(ESimCard); });
    EXPECT_EQ(read, KReplyOk) << c.iForm;
    ASSERT_EQ(iObserver.iEntries.size(), c.iNames.size()) << c.iForm;
    for (size_t i = 0; i < c.iNames.size(); ++i) EXPECT_EQ(Text(iObserver.iEntries[i].iName), c.iNames[i]) << c.iForm;
    iSim.Stop();
  }
}

TEST_F(PhoneSimTest, UnquotedHexadecimalNamesNumbersAndExtraFields) {
  nlohmann::json profile = Ucs2Phone({});
  profile["phonebooks"]["SM"]["last"] = 10;
  profile["script"] = {
      {{"expect", "AT+CPBR=1,10"},
       {"reply",
        "\r\n+CPBR: 1,\"002B00340034\",145,041804320430043D,0\r\n"
        "+CPBR: 2,\"0161496\",129,\"0410043D043D0430\",,,,,,,\r\n"
        "+CPBR: 3,\"00310032\",129,\"004A\"\r\n"
        "+CPBR: 4,\"5551234\",129,\r\n\r\nOK\r\n"}}};
  Run(profile, [&](CMobilePhoneBase& aPhone) { EXPECT_EQ(aPhone.ReadPhoneBook(ESimCard), KReplyOk); });
  ASSERT_EQ(iObserver.iEntries.size(), 4u);
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[0].iNumber)), "+44");
  EXPECT_EQ(Text(iObserver.iEntries[0].iName), u"\u0418\u0432\u0430\u043D");
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[1].iNumber)), "0161496");
  EXPECT_EQ(Text(iObserver.iEntries[1].iName), u"\u0410\u043D\u043D\u0430");
  EXPECT_EQ(Narrow(Text(iObserver.iEntries[2].iNumber)), "12");
  EXPECT_EQ(Text(iObserver.iEntries[2].iName), u"J");
  // An empty name after the type.
  EXPECT_EQ(iObserver.iEntries[3].iLocation, 4);
  EXPECT_EQ(Text(iObserver.iEntries[3].iName), u"");
}

}  // namespace
