// Serial ports: "COMn:" names, opened on the host device they stand for.
#pragma once

#include <wintypes.h>

namespace kvplatform {

// "COM1:" .. "COM99:" (case-insensitive, the colon required).
bool IsSerialPortName(LPCWSTR name);
HANDLE OpenSerialPort(LPCWSTR name, DWORD access, DWORD shareMode);

}  // namespace kvplatform
