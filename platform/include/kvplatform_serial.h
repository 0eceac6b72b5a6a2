// Serial devices of the host, for a list to choose a port from: what there
// is, and whether it may be opened now. No Windows CE counterpart.
#pragma once

#include <string>
#include <vector>

#include "wintypes.h"

namespace kvplatform {

enum class SerialDeviceState {
  Free,          // nobody else holds it, and we may open it
  Busy,          // another process holds it (holderPid when it can be seen)
  NotPermitted,  // the user may not open it (the dialout group)
  Unusable,      // it is there but cannot be opened (problem says why)
};

struct SerialDevice {
  std::string path;                    // "/dev/ttyUSB0"
  std::vector<std::string> byIdNames;  // "/dev/serial/by-id/usb-..." naming the same device
  SerialDeviceState state = SerialDeviceState::Free;
  int holderPid = 0;                   // 0 when not seen
  std::string holderName;              // the holder's command name, when seen
  std::string problem;
};

// The folder devices are looked for in: $KORVANET_DEV, else "/dev". Its
// "serial/by-id" subfolder holds the stable names.
std::string SerialDeviceFolder();

// ttyUSB*, ttyACM* and rfcomm* of the device folder, sorted by name, each with
// its stable names and state. At most kMaxSerialDevices are listed.
inline constexpr size_t kMaxSerialDevices = 64;
std::vector<SerialDevice> ListSerialDevices();

// Opens a host serial device by its path at once (no waiting for a busy one),
// exclusively, as a "COMn:" port is opened. INVALID_HANDLE_VALUE with the last
// error set on failure: ERROR_SHARING_VIOLATION when held,
// ERROR_ACCESS_DENIED when not permitted.
HANDLE OpenSerialDevice(const std::string& path);

// The device a "COMn:" port opens when no $KORVANET_COMn is set is the link
// <root>/dev/COMn. Its target ("" when there is none), and a new target put
// in its place at once (replacing the link as one step): ERROR_SUCCESS or
// the error.
std::string SerialPortLinkTarget(LPCWSTR name);
DWORD SetSerialPortLink(LPCWSTR name, const std::string& device);

// The same device behind two paths (links resolved).
bool SameSerialDevice(const std::string& a, const std::string& b);

}  // namespace kvplatform
