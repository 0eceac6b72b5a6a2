#include "engine/tests/phone_sim.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "wait_until.h"

namespace {

std::string ReadText(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TPhoneSim::~TPhoneSim() {
  if (iPid > 0) StopAndReadState();
}

bool TPhoneSim::Start(const nlohmann::json& aProfile, const std::string& aLinkPath, const std::string& aWorkDir) {
  iWorkDir = aWorkDir;
  std::ofstream(iWorkDir + "/profile.json") << aProfile.dump(2);
  std::string out = iWorkDir + "/phonesim.out";
  std::string err = iWorkDir + "/phonesim.err";
  // Everything the child needs is made before the fork: it only opens and execs.
  std::string profile = iWorkDir + "/profile.json";
  std::string state = iWorkDir + "/state.json";
  std::string control = iWorkDir + "/control";
  // A "ready" left by an earlier phone in this folder must not count for this one.
  unlink(out.c_str());
  iPid = fork();
  if (iPid == 0) {
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(e, 2);
    if (iControl)
      execl(PHONESIM_BINARY, PHONESIM_BINARY, "--profile", profile.c_str(), "--link", aLinkPath.c_str(), "--state-out",
            state.c_str(), "--control", control.c_str(), static_cast<char*>(nullptr));
    else
      execl(PHONESIM_BINARY, PHONESIM_BINARY, "--profile", profile.c_str(), "--link", aLinkPath.c_str(), "--state-out",
            state.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  bool ready = false;
  kvtest::WaitUntil([&] {
    ready = ReadText(out).find("ready\n") != std::string::npos;
    if (!ready && waitpid(iPid, nullptr, WNOHANG) == iPid) iPid = -1;
    return ready || iPid == -1;
  });
  return ready;
}

nlohmann::json TPhoneSim::StopAndReadState() {
  if (iPid <= 0) return nullptr;
  kill(iPid, SIGTERM);
  int status = 0;
  waitpid(iPid, &status, 0);
  iPid = -1;
  std::string state = ReadText(iWorkDir + "/state.json");
  if (state.empty()) return nullptr;
  return nlohmann::json::parse(state, nullptr, false);
}

bool TPhoneSim::Control(const std::string& aLine) {
  if (!iControl || iPid <= 0) return false;
  // phonesim holds the pipe open for reading while it runs, so this does not block.
  std::ofstream control(iWorkDir + "/control");
  control << aLine << "\n";
  control.flush();
  return static_cast<bool>(control);
}

std::string TPhoneSim::Errors() const { return ReadText(iWorkDir + "/phonesim.err"); }

nlohmann::json SmallProfile() {
  return nlohmann::json::parse(ReadText(std::string(ENGINE_TEST_DATA) + "/small_phone.json"), nullptr, false);
}

nlohmann::json ShippedProfile(const std::string& aName) {
  return nlohmann::json::parse(ReadText(std::string(PHONESIM_PROFILES) + "/" + aName + ".json"), nullptr, false,
                               true);
}
