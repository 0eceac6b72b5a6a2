// 'ports' lists the serial devices and what answers on them; 'status' reads
// the phone's status. Whatever a modem says is outside input: it is printed
// only through Printable (or as escaped JSON).
#include <algorithm>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include <kvplatform.h>

#include "app/document/kv_status_text.h"
#include "kernel/errors.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"
#include "tools/cli/status_json.h"

namespace kvcli {
namespace {

const size_t KMinImeiDigits = 14;
const size_t KMaxImeiDigits = 17;

std::string PortText(const TDesc16& aText) { return Utf8(aText); }
std::string PortText(const std::u16string& aText) { return kvplatform::ToUtf8(aText); }

// A text the phone gave, or null when it gave none.
nlohmann::json JsonOrNull(const TDesc16& aText) {
  return aText.Length() > 0 ? nlohmann::json(PortText(aText)) : nlohmann::json(nullptr);
}

nlohmann::json PortJson(const TPortReport& aReport) {
  const kvplatform::SerialDevice& device = aReport.iDevice;
  nlohmann::json port = {{"port", device.path},
                         {"by_id", device.byIdNames},
                         {"state", PortText(KvPortStateWord(aReport))},
                         {"holder", nullptr},
                         {"answers", nullptr},
                         {"maker", nullptr},
                         {"model", nullptr},
                         {"imei", nullptr},
                         {"sms", nullptr}};
  if (device.holderPid != 0) port["holder"] = {{"pid", device.holderPid}, {"name", device.holderName}};
  if (device.state == kvplatform::SerialDeviceState::Unusable) port["problem"] = device.problem;
  if (aReport.iAnswer != EPortNotProbed) port["answers"] = aReport.iAnswer == EPortAnswered;
  if (aReport.iAnswer == EPortAnswered) {
    port["maker"] = JsonOrNull(aReport.iMaker);
    port["model"] = JsonOrNull(aReport.iModel);
    port["imei"] = JsonOrNull(aReport.iImei);
    port["sms"] = aReport.iSms;
  }
  return port;
}

std::string Column(const TDesc16& aText) { return aText.Length() > 0 ? Printable(PortText(aText)) : "-"; }

void PrintPortTable(const std::vector<TPortReport>& aReports) {
  size_t portWidth = 4, stateWidth = 5, makerWidth = 5, modelWidth = 5;
  for (const TPortReport& report : aReports) {
    portWidth = std::max(portWidth, Printable(report.iDevice.path).size());
    stateWidth = std::max(stateWidth, Printable(PortText(KvPortStateText(report))).size());
    makerWidth = std::max(makerWidth, Column(report.iMaker).size());
    modelWidth = std::max(modelWidth, Column(report.iModel).size());
  }
  std::printf("%s  %s  %s  %s  %-17s  %s\n", Padded("PORT", portWidth).c_str(), Padded("STATE", stateWidth).c_str(),
              Padded("MAKER", makerWidth).c_str(), Padded("MODEL", modelWidth).c_str(), "IMEI", "SMS");
  bool notPermitted = false;
  for (const TPortReport& report : aReports) {
    bool answered = report.iAnswer == EPortAnswered;
    std::string state = Printable(PortText(KvPortStateText(report)));
    if (!answered) {
      std::printf("%s  %s\n", Padded(Printable(report.iDevice.path), portWidth).c_str(), state.c_str());
    } else {
      std::printf("%s  %s  %s  %s  %s  %s\n", Padded(Printable(report.iDevice.path), portWidth).c_str(),
                  Padded(state, stateWidth).c_str(), Padded(Column(report.iMaker), makerWidth).c_str(),
                  Padded(Column(report.iModel), modelWidth).c_str(), Padded(Column(report.iImei), 17).c_str(),
                  report.iSms ? "yes" : "no");
    }
    for (const std::string& name : report.iDevice.byIdNames) std::printf("  = %s\n", Printable(name).c_str());
    notPermitted = notPermitted || report.iDevice.state == kvplatform::SerialDeviceState::NotPermitted;
  }
  if (notPermitted) std::fprintf(stderr, "korvanet-cli: %s\n", PortText(std::u16string(KKvDialoutHint)).c_str());
}

std::string StatusLine(const char* aLabel, const std::string& aValue) {
  return Padded(aLabel, 14) + Printable(aValue) + "\n";
}

std::string Known(const TDesc16& aText) { return aText.Length() > 0 ? PortText(aText) : "unknown"; }

}  // namespace

int Ports(TCliSession& aSession, const TParsedOptions&) {
  std::vector<TPortReport> reports = SurveyPorts();
  if (aSession.Json()) {
    nlohmann::json list = nlohmann::json::array();
    for (const TPortReport& report : reports) list.push_back(PortJson(report));
    PrintJson(list);
    return 0;
  }
  if (reports.empty()) {
    std::printf("No serial devices (ttyUSB, ttyACM, rfcomm) in %s\n", Printable(kvplatform::SerialDeviceFolder()).c_str());
    return 0;
  }
  PrintPortTable(reports);
  return 0;
}

int Status(TCliSession& aSession, const TParsedOptions&) {
  TActionOutcome outcome = aSession.RunAction("Reading the status", [](CKvAppEngine& aEngine) { return aEngine.ReadStatus(); });
  const TEngineAction* action = aSession.ActionBlock();
  if (outcome.iResult != KErrNone || action == nullptr || !action->iStatusRead) return PrintActionResult(aSession, outcome);
  const TPhoneStatus& status = action->iStatus;
  if (aSession.Json()) {
    PrintJson(StatusJson(status));
    return 0;
  }
  std::string text;
  text += StatusLine("Maker:", Known(status.iMaker));
  text += StatusLine("Model:", Known(status.iModel));
  text += StatusLine("Firmware:", Known(status.iFirmware));
  text += StatusLine("IMEI:", Known(status.iImei));
  text += StatusLine("SIM:", PortText(KvSimText(status)));
  text += StatusLine("Operator:", Known(status.iOperator));
  text += StatusLine("Registration:", PortText(KvRegistrationText(status.iRegistration)));
  text += StatusLine("Signal:", PortText(KvSignalText(status)));
  text += StatusLine("Battery:", PortText(KvBatteryText(status)));
  text += StatusLine("Storage:", PortText(KvStorageText(status)));
  std::fputs(text.c_str(), stdout);
  return 0;
}

std::string PortWithImei(const std::string& aImei) {
  bool digits = aImei.size() >= KMinImeiDigits && aImei.size() <= KMaxImeiDigits;
  for (char c : aImei) digits = digits && c >= '0' && c <= '9';
  if (!digits) throw TCommandError("--port imei: needs the modem's IMEI, 14 to 17 digits");
  for (const TPortReport& report : SurveyPorts()) {
    if (report.iAnswer == EPortAnswered && PortText(report.iImei) == aImei) return PreferredPortName(report);
  }
  throw TCommandError("no free port answers with IMEI " + aImei + " (korvanet-cli ports lists them)");
}

}  // namespace kvcli
