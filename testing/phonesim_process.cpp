#include "testing/phonesim_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <sstream>

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
  if (iTranscript) argv.insert(argv.end(), {"--transcript", aDir + "/transcript.jsonl"});
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

std::vector<std::string> TPhoneSimProcess::ReceivedCommands() const {
  std::string bytes;
  std::istringstream records(ReadFile(iDir + "/transcript.jsonl"));
  for (std::string record; std::getline(records, record);) {
    nlohmann::json block = nlohmann::json::parse(record, nullptr, false);
    if (block.is_discarded() || block["dir"] != "in") continue;
    // Bytes above 0x7F come as U+0080..U+00FF: each is one byte again.
    std::string utf8 = block["bytes"].get<std::string>();
    for (size_t i = 0; i < utf8.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(utf8[i]);
      if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size())
        bytes.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
      else
        bytes.push_back(static_cast<char>(c));
    }
  }
  // The port's greeting ("Star") runs into the first command.
  if (bytes.rfind("Star", 0) == 0) bytes.erase(0, 4);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\r', start)) != std::string::npos; start = end + 1)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

std::string TPhoneSimProcess::Errors() const { return ReadFile(iDir + "/phonesim.err"); }

nlohmann::json ShippedProfile(const std::string& aName) {
  return nlohmann::json::parse(ReadFile(std::string(KV_PHONESIM_PROFILES) + "/" + aName + ".json"),
                               nullptr, false, true);
}

nlohmann::json SmallProfile() {
  return nlohmann::json::parse(ReadFile(std::string(KV_TESTING_DATA) + "/small_phone.json"), nullptr, false);
}
