// The serial port over a real pseudo-terminal: the test holds the master and
// plays the phone; the port opens the slave as "COM7:".
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <kvplatform.h>
#include <kvplatform_serial.h>
#include <windows.h>

#include "testing/device_root.h"
#include "wait_until.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The far end of the line.
class Phone {
 public:
  Phone() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(master_, 0);
    grantpt(master_);
    unlockpt(master_);
    slave_ = ptsname(master_);
  }
  ~Phone() { Hang(); }
  const std::string& device() const { return slave_; }
  int fd() const { return master_; }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the port sent, waiting for `count` bytes (or a hung test's deadline).
  std::string Receive(size_t count) {
    std::string got;
    auto start = Clock::now();
    while (got.size() < count && MsSince(start) < kvtest::kHungTest.count()) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  void Hang() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("KORVANET_COM7");
    setenv("KORVANET_COM7", phone_.device().c_str(), 1);
  }
  void TearDown() override { unsetenv("KORVANET_COM7"); }

  static HANDLE Open(const char16_t* name = u"COM7:") {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  static void SetTimeouts(HANDLE port, DWORD interval, DWORD readMul, DWORD readConst, DWORD writeMul,
                          DWORD writeConst) {
    COMMTIMEOUTS t{interval, readMul, readConst, writeMul, writeConst};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
  }
  // Bytes reach the port's side of a pseudo-terminal a moment after the far end writes them.
  static bool WaitUntilQueued(HANDLE port, DWORD count) {
    return kvtest::WaitUntil([&] {
      COMSTAT status{};
      DWORD errors = 0;
      return ClearCommError(port, &errors, &status) && status.cbInQue >= count;
    });
  }
  // Reads until `count` bytes came, with the port's time-outs set to return at once.
  static std::string ReadAtLeast(HANDLE port, size_t count) {
    std::string got;
    kvtest::WaitUntil([&] {
      char buffer[64];
      DWORD read = 0;
      if (!ReadFile(port, buffer, sizeof buffer, &read, nullptr)) return true;
      got.append(buffer, read);
      return got.size() >= count;
    });
    return got;
  }

  // Opening `name` fails with `error`; what the port said on stderr.
  static std::string OpenRefused(DWORD error, const char16_t* name = u"COM7:") {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Open(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), error);
    return testing::internal::GetCapturedStderr();
  }

  TDeviceRoot root_{"kv-platform"};
  Phone phone_;
};

TEST_F(SerialPortTest, NameResolvesToVariableThenRootLinkAndNothingElse) {
  // The variable names the device, and wins over a link under the root;
  // without it the link is used.
  Phone other;
  std::filesystem::create_directories(root_.Path() + "/dev");
  std::filesystem::create_symlink(other.device(), root_.Path() + "/dev/COM7");
  HANDLE port = Open(u"com7:");
  ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(port, "AT\r", 3, &written, nullptr));
  EXPECT_EQ(phone_.Receive(3), "AT\r");
  CloseHandle(port);
  unsetenv("KORVANET_COM7");
  port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(WriteFile(port, "B", 1, &written, nullptr));
  EXPECT_EQ(other.Receive(1), "B");
  CloseHandle(port);

  // Nothing configured: no guessing, a message that says what to set.
  std::string said = OpenRefused(ERROR_FILE_NOT_FOUND, u"COM8:");
  EXPECT_NE(said.find("KORVANET_COM8"), std::string::npos) << said;

  // A configured device that is not there.
  setenv("KORVANET_COM7", (root_.Path() + "/ttyUSB9").c_str(), 1);
  said = OpenRefused(ERROR_FILE_NOT_FOUND);
  EXPECT_NE(said.find("ttyUSB9 (from KORVANET_COM7) is missing"), std::string::npos) << said;

  // A plain file is no serial line.
  std::string plain = root_.Path() + "/plain";
  close(open(plain.c_str(), O_CREAT | O_WRONLY, 0600));
  setenv("KORVANET_COM7", plain.c_str(), 1);
  said = OpenRefused(ERROR_NOT_SUPPORTED);
  EXPECT_NE(said.find("not a serial device"), std::string::npos) << said;
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedAsBusyAlsoFromAnotherProgram) {
  HANDLE port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  std::string said = OpenRefused(ERROR_SHARING_VIOLATION);
  EXPECT_NE(said.find("busy"), std::string::npos) << said;
  EXPECT_NE(said.find(phone_.device()), std::string::npos) << said;
  ASSERT_TRUE(CloseHandle(port));

  // Closed: the port opens again at once.
  port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);

  // Released while the second opener is still trying (it sleeps between its
  // attempts): it gets the port, and says nothing about a busy port.
  testing::internal::CaptureStderr();
  const pid_t opener = kvtest::KernelThreadId();
  std::thread closer([port, opener] {
    kvtest::WaitUntilBlocked({opener});
    CloseHandle(port);
  });
  HANDLE second = Open();
  said = testing::internal::GetCapturedStderr();
  closer.join();
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(said.find("busy"), std::string::npos) << said;
  CloseHandle(second);

  // Another process holds the device.
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  if (child == 0) {
    int fd = open(phone_.device().c_str(), O_RDWR | O_NOCTTY);
    char c = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
    [[maybe_unused]] ssize_t w = write(ready[1], &c, 1);
    [[maybe_unused]] ssize_t r = read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  said = OpenRefused(ERROR_SHARING_VIOLATION);
  EXPECT_NE(said.find("busy"), std::string::npos) << said;
  ASSERT_EQ(write(release[1], "x", 1), 1);
  waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
  port = Open();
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);
}

TEST_F(SerialPortTest, ReadsReturnAtOnceOrWithinTheirTimeOuts) {
  HANDLE port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  // Interval MAXDWORD, no total: return at once (a read that waited would
  // hang here, as nothing comes).
  SetTimeouts(port, MAXDWORD, 0, 0, 10, 200);
  char byte = 0;
  DWORD read = 99;
  ASSERT_TRUE(ReadFile(port, &byte, 1, &read, nullptr));
  EXPECT_EQ(read, 0u);

  // A total time-out returns what came within it, and not before it ends.
  SetTimeouts(port, 0, 0, 150, 0, 0);
  phone_.Send("AB");
  ASSERT_TRUE(WaitUntilQueued(port, 2));
  char buffer[16] = {};
  auto start = Clock::now();
  ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "AB");
  EXPECT_GE(MsSince(start), 100);

  // Interval MAXDWORD, multiplier MAXDWORD: the first bytes that arrive end
  // the read, long before its total time-out.
  SetTimeouts(port, MAXDWORD, MAXDWORD, 2 * kvtest::kHungTest.count(), 0, 0);
  std::atomic<pid_t> reader{0};
  std::atomic<bool> done{false};
  std::thread later([&] {
    reader = kvtest::KernelThreadId();
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &read, nullptr));
    done = true;
  });
  ASSERT_TRUE(kvtest::WaitUntil([&] { return reader != 0; }));
  ASSERT_TRUE(kvtest::WaitUntilBlocked({reader}));
  phone_.Send("Z");
  EXPECT_TRUE(kvtest::WaitUntil([&] { return done.load(); }));
  if (!done) PurgeComm(port, PURGE_RXABORT);
  later.join();
  EXPECT_EQ(std::string(buffer, read), "Z");

  // fNull drops NUL bytes.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.fNull = 1;
  ASSERT_TRUE(SetCommState(port, &dcb));
  SetTimeouts(port, 0, 0, kvtest::kHungTest.count(), 0, 0);
  phone_.Send(std::string("a\0b\0c", 5));
  ASSERT_TRUE(ReadFile(port, buffer, 3, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "abc");
  CloseHandle(port);
}

TEST_F(SerialPortTest, APortOpensWithoutWhatTheLineReceivedBeforeIt) {
  // Another holder keeps the line up between openings, as phonesim does.
  int holder = open(phone_.device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  termios raw{};
  ASSERT_EQ(tcgetattr(holder, &raw), 0);
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(holder, TCSANOW, &raw), 0);
  HANDLE port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);
  phone_.Send("\r\nOK\r\n");  // the reply to a command of the closed session
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    int queued = 0;
    return ioctl(holder, FIONREAD, &queued) == 0 && queued == 6;
  }));

  port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  SetTimeouts(port, MAXDWORD, 0, 0, 10, 200);
  char buffer[16] = {};
  DWORD read = 99;
  ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 0u) << std::string(buffer, read);
  phone_.Send("ERROR\r\n");
  EXPECT_EQ(ReadAtLeast(port, 7), "ERROR\r\n");
  CloseHandle(port);
  close(holder);
}

TEST_F(SerialPortTest, WriteFailsWhenTheFarEndStopsReading) {
  HANDLE port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  SetTimeouts(port, MAXDWORD, 0, 0, 0, 200);
  std::vector<char> block(1 << 20, 'x');
  DWORD written = 0;
  auto start = Clock::now();
  EXPECT_FALSE(WriteFile(port, block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, block.size());
  EXPECT_GE(MsSince(start), 150);

  // A purge of the transmit side ends a blocked write at once.
  SetTimeouts(port, MAXDWORD, 0, 0, 0, 0);
  std::atomic<BOOL> result{TRUE};
  std::atomic<DWORD> error{0};
  std::atomic<pid_t> blocked{0};
  std::thread writer([&] {
    blocked = kvtest::KernelThreadId();
    DWORD n = 0;
    result = WriteFile(port, block.data(), static_cast<DWORD>(block.size()), &n, nullptr);
    error = GetLastError();
  });
  ASSERT_TRUE(kvtest::WaitUntil([&] { return blocked != 0; }));
  ASSERT_TRUE(kvtest::WaitUntilBlocked({blocked}));  // the line is full
  ASSERT_TRUE(PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR));
  writer.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));

  // The phone reads again: writes go through.
  char sink[65536];
  while (read(phone_.fd(), sink, sizeof sink) > 0) {
    pollfd p{phone_.fd(), POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) break;
  }
  SetTimeouts(port, MAXDWORD, 0, 0, 0, kvtest::kHungTest.count());
  EXPECT_TRUE(WriteFile(port, "AT\r", 3, &written, nullptr));
  EXPECT_EQ(written, 3u);
  CloseHandle(port);
}

TEST_F(SerialPortTest, WaitCommEventWakesOnDataAndFailsOnCloseOrHangUp) {
  HANDLE port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  SetTimeouts(port, MAXDWORD, 0, 0, 10, 200);
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING));
  DWORD mask = 0;
  ASSERT_TRUE(GetCommMask(port, &mask));
  EXPECT_EQ(mask, 0x139u);

  struct Outcome {
    BOOL ok = TRUE;
    DWORD mask = 0;
    DWORD error = 0;
  };
  // Waits on another thread; the test acts once that thread is blocked in the wait.
  std::atomic<pid_t> waiting{0};
  auto waitOnce = [&](Outcome& out) {
    waiting = kvtest::KernelThreadId();
    out.ok = WaitCommEvent(port, &out.mask, nullptr);
    out.error = GetLastError();
  };
  auto startWaiting = [&](Outcome& out) {
    waiting = 0;
    Outcome* target = &out;
    std::thread waiter([&waitOnce, target] { waitOnce(*target); });
    EXPECT_TRUE(kvtest::WaitUntil([&] { return waiting != 0; }) && kvtest::WaitUntilBlocked({waiting}));
    return waiter;
  };

  // Data wakes it; a mask change from another thread ends it with no
  // events; purging the receive side or closing the handle ends it with failure.
  const struct {
    const char* what;
    std::function<void()> act;
    BOOL ok;
    DWORD mask;
    DWORD error;
  } wakers[] = {
      {"data", [&] { phone_.Send("RING\r\n"); }, TRUE, EV_RXCHAR, 0},
      {"mask", [&] { SetCommMask(port, EV_RXCHAR); }, TRUE, 0, 0},
      {"purge", [&] { PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT); }, FALSE, 0, ERROR_OPERATION_ABORTED},
      {"close", [&] { CloseHandle(port); }, FALSE, 0, ERROR_INVALID_HANDLE},
  };
  for (const auto& waker : wakers) {
    Outcome seen;
    std::thread waiter = startWaiting(seen);
    waker.act();
    waiter.join();
    EXPECT_EQ(seen.ok, waker.ok) << waker.what;
    EXPECT_EQ(waker.mask ? seen.mask & waker.mask : seen.mask, waker.mask) << waker.what;
    if (!waker.ok) {
      EXPECT_EQ(seen.error, waker.error) << waker.what;
    }
    PurgeComm(port, PURGE_RXCLEAR);  // what woke this wait would end the next at once
  }
  EXPECT_EQ(WaitCommEvent(port, &mask, nullptr), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // The far end goes away: waits and writes fail, each at once.
  port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  SetTimeouts(port, MAXDWORD, 0, 0, 10, 200);
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING));
  Outcome hungUp;
  std::thread waiter = startWaiting(hungUp);
  phone_.Hang();
  waiter.join();
  EXPECT_FALSE(hungUp.ok);
  EXPECT_EQ(hungUp.error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  // Each fails at once: nothing more can happen on the line, so a wait that
  // blocked would never return.
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(WaitCommEvent(port, &mask, nullptr));
  DWORD written = 0;
  EXPECT_FALSE(WriteFile(port, "AT\r", 3, &written, nullptr));
  char byte;
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(port, &byte, 1, &got, nullptr));
  CloseHandle(port);
}

TEST_F(SerialPortTest, CommStateRoundTripsAndReachesTheLine) {
  HANDLE port = Open();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB dcb{};
  dcb.DCBlength = 28;
  ASSERT_TRUE(GetCommState(port, &dcb));
  EXPECT_EQ(dcb.DCBlength, 28u);
  // Fields a pseudo-terminal has no use for are kept as given all the same.
  dcb.XonLim = 1234;
  dcb.XoffLim = 321;
  dcb.ErrorChar = '?';
  dcb.EvtChar = '\n';
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = dcb.fOutX = dcb.fInX = dcb.fNull = 0;
  dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fErrorChar = dcb.fAbortOnError = 1;
  ASSERT_TRUE(SetCommState(port, &dcb));
  DCB back{};
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(std::memcmp(&dcb, &back, sizeof dcb), 0);

  // The slave's settings as the line sees them (the master reports them).
  termios t;
  ASSERT_EQ(tcgetattr(phone_.fd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);

  dcb.BaudRate = CBR_115200;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fOutxCtsFlow = 1;
  dcb.fOutX = 1;
  ASSERT_TRUE(SetCommState(port, &dcb));
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(std::memcmp(&dcb, &back, sizeof dcb), 0);
  ASSERT_EQ(tcgetattr(phone_.fd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS),
            static_cast<tcflag_t>(CS8 | CSTOPB | CRTSCTS));
  EXPECT_NE(t.c_iflag & IXON, 0u);

  // Values the line cannot take are refused and change nothing.
  DCB bad = dcb;
  bad.BaudRate = 12345;
  EXPECT_FALSE(SetCommState(port, &bad));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  bad = dcb;
  bad.ByteSize = 9;
  EXPECT_FALSE(SetCommState(port, &bad));
  // A pseudo-terminal has no parity; the refusal is reported, not swallowed.
  bad = dcb;
  bad.ByteSize = 7;
  bad.Parity = EVENPARITY;
  EXPECT_FALSE(SetCommState(port, &bad));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(back.BaudRate, static_cast<DWORD>(CBR_115200));

  // Time-outs round-trip; a pseudo-terminal has no modem lines, which is no error.
  COMMTIMEOUTS t1{MAXDWORD, 0, 0, 10, 200}, t2{};
  ASSERT_TRUE(SetCommTimeouts(port, &t1));
  ASSERT_TRUE(GetCommTimeouts(port, &t2));
  EXPECT_EQ(std::memcmp(&t1, &t2, sizeof t1), 0);
  EXPECT_TRUE(EscapeCommFunction(port, SETDTR));
  EXPECT_TRUE(EscapeCommFunction(port, SETRTS));
  EXPECT_FALSE(EscapeCommFunction(port, 77));
  EXPECT_FALSE(PurgeComm(port, 0x10));

  phone_.Send("12345");
  ASSERT_TRUE(WaitUntilQueued(port, 5));
  COMSTAT status{};
  DWORD errors = 99;
  ASSERT_TRUE(ClearCommError(port, &errors, &status));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(status.cbInQue, 5u);
  ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
  ASSERT_TRUE(ClearCommError(port, &errors, &status));
  EXPECT_EQ(status.cbInQue, 0u);
  CloseHandle(port);

  // Functions of the port refuse other handles.
  EXPECT_FALSE(GetCommState(port, &dcb));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace

// The device list: only serial names, their stable names, a device another
// process holds (and which), one whose link leads nowhere; the far end of a
// pseudo-terminal (this test, holding the master) is no holder. And the
// port's link, replaced as one step.
TEST(SerialDevices, ListedWithStableNamesHoldersAndStates) {
  TDeviceRoot root("kv-serial-list");
  const std::string dev = root.Path() + "/hostdev";
  std::filesystem::create_directories(dev + "/serial/by-id");
  Phone free, held;
  std::filesystem::create_symlink(free.device(), dev + "/ttyUSB0");
  std::filesystem::create_symlink(held.device(), dev + "/ttyACM3");
  std::filesystem::create_symlink(root.Path() + "/gone", dev + "/rfcomm1");
  std::filesystem::create_symlink(free.device(), dev + "/ttyS0");  // not a name that is listed
  std::filesystem::create_symlink("../../ttyUSB0", dev + "/serial/by-id/usb-Maker_Model-if00-port0");
  setenv("KORVANET_DEV", dev.c_str(), 1);

  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  if (child == 0) {
    // Not the far end: it holds no master.
    close(free.fd());
    close(held.fd());
    int fd = open(held.device().c_str(), O_RDWR | O_NOCTTY);
    char c = fd >= 0 ? 'y' : 'n';
    [[maybe_unused]] ssize_t w = write(ready[1], &c, 1);
    [[maybe_unused]] ssize_t r = read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');

  std::vector<kvplatform::SerialDevice> devices = kvplatform::ListSerialDevices();
  ASSERT_EQ(write(release[1], "x", 1), 1);
  waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
  unsetenv("KORVANET_DEV");

  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0].path, dev + "/rfcomm1");
  EXPECT_EQ(devices[0].state, kvplatform::SerialDeviceState::Unusable);
  EXPECT_EQ(devices[1].path, dev + "/ttyACM3");
  EXPECT_EQ(devices[1].state, kvplatform::SerialDeviceState::Busy);
  EXPECT_EQ(devices[1].holderPid, child);
  EXPECT_FALSE(devices[1].holderName.empty());
  EXPECT_TRUE(devices[1].byIdNames.empty());
  EXPECT_EQ(devices[2].path, dev + "/ttyUSB0");
  EXPECT_EQ(devices[2].state, kvplatform::SerialDeviceState::Free);
  EXPECT_EQ(devices[2].byIdNames, std::vector<std::string>{dev + "/serial/by-id/usb-Maker_Model-if00-port0"});

  // Opened at once, exclusively: a second opener is refused as busy.
  HANDLE port = kvplatform::OpenSerialDevice(devices[2].path);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_EQ(kvplatform::OpenSerialDevice(devices[2].path), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(port);

  EXPECT_EQ(kvplatform::SerialPortLinkTarget(u"COM3:"), "");
  ASSERT_EQ(kvplatform::SetSerialPortLink(u"COM3:", devices[2].byIdNames[0]), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(kvplatform::SetSerialPortLink(u"COM3:", devices[1].path), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(kvplatform::SerialPortLinkTarget(u"COM3:"), devices[1].path);
  EXPECT_NE(kvplatform::SetSerialPortLink(u"LPT1:", devices[1].path), static_cast<DWORD>(ERROR_SUCCESS));
}
