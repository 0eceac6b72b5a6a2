// A real MQTT broker for tests: Debian's mosquitto on a free loopback port,
// with a configuration written for the test (and, for TLS, certificates
// made with openssl and a password file). Its session store lives in the
// work folder, so a broker stopped and started again keeps what it held.
#pragma once

#include <string>

#include "testing/child_process.h"

struct TBrokerOptions {
  bool iTls = false;
  // With a user, anonymous clients are refused.
  std::string iUser;
  std::string iPassword;
};

class TMosquittoProcess {
 public:
  ~TMosquittoProcess() { Stop(); }
  // Writes the configuration under aDir and starts the broker; false with
  // the reason in Errors() when it does not come up.
  bool Start(const std::string& aDir, const TBrokerOptions& aOptions = {});
  // Starts it again on the same port and configuration.
  bool Restart();
  int Stop() { return iChild.Stop(); }
  bool Running() const { return iChild.Running(); }
  int Port() const { return iPort; }
  // The certificate authority that signed the broker's certificate (TLS).
  std::string CaFile() const { return iDir + "/ca.crt"; }
  // Another authority, which signed nothing of this broker's.
  std::string OtherCaFile() const { return iDir + "/other-ca.crt"; }
  std::string Url() const;
  std::string Errors() const;

 private:
  bool MakeCertificates();
  std::string iDir;
  TBrokerOptions iOptions;
  int iPort = 0;
  TBackgroundChild iChild;
};

// A TCP port on 127.0.0.1 that nothing listens on just now.
int FreeLoopbackPort();
