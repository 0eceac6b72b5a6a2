// The simulator's parts on their own: PDU coder, profile checking, and the
// interpreter's replies without a line in between.
#include <gtest/gtest.h>

#include "at_command.h"
#include "modem.h"
#include "pdu.h"
#include "profile.h"
#include "sim_process.h"

namespace phonesim {
namespace {

Profile Load(const std::string& json) {
  Profile p;
  std::string error;
  EXPECT_TRUE(ParseProfile(json, "test.json", p, error)) << error;
  return p;
}

std::string LoadError(const std::string& json) {
  Profile p;
  std::string error;
  EXPECT_FALSE(ParseProfile(json, "bad.json", p, error));
  return error;
}

// gammu reads every message of the shipped profiles (escapes, Greek
// capitals, UCS2 with pairs, both reference sizes) and the program's own
// decoder reads them in its tests; here, what neither meets.
TEST(PduCoder, DeliverSubmitAndHeaders) {
  TextMessage m;
  m.address = "+447700900123";
  m.text = "hellohello";
  m.time = "2002-12-31T23:59:59+00:00";
  std::string pdu, error;
  ASSERT_TRUE(EncodeTextMessage(m, "+447785016005", pdu, error)) << error;
  EXPECT_EQ(pdu, "0791447758100650" "04" "0C91447700091032" "00" "00" "20211332959500" "0A" "E8329BFD4697D9EC37");
  EXPECT_EQ(TpduLength(pdu), 28);

  // Negative zone, alphanumeric sender, no service centre.
  m.address = "BANK";
  m.time = "2024-03-07T11:11:11-05:00";
  m.text = "A";
  ASSERT_TRUE(EncodeTextMessage(m, "", pdu, error)) << error;
  EXPECT_EQ(pdu, "00" "04" "07D0C2A07309" "00" "00" "4230701111110A" "01" "41");

  m.text = std::string(161, 'x');
  EXPECT_FALSE(EncodeTextMessage(m, "", pdu, error));
  m.text = "ok";
  m.time = "31/12/2002";
  EXPECT_FALSE(EncodeTextMessage(m, "", pdu, error));
  EXPECT_NE(error.find("31/12/2002"), std::string::npos);
  m.time = "2024-01-01T00:00:00+00:00";
  m.coding = Coding::kGsm7;
  m.text = "\xD1\x8F";  // Cyrillic ya
  EXPECT_FALSE(EncodeTextMessage(m, "", pdu, error));

  Submit submit;
  EXPECT_TRUE(ReadSubmit("079144775810065011000C914477000990990000FF10C8329BFD0699E5EF36E81C6EB7EB", submit, error));
  EXPECT_EQ(submit.recipient, "+447700900999");
  EXPECT_EQ(submit.text, "Hello from gammu");
  EXPECT_FALSE(ReadSubmit("0011000C91447700099099000010C8329B", submit, error));  // user data cut short
  EXPECT_FALSE(ReadSubmit("0791447758100650040C914477000910320000202113329595000AE8329BFD4697D9EC37", submit, error));
  EXPECT_EQ(TpduLength("zz"), -1);
  EXPECT_EQ(TpduLength("05AA"), -1);

  // A UCS2 part with a 16-bit reference and a report asked for, read back.
  TextMessage out;
  out.submit = true;
  out.address = "+447700900123";
  out.text = "\xD1\x8F\xF0\x9F\x99\x82";
  out.concat = {0xBEEF, 2, 1, 16};
  ASSERT_TRUE(EncodeTextMessage(out, "", pdu, error)) << error;
  pdu.replace(2, 2, "61");  // TP-SRR set
  ASSERT_TRUE(ReadSubmit(pdu, submit, error)) << error;
  EXPECT_EQ(submit.coding, Coding::kUcs2);
  EXPECT_EQ(submit.dataCoding, 8);
  EXPECT_EQ(submit.text, out.text);
  EXPECT_EQ(submit.concat.reference, 0xBEEF);
  EXPECT_EQ(submit.concat.referenceBits, 16);
  EXPECT_TRUE(submit.reportRequested);
}

// Long texts of a profile split where phones split them, never inside an
// escape or a pair.
TEST(PduCoder, LongTextsSplitWherePhonesSplitThem) {
  const std::string smile = "\xF0\x9F\x99\x82";  // U+1F642
  const std::string ya = "\xD1\x8F";               // Cyrillic ya
  const std::string euro = "\xE2\x82\xAC";
  // 7-bit: 160 septets in one message, 153 a part (152 with a 16-bit reference).
  EXPECT_EQ(SplitText(std::string(160, 'a'), Coding::kAuto, 8).size(), 1u);
  std::vector<std::string> parts = SplitText(std::string(161, 'a'), Coding::kAuto, 8);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].size(), 153u);
  EXPECT_EQ(SplitText(std::string(161, 'a'), Coding::kAuto, 16)[0].size(), 152u);
  parts = SplitText(std::string(152, 'a') + euro + std::string(10, 'b'), Coding::kAuto, 8);  // the escape is septet 153
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0], std::string(152, 'a'));
  EXPECT_EQ(parts[1], euro + std::string(10, 'b'));
  // UCS2: 70 units in one message, 67 a part (66 with a 16-bit reference).
  std::string seventy;
  for (int i = 0; i < 70; ++i) seventy += ya;
  EXPECT_EQ(SplitText(seventy, Coding::kAuto, 8).size(), 1u);
  parts = SplitText(seventy + ya, Coding::kAuto, 8);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].size(), 67u * 2);
  parts = SplitText(seventy.substr(0, 65 * 2) + smile + smile + smile, Coding::kAuto, 16);  // a pair would straddle unit 66
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0], seventy.substr(0, 65 * 2));
  EXPECT_EQ(parts[1], smile + smile + smile);
  // A Latin tail of a UCS2 text stays UCS2 when the coding is given.
  parts = SplitText(seventy + "abc", Coding::kAuto, 8);
  ASSERT_EQ(parts.size(), 2u);
  TextMessage m;
  m.address = "12345";
  m.time = "2024-01-01T00:00:00+00:00";
  m.text = parts[1];
  m.coding = Coding::kUcs2;
  m.concat = {300, 2, 2, 16};
  std::string pdu, error;
  ASSERT_TRUE(EncodeTextMessage(m, "", pdu, error)) << error;
  EXPECT_NE(pdu.find("060804012C0202"), std::string::npos) << pdu;
  EXPECT_EQ(pdu.substr(pdu.size() - 12), "006100620063");
}

TEST(Profiles, BadProfilesAreRefusedWithPlaceAndReason) {
  std::string e = LoadError("{\n  \"identity\": {\n    \"model\": \"X\",,\n  }\n}");
  EXPECT_EQ(e.rfind("bad.json:3:", 0), 0u) << e;
  EXPECT_NE(e.find("syntax error"), std::string::npos) << e;

  e = LoadError(R"({"quirks": {"bogus": 1}})");
  EXPECT_EQ(e, "bad.json: at /quirks/bogus: unknown field (known here: baud, chunk_bytes, echo, empty_range_reply, "
               "faults, hang_after, hangup_after_commands, indication_timing, refuse, silence_after_commands, "
               "silence_ms, space_after_colon, status_replies, ucs2_names, unsolicited)");
  e = LoadError(R"({"quirks": {"status_replies": "fancy"}})");
  EXPECT_EQ(e, "bad.json: at /quirks/status_replies: expected \"plain\", \"prefixed\" or \"labelled\", found \"fancy\"");
  e = LoadError(R"({"network": {"registration": 11}})");
  EXPECT_EQ(e, "bad.json: at /network/registration: 11 is outside 0 to 10");
  e = LoadError(R"({"quirks": {"faults": [{"command": "AT+CMGL", "then": "explode"}]}})");
  EXPECT_EQ(e, "bad.json: at /quirks/faults/0/then: expected \"silence\" or \"hangup\", found \"explode\"");
  e = LoadError(R"({"quirks": {"faults": [{"command": "AT+CMGS", "then": "silence", "stage": "prompt"}]}})");
  EXPECT_EQ(e, "bad.json: at /quirks/faults/0/stage: expected \"reply\" or \"pdu\", found \"prompt\"");
  e = LoadError(R"({"quirks": {"faults": [{"then": "hangup"}]}})");
  EXPECT_EQ(e, "bad.json: at /quirks/faults/0: needs \"command\" and \"then\"");
  e = LoadError(R"({"phonebooks": {"SM": {"first": 1, "last": 250, "entries": [{"location": 300}]}}})");
  EXPECT_EQ(e, "bad.json: at /phonebooks/SM/entries/0/location: 300 is outside 1 to 250");
  e = LoadError(R"({"battery": {"level": "full"}})");
  EXPECT_EQ(e, "bad.json: at /battery/level: expected an integer, found string");
  // A number past what any field takes is refused, not thrown (found by fuzzing).
  e = LoadError(R"({"battery": {"level": 1e999}})");
  EXPECT_EQ(e, "bad.json: number overflow parsing '1e999'");
  e = LoadError(R"({"sms": {"stores": {"SM": {"messages": [{"index": 1, "pdu": "0004"}, {"index": 1, "pdu": "0004"}]}}}})");
  EXPECT_NE(e.find("/sms/stores/SM/messages/1"), std::string::npos) << e;

  Profile p;
  std::string error;
  for (const char* name : {"generic", "ericsson", "minimal", "full", "demo"}) {
    std::string path = std::string(PHONESIM_PROFILES) + "/" + name + ".json";
    EXPECT_TRUE(LoadProfile(path, p, error)) << error;
  }
  EXPECT_FALSE(LoadProfile("/nonexistent/x.json", p, error));
  EXPECT_NE(error.find("/nonexistent/x.json"), std::string::npos);
  // An endless file is refused at the limit instead of read to the end.
  EXPECT_FALSE(LoadProfile("/dev/zero", p, error));
  EXPECT_NE(error.find("larger than 64 MiB"), std::string::npos) << error;
}

TEST(Profiles, WrittenStateLoadsToTheSameState) {
  Profile p;
  std::string error;
  ASSERT_TRUE(LoadProfile(std::string(PHONESIM_PROFILES) + "/demo.json", p, error)) << error;
  std::string first = ProfileToJson(p).dump();
  Profile again = Load(first);
  EXPECT_EQ(ProfileToJson(again).dump(), first);
  EXPECT_EQ(again.sms.stores["ME"].messages.size(), 15u);
  EXPECT_EQ(again.sms.stores["SM"].messages.size(), 9u);
  EXPECT_EQ(again.sms.stores["ME"].messages[5].pdu, p.sms.stores["ME"].messages[5].pdu);

  p.quirks.faults.push_back({"AT+CMGS", 2, 1, true, true});
  first = ProfileToJson(p).dump();
  again = Load(first);
  EXPECT_EQ(ProfileToJson(again).dump(), first);
  ASSERT_EQ(again.quirks.faults.size(), 1u);
  EXPECT_EQ(again.quirks.faults[0].occurrence, 2);
  EXPECT_TRUE(again.quirks.faults[0].hangup);
  EXPECT_TRUE(again.quirks.faults[0].pduStage);
}

// A long text in a profile without a concatenation becomes its parts on its
// own (the demo's, with their reference and order, are read by gammu); a
// concatenation that does not fit the text is refused.
TEST(Profiles, LongTextsBecomeTheirParts) {
  Profile p = Load(R"({"sms": {"stores": {"SM": {"messages": [{"index": 6, "from": "+4422", "text": ")" +
                   std::string(200, 'x') + R"("}]}}}})");
  auto& messages = p.sms.stores["SM"].messages;
  ASSERT_EQ(messages.size(), 2u);
  ASSERT_TRUE(messages.count(6) && messages.count(7));
  // An 8-bit reference from its first index.
  EXPECT_NE(messages[6].pdu.find("0500030602"), std::string::npos) << messages[6].pdu;

  std::string text;
  for (int i = 0; i < 150; ++i) text += "\xD0\x96";  // Cyrillic zhe: three parts of 66 units at most
  std::string e = LoadError(R"({"sms": {"stores": {"SM": {"messages": [{"from": "1", "text": ")" + text +
                            R"(", "concat": {"order": [1, 1, 2]}}]}}}})");
  EXPECT_NE(e.find("/sms/stores/SM/messages/0/concat/order/1: part 1 is given twice"), std::string::npos) << e;
  e = LoadError(R"({"sms": {"stores": {"SM": {"messages": [{"from": "1", "text": ")" + text +
                R"(", "concat": {"parts": 2}}]}}}})");
  EXPECT_NE(e.find("/concat/parts: the text makes 3 parts"), std::string::npos) << e;
  e = LoadError(R"({"sms": {"stores": {"SM": {"capacity": 2, "messages": [{"from": "1", "text": ")" + text + R"("}]}}}})");
  EXPECT_NE(e.find("beyond the capacity 2"), std::string::npos) << e;
  e = LoadError(R"({"sms": {"stores": {"SM": {"messages": [{"from": "1", "text": "x",
                   "concat": {"reference": 300, "parts": 2, "part": 1}}]}}}})");
  EXPECT_NE(e.find("/concat/reference: 300 is outside 0 to 255"), std::string::npos) << e;
}

// The status replies in each family's shape; the network as the profile says.
TEST(Interpreter, StatusRepliesInEachShape) {
  Profile plain = Load(R"({"identity": {"manufacturer": "Simcorp", "imei": "356938035643809"},
                           "network": {"operator": "Netz", "registration": 5}})");
  Modem a(plain);
  a.HandleLine("ATE0");
  EXPECT_EQ(a.HandleLine("AT+CGMI"), "\r\nSimcorp\r\n\r\nOK\r\n");
  EXPECT_EQ(a.HandleLine("AT+CGSN"), "\r\n356938035643809\r\n\r\nOK\r\n");
  EXPECT_EQ(a.HandleLine("AT+CREG?"), "\r\n+CREG: 0,5\r\n\r\nOK\r\n");
  EXPECT_EQ(a.HandleLine("AT+CEREG?"), "\r\nERROR\r\n");
  EXPECT_EQ(a.HandleLine("AT+COPS?"), "\r\n+COPS: 0,0,\"Netz\"\r\n\r\nOK\r\n");

  Profile prefixed = Load(R"({"identity": {"manufacturer": "Simcorp", "imei": "356938035643809"},
                              "charsets": ["GSM", "UCS2"], "battery": {"source": 1, "level": 50},
                              "network": {"operator": "Netz", "registration": 2, "eps_registration": 1,
                                          "access_technology": 7},
                              "quirks": {"status_replies": "prefixed", "space_after_colon": false}})");
  Modem b(prefixed);
  b.HandleLine("ATE0");
  EXPECT_EQ(b.HandleLine("AT+CGMI"), "\r\n+CGMI:Simcorp\r\n\r\nOK\r\n");
  EXPECT_EQ(b.HandleLine("AT+CGSN"), "\r\n+CGSN:\"356938035643809\"\r\n\r\nOK\r\n");
  EXPECT_EQ(b.HandleLine("AT+CEREG?"), "\r\n+CEREG:0,1\r\n\r\nOK\r\n");
  EXPECT_EQ(b.HandleLine("AT+CBC"), "\r\n+CBC:1,50,3750\r\n\r\nOK\r\n");
  b.HandleLine("AT+CSCS=\"UCS2\"");
  EXPECT_EQ(b.HandleLine("AT+COPS?"), "\r\n+COPS:0,0,\"004E00650074007A\",7\r\n\r\nOK\r\n");

  Profile labelled = Load(R"({"identity": {"revision": "R1.2"}, "network": {"registration": 3},
                              "quirks": {"status_replies": "labelled"}})");
  Modem c(labelled);
  c.HandleLine("ATE0");
  EXPECT_EQ(c.HandleLine("AT+CGMR"), "\r\nRevision: R1.2\r\n\r\nOK\r\n");
  EXPECT_EQ(c.HandleLine("AT+COPS?"), "\r\n+COPS: 0\r\n\r\nOK\r\n");  // not registered: no operator

  // The network goes into the written state and comes back from it.
  Profile again = Load(ProfileToJson(prefixed).dump());
  EXPECT_EQ(again.network.operatorName, "Netz");
  EXPECT_EQ(again.network.epsRegistration, 1);
  EXPECT_EQ(again.network.accessTechnology, 7);
  EXPECT_EQ(again.quirks.statusReplies, "prefixed");
}

TEST(CommandLines, SplitIntoCommands) {
  std::vector<AtCommand> c;
  ASSERT_TRUE(SplitCommandLine("ATE0+CPMS?", c));
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].name, "E");
  EXPECT_EQ(c[0].args, "0");
  EXPECT_EQ(c[1].name, "+CPMS");
  EXPECT_EQ(c[1].kind, AtCommand::kRead);
  ASSERT_TRUE(SplitCommandLine("at+cpbw=1,\"a;b\",129,\"x\";+cmee=?", c));
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].args, "1,\"a;b\",129,\"x\"");
  EXPECT_EQ(c[1].kind, AtCommand::kTest);
  ASSERT_TRUE(SplitCommandLine("\xff\xe5" "AT&FI3", c));  // garbage before the AT is skipped
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].name, "&F");
  EXPECT_EQ(c[1].args, "3");
  EXPECT_FALSE(SplitCommandLine("hello", c));
  EXPECT_EQ(SplitArgs("1,\"a,b\",,x").size(), 4u);
  EXPECT_EQ(NormalizeCommand("  at+cpbs=\"sm\" "), "AT+CPBS=\"sm\"");
  // A backslash and two hexadecimal digits in a quoted string are that byte.
  std::string text;
  ASSERT_TRUE(ArgString("\"J\\22o\\5c\\00!\"", text));
  EXPECT_EQ(text, std::string("J\"o\\\0!", 6));
  EXPECT_FALSE(ArgString("\"bad \\2\"", text));
  EXPECT_FALSE(ArgString("\"bad \\zz\"", text));
}

// The replies the line tests and the program's tests against the simulator
// never ask for: verbose errors, the reset, the quirks of other phones'
// replies, the free-location write and the named store report.
TEST(Interpreter, RepliesNoClientOfTheLineAsksFor) {
  Profile p = Load(R"({"phonebooks": {"SM": {"first": 1, "last": 10, "number_length": 12,
                      "entries": [{"location": 2, "number": "+4411", "name": "Al"}]}},
                      "quirks": {"empty_range_reply": "+CME ERROR: 22"},
                      "sms": {"cpms_format": "named", "smsc": "+4400", "stores": {
                        "ME": {"capacity": 5, "messages": [{"index": 1, "status": 0, "pdu": "0004"},
                                                           {"index": 2, "status": 1, "pdu": "0005"}]}}}})");
  Modem m(p);
  EXPECT_EQ(m.HandleLine("AT+FOO;+CSQ"), "\r\nERROR\r\n");  // an unknown command ends the line
  EXPECT_EQ(m.HandleLine("AT+CPBR=999"), "\r\nERROR\r\n");  // errors are plain until AT+CMEE
  EXPECT_EQ(m.HandleLine("AT+CMEE=2"), "\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPBR=999"), "\r\n+CME ERROR: invalid index\r\n");
  EXPECT_EQ(m.HandleLine("AT+CMGR=99"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(m.HandleLine("AT+CSCS?"), "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n");
  m.HandleLine("ATE0");
  m.HandleLine("ATZ");
  EXPECT_TRUE(m.EchoOn());
  EXPECT_EQ(m.HandleLine("AT+CPBR=999"), "\r\nERROR\r\n");  // ATZ went back to plain errors

  m.HandleLine("AT+CMEE=1");
  m.HandleLine("AT+CPBS=\"SM\"");
  EXPECT_EQ(m.HandleLine("AT+CPBW=7,\"1234567890123\",129,\"X\""), "\r\n+CME ERROR: 26\r\n");  // number too long
  EXPECT_EQ(m.HandleLine("AT+CPBW=11,\"1\",129,\"X\""), "\r\n+CME ERROR: 21\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPBW=,\"99\",129,\"New\""), "\r\nOK\r\n");  // first free location
  EXPECT_EQ(p.phonebooks["SM"]->entries[1].number, "99");
  EXPECT_EQ(m.HandleLine("AT+CPBR=3,4"), "\r\n+CME ERROR: 22\r\n");  // the profile's empty-range reply
  EXPECT_EQ(m.HandleLine("AT+CPBS?"), "\r\n+CPBS: \"SM\",2,10\r\n\r\nOK\r\n");

  EXPECT_EQ(m.HandleLine("AT+CPMS=\"ME\""), "\r\n+CPMS: \"ME\",2,5,\"ME\",2,5,\"ME\",2,5\r\n\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPMS=\"XX\""), "\r\nERROR\r\n");
  EXPECT_EQ(m.HandleLine("AT+CMGD=1,1"), "\r\nOK\r\n");  // every read message
  EXPECT_EQ(p.sms.stores["ME"].messages.size(), 1u);
  EXPECT_EQ(m.HandleLine("AT+CMGF=1"), "\r\n+CMS ERROR: 303\r\n");
  EXPECT_EQ(m.HandleLine("AT+CSCA?"), "\r\n+CSCA: \"+4400\",145\r\n\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CSCA=0161"), "\r\nOK\r\n");
  EXPECT_EQ(p.sms.smsc, "0161");

  Profile e = DefaultProfile();
  e.quirks.spaceAfterColon = false;
  e.phonebooks["FD"].reset();
  Modem em(e);
  EXPECT_EQ(em.HandleLine("AT+CSQ"), "\r\n+CSQ:15,99\r\n\r\nOK\r\n");
  EXPECT_EQ(em.HandleLine("AT+CPBS=?"), "\r\n+CPBS:(\"ME\",\"SM\")\r\n\r\nOK\r\n");
  em.HandleLine("AT+CMEE=1");
  EXPECT_EQ(em.HandleLine("AT+CPBR=0"), "\r\n+CME ERROR:21\r\n");

  Profile u = Load(R"({"charsets": ["GSM", "UCS2"]})");
  Modem um(u);
  um.HandleLine("AT+CPBS=\"SM\"");
  um.HandleLine("AT+CSCS=\"UCS2\"");
  EXPECT_EQ(um.HandleLine("AT+CPBW=4,\"44\",129,\"73G8\""), "\r\nERROR\r\n");  // not hexadecimal
  EXPECT_EQ(um.HandleLine("AT+CPBW=4,\"44\",129,\"738B\""), "\r\nOK\r\n");
}

}  // namespace
}  // namespace phonesim

namespace phonesim {
namespace {

TEST(Interpreter, SimCodesCountDownToThePukAndLockTheSimCommands) {
  Profile p = Load(R"({"sim": {"state": "SIM PIN", "pin": "4321"}})");
  Modem m(p);
  m.HandleLine("ATE0");
  m.HandleLine("AT+CMEE=1");
  EXPECT_EQ(m.HandleLine("AT+CPIN?"), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CMGL=4"), "\r\n+CME ERROR: 11\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPIN=\"1111\""), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPINR=\"SIM PIN\""), "\r\n+CPINR: SIM PIN,2,3\r\n\r\nOK\r\n");
  m.HandleLine("AT+CPIN=\"1111\"");
  m.HandleLine("AT+CPIN=\"1111\"");
  EXPECT_EQ(m.HandleLine("AT+CPIN?"), "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPIN=\"4321\""), "\r\n+CME ERROR: 12\r\n");  // the PIN alone no longer does
  EXPECT_EQ(m.HandleLine("AT+CPIN=\"12345678\",\"9999\""), "\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
  EXPECT_EQ(m.HandleLine("AT+CPIN=\"9999\""), "\r\n+CME ERROR: 3\r\n");

  Profile caret = Load(R"({"sim": {"state": "SIM PIN", "attempts_query": "caret", "pin_attempts": 2}})");
  Modem c(caret);
  EXPECT_EQ(c.HandleLine("AT+CPINR"), "\r\nERROR\r\n");
  EXPECT_EQ(c.HandleLine("AT^CPIN?"), "\r\n^CPIN: SIM PIN,2,10,2,10,3\r\n\r\nOK\r\n");

  Profile absent = Load(R"({"sim": {"state": "absent"}})");
  Modem a(absent);
  a.HandleLine("AT+CMEE=1");
  EXPECT_EQ(a.HandleLine("AT+CPIN?"), "\r\n+CME ERROR: 10\r\n");
  EXPECT_NE(LoadError(R"({"sim": {"state": "LOCKED"}})").find("/sim/state"), std::string::npos);
}

TEST(Interpreter, UssdRepliesInEachCodingAndAMenuThatTakesAnAnswer) {
  Profile p = Load(R"({"ussd": [
    {"request": "*101#", "reply": "Balance 5.00", "coding": "packed"},
    {"request": "*102#", "reply": "Баланс 5", "coding": "ucs2"},
    {"request": "*103#", "reply": "Plain 1", "coding": "plain"},
    {"request": "*100#", "reply": "1 Balance", "coding": "plain", "menu": true},
    {"request": "*100#>1", "reply": "Done", "coding": "plain"}]})");
  Modem m(p);
  m.HandleLine("ATE0");
  EXPECT_EQ(m.HandleLine("AT+CUSD=1,\"*101#\",15"), "\r\nOK\r\n");
  // "Balance 5.00" is twelve septets in eleven octets (no carriage return needed).
  EXPECT_EQ(m.TakeIndications(), std::vector<std::string>{"\r\n+CUSD: 0,\"C2303BEC1E974135170C06\",15\r\n"});
  m.HandleLine("AT+CUSD=1,\"*102#\",15");
  EXPECT_EQ(m.TakeIndications(), std::vector<std::string>{"\r\n+CUSD: 0,\"04110430043B0430043D044100200035\",72\r\n"});
  m.HandleLine("AT+CUSD=1,\"*103#\",15");
  EXPECT_EQ(m.TakeIndications(), std::vector<std::string>{"\r\n+CUSD: 0,\"Plain 1\",15\r\n"});
  m.HandleLine("AT+CUSD=1,\"*100#\",15");
  EXPECT_EQ(m.TakeIndications(), std::vector<std::string>{"\r\n+CUSD: 1,\"1 Balance\",15\r\n"});
  m.HandleLine("AT+CUSD=1,\"1\",15");
  EXPECT_EQ(m.TakeIndications(), std::vector<std::string>{"\r\n+CUSD: 0,\"Done\",15\r\n"});
  m.HandleLine("AT+CUSD=1,\"1\",15");  // no menu open: an unknown request
  EXPECT_EQ(m.TakeIndications(), std::vector<std::string>{"\r\n+CUSD: 4\r\n"});
}

}  // namespace
}  // namespace phonesim
