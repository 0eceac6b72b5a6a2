// A real phone client against the simulator: gammu over the pseudo-terminal
// reads the Ericsson and demo phones (escapes, Greek capitals, UCS2 with
// pairs, both reference sizes) and sends Unicode in parts. The generic
// phone's replies are the line tests' and the program's.
// Every gammu run is bounded by a time-out so that a fault cannot hang CI.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include "sim_process.h"

namespace phonesim::testing {
namespace {

struct GammuRun {
  int status = -1;
  std::string output;
};

GammuRun Gammu(const SimProcess& sim, const std::string& args) {
  std::string config = sim.Dir() + "/gammurc";
  WriteFile(config, "[gammu]\nconnection = at\ndevice = " + sim.Link() + "\n");
  // gammu prints in the locale's character set: UTF-8, so that every script reads back.
  std::string command = "LC_ALL=C.UTF-8 timeout 60 gammu -c '" + config + "' " + args + " 2>&1";
  GammuRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) run.output.append(buf.data(), n);
  int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Profile(const char* name) {
  return std::string(PHONESIM_PROFILES) + "/" + name + ".json";
}

// The minimal profile has no identity for gammu to find, so gammu refuses it.
TEST(Gammu, EricssonAndDemoProfiles) {
  {
    SimProcess sim;
    ASSERT_TRUE(sim.StartFile(Profile("ericsson"))) << sim.Errors();
    GammuRun r = Gammu(sim, "identify");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Contains(r.output, "ERICSSON")) << r.output;
    r = Gammu(sim, "getallmemory SM");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Contains(r.output, "\"+441234567890\"") && Contains(r.output, "\"Anna\"")) << r.output;
    r = Gammu(sim, "getallsms");
    EXPECT_TRUE(Contains(r.output, "Tåget är försenat")) << r.output;
  }
  {
    SimProcess sim;
    ASSERT_TRUE(sim.StartFile(Profile("demo"))) << sim.Errors();
    GammuRun r = Gammu(sim, "getallsms");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Contains(r.output, "24 SMS parts")) << r.output;
    EXPECT_TRUE(Contains(r.output, "ID (8 bit) 77, part 3 of 3")) << r.output;
    EXPECT_TRUE(Contains(r.output, "Price is 12 € per ticket, [cash] only")) << r.output;
    EXPECT_TRUE(Contains(r.output, "ΔΣΦ dues: 12 € each, meet in room Ω at 7")) << r.output;
    EXPECT_TRUE(Contains(r.output, "Привет! Встречаемся завтра в 7 у метро. Не опаздывай 🙂")) << r.output;
    EXPECT_TRUE(Contains(r.output, "明天下午三点开会，别迟到。")) << r.output;
    EXPECT_TRUE(Contains(r.output, "Καλημέρα! Τα λέμε το βράδυ στην πλατεία.")) << r.output;
    EXPECT_TRUE(Contains(r.output, "Happy New Year! 🎆🥂🎉")) << r.output;
    EXPECT_TRUE(Contains(r.output, "Спасибо, до завтра!")) << r.output;
    // The three parts with a 16-bit reference, stored third part first.
    size_t third = r.output.find("ID (16 bit) 4660, part 3 of 3");
    size_t first = r.output.find("ID (16 bit) 4660, part 1 of 3");
    EXPECT_TRUE(third != std::string::npos && first != std::string::npos && third < first) << r.output;
    EXPECT_TRUE(Contains(r.output, "Coding               : Unicode")) << r.output;

    // The phone book in UCS2, which gammu chooses when the phone offers it.
    r = Gammu(sim, "getallmemory ME");
    EXPECT_TRUE(Contains(r.output, "\"Isla (neighbour)\"")) << r.output;
    for (const char* name : {"\"Иван Петров\"", "\"王小明\"", "\"Lena 🎉\""}) {
      EXPECT_TRUE(Contains(r.output, name)) << name << "\n" << r.output;
    }
    r = Gammu(sim, "getallmemory SM");
    EXPECT_TRUE(Contains(r.output, "\"Ελένη Παπαδάκη\"") && Contains(r.output, "\"Jörg\"")) << r.output;
  }
}

// gammu's Unicode messages reach the phone as UCS2, a long one in parts.
TEST(Gammu, SendsUnicodeMessagesInParts) {
  SimProcess sim;
  ASSERT_TRUE(sim.StartFile(Profile("demo"), "--state-out {dir}/state.json")) << sim.Errors();
  std::string pangram;
  for (int i = 0; i < 3; ++i) pangram += "Съешь же ещё этих мягких французских булок, да выпей чаю. ";
  GammuRun r = Gammu(sim, "sendsms TEXT +447700900999 -unicode -autolen 400 -text '" + pangram + "'");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Gammu(sim, "sendsms TEXT +447700900999 -unicode -text 'Ελλάδα 🙂'");
  EXPECT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(sim.Stop(), 0);
  auto sent = nlohmann::json::parse(ReadFile(sim.Dir() + "/state.json"))["sms"]["sent"];
  ASSERT_EQ(sent.size(), 4u) << sent.dump(1);
  std::string joined;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(sent[i]["coding"], "ucs2");
    EXPECT_EQ(sent[i]["concat"]["parts"], 3);
    EXPECT_EQ(sent[i]["concat"]["part"], i + 1);
    joined += sent[i]["text"].get<std::string>();
  }
  EXPECT_EQ(joined, pangram);
  EXPECT_EQ(sent[3]["coding"], "ucs2");
  EXPECT_EQ(sent[3]["text"], "Ελλάδα 🙂");
  EXPECT_FALSE(sent[3].contains("concat"));
}

}  // namespace
}  // namespace phonesim::testing
