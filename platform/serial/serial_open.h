// Serial ports: "COMn:" names, opened on the host device they stand for.
#pragma once

#include <string>

#include <wintypes.h>

namespace kvplatform {

// "COM1:" .. "COM99:" (case-insensitive, the colon required).
bool IsSerialPortName(LPCWSTR name);

// The host device a port name stands for: $KORVANET_COMn when set, else
// <root>/dev/COMn. Nothing else is guessed. `source` says which it was.
std::string SerialPortDevice(LPCWSTR name, std::string* source);

// Opens the port exclusively (another opener, in this or another program, is
// refused with ERROR_SHARING_VIOLATION). On failure sets the last error and
// says on standard error why: missing, busy, permission.
HANDLE OpenSerialPort(LPCWSTR name, DWORD access, DWORD shareMode);

}  // namespace kvplatform
