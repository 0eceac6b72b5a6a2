// The serial link against a pseudo-terminal: the test holds the master end
// and plays the phone; the program opens the slave as "COM3:".
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "kernel/active.h"
#include "kernel/requests.h"
#include "kernel/tests/log_fixture.h"
#include "serial/communicator.h"
#include "serial/datareader.h"
#include "serial/port.h"
#include "testing/process_counts.h"
#include "testing/wait_until.h"

namespace {

class Phone {
 public:
  Phone() {
    iMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(iMaster);
    unlockpt(iMaster);
    iSlave = ptsname(iMaster);
  }
  ~Phone() { close(iMaster); }
  const std::string& Device() const { return iSlave; }
  void Send(const std::string& aBytes) {
    ASSERT_EQ(write(iMaster, aBytes.data(), aBytes.size()), static_cast<ssize_t>(aBytes.size()));
  }
  // aCount bytes (fewer only when a hung test's deadline passes).
  std::string Receive(size_t aCount) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + kvtest::kHungTest;
    while (got.size() < aCount && std::chrono::steady_clock::now() < end) {
      pollfd p{iMaster, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      ssize_t n = read(iMaster, buffer, std::min(sizeof buffer, aCount - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

 private:
  int iMaster;
  std::string iSlave;
};

// Records what the communicator tells the protocol layer.
class TObserver : public MCommunicatorObserver {
 public:
  int ProcessReceivedData(const TDesc8& aData, int aStatus) override {
    iReceived.emplace_back(reinterpret_cast<const char*>(aData.Ptr()), aData.Length());
    iReceiveStatus.push_back(aStatus);
    size_t total = 0;
    for (auto& block : iReceived) total += block.size();
    return total >= iStopAfterBytes ? iStopCode : 0;
  }
  void TransmitComplete(const TDesc8& aData, int aResult) override {
    iCompleted.emplace_back(reinterpret_cast<const char*>(aData.Ptr()), aData.Length());
    iResults.push_back(aResult);
    if (iOnComplete) iOnComplete();
  }
  void TransmitStarted(const TDesc8& aData) override {
    iStarted.emplace_back(reinterpret_cast<const char*>(aData.Ptr()), aData.Length());
  }
  int HasCapability8000() override { return 0; }

  std::vector<std::string> iReceived, iCompleted, iStarted;
  std::vector<int> iReceiveStatus, iResults;
  size_t iStopAfterBytes = 1;
  int iStopCode = 1;
  std::function<void()> iOnComplete;
};

class SerialTest : public LoggingTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(EpocInitGlobals(), 0);
    SetLogging(1);
    CActiveScheduler::Install(new CActiveScheduler);
    setenv("KORVANET_COM3", iPhone.Device().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KORVANET_COM3");
    EpocReleaseGlobals();
    SetLogging(0);
  }
  bool AwaitLogged(const std::string& aMessage) const {
    return kvtest::WaitUntil([&] { return Logged(aMessage); });
  }
  static std::u16string Text(size_t aLength, char16_t aChar = u'a') { return std::u16string(aLength, aChar); }

  Phone iPhone;
  TObserver iObserver;
};

TEST_F(SerialTest, OpeningGreetsThePhoneAndAMissingPortStartsNoThread) {
  CCommunicator* comm = CCommunicator::NewL(&iObserver);
  ASSERT_NE(comm, nullptr);
  ASSERT_EQ(comm->OpenPort(), 0);
  EXPECT_EQ(comm->Ready(), 1);
  EXPECT_EQ(iPhone.Receive(4), "Star");
  // Both port threads run; that they end with the port is checked over a hundred reopenings below.
  EXPECT_TRUE(AwaitLogged("ReadThreadMain: Started ..."));
  EXPECT_TRUE(AwaitLogged("WriteThreadMain: Started ..."));
  comm->ClosePort();
  EXPECT_EQ(comm->Ready(), 0);
  delete comm;

  // No device: -2, the reason logged, no thread started.
  unsetenv("KORVANET_COM3");
  int threads = CountThreads();
  comm = CCommunicator::NewL(&iObserver);
  EXPECT_EQ(comm->OpenPort(), -2);
  EXPECT_EQ(comm->Ready(), 0);
  EXPECT_EQ(comm->PortHandle(), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Logged("PortInitialize Port = 0xffffffff"));
  EXPECT_TRUE(Logged("PortInitialize Unable to open port = 2"));
  EXPECT_EQ(CountThreads(), threads);
  delete comm;
}

TEST_F(SerialTest, ABurstReachesTheQueueInBlocksOf1024) {
  TPortHandle port(INVALID_HANDLE_VALUE);
  ASSERT_EQ(PortInitialize(&port, u"COM3:"), 0);
  iPhone.Receive(4);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  CDataReader* reader = CDataReader::NewL(event);
  reader->SetPortHandleField(&port);
  std::string burst;
  for (int i = 0; i < 2500; ++i) burst += static_cast<char>('0' + i % 64);
  iPhone.Send(burst);
  // All of it buffered before the reader thread looks.
  COMSTAT status{};
  ASSERT_TRUE(kvtest::WaitUntil([&] { return ClearCommError(port.load(), nullptr, &status) && status.cbInQue >= 2500; }));
  ASSERT_EQ(status.cbInQue, 2500u);
  ASSERT_NE(CreateReadThread(reader), 0u);
  EXPECT_TRUE(kvtest::WaitUntil([&] { return reader->QueuedBytes() >= 2500; }));
  EXPECT_EQ(reader->QueuedBytes(), 2500);
  EXPECT_EQ(Count("ReadThreadMain - readBuf overflow"), 2);
  EXPECT_EQ(Count("CDataReader::QueueData 1024 bytes"), 2);
  EXPECT_EQ(Count("CDataReader::QueueData 452 bytes"), 1);

  // Bytes come out in order, at most a buffer's worth at a time.
  TModBuf8<512> buffer;
  TCompletionStatus requestStatus = KCompletionPending;
  reader->ReadData(&requestStatus, &buffer);
  EXPECT_EQ(requestStatus.Int(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Ptr()), buffer.Length()), burst.substr(0, 512));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);

  // Closing ends the reader thread.
  HANDLE open = port.exchange(INVALID_HANDLE_VALUE);
  PurgeComm(open, PURGE_TXABORT | PURGE_RXABORT);
  CloseHandle(open);
  EXPECT_TRUE(AwaitLogged("ReadThreadMain: Exiting ..."));
  delete reader;
  CloseHandle(event);
}

TEST_F(SerialTest, QueuedBytesReachTheObserverAsFullBuffersThenTheRest) {
  CCommunicator* comm = CCommunicator::NewL(&iObserver);
  comm->Reader()->QueueData(TConstPtr8(reinterpret_cast<const TText8*>(std::string(700, 'x').data()), 700));
  iObserver.iStopAfterBytes = 700;
  iObserver.iStopCode = 42;
  EXPECT_TRUE(comm->EstablishConnectionL());
  EXPECT_EQ(comm->ConnectionState(), 0);
  EXPECT_EQ(comm->Wait(), 42);
  ASSERT_EQ(iObserver.iReceived.size(), 2u);
  EXPECT_EQ(iObserver.iReceived[0].size(), 512u);
  EXPECT_EQ(iObserver.iReceived[1].size(), 188u);
  EXPECT_EQ(iObserver.iReceiveStatus, (std::vector<int>{0, 0}));

  // A second request while one is pending changes nothing.
  TModBuf8<16> other;
  TCompletionStatus otherStatus = KCompletionPending;
  comm->Reader()->ReadData(&otherStatus, &other);
  EXPECT_EQ(otherStatus.Int(), KCompletionPending);
  EXPECT_TRUE(Logged("CDataReader::ReadData - Read already active"));

  // Stop before Wait only records the code; the later Wait runs to the next Stop.
  comm->Stop(7);
  iObserver.iStopAfterBytes = 703;
  iObserver.iStopCode = 9;
  comm->Reader()->QueueData(TConstPtr8(reinterpret_cast<const TText8*>("abc"), 3));
  EXPECT_EQ(comm->Wait(), 9);
  EXPECT_EQ(iObserver.iReceived.back(), "abc");
  delete comm;
  EXPECT_TRUE(Logged("~CDataReader - Outstanding notification"));
}

TEST_F(SerialTest, SendQueuesFifteenTextsWithinTheirLengthLimits) {
  CCommunicator* comm = CCommunicator::NewL(&iObserver);
  ASSERT_EQ(comm->OpenPort(), 0);
  iPhone.Receive(4);
  // Lengths: 511 with a carriage return, 512 only without, 513 never.
  EXPECT_EQ(comm->Send(TConstPtr16(Text(512).c_str()), true), -9);
  EXPECT_EQ(comm->Send(TConstPtr16(Text(513).c_str()), false), -9);
  EXPECT_EQ(comm->Send(TConstPtr16(Text(511, u'b').c_str()), true), 0);
  EXPECT_EQ(comm->Send(TConstPtr16(Text(512, u'c').c_str()), false), 0);
  // A character above 255 goes out as 0x01.
  EXPECT_EQ(comm->Send(TConstPtr16(u"AT\x20AC\x00e9"), true), 0);
  for (int i = 3; i < 15; ++i) EXPECT_EQ(comm->Send(TConstPtr16(u"AT"), true), 0) << i;
  EXPECT_EQ(comm->Send(TConstPtr16(u"AT"), true), -9);

  int completions = 0;
  iObserver.iOnComplete = [&] {
    if (++completions == 15) comm->Stop(5);
  };
  EXPECT_EQ(comm->Wait(), 5);
  std::string expected = std::string(511, 'b') + "\r" + std::string(512, 'c') + "AT\x01\xe9\r";
  for (int i = 3; i < 15; ++i) expected += "AT\r";
  EXPECT_EQ(iPhone.Receive(expected.size()), expected);
  EXPECT_EQ(iObserver.iStarted.size(), 15u);
  EXPECT_EQ(iObserver.iResults, std::vector<int>(15, 0));
  EXPECT_EQ(iObserver.iStarted[2], "AT\x01\xe9\r");
  delete comm;
}

TEST_F(SerialTest, AWriteAtOnceComesAfterWhatTheWriterThreadHolds) {
  CCommunicator* comm = CCommunicator::NewL(&iObserver);
  ASSERT_EQ(comm->OpenPort(), 0);
  EXPECT_EQ(iPhone.Receive(4), "Star");
  ASSERT_EQ(comm->Send(TConstPtr16(u"AT+CMGS=23"), true), 0);  // handed to the writer thread, not waited for
  EXPECT_EQ(comm->WriteAtOnce(TConstPtr8("\x1b")), 0);
  EXPECT_EQ(iPhone.Receive(12), "AT+CMGS=23\r\x1b");
  comm->ClosePort();
  EXPECT_EQ(comm->WriteAtOnce(TConstPtr8("\x1b")), -2);
  delete comm;
}

TEST_F(SerialTest, AFarEndThatStopsReadingFailsTheWriteAndTheWait) {
  CCommunicator* comm = CCommunicator::NewL(&iObserver);
  ASSERT_EQ(comm->OpenPort(), 0);
  std::u16string text = Text(500, u'z');
  // Keep the queue topped up until the pseudo-terminal's buffer is full.
  iObserver.iOnComplete = [&] {
    if (iObserver.iResults.back() == 0) comm->Send(TConstPtr16(text.c_str()), true);
  };
  for (int i = 0; i < 4; ++i) ASSERT_EQ(comm->Send(TConstPtr16(text.c_str()), true), 0);
  EXPECT_EQ(comm->Wait(), -2);
  EXPECT_EQ(iObserver.iResults.back(), -2);
  EXPECT_EQ(comm->Ready(), 0);
  EXPECT_TRUE(Logged("CCommunicator::DoTransmitCallBack result = -2"));

  // A later SendAndWait on the closed port does not wait for a transmission
  // that never starts.
  iObserver.iOnComplete = nullptr;
  EXPECT_EQ(comm->SendAndWait(TConstPtr16(u"AT")), -2);
  EXPECT_TRUE(Logged("CCommunicator::SendAndWait - Error not ready to send"));
  delete comm;
}

TEST_F(SerialTest, ReopeningAHundredTimesLeaksNoThreadAndNoDescriptor) {
  // The port threads of a closed opening end on their own, a moment after
  // ClosePort; their number must come back to what it was before.
  const int threads = CountThreads();
  CCommunicator* comm = CCommunicator::NewL(&iObserver);
  ASSERT_EQ(comm->OpenPort(), 0);
  comm->ClosePort();
  ASSERT_TRUE(kvtest::WaitUntil([&] { return CountThreads() == threads; }));
  int descriptors = CountDescriptors();
  SetLogging(0);  // a hundred openings' worth of lines is not the point here
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(comm->OpenPort(), 0) << i;
    comm->ClosePort();
  }
  EXPECT_TRUE(kvtest::WaitUntil([&] { return CountThreads() == threads; }))
      << CountThreads() << " threads, " << threads << " before";
  EXPECT_EQ(CountDescriptors(), descriptors);
  delete comm;
}

}  // namespace
