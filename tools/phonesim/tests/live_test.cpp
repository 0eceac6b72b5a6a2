// The phone while it is in use: messages handed to it on the control FIFO,
// announced as AT+CNMI asks; status reports for sends that ask for them;
// indications at the awkward moments real phones pick. Texts delivered at
// once or in parts are read back by the program's listening tests. Every
// wait is for a condition, with one generous deadline.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>

#include "sim_process.h"

namespace phonesim::testing {
namespace {

using namespace std::chrono;

const auto kDeadline = kvtest::kHungTest;
const std::string kSmsc = "0791447758100650";        // the default service centre, +447785016005
const std::string kTo123 = "0C91447700091032";       // +447700900123
// kSubmit with a status report request (TP-SRR).
const std::string kSubmitWithReport = "0031000C914477000910320000AA05E8329BFD06";
// A DELIVER from 1234: "A".
const std::string kDeliver = "0004048121430000423070111111000141";

// Asks until the condition holds for the reply (each ask a full exchange).
bool AskUntil(SimProcess& sim, const std::string& command, const std::function<bool(const std::string&)>& holds) {
  auto deadline = steady_clock::now() + kDeadline;
  while (steady_clock::now() < deadline) {
    if (holds(sim.Command(command))) return true;
  }
  return false;
}

bool Stored(SimProcess& sim, int count) {
  std::string wanted = "\"SM\"," + std::to_string(count) + ",";
  return AskUntil(sim, "AT+CPMS?", [&](const std::string& r) { return r.find("+CPMS: " + wanted) != std::string::npos; });
}

bool WaitForErrors(SimProcess& sim, const std::string& text) {
  return kvtest::WaitUntil([&] { return sim.Errors().find(text) != std::string::npos; });
}

TEST(Live, DeliveredMessagesAreStoredAndAnnouncedAsCnmiAsks) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(R"({"sms": {"stores": {"ME": null, "SM": {"capacity": 3}}}, "quirks": {"echo": false}})",
                        "--control {dir}/control"))
      << sim.Errors();
  EXPECT_EQ(sim.Command("AT+CNMI=?"), "\r\n+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CNMI?"), "\r\n+CNMI: 0,0,0,0,0\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CNMI=3,1"), "\r\n+CMS ERROR: 303\r\n");
  EXPECT_EQ(sim.Command("AT+CNMI=2,1,1"), "\r\n+CMS ERROR: 303\r\n");

  // Mode 0: stored, and the indication kept in the phone until the mode allows it.
  EXPECT_EQ(sim.Command("AT+CNMI=0,1"), "\r\nOK\r\n");
  ASSERT_TRUE(sim.Control("deliver +447700900123 Hello"));
  ASSERT_TRUE(Stored(sim, 1));
  sim.Send("AT+CNMI=2,1,0,0,0\r");
  EXPECT_EQ(sim.ReadUntil("+CMTI: \"SM\",1", kDeadline), "\r\nOK\r\n\r\n+CMTI: \"SM\",1\r\n");
  EXPECT_EQ(sim.Command("AT+CNMI?"), "\r\n+CNMI: 2,1,0,0,0\r\n\r\nOK\r\n");

  // UTF-8 outside the alphabet goes as UCS2; "\n" is a line break.
  ASSERT_TRUE(sim.Control("deliver +79161234567 Привет\\nмир"));
  EXPECT_EQ(sim.ReadUntil("+CMTI", kDeadline), "\r\n+CMTI: \"SM\",2\r\n");
  std::string read = sim.Command("AT+CMGR=2");
  EXPECT_NE(read.find("0008"), std::string::npos) << read;
  EXPECT_NE(read.find("14041F04400438043204350442000A043C04380440\r\n"), std::string::npos) << read;

  // A PDU as it is; then the store is full and says so.
  ASSERT_TRUE(sim.Control("pdu " + kDeliver));
  EXPECT_EQ(sim.ReadUntil("+CMTI", kDeadline), "\r\n+CMTI: \"SM\",3\r\n");
  EXPECT_EQ(sim.Command("AT+CMGR=3"), "\r\n+CMGR: 0,,16\r\n" + kDeliver + "\r\n\r\nOK\r\n");
  ASSERT_TRUE(sim.Control("deliver +4411 lost"));
  EXPECT_TRUE(WaitForErrors(sim, "phonesim: control: the message store is full: message dropped")) << sim.Errors();

  // Routed (mt 2): the whole message on the line, nothing stored.
  EXPECT_EQ(sim.Command("AT+CNMI=2,2"), "\r\nOK\r\n");
  ASSERT_TRUE(sim.Control("deliver +447700900123 Hello"));
  std::string routed = sim.ReadUntil("05C8329BFD06", kDeadline);
  EXPECT_EQ(routed.rfind("\r\n+CMT: ,24\r\n" + kSmsc + "040C9144770009103200", 0), 0u) << routed;
  EXPECT_TRUE(Stored(sim, 3));

  // Any line on request; nonsense on the control channel is reported, not fatal.
  ASSERT_TRUE(sim.Control("unsolicited ^RSSI:5"));
  EXPECT_EQ(sim.ReadUntil("^RSSI:5", kDeadline), "\r\n^RSSI:5\r\n");
  ASSERT_TRUE(sim.Control("explode now"));
  EXPECT_TRUE(WaitForErrors(sim, "phonesim: control: unknown command \"explode\"")) << sim.Errors();
  EXPECT_EQ(sim.Command("AT"), "\r\nOK\r\n");
  EXPECT_EQ(sim.Stop(), 0);

  SimProcess refused;
  EXPECT_FALSE(refused.Start("{}", "--control {dir}/profile.json"));
  EXPECT_EQ(refused.ExitCode(), 1);
  EXPECT_NE(refused.Errors().find("profile.json: exists and is not a FIFO"), std::string::npos) << refused.Errors();
}

TEST(Live, StatusReportsFollowTheSendsThatAskForThem) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(R"({"sms": {"report_delay_ms": 50, "stores": {"ME": null, "SM": {}}}, "quirks": {"echo": false}})",
                        "--state-out {dir}/state.json"))
      << sim.Errors();
  auto send = [&](const std::string& pdu) {
    EXPECT_EQ(sim.Command("AT+CMGS=19"), "\r\n> ");
    sim.Send(pdu + "\x1a");
  };
  // Stored and announced (ds 2): the report names the reference and the recipient.
  EXPECT_EQ(sim.Command("AT+CNMI=2,1,0,2,0"), "\r\nOK\r\n");
  send(kSubmitWithReport);
  std::string r = sim.ReadUntil("+CDSI", kDeadline);
  EXPECT_EQ(r, "\r\n+CMGS: 1\r\n\r\nOK\r\n\r\n+CDSI: \"SM\",1\r\n");
  std::string report = sim.Command("AT+CMGR=1");
  EXPECT_EQ(report.rfind("\r\n+CMGR: 0,,25\r\n" + kSmsc + "0601" + kTo123, 0), 0u) << report;
  EXPECT_NE(report.find("00\r\n\r\nOK\r\n"), std::string::npos) << report;  // TP-ST 0: delivered
  EXPECT_EQ(report.size(), std::string("\r\n+CMGR: 0,,25\r\n\r\n\r\nOK\r\n").size() + kSmsc.size() + 50);

  // Routed (ds 1); a send without the request gets no report.
  EXPECT_EQ(sim.Command("AT+CNMI=2,1,0,1,0"), "\r\nOK\r\n");
  send(kSubmit);
  EXPECT_EQ(sim.ReadUntilFinal(kDeadline), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
  send(kSubmitWithReport);
  r = sim.ReadUntil(kTo123, kDeadline);
  EXPECT_NE(r.find("\r\n+CDS: 25\r\n" + kSmsc + "0603" + kTo123), std::string::npos) << r;
  EXPECT_EQ(r.find("0602" + kTo123), std::string::npos) << r;

  // Not routed (ds 0): kept among the messages, where a download finds it.
  EXPECT_EQ(sim.Command("AT+CNMI=2,1,0,0,0"), "\r\nOK\r\n");
  send(kSubmitWithReport);
  EXPECT_EQ(sim.ReadUntilFinal(kDeadline), "\r\n+CMGS: 4\r\n\r\nOK\r\n");
  EXPECT_TRUE(Stored(sim, 2));
  EXPECT_NE(sim.Command("AT+CMGL=4").find("+CMGL: 2,0,,25\r\n" + kSmsc + "0604"), std::string::npos);

  ASSERT_EQ(sim.Stop(), 0);
  auto sent = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"))["sms"]["sent"];
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0]["report_requested"], true);
  EXPECT_EQ(sent[1]["report_requested"], false);
  EXPECT_EQ(sent[1]["text"], "hello");
}

TEST(Live, IndicationsAtAwkwardMoments) {
  {
    // In the middle of a listing: after the first message's lines.
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"({"sms": {"stores": {"ME": null, "SM": {"messages": [
                             {"index": 1, "pdu": "0004"}, {"index": 2, "pdu": "0005"}]}}},
                             "quirks": {"echo": false, "indication_timing": "mid_listing"}})",
                          "--control {dir}/control"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CNMI=2,1"), "\r\nOK\r\n");
    ASSERT_TRUE(sim.Control("pdu " + kDeliver));
    ASSERT_TRUE(Stored(sim, 3));  // held back all the while
    EXPECT_EQ(sim.Command("AT+CMGL=4"), "\r\n+CMGL: 1,1,,1\r\n0004\r\n+CMTI: \"SM\",3\r\n+CMGL: 2,1,,1\r\n0005\r\n"
                                        "+CMGL: 3,0,,16\r\n" + kDeliver + "\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Command("AT+CMGL=4").find("+CMTI"), std::string::npos);  // sent once
    EXPECT_EQ(sim.Stop(), 0);
  }
  {
    // Before the echo of the next command.
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"({"sms": {"stores": {"ME": null, "SM": {}}}, "quirks": {"indication_timing": "before_echo"}})",
                          "--control {dir}/control"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CNMI=2,1"), "AT+CNMI=2,1\r\r\nOK\r\n");
    ASSERT_TRUE(sim.Control("deliver +4411 Hi"));
    std::string r;
    EXPECT_TRUE(AskUntil(sim, "AT", [&](const std::string& reply) {
      r = reply;
      return reply.find("+CMTI") != std::string::npos;
    }));
    EXPECT_EQ(r, "\r\n+CMTI: \"SM\",1\r\nAT\r\r\nOK\r\n");
    EXPECT_EQ(sim.Stop(), 0);
  }
}

}  // namespace
}  // namespace phonesim::testing

namespace phonesim::testing {
namespace {

std::string LinkTarget(const std::string& link) {
  char target[256];
  ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// The modems a phone left alone meets: announcements offered otherwise or
// not at all, routed messages to acknowledge, memories spelled otherwise,
// silence, and a port that goes and comes back under another name.
TEST(Live, ModemFamiliesAnnounceStoreAndMisbehaveAsTheProfileSays) {
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"json({"sms": {"cnmi_offer": null}, "quirks": {"echo": false}})json")) << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CNMI=?"), "\r\nERROR\r\n");
    EXPECT_EQ(sim.Command("AT+CNMI=2,1"), "\r\nERROR\r\n");
  }
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"json({"sms": {"cnmi_offer": "(2),(2),(0),(1),(0)", "service": 1,
                                      "memory_suffix": "_P", "offer_mt": true},
                              "quirks": {"echo": false}})json",
                          "--control {dir}/control"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CNMI=2,1"), "\r\n+CMS ERROR: 303\r\n") << "only what is offered";
    EXPECT_EQ(sim.Command("AT+CSMS?"), "\r\n+CSMS: 1,1,1,1\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Command("AT+CPMS=?"),
              "\r\n+CPMS: (\"ME_P\",\"SM_P\"),(\"ME_P\",\"SM_P\"),(\"ME_P\",\"SM_P\",\"MT\")\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Command("AT+CPMS=\"ME\""), "\r\nERROR\r\n") << "only its own spelling";
    EXPECT_EQ(sim.Command("AT+CPMS=\"SM_P\",\"SM_P\",\"MT\""), "\r\n+CPMS: 0,30,0,30,0,130\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Command("AT+CNMA"), "\r\n+CMS ERROR: 340\r\n") << "nothing to acknowledge";
    EXPECT_EQ(sim.Command("AT+CNMI=2,2,0,1,0"), "\r\nOK\r\n");
    ASSERT_TRUE(sim.Control("deliver +447700900123 Hello"));
    EXPECT_NE(sim.ReadUntil("05C8329BFD06", kDeadline).find("+CMT: ,24"), std::string::npos);
    EXPECT_EQ(sim.Command("AT+CNMA"), "\r\nOK\r\n");
    ASSERT_TRUE(sim.Control("deliver +447700900123 Hello"));
    sim.ReadUntil("05C8329BFD06", kDeadline);
    ASSERT_TRUE(sim.Control("deliver +447700900123 Hello"));
    sim.ReadUntil("05C8329BFD06", kDeadline);
    EXPECT_EQ(sim.Stop(), 0);
    nlohmann::json state = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"));
    EXPECT_EQ(state["sms"]["unacknowledged"], 1) << "the second went unacknowledged when the third came";
  }
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start(R"json({"sms": {"offer_mt": true, "stores": {"ME": {"capacity": 1}}},
                              "quirks": {"echo": false, "silence_after_commands": 3, "silence_ms": 1500}})json",
                          "--control {dir}/control"))
        << sim.Errors();
    EXPECT_EQ(sim.Command("AT+CPMS=\"ME\",\"ME\",\"MT\""), "\r\n+CPMS: 0,1,0,1,0,31\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Command("AT+CNMI=2,1"), "\r\nOK\r\n");
    // MT fills the phone's memory first, then the SIM; each announced by its memory.
    ASSERT_TRUE(sim.Control("deliver +447700900123 To the phone"));
    EXPECT_EQ(sim.ReadUntil("+CMTI", kDeadline), "\r\n+CMTI: \"ME\",1\r\n");
    ASSERT_TRUE(sim.Control("deliver +447700900123 To the SIM, the phone is full"));
    EXPECT_EQ(sim.ReadUntil("+CMTI", kDeadline), "\r\n+CMTI: \"SM\",1\r\n");
    EXPECT_EQ(sim.Command("AT"), "\r\nOK\r\n");  // the third command: then silent
    const auto silentFrom = steady_clock::now();
    EXPECT_EQ(sim.Command("AT", milliseconds(300)), "") << "no echo, no reply";
    // Answers again once the silence is over.
    EXPECT_TRUE(kvtest::WaitUntil([&] { return sim.Command("AT", milliseconds(300)) == "\r\nOK\r\n"; }));
    EXPECT_GE(steady_clock::now() - silentFrom, milliseconds(1500));

    const std::string before = LinkTarget(sim.Link());
    ASSERT_TRUE(sim.Control("replug 200"));
    EXPECT_TRUE(sim.ReadUntilHangUp().has_value()) << "the client's line goes";
    ASSERT_TRUE(WaitForErrors(sim, "phonesim: port back as ")) << sim.Errors();
    const std::string after = LinkTarget(sim.Link());
    EXPECT_FALSE(after.empty());
    EXPECT_NE(after, before);
    EXPECT_NE(sim.Errors().find("port back as " + after), std::string::npos) << sim.Errors();
    EXPECT_EQ(sim.Stop(), 0);
  }
}

}  // namespace
}  // namespace phonesim::testing
