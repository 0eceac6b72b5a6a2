#include "testing/phonesim_process.h"

#include <fcntl.h>
#include <unistd.h>

#include "testing/files.h"

bool TPhoneSimProcess::Start(const nlohmann::json& aProfile, const std::string& aDir, const std::string& aLink,
                             const std::vector<std::string>& aExtraArgs) {
  return StartText(aProfile.dump(2), aDir, aLink, aExtraArgs);
}

bool TPhoneSimProcess::StartText(const std::string& aProfileText, const std::string& aDir, const std::string& aLink,
                                 const std::vector<std::string>& aExtraArgs) {
  WriteFile(aDir + "/profile.json", aProfileText);
  return StartFile(aDir + "/profile.json", aDir, aLink, aExtraArgs);
}

bool TPhoneSimProcess::StartFile(const std::string& aProfilePath, const std::string& aDir, const std::string& aLink,
                                 const std::vector<std::string>& aExtraArgs) {
  iDir = aDir;
  std::vector<std::string> argv = {PHONESIM_BINARY, "--profile", aProfilePath, "--link", aLink,
                                   "--state-out", aDir + "/state.json"};
  if (iControl) argv.insert(argv.end(), {"--control", aDir + "/control"});
  argv.insert(argv.end(), aExtraArgs.begin(), aExtraArgs.end());
  return iChild.Start(argv, aDir + "/phonesim.out", aDir + "/phonesim.err", "ready\n");
}

bool TPhoneSimProcess::Control(const std::string& aLine) const {
  if (!iControl || !Running()) return false;
  // phonesim holds the pipe open for reading while it runs: no wait here.
  int fd = open((iDir + "/control").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  std::string line = aLine + "\n";
  bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  close(fd);
  return written;
}

nlohmann::json TPhoneSimProcess::StopAndReadState() {
  if (!Running()) return nullptr;
  Stop();
  nlohmann::json state = State();
  return state.is_discarded() ? nlohmann::json(nullptr) : state;
}

nlohmann::json TPhoneSimProcess::State() const {
  return nlohmann::json::parse(ReadFile(iDir + "/state.json"), nullptr, false);
}

std::string TPhoneSimProcess::Errors() const { return ReadFile(iDir + "/phonesim.err"); }

nlohmann::json ShippedProfile(const std::string& aName) {
  return nlohmann::json::parse(ReadFile(std::string(KV_PHONESIM_PROFILES) + "/" + aName + ".json"),
                               nullptr, false, true);
}

nlohmann::json SmallProfile() {
  return nlohmann::json::parse(ReadFile(std::string(KV_TESTING_DATA) + "/small_phone.json"), nullptr, false);
}
