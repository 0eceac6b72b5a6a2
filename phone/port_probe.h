// Finding the phone among the host's serial devices: which are free, and
// which of those answer AT commands, with who made them, the model, the IMEI
// and whether they take SMS commands.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <kvplatform_serial.h>

#include "kernel/descriptors.h"
#include "phone/phone_status.h"

enum TPortAnswer {
  EPortNotProbed = 0,  // not free, so not asked
  EPortNoAnswer,       // free, but no "OK" to "AT" in time
  EPortAnswered,
};

struct TPortReport {
  kvplatform::SerialDevice iDevice;
  TPortAnswer iAnswer = EPortNotProbed;
  TModBuf16<KStatusTextLength> iMaker;  // the phone's own text: outside input
  TModBuf16<KStatusTextLength> iModel;
  TModBuf16<KStatusTextLength> iImei;
  bool iSms = false;
};

// How long a port has to answer "AT" before it counts as not answering, and
// each later question.
inline constexpr int KProbeAnswerMs = 1200;
inline constexpr int KProbeQuestionMs = 800;

// Asks the open port "AT" and, when it answers, the identity questions.
// Nothing is changed on the phone. Once aStop (when given) is set, nothing
// more is asked: the report holds what was learnt by then.
void ProbeOpenPort(HANDLE aPort, TPortReport& aReport, int aAnswerMs = KProbeAnswerMs,
                   const std::atomic<bool>* aStop = nullptr);

// Every serial device, the free ones opened and probed at the same time, each
// on its own thread; in the device list's order. A survey whose caller no
// longer wants it sets aStop: it then ends within a read slice, its reports
// incomplete.
std::vector<TPortReport> SurveyPorts(int aAnswerMs = KProbeAnswerMs, const std::atomic<bool>* aStop = nullptr);

// The stable name of a report's device when it has one, else its path.
std::string PreferredPortName(const TPortReport& aReport);
