#include "app/document/kv_status_text.h"

#include <kvplatform.h>

const char16_t KKvDialoutHint[] =
    u"not permitted: join the 'dialout' group (sudo usermod -aG dialout $USER, then log in again)";

namespace {

std::u16string Number(int aValue) { return kvplatform::FromUtf8(std::to_string(aValue)); }

}  // namespace

std::u16string KvText(const TDesc16& aText) { return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())); }

std::u16string KvSimText(const TPhoneStatus& aStatus) {
  switch (aStatus.iSim) {
    case ESimReady:
      return u"ready";
    case ESimPin:
      return u"SIM PIN";
    case ESimPuk:
      return u"SIM PUK";
    case ESimPhonePin:
      return u"PH-SIM PIN";
    case ESimOtherLock:
      return KvText(aStatus.iSimText);
    case ESimAbsent:
      return u"no SIM";
    case ESimFailure:
      return u"SIM failure";
    default:
      return u"unknown";
  }
}

std::u16string KvRegistrationText(TRegistration aRegistration) {
  switch (aRegistration) {
    case ERegHome:
      return u"home";
    case ERegRoaming:
      return u"roaming";
    case ERegSearching:
      return u"searching";
    case ERegDenied:
      return u"denied";
    case ERegNotRegistered:
      return u"not registered";
    default:
      return u"unknown";
  }
}

std::u16string KvSignalText(const TPhoneStatus& aStatus) {
  if (aStatus.iSignalBars == KStatusUnknown) return u"unknown";
  return Number(aStatus.iSignalDbm) + u" dBm, " + Number(aStatus.iSignalBars) + u" of " + Number(KSignalBars) +
         u" bars";
}

std::u16string KvPowerText(TPowerSource aPower) {
  switch (aPower) {
    case EPowerBattery:
      return u"on battery";
    case EPowerExternal:
      return u"on external power";
    case EPowerNoBattery:
      return u"no battery";
    case EPowerFault:
      return u"power fault";
    default:
      return u"";
  }
}

std::u16string KvBatteryText(const TPhoneStatus& aStatus) {
  std::u16string power = KvPowerText(aStatus.iPower);
  if (aStatus.iBatteryPercent == KStatusUnknown) return power.empty() ? u"unknown" : power;
  std::u16string text = Number(aStatus.iBatteryPercent) + u"%";
  return power.empty() ? text : text + u" (" + power + u")";
}

std::u16string KvStorageText(const TPhoneStatus& aStatus) {
  std::u16string text;
  for (int i = 0; i < KStatusMemories; ++i) {
    const TStoreStatus& store = aStatus.iStores[i];
    if (store.iUsed == KStatusUnknown) continue;
    bool repeated = false;
    for (int j = 0; j < i; ++j)
      repeated = repeated || (aStatus.iStores[j].iMemory == store.iMemory && aStatus.iStores[j].iUsed == store.iUsed &&
                             aStatus.iStores[j].iSize == store.iSize);
    if (repeated) continue;
    if (!text.empty()) text += u"; ";
    if (store.iMemory.Length() > 0) text += KvText(store.iMemory) + u" ";
    text += Number(store.iUsed) + u" of " + Number(store.iSize) + u" used";
  }
  return text.empty() ? u"unknown" : text;
}

std::u16string KvPhoneStatusText(const TPhoneStatus& aStatus) {
  auto known = [](const TDesc16& aText) { return aText.Length() > 0 ? KvText(aText) : std::u16string(u"unknown"); };
  std::u16string text = u"Maker: " + known(aStatus.iMaker) + u"\nModel: " + known(aStatus.iModel) +
                        u"\nFirmware: " + known(aStatus.iFirmware) + u"\nIMEI: " + known(aStatus.iImei) +
                        u"\nSIM: " + KvSimText(aStatus) + u"\nOperator: " + known(aStatus.iOperator) +
                        u"\nRegistration: " + KvRegistrationText(aStatus.iRegistration) +
                        u"\nSignal: " + KvSignalText(aStatus) + u"\nBattery: " + KvBatteryText(aStatus) +
                        u"\nStorage: " + KvStorageText(aStatus);
  for (char16_t& c : text)
    if ((c < 0x20 && c != u'\n') || (c >= 0x7F && c < 0xA0)) c = u'\uFFFD';
  return text;
}

std::u16string KvPortStateWord(const TPortReport& aReport) {
  switch (aReport.iDevice.state) {
    case kvplatform::SerialDeviceState::Free:
      return u"free";
    case kvplatform::SerialDeviceState::Busy:
      return u"busy";
    case kvplatform::SerialDeviceState::NotPermitted:
      return u"not permitted";
    default:
      return u"unusable";
  }
}

std::u16string KvPortStateText(const TPortReport& aReport) {
  const kvplatform::SerialDevice& device = aReport.iDevice;
  switch (device.state) {
    case kvplatform::SerialDeviceState::Free:
      return aReport.iAnswer == EPortAnswered ? u"free" : u"no answer";
    case kvplatform::SerialDeviceState::Busy:
      if (device.holderPid == 0) return u"busy";
      return u"busy (" + kvplatform::FromUtf8(device.holderName) + u", pid " + Number(device.holderPid) + u")";
    case kvplatform::SerialDeviceState::NotPermitted:
      return u"not permitted";
    default:
      return u"unusable: " + kvplatform::FromUtf8(device.problem);
  }
}
