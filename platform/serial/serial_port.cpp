// The open serial port. The descriptor is non-blocking; every blocking call is
// a poll on the device and on the calling thread's own eventfd, which closing
// the handle, purging, or changing the mask writes to, so no thread stays
// blocked on a port that has gone away.
#include "serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include <windows.h>

#include "../core/host_errors.h"
#include "dcb_termios.h"

namespace kvplatform {
namespace {

using Clock = std::chrono::steady_clock;

// Modem lines and errors are not pollable; while a wait needs them they are
// sampled this often.
constexpr int kLinePollMs = 50;
constexpr DWORD kLineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// A line that is gone reads EIO or ENXIO (unplugged USB, peer of a
// pseudo-terminal closed); the program sees a device that is not connected.
DWORD ErrorFromIo(int error) {
  return (error == EIO || error == ENXIO || error == ENODEV) ? ERROR_DEVICE_NOT_CONNECTED
                                                             : Win32ErrorFromErrno(error);
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<long long>(left + 1, 1 << 30));
}

bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

}  // namespace

// The calling thread's place in the port's list of blocked threads, for the
// length of one blocking call.
class SerialPort::Waiter {
 public:
  explicit Waiter(SerialPort& port) : port_(port), fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) return;
    std::lock_guard guard(port_.lock_);
    port_.waiters_.push_back(fd_);
  }
  ~Waiter() {
    if (fd_ < 0) return;
    {
      std::lock_guard guard(port_.lock_);
      std::erase(port_.waiters_, fd_);
    }
    close(fd_);
  }
  Waiter(const Waiter&) = delete;
  Waiter& operator=(const Waiter&) = delete;

  bool ok() const { return fd_ >= 0; }
  // Waits for the device (events) or a wake-up; returns the device's revents.
  short Poll(int deviceFd, short events, int timeoutMs) {
    pollfd fds[2] = {{deviceFd, events, 0}, {fd_, POLLIN, 0}};
    int n;
    do n = poll(fds, 2, timeoutMs);
    while (n < 0 && errno == EINTR);
    if (fds[1].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] ssize_t r = read(fd_, &count, sizeof count);
    }
    return n > 0 ? fds[0].revents : 0;
  }

 private:
  SerialPort& port_;
  int fd_;
};

SerialPort::SerialPort(int fd, DWORD access, std::string path) : fd_(fd), access_(access), path_(std::move(path)) {
  dcb_ = DefaultDcb();
}

std::shared_ptr<SerialPort> SerialPort::Create(int fd, DWORD access, std::string path, DWORD* error) {
  termios settings;
  if (tcgetattr(fd, &settings) != 0) {
    *error = ERROR_NOT_SUPPORTED;  // not a terminal device
    close(fd);
    return nullptr;
  }
  std::shared_ptr<SerialPort> port(new SerialPort(fd, access, std::move(path)));
  // A Win32 port is binary from the start; keep the speed and framing the
  // device had, so GetCommState reports them.
  TermiosToDcb(settings, port->dcb_);
  port->dcb_.fParity = 0;
  port->dcb_.fOutX = 0;
  port->dcb_.fInX = 0;
  port->dcb_.fOutxCtsFlow = 0;
  if (!DcbToTermios(port->dcb_, settings, error)) {
    port->dcb_.BaudRate = CBR_9600;
    if (!DcbToTermios(port->dcb_, settings, error)) return nullptr;
  }
  if (tcsetattr(fd, TCSANOW, &settings) != 0) {
    *error = Win32ErrorFromErrno(errno);
    return nullptr;
  }
  // A Win32 port opens with empty queues. A line another holder keeps open
  // (a pseudo-terminal) still has what arrived after the last close, such as
  // a reply to a command of an abandoned session; it must not be taken for
  // the answer to this opener's first command.
  tcflush(fd, TCIOFLUSH);
  port->SampleLines(port->baseline_);
  port->errorBase_ = port->baseline_;
  return port;
}

SerialPort::~SerialPort() {
  if (!closed_) ReleaseExclusive();
  close(fd_);
}

void SerialPort::ReleaseExclusive() {
  // The exclusive flag outlives our descriptor on a pseudo-terminal whose
  // other end stays open; clear it so the port can be opened again.
  ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
}

void SerialPort::OnClose() {
  std::lock_guard guard(lock_);
  closed_ = true;
  ReleaseExclusive();
  WakeAll();
}

void SerialPort::WakeAll() {
  uint64_t one = 1;
  for (int fd : waiters_) [[maybe_unused]] ssize_t r = write(fd, &one, sizeof one);
}

// ---- reading and writing ---------------------------------------------------

BOOL SerialPort::Read(void* buffer, DWORD toRead, DWORD& read) {
  read = 0;
  if (!(access_ & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
  COMMTIMEOUTS t;
  uint64_t aborts;
  bool dropNul;
  {
    std::lock_guard guard(lock_);
    if (closed_) return Fail(ERROR_INVALID_HANDLE);
    t = timeouts_;
    aborts = rxAborts_;
    dropNul = dcb_.fNull;
  }
  auto* bytes = static_cast<BYTE*>(buffer);
  // Takes what the driver holds; false when the line has gone.
  auto take = [&]() -> bool {
    while (read < toRead) {
      ssize_t n = ::read(fd_, bytes + read, toRead - read);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (n <= 0) {
        SetLastError(n == 0 ? ERROR_DEVICE_NOT_CONNECTED : ErrorFromIo(errno));
        return false;
      }
      if (dropNul) n = std::remove(bytes + read, bytes + read + n, BYTE{0}) - (bytes + read);
      read += static_cast<DWORD>(n);
    }
    return true;
  };
  if (toRead == 0) return TRUE;
  if (!take()) return FALSE;
  if (read == toRead) return TRUE;

  // What is buffered, at once.
  if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0)
    return TRUE;
  // What is buffered; when nothing is, the first bytes within the constant.
  bool firstBytesOnly = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                        t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD;
  if (firstBytesOnly && read > 0) return TRUE;

  auto start = Clock::now();
  bool hasTotal = firstBytesOnly || t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
  uint64_t totalMs = firstBytesOnly ? t.ReadTotalTimeoutConstant
                                    : uint64_t{t.ReadTotalTimeoutMultiplier} * toRead + t.ReadTotalTimeoutConstant;
  auto deadline = start + std::chrono::milliseconds(std::min<uint64_t>(totalMs, 1ull << 40));
  bool hasInterval = !firstBytesOnly && t.ReadIntervalTimeout != 0;
  auto lastByte = start;

  Waiter waiter(*this);
  if (!waiter.ok()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  for (;;) {
    {
      std::lock_guard guard(lock_);
      if (closed_) return Fail(ERROR_INVALID_HANDLE);
      if (rxAborts_ != aborts) return Fail(ERROR_OPERATION_ABORTED);
    }
    int timeout = -1;
    if (hasTotal) timeout = RemainingMs(deadline);
    if (hasInterval && read > 0) {
      auto gap = lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout);
      timeout = timeout < 0 ? RemainingMs(gap) : std::min(timeout, RemainingMs(gap));
    }
    if (timeout == 0) return TRUE;
    short revents = waiter.Poll(fd_, POLLIN, timeout);
    DWORD before = read;
    if (!take()) return FALSE;
    if (read == toRead || (firstBytesOnly && read > 0)) return TRUE;
    if (read > before) lastByte = Clock::now();
    if (read == before && (revents & (POLLHUP | POLLERR | POLLNVAL))) return Fail(ERROR_DEVICE_NOT_CONNECTED);
  }
}

BOOL SerialPort::Write(const void* buffer, DWORD toWrite, DWORD& written) {
  written = 0;
  if (!(access_ & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  COMMTIMEOUTS t;
  uint64_t aborts;
  {
    std::lock_guard guard(lock_);
    if (closed_) return Fail(ERROR_INVALID_HANDLE);
    t = timeouts_;
    aborts = txAborts_;
  }
  const auto* bytes = static_cast<const BYTE*>(buffer);
  // The whole write must be done within constant + multiplier * n; both zero
  // means no limit.
  bool limited = t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0;
  uint64_t limitMs = uint64_t{t.WriteTotalTimeoutMultiplier} * toWrite + t.WriteTotalTimeoutConstant;
  auto deadline = Clock::now() + std::chrono::milliseconds(std::min<uint64_t>(limitMs, 1ull << 40));
  std::unique_ptr<Waiter> waiter;
  while (written < toWrite) {
    ssize_t n = ::write(fd_, bytes + written, toWrite - written);
    if (n > 0) {
      written += static_cast<DWORD>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Fail(ErrorFromIo(errno));
    // The driver's buffer is full: wait for room, a purge or the close.
    if (!waiter) {
      waiter = std::make_unique<Waiter>(*this);
      if (!waiter->ok()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    {
      std::lock_guard guard(lock_);
      if (closed_) return Fail(ERROR_INVALID_HANDLE);
      if (txAborts_ != aborts) return Fail(ERROR_OPERATION_ABORTED);
    }
    int timeout = limited ? RemainingMs(deadline) : -1;
    if (timeout == 0) return Fail(ERROR_TIMEOUT);
    short revents = waiter->Poll(fd_, POLLOUT, timeout);
    if ((revents & (POLLERR | POLLNVAL)) || ((revents & POLLHUP) && !(revents & POLLOUT)))
      return Fail(ERROR_DEVICE_NOT_CONNECTED);
  }
  return TRUE;
}

BOOL SerialPort::Flush() {
  // Waits until the driver has sent what it holds.
  if (tcdrain(fd_) != 0) return Fail(ErrorFromIo(errno));
  return TRUE;
}

// ---- settings ----------------------------------------------------------------

BOOL SerialPort::GetState(DCB& dcb) {
  termios settings;
  if (tcgetattr(fd_, &settings) != 0) return Fail(ErrorFromIo(errno));
  std::lock_guard guard(lock_);
  dcb = dcb_;
  TermiosToDcb(settings, dcb);
  return TRUE;
}

BOOL SerialPort::SetState(const DCB& dcb) {
  termios settings;
  if (tcgetattr(fd_, &settings) != 0) return Fail(ErrorFromIo(errno));
  termios before = settings;
  DWORD error = 0;
  if (!DcbToTermios(dcb, settings, &error)) return Fail(error);
  if (tcsetattr(fd_, TCSANOW, &settings) != 0) return Fail(ErrorFromIo(errno));
  // tcsetattr succeeds when any part was taken; the device may refuse the
  // rest (a pseudo-terminal carries 8-bit bytes without parity only).
  termios now;
  constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  if (tcgetattr(fd_, &now) != 0) return Fail(ErrorFromIo(errno));
  if ((now.c_cflag & kFraming) != (settings.c_cflag & kFraming) || cfgetospeed(&now) != cfgetospeed(&settings)) {
    tcsetattr(fd_, TCSANOW, &before);
    return Fail(ERROR_INVALID_PARAMETER);
  }
  std::lock_guard guard(lock_);
  dcb_ = dcb;
  dcb_.DCBlength = sizeof(DCB);
  return TRUE;
}

BOOL SerialPort::GetTimeouts(COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(lock_);
  timeouts = timeouts_;
  return TRUE;
}

BOOL SerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(lock_);
  timeouts_ = timeouts;
  return TRUE;
}

BOOL SerialPort::Escape(DWORD function) {
  int request = 0, bits = 0;
  switch (function) {
    case SETDTR: request = TIOCMBIS; bits = TIOCM_DTR; break;
    case CLRDTR: request = TIOCMBIC; bits = TIOCM_DTR; break;
    case SETRTS: request = TIOCMBIS; bits = TIOCM_RTS; break;
    case CLRRTS: request = TIOCMBIC; bits = TIOCM_RTS; break;
    case SETBREAK: request = TIOCSBRK; break;
    case CLRBREAK: request = TIOCCBRK; break;
    case SETXOFF: return tcflow(fd_, TCOOFF) == 0 ? TRUE : Fail(ErrorFromIo(errno));
    case SETXON: return tcflow(fd_, TCOON) == 0 ? TRUE : Fail(ErrorFromIo(errno));
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  int result = (request == TIOCMBIS || request == TIOCMBIC) ? ioctl(fd_, request, &bits) : ioctl(fd_, request);
  // A pseudo-terminal or a Bluetooth link has no modem lines to set.
  if (result != 0 && !NoModemLines(errno)) return Fail(ErrorFromIo(errno));
  return TRUE;
}

// ---- line events ----------------------------------------------------------------

bool SerialPort::SampleLines(LineCounters& now) {
  bool any = false;
  if (countersWork_) {
    serial_icounter_struct counts{};
    if (ioctl(fd_, TIOCGICOUNT, &counts) == 0) {
      now.cts = counts.cts;
      now.dsr = counts.dsr;
      now.dcd = counts.dcd;
      now.ring = counts.rng;
      now.brk = counts.brk;
      now.errors = counts.frame + counts.overrun + counts.parity + counts.buf_overrun;
      any = true;
    } else if (NoModemLines(errno)) {
      countersWork_ = false;
    }
  }
  if (levelsWork_) {
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) == 0) {
      now.lines = lines;
      any = true;
    } else if (NoModemLines(errno)) {
      levelsWork_ = false;
    }
  }
  return any;
}

DWORD SerialPort::LineEvents(const LineCounters& a, const LineCounters& b, DWORD mask) const {
  DWORD events = 0;
  auto changed = [&](int countA, int countB, int bit) {
    return countersWork_ ? countA != countB : ((a.lines ^ b.lines) & bit) != 0;
  };
  if (changed(a.cts, b.cts, TIOCM_CTS)) events |= EV_CTS;
  if (changed(a.dsr, b.dsr, TIOCM_DSR)) events |= EV_DSR;
  if (changed(a.dcd, b.dcd, TIOCM_CD)) events |= EV_RLSD;
  if (countersWork_ ? a.ring != b.ring : (!(a.lines & TIOCM_RI) && (b.lines & TIOCM_RI))) events |= EV_RING;
  if (a.brk != b.brk) events |= EV_BREAK;
  if (a.errors != b.errors) events |= EV_ERR;
  return events & mask;
}

BOOL SerialPort::SetMask(DWORD mask) {
  std::lock_guard guard(lock_);
  mask_ = mask;
  // A wait in progress returns with no events, as on the device.
  ++maskChanges_;
  WakeAll();
  return TRUE;
}

DWORD SerialPort::Mask() {
  std::lock_guard guard(lock_);
  return mask_;
}

BOOL SerialPort::WaitEvent(DWORD& events) {
  events = 0;
  Waiter waiter(*this);
  if (!waiter.ok()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  uint64_t aborts, maskChanges;
  DWORD mask;
  {
    std::lock_guard guard(lock_);
    if (closed_) return Fail(ERROR_INVALID_HANDLE);
    aborts = rxAborts_;
    maskChanges = maskChanges_;
    mask = mask_;
  }
  bool hungUp = false;
  for (;;) {
    LineCounters lines;
    bool sampleLines = false;
    {
      std::lock_guard guard(lock_);
      if (closed_) return Fail(ERROR_INVALID_HANDLE);
      if (rxAborts_ != aborts) return Fail(ERROR_OPERATION_ABORTED);
      if (maskChanges_ != maskChanges) return TRUE;  // events stays 0
      if ((mask & kLineEvents) && SampleLines(lines)) {
        sampleLines = true;
        events = LineEvents(baseline_, lines, mask);
        baseline_ = lines;
      }
    }
    if (mask & EV_RXCHAR) {
      int queued = 0;
      if (ioctl(fd_, FIONREAD, &queued) != 0) return Fail(ErrorFromIo(errno));
      if (queued > 0) events |= EV_RXCHAR;
    }
    if (events != 0) return TRUE;
    // Nothing buffered and the line is gone: fail rather than report forever.
    if (hungUp) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    short revents = waiter.Poll(fd_, (mask & EV_RXCHAR) ? POLLIN : 0, sampleLines ? kLinePollMs : -1);
    hungUp = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
}

BOOL SerialPort::Purge(DWORD flags) {
  if (flags & ~DWORD{PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR})
    return Fail(ERROR_INVALID_PARAMETER);
  {
    std::lock_guard guard(lock_);
    if (flags & PURGE_TXABORT) ++txAborts_;
    // Ends blocked reads and line-event waits: the receive side is being shut.
    if (flags & PURGE_RXABORT) ++rxAborts_;
    if (flags & (PURGE_TXABORT | PURGE_RXABORT)) WakeAll();
  }
  int queue = -1;
  if ((flags & PURGE_TXCLEAR) && (flags & PURGE_RXCLEAR))
    queue = TCIOFLUSH;
  else if (flags & PURGE_TXCLEAR)
    queue = TCOFLUSH;
  else if (flags & PURGE_RXCLEAR)
    queue = TCIFLUSH;
  if (queue >= 0 && tcflush(fd_, queue) != 0) return Fail(ErrorFromIo(errno));
  return TRUE;
}

BOOL SerialPort::ClearError(DWORD* errors, COMSTAT* status) {
  LineCounters now;
  {
    std::lock_guard guard(lock_);
    now = errorBase_;
    SampleLines(now);
    if (errors) {
      *errors = 0;
      if (now.brk != errorBase_.brk) *errors |= CE_BREAK;
      if (now.errors != errorBase_.errors) *errors |= CE_FRAME;
    }
    errorBase_ = now;
  }
  if (status) {
    std::memset(status, 0, sizeof *status);
    int in = 0, out = 0;
    if (ioctl(fd_, FIONREAD, &in) != 0) return Fail(ErrorFromIo(errno));
    if (ioctl(fd_, TIOCOUTQ, &out) != 0) out = 0;
    status->cbInQue = static_cast<DWORD>(in);
    status->cbOutQue = static_cast<DWORD>(out);
  }
  return TRUE;
}

BOOL SerialPort::ModemStatus(DWORD& status) {
  status = 0;
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) {
    if (NoModemLines(errno)) return TRUE;  // no lines: none on
    return Fail(ErrorFromIo(errno));
  }
  if (lines & TIOCM_CTS) status |= MS_CTS_ON;
  if (lines & TIOCM_DSR) status |= MS_DSR_ON;
  if (lines & TIOCM_RI) status |= MS_RING_ON;
  if (lines & TIOCM_CD) status |= MS_RLSD_ON;
  return TRUE;
}

}  // namespace kvplatform
