#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "testing/child_process.h"
#include "tools/pdu/pdu_commands.h"

namespace {

const char KHowAreYou[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

struct TRun {
  int iStatus;
  std::string iOut;
  std::string iErr;
};

TRun RunTool(const std::vector<std::string>& aArgs, const std::string& aInput = std::string()) {
  std::istringstream in(aInput);
  std::ostringstream out;
  std::ostringstream err;
  int status = kvpdu::RunPdu(aArgs, in, out, err);
  return {status, out.str(), err.str()};
}

// Runs the built tool itself with aArgs; its standard output.
std::string RunBuiltTool(const std::vector<std::string>& aArgs, int& aStatus) {
  std::vector<std::string> argv = {KV_PDU_TOOL};
  argv.insert(argv.end(), aArgs.begin(), aArgs.end());
  TChildResult run = RunChild(argv);
  aStatus = run.iStatus;
  return run.iOut;
}

// aCount Cyrillic letters in UTF-8.
std::string Cyrillic(int aCount) {
  std::string text;
  for (int i = 0; i < aCount; ++i) text += "\xD0\x96";
  return text;
}

std::vector<nlohmann::json> Lines(const std::string& aOut) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(aOut);
  std::string line;
  while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

}  // namespace

TEST(PduTool, TheBuiltToolDecodesTheSampleMessage) {
  int status = -1;
  std::string out = RunBuiltTool({"decode", KHowAreYou}, status);
  EXPECT_EQ(status, 0);

  auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 1u);
  const auto& sms = lines[0];
  EXPECT_EQ(sms["address"], "+31641600986");
  EXPECT_EQ(sms["timestamp"], "2002-08-26T19:37:41");
  EXPECT_EQ(sms["text"], "How are you?");
  // Exactly the documented keys, in order.
  std::vector<std::string> keys;
  auto ordered = nlohmann::ordered_json::parse(out);
  for (auto& item : ordered.items()) keys.push_back(item.key());
  const std::vector<std::string> expected = {
      "result", "service_centre", "service_centre_type", "first_octet", "pid", "dcs", "address", "timestamp",
      "time_zone", "concat_reference", "concat_reference_bits", "concat_total", "concat_part", "destination_port",
      "eight_bit", "coding", "text"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(sms["result"], 0);
  EXPECT_EQ(sms["service_centre"], "31624000000");
  EXPECT_EQ(sms["service_centre_type"], 0x91);
  EXPECT_EQ(sms["first_octet"], 4);
  EXPECT_EQ(sms["time_zone"], 80);
  EXPECT_EQ(sms["eight_bit"], false);
  EXPECT_EQ(sms["coding"], "7bit");
}

TEST(PduTool, TheBuiltToolPrintsEveryScriptAsUtf8) {
  // UCS2: Cyrillic, Chinese and an emoji, exactly, as UTF-8 in the JSON.
  int status = -1;
  std::string out = RunBuiltTool(
      {"decode", "04912143F5040A9194214365870008202113329595001C041F04400438043204350442002C00204E16754C00210020D83DDE00"},
      status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(Lines(out).size(), 1u);
  EXPECT_EQ(Lines(out)[0]["text"], "\u041f\u0440\u0438\u0432\u0435\u0442, \u4e16\u754c! \U0001F600");
  EXPECT_EQ(Lines(out)[0]["coding"], "ucs2");
  // The characters themselves, not escapes, stand in the output.
  EXPECT_NE(out.find("\"text\":\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xE4\xB8\x96\xE7\x95\x8C! \xF0\x9F\x98\x80\""),
            std::string::npos)
      << out;
}

TEST(PduTool, DecodeReportsFailuresAndReadsStandardInput) {
  TRun bad = RunTool({"decode", KHowAreYou, "0791"});
  EXPECT_EQ(bad.iStatus, 1);
  auto lines = Lines(bad.iOut);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["text"], "How are you?");
  EXPECT_EQ(lines[1], nlohmann::json::parse(R"({"result":-20})"));

  // Lines with CR ends and blank lines between them, as captured from a phone.
  TRun piped = RunTool({"decode"}, std::string(KHowAreYou) + "\r\n\r\n0011000B916407281553F80000AA0AE8329BFD4697D9EC37\n");
  EXPECT_EQ(piped.iStatus, 0);
  lines = Lines(piped.iOut);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["address"], "+46708251358");
  EXPECT_EQ(lines[1]["text"], "hellohello");
  EXPECT_EQ(lines[1]["first_octet"], 0x11);

  // 8859-1 text comes out as UTF-8: "@£ä{".
  TRun latin = RunTool({"decode", "00040A91942143658700002021133295950005" "80C07E8302"});
  EXPECT_EQ(Lines(latin.iOut)[0]["text"], "@\xC2\xA3\xC3\xA4{");
}

TEST(PduTool, EncodeGivesTheLengthAndPduThatDecodeReadsBack) {
  TRun hi = RunTool({"encode", "--smsc", "+12345", "--to", "+4912345678", "--text", "hi"});
  ASSERT_EQ(hi.iStatus, 0) << hi.iErr;
  EXPECT_EQ(hi.iOut, "{\"length\":15,\"dcs\":0,\"pdu\":\"04912143F511000A9194214365870000AD02E834\"}\n");

  // a-acute is not GSM: the program sends such a text as UCS2, whatever --dcs asked.
  TRun part = RunTool({"encode", "--smsc", "+12345", "--to", "+4912345678", "--text", "{caf\xC3\xA1} \xE2\x82\xAC",
                   "--validity", "4", "--concat", "7,3,2", "--dcs", "0"});
  ASSERT_EQ(part.iStatus, 0) << part.iErr;
  auto encoded = Lines(part.iOut)[0];
  EXPECT_EQ(encoded["dcs"], 8);
  TRun back = RunTool({"decode", encoded["pdu"].get<std::string>()});
  ASSERT_EQ(back.iStatus, 0);
  auto sms = Lines(back.iOut)[0];
  EXPECT_EQ(sms["text"], "{caf\xC3\xA1} \xE2\x82\xAC");
  EXPECT_EQ(sms["coding"], "ucs2");
  EXPECT_EQ(sms["concat_reference"], 7);
  EXPECT_EQ(sms["concat_total"], 3);
  EXPECT_EQ(sms["concat_part"], 2);
  EXPECT_EQ(sms["address"], "+4912345678");
  EXPECT_EQ(encoded["length"].get<int>() * 2 + 10, static_cast<int>(encoded["pdu"].get<std::string>().size()));

  TRun data = RunTool({"encode", "--smsc", "+12345", "--to", "0123", "--text", "AB", "--dcs", "0xF4"});
  ASSERT_EQ(data.iStatus, 0) << data.iErr;
  auto dataSms = Lines(RunTool({"decode", Lines(data.iOut)[0]["pdu"].get<std::string>()}).iOut)[0];
  EXPECT_EQ(dataSms["eight_bit"], true);
  EXPECT_EQ(dataSms["text"], "AB");

  // Without --dcs: 7-bit for a text of the GSM alphabet (the euro and Greek
  // capitals included), UCS2 for any other.
  TRun euro = RunTool({"encode", "--smsc", "+12345", "--to", "0123", "--text", "12 \xE2\x82\xAC \xCE\xA9"});
  ASSERT_EQ(euro.iStatus, 0) << euro.iErr;
  EXPECT_EQ(Lines(euro.iOut)[0]["dcs"], 0);
  EXPECT_EQ(Lines(RunTool({"decode", Lines(euro.iOut)[0]["pdu"].get<std::string>()}).iOut)[0]["text"],
            "12 \xE2\x82\xAC \xCE\xA9");
  const std::string emoji = "\xD0\x9F\xD1\x80\xD0\xB8 \xF0\x9F\x98\x80";
  TRun ucs2 = RunTool({"encode", "--smsc", "+12345", "--to", "0123", "--text", emoji});
  ASSERT_EQ(ucs2.iStatus, 0) << ucs2.iErr;
  EXPECT_EQ(Lines(ucs2.iOut)[0]["dcs"], 8);
  EXPECT_EQ(Lines(RunTool({"decode", Lines(ucs2.iOut)[0]["pdu"].get<std::string>()}).iOut)[0]["text"], emoji);
}

TEST(PduTool, BadArgumentsExitTwoWithUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"encode", "--to", "+44", "--text", "x"},
      {"encode", "--smsc", "+44", "--text", "x"},
      {"encode", "--smsc", "+44", "--to", "+44"},
      {"encode", "--smsc", "12a", "--to", "+44", "--text", "x"},
      {"encode", "--smsc", "+44", "--to", "", "--text", "x"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--validity", "5"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--concat", "1,2,3"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--concat", "1,0,0"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--dcs", "256"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--dcs", "4"},     // 8-bit by name, 7-bit by the record's test
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--dcs", "0x80"},  // reserved group
      {"encode", "--smsc", "+44", "--to", "+44", "--text", "x", "--bogus", "1"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", std::string(161, 'a')},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", std::string(154, 'a'), "--concat", "1,2,1"},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", std::string(81, '{')},
      {"encode", "--smsc", "+44", "--to", "+44", "--text", Cyrillic(71)},
  };
  for (const auto& args : cases) {
    TRun run = RunTool(args);
    std::string joined;
    for (const auto& a : args) joined += a.substr(0, 20) + " ";
    EXPECT_EQ(run.iStatus, 2) << joined;
    EXPECT_NE(run.iErr.find("usage:"), std::string::npos) << joined;
    EXPECT_TRUE(run.iOut.empty()) << joined;
  }
  // The limits themselves still fit.
  EXPECT_EQ(RunTool({"encode", "--smsc", "+44", "--to", "+44", "--text", std::string(160, 'a')}).iStatus, 0);
  EXPECT_EQ(RunTool({"encode", "--smsc", "+44", "--to", "+44", "--text", std::string(79, '{') + "ab"}).iStatus, 0);
  EXPECT_EQ(RunTool({"encode", "--smsc", "+44", "--to", "+44", "--text", Cyrillic(70)}).iStatus, 0);
  EXPECT_EQ(RunTool({"--help"}).iStatus, 0);
}
