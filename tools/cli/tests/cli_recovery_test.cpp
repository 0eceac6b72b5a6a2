// 'korvanet-cli listen' with a modem left alone: it falls silent, then its
// USB port goes and comes back as another device. Every message gets stored
// and handed to the command once. With the program's own waits (a quiet line
// probed after 20 s, a port tried every 2 s), so it takes about a minute.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "testing/background_run.h"
#include "tools/cli/tests/cli_fixture.h"
#include "wait_until.h"

namespace {

const std::chrono::milliseconds KRecoveryDeadline{180000};

std::vector<std::string> NonEmptyLines(const std::string& aText) {
  std::vector<std::string> lines;
  std::istringstream in(aText);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

class UnattendedModemTest : public CliTest {
 protected:
  // phonesim as a USB modem: its stable name in the root's by-id folder, and
  // COM3 the device that name leads to now.
  void StartModem() {
    // A device folder of the test's own; only its stable names are used.
    const std::string byId = iRoot + "/devices/serial/by-id";
    for (const std::string& folder : {iRoot + "/devices", iRoot + "/devices/serial", byId})
      ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    iStableName = byId + "/usb-PHONESIM_PS-100_0001-if00-port0";
    iPhone.EnableControl();
    ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iStableName)) << iPhone.Errors();
    iFirstDevice = Target(iStableName);
    ASSERT_FALSE(iFirstDevice.empty());
    ASSERT_EQ(symlink(iFirstDevice.c_str(), (iRoot + "/dev/COM3").c_str()), 0);
  }
  static std::string Target(const std::string& aLink) {
    char target[256];
    ssize_t n = readlink(aLink.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
  }

  void StartListening(const std::string& aCommand) {
    TChildOptions options;
    options.iTimeoutMs = 400000;
    options.iEnvironment.emplace("KORVANET_DEV", iRoot + "/devices");
    iListener.Start([this, aCommand](const TChildOptions& aOptions) { return Cli({"listen", "--exec", aCommand}, aOptions); },
                    options);
  }
  std::string Err() { return iListener.Err(); }
  bool Ended() { return iListener.Ended(); }
  bool WaitErrCount(const std::string& aText, size_t aCount) {
    return iListener.WaitErr(aText, aCount, KRecoveryDeadline);
  }
  bool WaitPhoneSays(const std::string& aText) {
    return kvtest::WaitUntil([&] { return iPhone.Errors().find(aText) != std::string::npos; }, KRecoveryDeadline);
  }
  bool WaitHanded(size_t aCount) {
    return kvtest::WaitUntil([&] { return NonEmptyLines(ReadFile(iHanded)).size() >= aCount || Ended(); },
                             KRecoveryDeadline) &&
           NonEmptyLines(ReadFile(iHanded)).size() >= aCount;
  }
  TChildResult Terminate() { return iListener.Signal(SIGTERM); }

  std::string iStableName, iFirstDevice;
  std::string iHanded;
  TBackgroundRun iListener;
};

}  // namespace

TEST_F(UnattendedModemTest, SilentForThirtySecondsThenBackOnAnotherPortWithEveryMessageOnce) {
  ASSERT_NO_FATAL_FAILURE(StartModem());
  iHanded = iRoot + "/handed.txt";
  StartListening("printf '%s\\n' \"$KORVANET_TEXT\" >> '" + iHanded + "'");
  ASSERT_TRUE(WaitHanded(2)) << Err();
  ASSERT_TRUE(WaitErrCount("Listening for messages", 1)) << Err();
  ASSERT_TRUE(iPhone.Control("deliver +447700900111 Before the silence"));
  ASSERT_TRUE(WaitHanded(3)) << Err();

  // Silent for 30 s, then the port goes for 5 s and comes back as another device.
  ASSERT_TRUE(iPhone.Control("silence 30000"));
  ASSERT_TRUE(iPhone.Control("deliver +447700900222 During the silence"));
  ASSERT_TRUE(iPhone.Control("replug 5000"));
  ASSERT_TRUE(WaitPhoneSays("port gone")) << iPhone.Errors();
  ASSERT_TRUE(iPhone.Control("deliver +447700900333 While the port was away"));
  ASSERT_TRUE(WaitPhoneSays("port back as")) << iPhone.Errors();
  const auto back = std::chrono::steady_clock::now();
  // Said again after each message taken, and once the phone is set up again.
  const size_t before = Occurrences(Err(), "Listening for messages");
  ASSERT_TRUE(WaitErrCount("Waiting for the phone", 1)) << Err();
  ASSERT_TRUE(WaitErrCount("Listening for messages", before + 1)) << Err();
  const auto listening = std::chrono::steady_clock::now();
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(listening - back).count();
  // The figure for the record; timing is measured here, not judged.
  std::printf("from the port's return to listening again: %lld ms\n", ms);
  RecordProperty("port_back_to_listening_ms", std::to_string(ms));
  EXPECT_NE(Target(iStableName), iFirstDevice);

  ASSERT_TRUE(WaitHanded(5)) << Err();
  ASSERT_TRUE(iPhone.Control("deliver +447700900444 After the port came back"));
  ASSERT_TRUE(WaitHanded(6)) << Err();
  TChildResult run = Terminate();
  EXPECT_EQ(run.iStatus, 0) << run.iErr;

  const std::multiset<std::string> expected = {"Lunch at one?",      "Unknown sender here",
                                               "Before the silence", "During the silence",
                                               "While the port was away", "After the port came back"};
  std::vector<std::string> handed = NonEmptyLines(ReadFile(iHanded));
  EXPECT_EQ(std::multiset<std::string>(handed.begin(), handed.end()), expected);
  std::multiset<std::string> stored;
  for (const auto& message : CliJson({"messages", "list"})) stored.insert(message["text"].get<std::string>());
  EXPECT_EQ(stored, expected);
}
