// The Win32 comm functions: each finds the port behind the handle and asks it.
#include <windows.h>

#include "serial_port.h"

using namespace kvplatform;

namespace {

std::shared_ptr<SerialPort> PortFromHandle(HANDLE handle) {
  auto port = LookupAs<SerialPort>(handle);
  if (!port) SetLastError(ERROR_INVALID_HANDLE);
  return port;
}

BOOL BadParameter() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

}  // namespace

BOOL GetCommState(HANDLE handle, LPDCB dcb) {
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  if (dcb == nullptr) return BadParameter();
  return port->GetState(*dcb);
}

BOOL SetCommState(HANDLE handle, LPDCB dcb) {
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  if (dcb == nullptr) return BadParameter();
  return port->SetState(*dcb);
}

BOOL GetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  if (timeouts == nullptr) return BadParameter();
  return port->GetTimeouts(*timeouts);
}

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  if (timeouts == nullptr) return BadParameter();
  return port->SetTimeouts(*timeouts);
}

BOOL EscapeCommFunction(HANDLE handle, DWORD function) {
  auto port = PortFromHandle(handle);
  return port ? port->Escape(function) : FALSE;
}

BOOL SetCommMask(HANDLE handle, DWORD mask) {
  auto port = PortFromHandle(handle);
  return port ? port->SetMask(mask) : FALSE;
}

BOOL GetCommMask(HANDLE handle, LPDWORD mask) {
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  if (mask == nullptr) return BadParameter();
  *mask = port->Mask();
  return TRUE;
}

BOOL WaitCommEvent(HANDLE handle, LPDWORD mask, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) return BadParameter();  // ports are opened without overlapped I/O
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  DWORD events = 0;
  BOOL ok = port->WaitEvent(events);
  if (mask) *mask = events;
  return ok;
}

BOOL PurgeComm(HANDLE handle, DWORD flags) {
  auto port = PortFromHandle(handle);
  return port ? port->Purge(flags) : FALSE;
}

BOOL ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) {
  auto port = PortFromHandle(handle);
  return port ? port->ClearError(errors, status) : FALSE;
}

BOOL GetCommModemStatus(HANDLE handle, LPDWORD modemStatus) {
  auto port = PortFromHandle(handle);
  if (!port) return FALSE;
  if (modemStatus == nullptr) return BadParameter();
  return port->ModemStatus(*modemStatus);
}
