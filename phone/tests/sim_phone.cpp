#include "phone/tests/sim_phone.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "kernel/active.h"
#include "kernel/requests.h"
#include "testing/files.h"

namespace {

// Bytes of one direction of the transcript, in order.
std::string TranscriptBytes(const std::string& aDir, const char* aDirection) {
  std::string bytes;
  std::istringstream lines(ReadFile(aDir + "/transcript.jsonl"));
  for (std::string line; std::getline(lines, line);) {
    nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
    if (record.is_discarded() || record["dir"] != aDirection) continue;
    // Bytes above 0x7F come back as UTF-8 of U+0080..U+00FF: take them back to one byte.
    std::string text = record["bytes"].get<std::string>();
    for (size_t i = 0; i < text.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
        bytes.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F)));
      } else {
        bytes.push_back(static_cast<char>(c));
      }
    }
  }
  return bytes;
}

struct TEngineStart {
  TRecordingObserver* iObserver;
  const std::function<void(CMobilePhoneBase&)>* iBody;
  int iReplyTimeout;
  TEngineRun* iRun;
  HANDLE iDone;
};

DWORD EngineMain(LPVOID aStart) {
  TEngineStart* start = static_cast<TEngineStart*>(aStart);
  CActiveScheduler* scheduler = new CActiveScheduler;
  CActiveScheduler::Install(scheduler);
  CMobilePhoneBase* phone = CMobilePhoneBase::NewL(start->iObserver);
  if (phone) {
    phone->SetReplyTimeouts(start->iReplyTimeout, start->iReplyTimeout);
    start->iRun->iOpenResult = phone->Communicator()->OpenPort();
    if (start->iRun->iOpenResult == 0) (*start->iBody)(*phone);
    delete phone;
    start->iRun->iFinished = true;
  }
  delete scheduler;
  SetEvent(start->iDone);
  return 0;
}

}  // namespace

TSimPhone::~TSimPhone() { Stop(); }

bool TSimPhone::Start(const nlohmann::json& aProfile) {
  std::string link = iDir.Path() + "/COM3";
  if (!iSim.Start(aProfile, iDir.Path(), link, {"--transcript", iDir.Path() + "/transcript.jsonl"})) return false;
  setenv("KORVANET_COM3", link.c_str(), 1);
  return true;
}

int TSimPhone::Stop() {
  if (!iSim.Running()) return -1;
  unsetenv("KORVANET_COM3");
  return iSim.Stop();
}

std::vector<std::string> TSimPhone::Commands() const {
  std::string bytes = TranscriptBytes(iDir.Path(), "in");
  // The port's greeting ("Star") runs into the first command.
  if (bytes.rfind("Star", 0) == 0) bytes.erase(0, 4);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\r', start)) != std::string::npos; start = end + 1)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

TEngineRun RunOnEngineThread(TRecordingObserver& aObserver, const std::function<void(CMobilePhoneBase&)>& aBody,
                             int aReplyTimeout) {
  TEngineRun run;
  TEngineStart start{&aObserver, &aBody, aReplyTimeout, &run, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  DWORD id = 0;
  HANDLE thread = CreateEpocThread(EngineMain, &start, &id);
  if (thread) {
    WaitForSingleObject(start.iDone, 240000);
    CloseHandle(thread);
  }
  CloseHandle(start.iDone);
  return run;
}

int CountOf(const std::vector<std::string>& aLines, const std::string& aLine) {
  return static_cast<int>(std::count(aLines.begin(), aLines.end(), aLine));
}
