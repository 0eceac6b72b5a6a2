// Port names. Opening the host device behind a port name comes with the
// serial port support; until then a port open fails and says so.
#include <cstdio>

#include <kvplatform.h>
#include <windows.h>

#include "serial/serial_open.h"

namespace kvplatform {

bool IsSerialPortName(LPCWSTR name) {
  if (name == nullptr || (name[0] != u'C' && name[0] != u'c') || (name[1] != u'O' && name[1] != u'o') ||
      (name[2] != u'M' && name[2] != u'm'))
    return false;
  size_t i = 3;
  if (name[i] < u'0' || name[i] > u'9') return false;
  while (name[i] >= u'0' && name[i] <= u'9') ++i;
  return name[i] == u':' && name[i + 1] == 0 && i <= 5;
}

HANDLE OpenSerialPort(LPCWSTR name, DWORD, DWORD) {
  std::fprintf(stderr, "korvanet: cannot open %s: serial ports are not supported in this build\n",
               ToUtf8(name).c_str());
  SetLastError(ERROR_NOT_SUPPORTED);
  return INVALID_HANDLE_VALUE;
}

}  // namespace kvplatform
