// A real phone client against the simulator: gammu over the pseudo-terminal
// reads the Ericsson and demo phones (escapes, Greek capitals, UCS2 with
// pairs, both reference sizes). The generic phone's replies are the line
// tests' and the program's; the program sends UCS2 in parts.
// Every gammu run is bounded by a time-out so that a fault cannot hang CI.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "sim_process.h"
#include "testing/child_process.h"

namespace phonesim::testing {
namespace {

struct GammuRun {
  int status = -1;
  std::string output;  // standard output and error together
};

GammuRun Gammu(const SimProcess& sim, const std::string& args) {
  std::string config = sim.Dir() + "/gammurc";
  WriteFile(config, "[gammu]\nconnection = at\ndevice = " + sim.Link() + "\n");
  std::vector<std::string> argv = {"/usr/bin/gammu", "-c", config};
  std::istringstream words(args);
  for (std::string word; words >> word;) argv.push_back(word);
  TChildOptions options;
  // gammu prints in the locale's character set: UTF-8, so that every script reads back.
  options.iEnvironment = {{"LC_ALL", "C.UTF-8"}};
  options.iTimeoutMs = 60000;
  TChildResult result = RunChild(argv, options);
  return {result.iStatus, result.iOut + result.iErr};
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

}  // namespace
}  // namespace phonesim::testing
