#include "phone/tests/sim_phone.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "kernel/active.h"
#include "kernel/requests.h"
#include "testing/files.h"

namespace {

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

std::vector<std::string> TSimPhone::Commands() const { return iSim.ReceivedCommands(); }

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
