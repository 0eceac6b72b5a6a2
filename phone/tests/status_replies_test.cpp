// The status replies in the shapes phones and modems give them: each either
// read as the value it says, or left unknown.
#include <string>

#include <gtest/gtest.h>

#include "phone/phone_status.h"

namespace {

// The reply lines as the AT layer collects them, joined by line feeds.
struct TReply {
  explicit TReply(const std::u16string& aText) { iBuf.Copy(reinterpret_cast<const TText16*>(aText.data()), static_cast<int>(aText.size())); }
  TModBuf16<512> iBuf;
};

std::u16string Str(const TDesc16& aText) { return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())); }

std::u16string Identity(const std::u16string& aReply) {
  TModBuf16<KStatusTextLength> out;
  ParseIdentityReply(TReply(aReply).iBuf, out);
  return Str(out);
}

std::u16string Imei(const std::u16string& aReply) {
  TModBuf16<KStatusTextLength> out;
  ParseImeiReply(TReply(aReply).iBuf, out);
  return Str(out);
}

TPhoneStatus Parsed(void (*aParser)(const TDesc16&, TPhoneStatus&), const std::u16string& aReply) {
  TPhoneStatus status;
  aParser(TReply(aReply).iBuf, status);
  return status;
}

TPhoneStatus Operator(const std::u16string& aReply, bool aUcs2) {
  TPhoneStatus status;
  ParseOperatorReply(TReply(aReply).iBuf, aUcs2, status);
  return status;
}

TEST(StatusReplies, IdentityInEachFamilysShape) {
  EXPECT_EQ(Identity(u"Simcorp"), u"Simcorp");
  EXPECT_EQ(Identity(u"+CGMI: Simcorp"), u"Simcorp");
  EXPECT_EQ(Identity(u"+CGMI:\"Simcorp Ltd\""), u"Simcorp Ltd");
  EXPECT_EQ(Identity(u"Manufacturer: Simcorp"), u"Simcorp");
  EXPECT_EQ(Identity(u"Revision: EX25R06A06"), u"EX25R06A06");
  // An announcement between the echo and the reply is not the maker.
  EXPECT_EQ(Identity(u"^RSSI:5\n+CREG: 1\nSimcorp"), u"Simcorp");
  EXPECT_EQ(Identity(u""), u"");
  EXPECT_EQ(Identity(u"\"\"\n  "), u"");
  // Cut to the field, never beyond it.
  EXPECT_EQ(Identity(std::u16string(300, u'x')).size(), static_cast<size_t>(KStatusTextLength));
}

TEST(StatusReplies, ImeiOnlyWhenItIsOne) {
  EXPECT_EQ(Imei(u"352099001761481"), u"352099001761481");
  EXPECT_EQ(Imei(u"+CGSN: \"352099001761481\""), u"352099001761481");
  EXPECT_EQ(Imei(u"IMEI: 35209900176148"), u"35209900176148");
  EXPECT_EQ(Imei(u"12345"), u"");
  EXPECT_EQ(Imei(u"35209900176148X"), u"");
  EXPECT_EQ(Imei(u"ERROR"), u"");
}

TEST(StatusReplies, SimStates) {
  EXPECT_EQ(Parsed(ParseSimReply, u"+CPIN: READY").iSim, ESimReady);
  EXPECT_EQ(Parsed(ParseSimReply, u"+CPIN:SIM PIN").iSim, ESimPin);
  EXPECT_EQ(Parsed(ParseSimReply, u"+CPIN: SIM PUK").iSim, ESimPuk);
  EXPECT_EQ(Parsed(ParseSimReply, u"+CPIN: PH-SIM PIN").iSim, ESimPhonePin);
  EXPECT_EQ(Parsed(ParseSimReply, u"READY").iSim, ESimReady);
  EXPECT_EQ(Parsed(ParseSimReply, u"+CPIN: NOT INSERTED").iSim, ESimAbsent);
  TPhoneStatus other = Parsed(ParseSimReply, u"+CPIN: SIM PIN2");
  EXPECT_EQ(other.iSim, ESimOtherLock);
  EXPECT_EQ(Str(other.iSimText), u"SIM PIN2");
  EXPECT_EQ(Parsed(ParseSimReply, u"+CPIN: NOT READY").iSim, ESimUnknown);
  EXPECT_EQ(Parsed(ParseSimReply, u"").iSim, ESimUnknown);
  TPhoneStatus status;
  SimStateFromError(10, status);
  EXPECT_EQ(status.iSim, ESimAbsent);
  SimStateFromError(13, status);
  EXPECT_EQ(status.iSim, ESimFailure);
  SimStateFromError(3, status);  // not allowed: says nothing of the SIM
  EXPECT_EQ(status.iSim, ESimFailure);
}

TEST(StatusReplies, OperatorNamedNumericUcs2OrNone) {
  EXPECT_EQ(Str(Operator(u"+COPS: 0,0,\"Netz One\",7", false).iOperator), u"Netz One");
  EXPECT_EQ(Str(Operator(u"+COPS: 0,2,\"26201\"", true).iOperator), u"26201");
  EXPECT_EQ(Str(Operator(u"+COPS: 0,0,\"004E00650074007A\",2", true).iOperator), u"Netz");
  // Not hexadecimal, although UCS2 was selected: taken as it is.
  EXPECT_EQ(Str(Operator(u"+COPS: 0,0,\"Netz\"", true).iOperator), u"Netz");
  EXPECT_EQ(Str(Operator(u"+COPS: 0", false).iOperator), u"");
  EXPECT_EQ(Str(Operator(u"+COPS: 0,0,\"Net, \"quoted\"\"", false).iOperator).substr(0, 5), u"Net, ");
}

TEST(StatusReplies, RegistrationFromQueryAndAnnouncementForms) {
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: 0,1").iRegistration, ERegHome);
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: 2,5,\"00C3\",\"1234\",7").iRegistration, ERegRoaming);
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG:0,2").iRegistration, ERegSearching);
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: 0,3").iRegistration, ERegDenied);
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: 0,0").iRegistration, ERegNotRegistered);
  // An announcement (the state first, then a quoted area) that came in between.
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: 1,\"00C3\",\"1234\"").iRegistration, ERegHome);
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: 0,4").iRegistration, ERegUnknown);
  EXPECT_EQ(Parsed(ParseRegistrationReply, u"+CREG: x,y").iRegistration, ERegUnknown);
  // Registered on LTE only: the better of the two counts.
  TPhoneStatus status = Parsed(ParseRegistrationReply, u"+CREG: 0,2");
  ParseRegistrationReply(TReply(u"+CEREG: 0,1").iBuf, status);
  EXPECT_EQ(status.iRegistration, ERegHome);
  ParseRegistrationReply(TReply(u"+CEREG: 0,4").iBuf, status);
  EXPECT_EQ(status.iRegistration, ERegHome);
}

TEST(StatusReplies, SignalInDbmAndBars) {
  TPhoneStatus status = Parsed(ParseSignalReply, u"+CSQ: 20,99");
  EXPECT_EQ(status.iSignalDbm, -73);
  EXPECT_EQ(status.iSignalBars, 4);
  status = Parsed(ParseSignalReply, u"+CSQ:12,0");
  EXPECT_EQ(status.iSignalDbm, -89);
  EXPECT_EQ(status.iSignalBars, 2);
  status = Parsed(ParseSignalReply, u"+CSQ: 0,0");
  EXPECT_EQ(status.iSignalDbm, -113);
  EXPECT_EQ(status.iSignalBars, 0);
  EXPECT_EQ(Parsed(ParseSignalReply, u"+CSQ: 31,99").iSignalDbm, -51);
  for (const char16_t* unknown : {u"+CSQ: 99,99", u"+CSQ: ", u"+CSQ: -5,0", u"+CSQ: 150,0", u"+CSQX: 20,99"}) {
    status = Parsed(ParseSignalReply, unknown);
    EXPECT_EQ(status.iSignalBars, KStatusUnknown) << std::string(unknown, unknown + 5);
    EXPECT_EQ(status.iSignalDbm, 0);
  }
}

TEST(StatusReplies, BatteryWithAndWithoutVoltage) {
  TPhoneStatus status = Parsed(ParseBatteryReply, u"+CBC: 0,85");
  EXPECT_EQ(status.iBatteryPercent, 85);
  EXPECT_EQ(status.iPower, EPowerBattery);
  status = Parsed(ParseBatteryReply, u"+CBC: 1,50,4012");
  EXPECT_EQ(status.iBatteryPercent, 50);
  EXPECT_EQ(status.iPower, EPowerExternal);
  status = Parsed(ParseBatteryReply, u"+CBC: 2,0");
  EXPECT_EQ(status.iBatteryPercent, KStatusUnknown);
  EXPECT_EQ(status.iPower, EPowerNoBattery);
  status = Parsed(ParseBatteryReply, u"+CBC: 4012");
  EXPECT_EQ(status.iBatteryPercent, KStatusUnknown);
  EXPECT_EQ(status.iPower, EPowerUnknown);
  EXPECT_EQ(Parsed(ParseBatteryReply, u"+CBC: 0,250").iBatteryPercent, KStatusUnknown);
}

TEST(StatusReplies, StorageNamedOrCounted) {
  TPhoneStatus status = Parsed(ParseStorageReply, u"+CPMS: \"SM\",3,30,\"ME\",0,100,\"MT\",3,130");
  EXPECT_EQ(Str(status.iStores[0].iMemory), u"SM");
  EXPECT_EQ(status.iStores[0].iUsed, 3);
  EXPECT_EQ(status.iStores[0].iSize, 30);
  EXPECT_EQ(Str(status.iStores[2].iMemory), u"MT");
  EXPECT_EQ(status.iStores[2].iSize, 130);
  status = Parsed(ParseStorageReply, u"+CPMS: 3,30,4,50");
  EXPECT_EQ(Str(status.iStores[0].iMemory), u"");
  EXPECT_EQ(status.iStores[1].iUsed, 4);
  EXPECT_EQ(status.iStores[2].iUsed, KStatusUnknown);
  // More used than there is room: not believed.
  EXPECT_EQ(Parsed(ParseStorageReply, u"+CPMS: 31,30").iStores[0].iUsed, KStatusUnknown);
  EXPECT_EQ(Parsed(ParseStorageReply, u"+CPMS: \"SM").iStores[0].iUsed, KStatusUnknown);
}

TEST(StatusReplies, SmsSupport) {
  EXPECT_TRUE(ParseSmsSupportReply(TReply(u"+CMGF: (0,1)").iBuf));
  EXPECT_TRUE(ParseSmsSupportReply(TReply(u"+CSMS: 0,1,1,1").iBuf));
  EXPECT_FALSE(ParseSmsSupportReply(TReply(u"+CSMS: 0,0,0,0").iBuf));
  EXPECT_FALSE(ParseSmsSupportReply(TReply(u"").iBuf));
}

}  // namespace
