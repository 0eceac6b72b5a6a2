// A port survey stopped by its caller, against a simulated modem on a
// pseudo-terminal in a device folder of the test's own (KORVANET_DEV).
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "phone/port_probe.h"
#include "testing/files.h"
#include "testing/phonesim_process.h"
#include "testing/wait_until.h"

namespace {

bool Received(const TPhoneSimProcess& aPhone, const std::string& aCommand) {
  std::vector<std::string> commands = aPhone.ReceivedCommands();
  return std::find(commands.begin(), commands.end(), aCommand) != commands.end();
}

// Stopped before it starts, the survey still lists the device but sends it
// nothing; stopped while a modem that fell silent is asked, it asks nothing
// more (each question left would have waited for its limit).
TEST(PortProbeTest, AStoppedSurveyAsksNothingMore) {
  TTempDir root("kvprobe");
  const std::string dev = root.Path() + "/dev";
  std::filesystem::create_directories(dev);
  TPhoneSimProcess phone;
  phone.EnableTranscript();
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["silence_after_commands"] = 1;
  profile["quirks"]["silence_ms"] = 600000;
  ASSERT_TRUE(phone.Start(profile, root.Path(), dev + "/ttyUSB0")) << phone.Errors();
  setenv("KORVANET_DEV", dev.c_str(), 1);

  std::atomic<bool> stop{true};
  std::vector<TPortReport> reports = SurveyPorts(KProbeAnswerMs, &stop);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].iDevice.state, kvplatform::SerialDeviceState::Free);
  EXPECT_EQ(reports[0].iAnswer, EPortNoAnswer);
  EXPECT_TRUE(phone.ReceivedCommands().empty());

  stop = false;
  std::thread stopper([&] {
    kvtest::WaitUntil([&] { return Received(phone, "AT+CGMI"); });
    stop = true;
  });
  reports = SurveyPorts(KProbeAnswerMs, &stop);
  stopper.join();
  unsetenv("KORVANET_DEV");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].iAnswer, EPortAnswered);
  EXPECT_EQ(reports[0].iMaker.Length(), 0);
  EXPECT_TRUE(Received(phone, "AT"));
  // The last question, some seconds after the first unanswered one.
  EXPECT_FALSE(Received(phone, "AT+CSMS?"));
}

}  // namespace
