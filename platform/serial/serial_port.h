// An open serial port: a host terminal device (USB serial, Bluetooth RFCOMM,
// pseudo-terminal) driven with termios and poll, with Win32 comm semantics.
#pragma once

#include <termios.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <winserial.h>

#include "../core/io_object.h"

namespace kvplatform {

class SerialPort : public IoObject {
 public:
  // Takes the descriptor (opened non-blocking, locked for this process) and
  // puts the line into raw mode. Null with *error set when that fails.
  static std::shared_ptr<SerialPort> Create(int fd, DWORD access, std::string path, DWORD* error);
  ~SerialPort() override;

  BOOL Read(void* buffer, DWORD toRead, DWORD& read) override;
  BOOL Write(const void* buffer, DWORD toWrite, DWORD& written) override;
  BOOL Flush() override;
  void OnClose() override;

  BOOL GetState(DCB& dcb);
  BOOL SetState(const DCB& dcb);
  BOOL GetTimeouts(COMMTIMEOUTS& timeouts);
  BOOL SetTimeouts(const COMMTIMEOUTS& timeouts);
  BOOL Escape(DWORD function);
  BOOL SetMask(DWORD mask);
  DWORD Mask();
  BOOL WaitEvent(DWORD& events);
  BOOL Purge(DWORD flags);
  BOOL ClearError(DWORD* errors, COMSTAT* status);
  BOOL ModemStatus(DWORD& status);

 private:
  // Transition counts of the modem lines and line errors, as the driver
  // reports them; a change between two samples is an event.
  struct LineCounters {
    int cts = 0, dsr = 0, dcd = 0, ring = 0, brk = 0, errors = 0;
    int lines = 0;  // TIOCM_* levels, when only levels are known
  };
  class Waiter;

  SerialPort(int fd, DWORD access, std::string path);
  bool SampleLines(LineCounters& now);
  DWORD LineEvents(const LineCounters& before, const LineCounters& now, DWORD mask) const;
  void WakeAll();  // lock_ held
  void ReleaseExclusive();

  const int fd_;
  const DWORD access_;
  const std::string path_;

  std::mutex lock_;
  bool closed_ = false;
  // Bumped by purges and mask changes so blocked calls notice them.
  uint64_t rxAborts_ = 0;
  uint64_t txAborts_ = 0;
  uint64_t maskChanges_ = 0;
  DWORD mask_ = 0;
  DCB dcb_{};  // the fields termios has no place for, as last set
  COMMTIMEOUTS timeouts_{};
  LineCounters baseline_;   // line state the next WaitCommEvent compares with
  LineCounters errorBase_;  // line errors already reported by ClearCommError
  bool countersWork_ = true;
  bool levelsWork_ = true;
  std::vector<int> waiters_;  // eventfds of the threads blocked on this port
};

}  // namespace kvplatform
