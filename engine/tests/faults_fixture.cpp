#include "engine/tests/faults_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

namespace {

bool MakeRaw(int aFd) {
  termios t{};
  if (tcgetattr(aFd, &t) != 0) return false;
  cfmakeraw(&t);
  return tcsetattr(aFd, TCSANOW, &t) == 0;
}

// The far end is a few hundred bytes at most behind: wait for room briefly.
void WriteAll(int aFd, const char* aData, size_t aLength) {
  for (int tries = 0; aLength > 0 && tries < 50;) {
    ssize_t n = write(aFd, aData, aLength);
    if (n > 0) {
      aData += n;
      aLength -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return;
    pollfd p{aFd, POLLOUT, 0};
    poll(&p, 1, 100);
    ++tries;
  }
}

}  // namespace

bool TCable::Fail(const std::string& aWhat) {
  iError = aWhat + ": " + std::strerror(errno);
  Pull();
  return false;
}

bool TCable::Plug(const std::string& aPortLink, const std::string& aPhoneDevice) {
  // Close-on-exec throughout: a phonesim started later must not hold the
  // master end, or pulling it would not hang the line up.
  iMaster = open("/dev/ptmx", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (iMaster < 0) return Fail("cannot open a pseudo-terminal");
  char name[128];
  if (grantpt(iMaster) != 0 || unlockpt(iMaster) != 0 || ptsname_r(iMaster, name, sizeof name) != 0)
    return Fail("cannot unlock the pseudo-terminal");
  iSlave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (iSlave < 0 || !MakeRaw(iSlave)) return Fail(std::string("cannot set up ") + name);
  iPhone = open(aPhoneDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (iPhone < 0 || !MakeRaw(iPhone)) return Fail("cannot open the phone at " + aPhoneDevice);
  if (pipe2(iStop, O_CLOEXEC) != 0) return Fail("cannot make a pipe");
  unlink(aPortLink.c_str());
  if (symlink(name, aPortLink.c_str()) != 0) return Fail("cannot link " + aPortLink);
  iLink = aPortLink;
  iThread = std::thread(&TCable::Relay, this);
  return true;
}

void TCable::Relay() {
  bool phoneAlive = true;
  char buffer[4096];
  for (;;) {
    pollfd fds[3] = {{iStop[0], POLLIN, 0}, {iMaster, POLLIN, 0}, {phoneAlive ? iPhone : -1, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    if (fds[1].revents & POLLIN) {
      ssize_t n = read(iMaster, buffer, sizeof buffer);
      if (n > 0) {
        std::lock_guard<std::mutex> guard(iSentLock);
        iSent.append(buffer, static_cast<size_t>(n));
      }
      if (n > 0 && phoneAlive) WriteAll(iPhone, buffer, static_cast<size_t>(n));
    }
    if (fds[2].revents & POLLIN) {
      ssize_t n = read(iPhone, buffer, sizeof buffer);
      if (n > 0) WriteAll(iMaster, buffer, static_cast<size_t>(n));
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) phoneAlive = false;
    } else if (fds[2].revents & (POLLHUP | POLLERR)) {
      phoneAlive = false;  // phonesim hung up: its side of the cable is dead
    }
  }
}

std::string TCable::Sent() {
  std::lock_guard<std::mutex> guard(iSentLock);
  return iSent;
}

void TCable::Pull() {
  if (iThread.joinable()) {
    char stop = 1;
    [[maybe_unused]] ssize_t n = write(iStop[1], &stop, 1);
    iThread.join();
  }
  if (!iLink.empty()) {
    unlink(iLink.c_str());  // the device name goes with the device
    iLink.clear();
  }
  for (int* fd : {&iMaster, &iSlave, &iPhone, &iStop[0], &iStop[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

FaultTest::TResources FaultTest::Resources() {
  LogMessage(KLogFilePath, u"FaultTest - counting threads and descriptors");  // the log file is open from here on
  return {CountThreads(), CountDescriptors()};
}

void FaultTest::ExpectEngineGone(const TResources& aBefore) {
  ASSERT_TRUE(WaitEngineEnded()) << "the engine thread did not end";
  CloseHandle(iEngineThread);
  iEngineThread = nullptr;
  PumpUntil([&] { return CountThreads() == aBefore.iThreads && CountDescriptors() == aBefore.iDescriptors; });
  EXPECT_EQ(CountThreads(), aBefore.iThreads) << "a thread was left behind";
  EXPECT_EQ(CountDescriptors(), aBefore.iDescriptors) << "a descriptor was left open";
}

void FaultTest::SetOutboxMessage() {
  iMessage.reset(CKveMessagesItem::NewL());
  iMessage->ConstructL();
  iMessage->SetNumberL(TConstPtr16(u"+447700900123"));
  iMessage->SetTextL(TConstPtr16(u"Are you there?"));
  iMessage->SetFolder(EKvFolderOutbox);
  iAction.iMessage = iMessage.get();
  iAction.iSmsc = u"+447785016005";
}

void FaultTest::ResetAction() {
  iNotices.clear();
  iAction.iText.Zero();
  iAction.iResult = 0;
}

void FaultTest::RunAction(UINT aCommand) {
  ResetAction();
  StartEngineWithReplyTimeout(KShortReply);
  ASSERT_TRUE(Run(aCommand, 60000)) << "no completion for " << aCommand;
}

nlohmann::json FaultTest::RestartPhone() {
  nlohmann::json state = StopPhone();
  EXPECT_TRUE(state.is_object()) << "phonesim wrote no state";
  if (state.is_object()) StartPhone(state);
  return state;
}

std::multiset<std::string> FaultTest::MessageTexts() const {
  std::multiset<std::string> texts;
  for (const TMessageRow& row : Messages()) texts.insert(row.iText);
  return texts;
}

std::multiset<std::string> FaultTest::ContactNames() const {
  std::multiset<std::string> names;
  for (const TContactRow& row : Contacts()) names.insert(row.iName);
  return names;
}

std::multiset<std::string> FaultTest::PhoneNames(const nlohmann::json& aState, const std::string& aBook) {
  std::multiset<std::string> names;
  for (const nlohmann::json& entry : aState["phonebooks"][aBook]["entries"])
    names.insert(entry["name"].get<std::string>());
  return names;
}

void FaultTest::ClearMessages() {
  std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
  std::vector<CEOID> oids;
  for (CEpocDatabaseItem* record = store->ReadFirstItemL(); record != nullptr; record = store->ReadNextItemL()) {
    oids.push_back(record->Oid());
    delete record;
  }
  for (CEOID oid : oids) store->DeleteItem(oid);
}

void FaultTest::ClearContacts() {
  std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
  std::vector<CEOID> oids;
  for (CEpocDatabaseItem* record = store->ReadFirstItemL(); record != nullptr; record = store->ReadNextItemL()) {
    oids.push_back(record->Oid());
    delete record;
  }
  for (CEOID oid : oids) store->DeleteItem(oid);
}

std::vector<std::string> FaultTest::Texts() const {
  std::vector<std::string> texts;
  for (const std::string& text : Progress())
    if (!text.empty()) texts.push_back(text);
  return texts;
}

nlohmann::json ProfileWithFault(const nlohmann::json& aFault) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["faults"] = nlohmann::json::array({aFault});
  return profile;
}
