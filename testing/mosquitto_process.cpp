#include "testing/mosquitto_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

bool Run(const std::vector<std::string>& aArgv, std::string& aErrors) {
  TChildResult result = RunChild(aArgv);
  if (result.iStatus != 0) aErrors += result.iErr;
  return result.iStatus == 0;
}

std::string ReadAll(const std::string& aPath) {
  std::ifstream in(aPath);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int FreeLoopbackPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(s);
  return port;
}

bool TMosquittoProcess::MakeCertificates() {
  std::string errors;
  const std::string d = iDir + "/";
  auto authority = [&](const std::string& aName) {
    return Run({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + aName,
                "-keyout", d + aName + ".key", "-out", d + aName + ".crt"},
               errors);
  };
  bool ok = authority("ca") && authority("other-ca") &&
            Run({"/usr/bin/openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                 d + "server.key", "-out", d + "server.csr"},
                errors);
  if (ok) {
    std::ofstream(d + "server.ext") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    ok = Run({"/usr/bin/openssl", "x509", "-req", "-in", d + "server.csr", "-CA", d + "ca.crt", "-CAkey", d + "ca.key",
              "-CAcreateserial", "-days", "2", "-extfile", d + "server.ext", "-out", d + "server.crt"},
             errors);
  }
  if (!ok) std::ofstream(d + "mosquitto.err", std::ios::app) << errors;
  return ok;
}

bool TMosquittoProcess::Start(const std::string& aDir, const TBrokerOptions& aOptions) {
  iDir = aDir;
  iOptions = aOptions;
  std::filesystem::create_directories(iDir + "/data");
  if (iOptions.iTls && !MakeCertificates()) return false;
  if (!iOptions.iUser.empty()) {
    std::string errors;
    std::ofstream(iDir + "/passwords").close();
    if (!Run({"/usr/bin/mosquitto_passwd", "-b", iDir + "/passwords", iOptions.iUser, iOptions.iPassword}, errors)) {
      std::ofstream(iDir + "/mosquitto.err", std::ios::app) << errors;
      return false;
    }
  }
  iPort = FreeLoopbackPort();
  std::ofstream config(iDir + "/mosquitto.conf");
  // As root the broker would drop to its own user, who cannot write the
  // test's private folder: it stays the test's user.
  const passwd* user = getpwuid(getuid());
  if (user != nullptr) config << "user " << user->pw_name << "\n";
  config << "per_listener_settings false\n"
         << "listener " << iPort << " 127.0.0.1\n"
         // Its standard output is buffered: the log file is written as it goes.
         << "log_dest file " << iDir << "/mosquitto.out\n"
         << "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n"
         << "persistence true\n"
         << "persistence_location " << iDir << "/data/\n"
         << "max_queued_messages 10000\n";
  if (iOptions.iUser.empty())
    config << "allow_anonymous true\n";
  else
    config << "allow_anonymous false\npassword_file " << iDir << "/passwords\n";
  if (iOptions.iTls)
    config << "cafile " << iDir << "/ca.crt\ncertfile " << iDir << "/server.crt\nkeyfile " << iDir << "/server.key\n";
  config.close();
  return Restart();
}

bool TMosquittoProcess::Restart() {
  if (iChild.Running()) iChild.Stop();
  return iChild.Start({"/usr/sbin/mosquitto", "-c", iDir + "/mosquitto.conf"}, iDir + "/mosquitto.out", iDir + "/mosquitto.err",
                      "running");
}

std::string TMosquittoProcess::Url() const {
  return std::string(iOptions.iTls ? "mqtts://" : "mqtt://") + (iOptions.iTls ? "localhost" : "127.0.0.1") + ":" +
         std::to_string(iPort);
}

std::string TMosquittoProcess::Errors() const { return ReadAll(iDir + "/mosquitto.out") + ReadAll(iDir + "/mosquitto.err"); }
