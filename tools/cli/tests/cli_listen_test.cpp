// 'korvanet-cli listen' against phonesim, messages handed to the running
// phone through its control FIFO as the network would bring them.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "testing/background_run.h"
#include "tools/cli/tests/cli_fixture.h"
#include "time_zone.h"
#include "wait_until.h"

namespace {

std::vector<std::string> Lines(const std::string& aText) {
  std::vector<std::string> lines;
  std::istringstream in(aText);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

class ListenTest : public CliTest {
 protected:
  void StartPhoneWithControl(const nlohmann::json& aProfile) {
    iControl = iRoot + "/control";
    StartPhone(aProfile, {"--control", iControl, "--transcript", iRoot + "/transcript.jsonl"});
  }

  void Deliver(const std::string& aLine) {
    std::ofstream control(iControl);
    control << aLine << "\n";
  }

  // korvanet-cli listen on a thread of the test; its standard error is
  // watched as it grows.
  void StartListening(const std::vector<std::string>& aArgs) {
    std::vector<std::string> args = {"listen"};
    args.insert(args.end(), aArgs.begin(), aArgs.end());
    TChildOptions options;
    options.iTimeoutMs = 300000;
    iListener.Start([this, args](const TChildOptions& aOptions) { return Cli(args, aOptions); }, options);
    ASSERT_TRUE(WaitErr("Listening for messages")) << Err();
  }

  std::string Err() { return iListener.Err(); }
  bool WaitErr(const std::string& aText) { return iListener.WaitErr(aText); }
  bool WaitLines(const std::string& aFile, size_t aCount) {
    return kvtest::WaitUntil([&] { return Lines(ReadFile(aFile)).size() >= aCount; });
  }
  // SIGTERM, as a service manager stops it; the run's result.
  TChildResult Terminate() { return iListener.Signal(SIGTERM); }

  std::vector<std::string> StoredTexts() {
    std::vector<std::string> texts;
    for (const auto& message : CliJson({"messages", "list"})) texts.push_back(message["text"]);
    return texts;
  }

  // The Sent message with that text (null when there is none) and its delivery state.
  nlohmann::json SentMessage(const std::string& aText) {
    for (const auto& message : CliJson({"messages", "list", "--folder", "sent"}))
      if (message["text"] == aText) return message;
    return nullptr;
  }
  std::string DeliveryOf(const std::string& aText) {
    nlohmann::json message = SentMessage(aText);
    return message.is_null() ? "(missing)" : message["delivery"]["state"].get<std::string>();
  }

  std::string iControl;
  TBackgroundRun iListener;
};

std::string LongText() {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "part" + std::to_string(i) + " ";
  return text + "end";
}

}  // namespace

TEST_F(ListenTest, DeliveredMessagesAreStoredOnceAndReachTheCommandWithTheirFields) {
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Dora", "--number", "+447700900123"}).iStatus, 0);
  StartPhoneWithControl(SmallProfile());
  const std::string received = iRoot + "/received.jsonl";
  const std::string environment = iRoot + "/environment.txt";
  StartListening({"--json", "--exec",
                  "cat >> '" + received + "'; printf '%s|%s|%s|%s|%s\\n' \"$KORVANET_ID\" \"$KORVANET_NUMBER\" "
                  "\"$KORVANET_NAME\" \"$KORVANET_DATE\" \"$KORVANET_TEXT\" >> '" + environment + "'"});
  // The two messages on the phone come first.
  ASSERT_TRUE(WaitLines(received, 2)) << Err();

  Deliver("deliver +447700900123 Dinner at 8?");
  ASSERT_TRUE(WaitLines(received, 3)) << Err();
  // A long message arrives part by part and is handed over once, whole.
  Deliver("deliver +447700900777 " + LongText());
  ASSERT_TRUE(WaitLines(received, 4)) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;

  std::vector<std::string> printed = Lines(run.iOut);
  std::vector<std::string> handed = Lines(ReadFile(received));
  ASSERT_EQ(printed.size(), 4u) << run.iOut;
  EXPECT_EQ(handed, printed);
  nlohmann::json dinner = nlohmann::json::parse(handed[2]);
  EXPECT_EQ(dinner["text"], "Dinner at 8?");
  EXPECT_EQ(dinner["name"], "Dora");
  nlohmann::json long_message = nlohmann::json::parse(handed[3]);
  EXPECT_EQ(long_message["text"], LongText());
  EXPECT_EQ(long_message["parts"]["total"], 2);
  // The same form as the message list gives.
  nlohmann::json listed = CliJson({"messages", "list", "--folder", "inbox"});
  auto sameId = [&](const nlohmann::json& aOne) { return aOne["id"] == long_message["id"]; };
  auto found = std::find_if(listed.begin(), listed.end(), sameId);
  ASSERT_NE(found, listed.end());
  EXPECT_EQ(*found, long_message);

  std::vector<std::string> variables = Lines(ReadFile(environment));
  ASSERT_EQ(variables.size(), 4u);
  EXPECT_EQ(variables[2], std::to_string(dinner["id"].get<unsigned long>()) + "|+447700900123|Dora|" +
                              dinner["date_sent"].get<std::string>() + "|Dinner at 8?");

  std::multiset<std::string> stored;
  for (const std::string& text : StoredTexts()) stored.insert(text);
  EXPECT_EQ(stored, (std::multiset<std::string>{"Lunch at one?", "Unknown sender here", "Dinner at 8?", LongText()}));
}

// The machine is set to +05:30 whatever zone it runs in, and the stamps are
// of other zones both ways: only a conversion with each stamp's own zone
// gives these UTC times, and only one to the user's zone these clock texts.
TEST_F(ListenTest, StampsOfOtherZonesReachTheCommandListAndExportsAsUtc) {
  kvtest::TScopedTimeZone india("IST-5:30");
  nlohmann::json profile = SmallProfile();
  nlohmann::json& stored = profile["sms"]["stores"]["SM"]["messages"];
  stored[0]["time"] = "2024-03-08T18:15:00+08:00";  // 10:15 UTC, 15:45 here
  stored[1]["time"] = "2024-03-08T18:15:00-03:30";  // 21:45 UTC, 03:15 the next day here
  StartPhoneWithControl(profile);
  const std::string dates = iRoot + "/dates.txt";
  StartListening({"--exec", "printf '%s|%s\\n' \"$KORVANET_TEXT\" \"$KORVANET_DATE\" >> '" + dates + "'"});
  ASSERT_TRUE(WaitLines(dates, 2)) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  std::vector<std::string> handed = Lines(ReadFile(dates));
  EXPECT_EQ(std::set<std::string>(handed.begin(), handed.end()),
            (std::set<std::string>{"Lunch at one?|2024-03-08T10:15:00Z", "Unknown sender here|2024-03-08T21:45:00Z"}));

  std::map<std::string, nlohmann::json> listed;
  for (const nlohmann::json& message : CliJson({"messages", "list"})) listed[message["text"]] = message;
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed["Lunch at one?"]["date_sent"], "2024-03-08T10:15:00Z");
  EXPECT_EQ(listed["Unknown sender here"]["date_sent"], "2024-03-08T21:45:00Z");
  auto endsWith = [](const std::string& aText, const std::string& aEnd) {
    return aText.size() >= aEnd.size() && aText.compare(aText.size() - aEnd.size(), aEnd.size(), aEnd) == 0;
  };
  EXPECT_TRUE(endsWith(listed["Lunch at one?"]["date"], " 15:45")) << listed["Lunch at one?"]["date"];
  EXPECT_TRUE(endsWith(listed["Unknown sender here"]["date"], " 03:15")) << listed["Unknown sender here"]["date"];

  const std::string csv = iRoot + "/messages.csv";
  const std::string xml = iRoot + "/messages.xml";
  ASSERT_EQ(Cli({"messages", "export", "--format", "csv", csv}).iStatus, 0);
  ASSERT_EQ(Cli({"messages", "export", "--format", "xml", xml}).iStatus, 0);
  EXPECT_NE(ReadFile(csv).find(",2024-03-08T10:15:00Z,"), std::string::npos) << ReadFile(csv);
  EXPECT_NE(ReadFile(csv).find(",2024-03-08T21:45:00Z,"), std::string::npos) << ReadFile(csv);
  EXPECT_NE(ReadFile(xml).find(" date=\"1709892900000\""), std::string::npos) << ReadFile(xml);
  EXPECT_NE(ReadFile(xml).find(" date=\"1709934300000\""), std::string::npos) << ReadFile(xml);
}

TEST_F(ListenTest, AnAnnouncementInsideTheListingAndAFailingCommandBreakNothing) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["indication_timing"] = "mid_listing";
  StartPhoneWithControl(profile);
  // Held by the phone for the next listing and put between its lines.
  Deliver("unsolicited +CMTI: \"SM\",2");
  const std::string received = iRoot + "/received.jsonl";
  StartListening({"--exec", "cat >> '" + received + "'; exit 3"});
  ASSERT_TRUE(WaitLines(received, 2)) << Err();
  // The announcement is read after the listing: the message is stored already.
  ASSERT_TRUE(kvtest::WaitUntil(
      [&] { return ReadFile(iRoot + "/transcript.jsonl").find("AT+CMGR=2") != std::string::npos; }));
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  std::string transcript = ReadFile(iRoot + "/transcript.jsonl");
  EXPECT_NE(transcript.find("\\r\\n+CMTI: \\\"SM\\\",2\\r\\n+CMGL: 2"), std::string::npos) << transcript;
  EXPECT_EQ(Lines(run.iOut).size(), 2u) << run.iOut;
  EXPECT_NE(run.iErr.find("exited with status 3"), std::string::npos) << run.iErr;
  std::multiset<std::string> stored;
  for (const std::string& text : StoredTexts()) stored.insert(text);
  EXPECT_EQ(stored, (std::multiset<std::string>{"Lunch at one?", "Unknown sender here"}));
}

TEST_F(ListenTest, DeleteAfterStoreDeletesOnlyWhatWasStored) {
  nlohmann::json profile = SmallProfile();
  auto& sim = profile["sms"]["stores"]["SM"]["messages"];
  sim.push_back({{"index", 3}, {"status", 2}, {"to", "+447700900123"}, {"text", "A draft on the phone"}});
  sim.push_back({{"index", 4}, {"status", 1}, {"pdu", "0004"}});  // cut short: cannot be read
  StartPhoneWithControl(profile);
  const std::string received = iRoot + "/received.jsonl";
  StartListening({"--delete-after-store", "--exec", "cat >> '" + received + "'"});
  ASSERT_TRUE(WaitLines(received, 2)) << Err();
  Deliver("deliver +447700900123 Delete me once stored");
  ASSERT_TRUE(WaitLines(received, 3)) << Err();
  // The phone's copy goes after the store has it: the two listed, then the new one.
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    std::string transcript = ReadFile(iRoot + "/transcript.jsonl");
    size_t deletions = 0;
    for (size_t at = transcript.find("AT+CMGD="); at != std::string::npos; at = transcript.find("AT+CMGD=", at + 1))
      ++deletions;
    return deletions == 3;
  }));
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;

  nlohmann::json state = StopPhone();
  std::set<int> left;
  for (const auto& store : state["sms"]["stores"])
    for (const auto& message : store["messages"]) left.insert(message["index"].get<int>());
  EXPECT_EQ(left, (std::set<int>{3, 4}));
  EXPECT_EQ(StoredTexts().size(), 3u);
}

// Delivery reports: sent with reports on, phonesim's report marks the Sent
// message, when a download finds it on the phone or while listening.

TEST_F(ListenTest, AMessageSentWithReportsOnIsShownAsDeliveredAndReportsOffAsksForNone) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["report_delay_ms"] = 300;
  StartPhoneWithControl(profile);
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005", "--reports", "on"}).iStatus, 0);
  TChildResult send = Cli({"send", "--to", "+447700900123", "--text", "Dinner at 8?"});
  ASSERT_EQ(send.iStatus, 0) << send.iErr;
  TChildResult sendLong = Cli({"send", "--to", "+447700900123", "--text", LongText()});
  ASSERT_EQ(sendLong.iStatus, 0) << sendLong.iErr;
  EXPECT_EQ(DeliveryOf("Dinner at 8?"), "pending");
  EXPECT_EQ(DeliveryOf(LongText()), "pending");
  ASSERT_EQ(Cli({"settings", "--reports", "off"}).iStatus, 0);
  ASSERT_EQ(Cli({"send", "--to", "+447700900123", "--text", "No report"}).iStatus, 0);

  // The reports come while the port is closed; each download reads what the
  // phone holds. A long message is delivered once every part is.
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    Cli({"messages", "download"});
    return DeliveryOf("Dinner at 8?") == "delivered" && DeliveryOf(LongText()) == "delivered";
  }));
  nlohmann::json dinner = SentMessage("Dinner at 8?");
  EXPECT_TRUE(dinner["delivery"].contains("time")) << dinner.dump();
  TChildResult shown = Cli({"messages", "show", std::to_string(dinner["id"].get<long>())});
  EXPECT_NE(shown.iOut.find("Delivery: delivered " + dinner["delivery"]["time"].get<std::string>()), std::string::npos)
      << shown.iOut;
  EXPECT_NE(Cli({"messages", "list"}).iOut.find("[delivered] Dinner at 8?"), std::string::npos);
  EXPECT_EQ(DeliveryOf("No report"), "none");
  // The reports are no Inbox messages.
  EXPECT_EQ(CliJson({"messages", "list", "--folder", "inbox"}).size(), 2u);
  // Three parts asked for reports: the short message and the long one's two.
  nlohmann::json state = StopPhone();
  ASSERT_EQ(state["sms"]["sent"].size(), 4u);
  for (int part = 0; part < 4; ++part) EXPECT_EQ(state["sms"]["sent"][part]["report_requested"], part < 3) << part;
}

TEST_F(ListenTest, AFailedReportAnnouncedWhileListeningMarksTheRightMessageWithItsReasonAndGoesFromThePhone) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["report_delay_ms"] = 3600000;  // the test hands the report over itself
  StartPhoneWithControl(profile);
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005", "--reports", "on"}).iStatus, 0);
  ASSERT_EQ(Cli({"send", "--to", "+447700900123", "--text", "First"}).iStatus, 0);
  ASSERT_EQ(Cli({"send", "--to", "+447700900123", "--text", "Second"}).iStatus, 0);
  // The reference the phone gave the second message.
  std::string transcript = ReadFile(iRoot + "/transcript.jsonl");
  size_t at = transcript.rfind("+CMGS: ");
  ASSERT_NE(at, std::string::npos);
  int reference = std::stoi(transcript.substr(at + 7));

  StartListening({"--delete-after-store"});
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", reference);
  // Status 46: the validity period expired.
  Deliver(std::string("pdu 0006") + hex + "0C91447700091032" "62216091500300" "62216091503300" "46");
  ASSERT_TRUE(kvtest::WaitUntil([&] { return DeliveryOf("Second") == "failed"; })) << Err();
  // Announced with its index; its phone copy goes once it has marked the message.
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    std::string text = ReadFile(iRoot + "/transcript.jsonl");
    size_t cdsi = text.find("+CDSI: ");
    size_t comma = text.find(',', cdsi);
    if (cdsi == std::string::npos || comma == std::string::npos) return false;
    std::string index = std::to_string(std::stoi(text.substr(comma + 1)));
    return text.find("AT+CMGD=" + index, cdsi) != std::string::npos;
  })) << ReadFile(iRoot + "/transcript.jsonl");
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  EXPECT_EQ(DeliveryOf("First"), "pending");
  // Printed lines are the received messages only, not the report.
  EXPECT_EQ(Lines(run.iOut).size(), 2u) << run.iOut;
  nlohmann::json failed = SentMessage("Second");
  EXPECT_EQ(failed["delivery"]["reason"], "Validity period expired");
  EXPECT_EQ(failed["delivery"]["status"], 0x46);
  TChildResult shown = Cli({"messages", "show", std::to_string(failed["id"].get<long>())});
  EXPECT_NE(shown.iOut.find("Delivery: failed: Validity period expired"), std::string::npos) << shown.iOut;
}

namespace {

// Gone, or a zombie that only waits to be reaped.
bool ProcessGone(pid_t aPid) {
  if (kill(aPid, 0) != 0) return true;
  std::string stat = ReadFile("/proc/" + std::to_string(aPid) + "/stat");
  size_t paren = stat.rfind(')');
  return paren == std::string::npos || (paren + 2 < stat.size() && stat[paren + 2] == 'Z');
}

pid_t PidIn(const std::string& aFile) {
  std::string text = ReadFile(aFile);
  return text.empty() ? 0 : static_cast<pid_t>(std::stol(text));
}

// An SMS-DELIVER from +447700900123 in UCS2 with the given UTF-16 text.
std::string Ucs2DeliverPdu(const std::u16string& aText) {
  char octet[5];
  std::snprintf(octet, sizeof octet, "%02X", static_cast<unsigned>(aText.size() * 2));
  std::string pdu = std::string("00040C91447700091032" "0008" "62216091500300") + octet;
  for (char16_t c : aText) {
    std::snprintf(octet, sizeof octet, "%04X", static_cast<unsigned>(c));
    pdu += octet;
  }
  return pdu;
}

}  // namespace

TEST_F(ListenTest, ACommandIsEndedWithEverythingItStartedWhenItsTimeIsUp) {
  StartPhoneWithControl(SmallProfile());
  const std::string dir = iRoot + "/";
  // The first message's command leaves a child that ignores SIGTERM and is
  // itself ended by it; the second's ends at once, leaving a child behind.
  const std::string script = "n=$(cat '" + dir + "count' 2>/dev/null || echo 0); n=$((n+1)); echo $n > '" + dir +
                             "count'\n"
                             "if [ $n = 1 ]; then (trap '' TERM; exec sleep 300) & echo $! > '" + dir +
                             "ignorer.pid'; wait\n"
                             "else sleep 300 & echo $! > '" + dir + "left.pid'; fi\n";
  WriteFile(dir + "command.sh", script);
  StartListening({"--exec-timeout", "1", "--exec", "sh '" + dir + "command.sh'"});
  ASSERT_TRUE(kvtest::WaitUntil([&] { return PidIn(dir + "ignorer.pid") > 0 && PidIn(dir + "left.pid") > 0; }))
      << Err();
  const pid_t ignorer = PidIn(dir + "ignorer.pid"), left = PidIn(dir + "left.pid");
  EXPECT_TRUE(kvtest::WaitUntil([&] { return ProcessGone(ignorer); })) << "the child that ignores SIGTERM";
  EXPECT_TRUE(kvtest::WaitUntil([&] { return ProcessGone(left); })) << "the child left behind";
  ASSERT_TRUE(WaitErr("the command for message")) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  size_t stopped = 0;
  for (size_t at = run.iErr.find("took longer than 1 s and was stopped"); at != std::string::npos;
       at = run.iErr.find("took longer than 1 s and was stopped", at + 1))
    ++stopped;
  EXPECT_EQ(stopped, 2u) << run.iErr;
  // Whatever the outcome, nothing of the test outlives it.
  for (pid_t pid : {ignorer, left})
    if (!ProcessGone(pid)) kill(pid, SIGKILL);
}

TEST_F(ListenTest, StoppedBySigtermItStartsNoQueuedCommandAndListsTheirMessagesAsStored) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 3}, {"status", 1}, {"from", "+447700900555"}, {"text", "Third one"}});
  StartPhoneWithControl(profile);
  const std::string ran = iRoot + "/ran", go = iRoot + "/go";
  // Each command waits for the test's go; the first holds the others in the
  // queue. "Listening" is told once the three on the phone are handed over.
  StartListening({"--exec", "echo \"$KORVANET_ID\" >> '" + ran + "'; while [ ! -e '" + go + "' ]; do sleep 0.05; done"});
  ASSERT_TRUE(WaitLines(ran, 1)) << Err();
  kill(iListener.Pid(), SIGTERM);
  ASSERT_TRUE(iListener.WaitErr("the message stays stored", 2)) << Err();
  WriteFile(go, "");
  TChildResult run = iListener.Wait();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  std::vector<std::string> started = Lines(ReadFile(ran));
  ASSERT_EQ(started.size(), 1u) << "queued commands are not started";
  std::vector<std::string> ids;
  for (const auto& message : CliJson({"messages", "list"})) ids.push_back(std::to_string(message["id"].get<long>()));
  ASSERT_EQ(ids.size(), 3u);
  for (const std::string& id : ids) {
    const std::string line = "korvanet-cli: listen: the command for message " + id +
                             " was not started: listening was stopped; the message stays stored";
    EXPECT_EQ(run.iErr.find(line) != std::string::npos, id != started[0]) << id << "\n" << run.iErr;
  }
}

TEST_F(ListenTest, UnderJsonTheCommandsOwnOutputGoesToStandardError) {
  StartPhoneWithControl(SmallProfile());
  StartListening({"--json", "--exec", "echo \"said by the command for $KORVANET_ID\""});
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    std::string err = Err();
    return err.find("said by the command") != err.rfind("said by the command");
  })) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  std::vector<std::string> printed = Lines(run.iOut);
  ASSERT_EQ(printed.size(), 2u) << run.iOut;
  for (const std::string& line : printed)
    EXPECT_FALSE(nlohmann::json::parse(line, nullptr, false).is_discarded()) << line;
}

TEST_F(ListenTest, AStrangersTextIsPrintedEscapedAndReachesTheCommandWhole) {
  StartPhoneWithControl(SmallProfile());
  const std::string variable = iRoot + "/variable", input = iRoot + "/input";
  StartListening({"--exec", "printf '%s' \"$KORVANET_TEXT\" > '" + variable + "'; cat > '" + input + "'"});
  // ESC sequences, then a U+0000 and the rest of the text after it.
  Deliver("pdu " + Ucs2DeliverPdu(std::u16string(u"Hi\x1B[2J\x1B]0;x\x07") + u'\0' + u"after"));
  ASSERT_TRUE(kvtest::WaitUntil([&] { return ReadFile(input).find("after") != std::string::npos; })) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  EXPECT_EQ(run.iOut.find('\x1B'), std::string::npos) << run.iOut;
  EXPECT_NE(run.iOut.find("Hi\\x1B[2J\\x1B]0;x\\x07\\x00after"), std::string::npos) << run.iOut;
  // U+0000 as C0 80 in the variable; the JSON on standard input has it as it is.
  EXPECT_EQ(ReadFile(variable), std::string("Hi\x1B[2J\x1B]0;x\x07\xC0\x80" "after"));
  nlohmann::json message = nlohmann::json::parse(ReadFile(input));
  EXPECT_EQ(message["text"], std::string("Hi\x1B[2J\x1B]0;x\x07") + std::string(1, '\0') + "after");
}

TEST_F(ListenTest, ALongMessageWhosePartsNeverComeIsPassedOnAfterTheWaitWithThemMarked) {
  nlohmann::json profile = SmallProfile();
  // On the phone before listening: the first of three parts, marked in its text.
  profile["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 3}, {"status", 1}, {"from", "+447700900555"}, {"text", ".123.3.1:Where are"}});
  StartPhoneWithControl(profile);
  ASSERT_EQ(Cli({"settings", "--parts-wait", "2s"}).iStatus, 0);
  EXPECT_NE(Cli({"settings"}).iOut.find("parts-wait  2s\n"), std::string::npos);
  const std::string received = iRoot + "/received.jsonl";
  StartListening({"--json", "--exec", "cat >> '" + received + "'"});
  // From anyone: a text that only looks like the second of two parts.
  Deliver("deliver +447700900666 .200.2.2:second half");
  ASSERT_TRUE(WaitLines(received, 4)) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;
  std::multiset<std::string> texts;
  for (const std::string& line : Lines(ReadFile(received))) texts.insert(nlohmann::json::parse(line)["text"]);
  EXPECT_EQ(texts, (std::multiset<std::string>{"Lunch at one?", "Unknown sender here",
                                                "Where are[\u2026][\u2026]", "[\u2026]second half"}));
  // Passed on once: printed as handed over.
  EXPECT_EQ(Lines(run.iOut).size(), 4u) << run.iOut;
}
