// The simulator program driven over its pseudo-terminal, as a client sees it.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "sim_process.h"

namespace phonesim::testing {
namespace {

using namespace std::chrono;
using kvtest::kHungTest;
using Replies = std::vector<std::string>;

TEST(Line, RepliesEchoPromptAndSendErrors) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(R"({"sms": {"send_errors": [500]}})", "--state-out {dir}/state.json")) << sim.Errors();
  EXPECT_EQ(sim.Command("AT"), "AT\r\r\nOK\r\n");
  EXPECT_EQ(sim.Command("ATE0"), "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CGSN"), "\r\n352099001761481\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CIMI"), "\r\n001010123456789\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CMEE=1"), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+GMM"), "\r\nPS-100\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPBR=1000"), "\r\n+CME ERROR: 21\r\n");
  // Two lines in one write, a bare return and a line feed in between.
  sim.Send("AT+CSQ\r\r\nAT+CBC\r");
  std::string both = sim.ReadUntilFinal(kHungTest);
  if (both.find("+CBC") == std::string::npos) both += sim.ReadUntilFinal(kHungTest);
  EXPECT_EQ(both, "\r\n+CSQ: 15,99\r\n\r\nOK\r\n\r\n+CBC: 0,80\r\n\r\nOK\r\n");

  // The prompt, then the PDU ended by Ctrl-Z; the profile fails the first send.
  EXPECT_EQ(sim.Command("AT+CMGS=19"), "\r\n> ");
  sim.Send(kSubmit + "\x1a");
  EXPECT_EQ(sim.ReadUntilFinal(kHungTest), "\r\n+CMS ERROR: 500\r\n");
  EXPECT_EQ(sim.Command("AT+CMGS=19"), "\r\n> ");
  sim.Send(kSubmit + "\x1a");
  EXPECT_EQ(sim.ReadUntilFinal(kHungTest), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
  // Esc abandons the message; a wrong length is refused.
  EXPECT_EQ(sim.Command("AT+CMGS=19"), "\r\n> ");
  sim.Send("0011\x1b");
  EXPECT_EQ(sim.ReadUntilFinal(kHungTest), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CMGS=18"), "\r\n> ");
  sim.Send(kSubmit + "\x1a");
  EXPECT_EQ(sim.ReadUntilFinal(kHungTest), "\r\n+CMS ERROR: 304\r\n");
  // With echo on, the PDU is echoed as typed.
  EXPECT_EQ(sim.Command("ATE1"), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CMGS=19"), "AT+CMGS=19\r\r\n> ");
  sim.Send(kSubmit + "\x1a");
  EXPECT_EQ(sim.ReadUntilFinal(kHungTest), kSubmit + "\r\n+CMGS: 2\r\n\r\nOK\r\n");

  ASSERT_EQ(sim.Stop(), 0);
  auto state = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"));
  ASSERT_EQ(state["sms"]["sent"].size(), 2u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+447700900123");
  EXPECT_EQ(state["sms"]["sent"][0]["pdu"], kSubmit);
  EXPECT_TRUE(state["sms"]["send_errors"].empty());
}

TEST(Line, PhoneBookRoundTripSurvivesStateReload) {
  SimProcess sim;
  ASSERT_TRUE(sim.StartFile(std::string(PHONESIM_PROFILES) + "/generic.json", "--state-out {dir}/state.json"))
      << sim.Errors();
  sim.Command("ATE0");
  EXPECT_EQ(sim.Command("AT+CPBS=\"SM\""), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPBW=9,\"+447700900999\",145,\"Zed\""), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPBW=2"), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPBR=1,10"),
            "\r\n+CPBR: 1,\"+441234567890\",145,\"Alice\"\r\n+CPBR: 5,\"+447700900456\",145,\"Carol\"\r\n"
            "+CPBR: 9,\"+447700900999\",145,\"Zed\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPMS=\"SM\""), "\r\n+CPMS: 2,30,2,100,2,100\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CMGD=1"), "\r\nOK\r\n");
  ASSERT_EQ(sim.Stop(), 0);
  std::string state = ReadFile(sim.Dir() + "/state.json");

  SimProcess again;
  ASSERT_TRUE(again.StartFile(sim.Dir() + "/state.json", "--state-out {dir}/state2.json")) << again.Errors();
  again.Command("ATE0");
  again.Command("AT+CPBS=\"SM\"");
  EXPECT_EQ(again.Command("AT+CPBR=2,9"), "\r\n+CPBR: 5,\"+447700900456\",145,\"Carol\"\r\n"
                                         "+CPBR: 9,\"+447700900999\",145,\"Zed\"\r\n\r\nOK\r\n");
  EXPECT_EQ(again.Command("AT+CPMS=\"SM\""), "\r\n+CPMS: 1,30,2,100,2,100\r\n\r\nOK\r\n");
  ASSERT_EQ(again.Stop(), 0);
  EXPECT_EQ(ReadFile(again.Dir() + "/state2.json"), state);
}

TEST(Line, PacingFollowsTheBaudRate) {
  // The full phone at 19200 baud: 1920 bytes a second.
  std::string profile = ReadFile(std::string(PHONESIM_PROFILES) + "/full.json");
  profile.replace(profile.find("\"baud\": 0"), 9, "\"baud\": 19200");
  SimProcess paced;
  ASSERT_TRUE(paced.Start(profile, "")) << paced.Errors();
  paced.Command("ATE0");
  paced.Command("AT+CPBS=\"SM\"");
  paced.Send("AT+CPBR=1,60\r");
  std::string reply;
  size_t firstPiece = 0;
  steady_clock::time_point first, last;
  auto deadline = steady_clock::now() + seconds(20);
  while (!HasFinal(reply)) {
    ASSERT_LT(steady_clock::now(), deadline) << "no complete reply: " << reply;
    std::string piece = paced.ReadSome(milliseconds(100));
    if (piece.empty()) continue;
    last = steady_clock::now();
    if (reply.empty()) {
      first = last;
      firstPiece = piece.size();
    }
    reply += piece;
  }
  ASSERT_GT(reply.size(), 2000u);
  double seconds = duration<double>(last - first).count();
  double rate = (reply.size() - firstPiece) / seconds;
  // Never faster than the line allows; a busy machine may only make it slower.
  EXPECT_LE(rate, 1920.0 * 1.1) << reply.size() << " bytes in " << seconds << " s";
  EXPECT_EQ(paced.Stop(), 0);
}

TEST(Line, ChunksAreSmallAndComplete) {
  SimProcess sim;
  ASSERT_TRUE(sim.StartFile(std::string(PHONESIM_PROFILES) + "/generic.json", "")) << sim.Errors();
  sim.Command("ATE0");
  sim.Command("AT+CPBS=\"SM\"");
  std::string whole = sim.Command("AT+CPBR=1,10");
  sim.Stop();

  std::string profile = ReadFile(std::string(PHONESIM_PROFILES) + "/generic.json");
  profile.replace(profile.find("\"baud\": 0"), 9, "\"baud\": 0, \"chunk_bytes\": [1, 8]");
  SimProcess chunked;
  ASSERT_TRUE(chunked.Start(profile, "--transcript {dir}/line.jsonl")) << chunked.Errors();
  chunked.Command("ATE0");
  chunked.Command("AT+CPBS=\"SM\"");
  EXPECT_EQ(chunked.Command("AT+CPBR=1,10"), whole);
  ASSERT_EQ(chunked.Stop(), 0);

  std::istringstream transcript(ReadFile(chunked.Dir() + "/line.jsonl"));
  std::string line;
  int pieces = 0;
  std::string out;
  long lastMs = 0;
  while (std::getline(transcript, line)) {
    auto entry = nlohmann::json::parse(line);
    EXPECT_GE(entry["ms"].get<long>(), lastMs);
    lastMs = entry["ms"].get<long>();
    if (entry["dir"] != "out") continue;
    ++pieces;
    out += entry["bytes"].get<std::string>();
    EXPECT_LE(entry["bytes"].get<std::string>().size(), 8u);
  }
  EXPECT_GT(pieces, static_cast<int>(whole.size() / 8));
  EXPECT_NE(out.find(whole), std::string::npos);
}

TEST(Line, QuirksHangHangupUnsolicitedAndScript) {
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"({"quirks": {"echo": false, "hang_after": "AT+CMGL=4",
                             "unsolicited": [{"after": "at+cmgf=0", "line": "+CMTI: \"SM\",3"}]},
                             "script": [{"expect": "AT+CPBR=1,51", "reply": "\r\n+CPBR: 1,\"123\",129,\"Scripted\"\r\n\r\nOK\r\n"}]})",
                          "--transcript {dir}/line.jsonl"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT"), "\r\nOK\r\n");  // echo off from the start
    sim.Send("AT+CMGF=0\r");
    EXPECT_EQ(sim.ReadUntil("+CMTI: \"SM\",3", kHungTest), "\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\n");
    EXPECT_EQ(sim.Command("AT+CPBR=1,51"), "\r\n+CPBR: 1,\"123\",129,\"Scripted\"\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Command("AT+CPBR=1,51"), "\r\nOK\r\n");  // the script is used up: simulated
    EXPECT_EQ(sim.RepliesInOrder({"AT+CMGL=4\r", "AT\r", "AT\r"}), (Replies{"", ""}));  // silent for good
    EXPECT_EQ(sim.Stop(), 0);
  }
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"({"quirks": {"hangup_after_commands": 2}})")) << sim.Errors();
    EXPECT_EQ(sim.Command("AT"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(sim.Command("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(sim.ReadUntilHangUp(), "");
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(sim.Errors().find("line closed after 2 commands"), std::string::npos);
  }
}

TEST(Line, FaultsCutTheReplyOnceThenSilenceOrHangUp) {
  const std::string book = R"("phonebooks": {"SM": {"first": 1, "last": 10, "entries": [
      {"location": 1, "number": "111", "name": "One"}, {"location": 2, "number": "222", "name": "Two"},
      {"location": 3, "number": "333", "name": "Three"}]}})";
  const std::string whole = "\r\n+CPBR: 1,\"111\",129,\"One\"\r\n+CPBR: 2,\"222\",129,\"Two\"\r\n"
                            "+CPBR: 3,\"333\",129,\"Three\"\r\n\r\nOK\r\n";
  {
    // The second read gets one line, then nothing more to anything.
    SimProcess sim;
    ASSERT_TRUE(sim.Start("{" + book + R"(, "quirks": {"echo": false, "faults": [
        {"command": "at+cpbr=1", "occurrence": 2, "lines": 1, "then": "silence"}]}})",
                          "--state-out {dir}/state.json --transcript {dir}/line.jsonl"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CPBR=1,10"), whole);
    EXPECT_EQ(sim.RepliesInOrder({"AT+CPBR=1,10\r", "AT\r", "AT\r"}),
              (Replies{"\r\n+CPBR: 1,\"111\",129,\"One\"\r\n", ""}));
    ASSERT_EQ(sim.Stop(), 0);
    EXPECT_EQ(sim.Errors().find("line closed"), std::string::npos) << sim.Errors();
    auto state = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"));
    EXPECT_TRUE(state["quirks"]["faults"].empty());  // used up
  }
  {
    // Two lines of the reply, then the line is closed; a fault still waiting is counted down.
    SimProcess sim;
    ASSERT_TRUE(sim.Start("{" + book + R"(, "quirks": {"echo": false, "faults": [
        {"command": "AT+CPBW", "occurrence": 3, "then": "hangup"},
        {"command": "AT+CPBR", "lines": 2, "then": "hangup"}]}})",
                          "--state-out {dir}/state.json"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CPBW=4,\"444\",129,\"Four\""), "\r\nOK\r\n");
    sim.Send("AT+CPBR=1,10\r");
    EXPECT_EQ(sim.ReadUntilHangUp(), "\r\n+CPBR: 1,\"111\",129,\"One\"\r\n+CPBR: 2,\"222\",129,\"Two\"\r\n");
    ASSERT_EQ(sim.Stop(), 0);
    auto state = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"));
    ASSERT_EQ(state["quirks"]["faults"].size(), 1u);
    EXPECT_EQ(state["quirks"]["faults"][0]["command"], "AT+CPBW");
    EXPECT_EQ(state["quirks"]["faults"][0]["occurrence"], 2);
    EXPECT_EQ(state["phonebooks"]["SM"]["entries"].size(), 4u);
  }
  {
    // A lines count beyond the reply lets all of it through before the hang-up.
    SimProcess sim;
    ASSERT_TRUE(sim.Start("{" + book + R"(, "quirks": {"echo": false, "faults": [
        {"command": "AT+CPBR", "lines": 99, "then": "hangup"}]}})"))
        << sim.Errors();
    sim.Send("AT+CPBR=1,10\r");
    EXPECT_EQ(sim.ReadUntilHangUp(), whole);
    ASSERT_EQ(sim.Stop(), 0);
  }
  {
    // At the message text: the prompt comes, the message is taken, its reply never comes.
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"({"quirks": {"echo": false, "faults": [
        {"command": "AT+CMGS", "stage": "pdu", "then": "silence"}]}})",
                          "--state-out {dir}/state.json --transcript {dir}/line.jsonl"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CMGS=19"), "\r\n> ");
    EXPECT_EQ(sim.RepliesInOrder({kSubmit + "\x1a", "AT\r"}), Replies{""});
    ASSERT_EQ(sim.Stop(), 0);
    auto state = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"));
    ASSERT_EQ(state["sms"]["sent"].size(), 1u);
    EXPECT_EQ(state["sms"]["sent"][0]["pdu"], kSubmit);
  }
}

TEST(Line, MinimalPhoneRefusesWhatItLacks) {
  SimProcess sim;
  ASSERT_TRUE(sim.StartFile(std::string(PHONESIM_PROFILES) + "/minimal.json")) << sim.Errors();
  sim.Command("ATE0");
  EXPECT_EQ(sim.Command("AT+CSCS=\"8859-1\""), "\r\nERROR\r\n");
  EXPECT_EQ(sim.Command("AT+CSCS=\"GSM\""), "\r\nOK\r\n");
  for (const char* identity :
       {"AT+GMM", "AT+CGMM", "ATI", "AT+CIMI", "AT+CBC", "AT+CSQ", "AT+CPBS=\"ME\"", "AT+CPMS=\"ME\""}) {
    EXPECT_EQ(sim.Command(identity), "\r\nERROR\r\n") << identity;
  }
  EXPECT_EQ(sim.Command("ATI3"), "\r\nMM-1 GSM MODULE\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPMS=\"SM\""), "\r\n+CPMS: 0,20,0,20,0,20\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(Line, BadProfileIsRefusedAtStart) {
  SimProcess sim;
  EXPECT_FALSE(sim.Start("{\"phonebooks\": {\"SM\": {\"first\": \"one\"}}}"));
  EXPECT_EQ(sim.ExitCode(), 2);
  std::string errors = sim.Errors();
  EXPECT_NE(errors.find("profile.json: at /phonebooks/SM/first: expected an integer, found string"), std::string::npos)
      << errors;

  SimProcess broken;
  EXPECT_FALSE(broken.Start("{\n\"quirks\": [\n"));
  EXPECT_EQ(broken.ExitCode(), 2);
  EXPECT_NE(broken.Errors().find("profile.json:3:"), std::string::npos) << broken.Errors();
}

}  // namespace
}  // namespace phonesim::testing
