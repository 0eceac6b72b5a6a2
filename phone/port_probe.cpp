// Probing one open port with a few plain AT commands, outside the AT layer:
// many ports are asked at once, before any connection exists, and a port
// that is not a phone must cost no more than a short wait.
#include "phone/port_probe.h"

#include <windows.h>

#include <string>

namespace {

// A reply longer than this is not an identity; the rest is dropped.
const int KMaxReplyBytes = 2048;
const DWORD KReadSliceMs = 100;

enum TFinal { EFinalNone, EFinalOk, EFinalError };

bool IsFinal(const std::string& aLine, TFinal& aFinal) {
  if (aLine == "OK") {
    aFinal = EFinalOk;
    return true;
  }
  if (aLine == "ERROR" || aLine.rfind("+CME ERROR", 0) == 0 || aLine.rfind("+CMS ERROR", 0) == 0) {
    aFinal = EFinalError;
    return true;
  }
  return false;
}

bool IsEcho(const std::string& aLine) {
  return aLine.size() >= 2 && (aLine[0] == 'A' || aLine[0] == 'a') && (aLine[1] == 'T' || aLine[1] == 't');
}

// Sends the command and gathers its information lines (joined by line feeds)
// until a final result or the time is up.
// Asks nothing, or stops waiting, once aStop is set.
TFinal Exchange(HANDLE aPort, const char* aCommand, int aLimitMs, TModDesc16& aReply, const std::atomic<bool>* aStop) {
  if (aStop != nullptr && aStop->load()) return EFinalNone;
  std::string command = std::string(aCommand) + "\r";
  DWORD written = 0;
  if (!WriteFile(aPort, command.data(), static_cast<DWORD>(command.size()), &written, nullptr)) return EFinalNone;
  aReply.Zero();
  std::string line;
  int total = 0;
  DWORD start = GetTickCount();
  while (static_cast<int>(GetTickCount() - start) < aLimitMs) {
    if (aStop != nullptr && aStop->load()) return EFinalNone;
    char buffer[256];
    DWORD read = 0;
    if (!ReadFile(aPort, buffer, sizeof buffer, &read, nullptr)) return EFinalNone;
    for (DWORD i = 0; i < read && total < KMaxReplyBytes; ++i, ++total) {
      char c = buffer[i];
      if (c != '\r' && c != '\n') {
        line += c;
        continue;
      }
      if (line.empty() || IsEcho(line)) {
        line.clear();
        continue;
      }
      TFinal final = EFinalNone;
      if (IsFinal(line, final)) return final;
      if (aReply.Length() + static_cast<int>(line.size()) + 1 <= aReply.MaxLength()) {
        if (aReply.Length() > 0) aReply.Append(static_cast<TText16>(u'\n'));
        for (char byte : line) aReply.Append(static_cast<TText16>(static_cast<unsigned char>(byte)));
      }
      line.clear();
    }
  }
  return EFinalNone;
}

struct TProbeJob {
  TPortReport* iReport;
  int iAnswerMs;
  const std::atomic<bool>* iStop;
};

DWORD WINAPI ProbeThread(LPVOID aJob) {
  const TProbeJob& job = *static_cast<TProbeJob*>(aJob);
  TPortReport& report = *job.iReport;
  HANDLE port = kvplatform::OpenSerialDevice(report.iDevice.path);
  if (port == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
      report.iDevice.state = kvplatform::SerialDeviceState::Busy;
    } else if (error == ERROR_ACCESS_DENIED) {
      report.iDevice.state = kvplatform::SerialDeviceState::NotPermitted;
    } else {
      report.iDevice.state = kvplatform::SerialDeviceState::Unusable;
      report.iDevice.problem = error == ERROR_NOT_SUPPORTED ? "not a serial device" : "cannot be opened";
    }
    return 0;
  }
  ProbeOpenPort(port, report, job.iAnswerMs, job.iStop);
  CloseHandle(port);
  return 0;
}

}  // namespace

void ProbeOpenPort(HANDLE aPort, TPortReport& aReport, int aAnswerMs, const std::atomic<bool>* aStop) {
  aReport.iAnswer = EPortNoAnswer;
  DCB dcb;
  dcb.DCBlength = sizeof(DCB);
  GetCommState(aPort, &dcb);
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  SetCommState(aPort, &dcb);
  // A read returns with the first bytes, or after a slice with none.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = KReadSliceMs;
  timeouts.WriteTotalTimeoutConstant = 500;
  SetCommTimeouts(aPort, &timeouts);
  PurgeComm(aPort, PURGE_RXCLEAR | PURGE_TXCLEAR);

  TModBuf16<KMaxReplyBytes> reply;
  // A modem that sleeps may lose the first command; it gets a second.
  TFinal answer = Exchange(aPort, "AT", aAnswerMs / 2, reply, aStop);
  if (answer != EFinalOk) answer = Exchange(aPort, "AT", aAnswerMs - aAnswerMs / 2, reply, aStop);
  if (answer != EFinalOk) return;
  aReport.iAnswer = EPortAnswered;
  auto ask = [&](const char* aCommand) {
    return Exchange(aPort, aCommand, KProbeQuestionMs, reply, aStop) == EFinalOk;
  };
  if (ask("AT+CGMI")) ParseIdentityReply(reply, aReport.iMaker);
  if (ask("AT+CGMM")) ParseIdentityReply(reply, aReport.iModel);
  if (ask("AT+CGSN")) ParseImeiReply(reply, aReport.iImei);
  if (ask("AT+CMGF=?")) aReport.iSms = ParseSmsSupportReply(reply);
  if (!aReport.iSms && ask("AT+CSMS?")) aReport.iSms = ParseSmsSupportReply(reply);
}

std::vector<TPortReport> SurveyPorts(int aAnswerMs, const std::atomic<bool>* aStop) {
  std::vector<TPortReport> reports;
  for (const kvplatform::SerialDevice& device : kvplatform::ListSerialDevices()) {
    TPortReport report;
    report.iDevice = device;
    reports.push_back(report);
  }
  std::vector<TProbeJob> jobs;
  jobs.reserve(reports.size());
  for (TPortReport& report : reports)
    if (report.iDevice.state == kvplatform::SerialDeviceState::Free)
      jobs.push_back(TProbeJob{&report, aAnswerMs, aStop});
  std::vector<HANDLE> threads;
  for (TProbeJob& job : jobs) {
    HANDLE thread = CreateThread(nullptr, 0, ProbeThread, &job, 0, nullptr);
    if (thread != nullptr)
      threads.push_back(thread);
    else
      ProbeThread(&job);
  }
  // Each probe ends within its own limits.
  for (HANDLE thread : threads) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  return reports;
}

std::string PreferredPortName(const TPortReport& aReport) {
  return aReport.iDevice.byIdNames.empty() ? aReport.iDevice.path : aReport.iDevice.byIdNames.front();
}
