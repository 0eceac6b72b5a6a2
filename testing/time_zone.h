// The test process's own zone (TZ) for a while: the zone a test names holds
// whatever zone the machine runs in, and child processes inherit it.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace kvtest {

class TScopedTimeZone {
 public:
  // aZone: a POSIX TZ text, "IST-5:30" for 05:30 east of UTC.
  explicit TScopedTimeZone(const char* aZone) {
    if (const char* was = getenv("TZ")) iWas = was;
    setenv("TZ", aZone, 1);
    tzset();
  }
  ~TScopedTimeZone() {
    if (iWas)
      setenv("TZ", iWas->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  TScopedTimeZone(const TScopedTimeZone&) = delete;
  TScopedTimeZone& operator=(const TScopedTimeZone&) = delete;

 private:
  std::optional<std::string> iWas;
};

}  // namespace kvtest
