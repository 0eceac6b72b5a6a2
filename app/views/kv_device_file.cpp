#include "app/views/kv_device_file.h"

#include <kvplatform.h>

#include "exchange/exchange_text.h"
#include "kernel/log.h"

namespace {

std::u16string Why(LPCWSTR aWhat, LPCWSTR aPath, const std::string& aReason) {
  return std::u16string(aWhat) + aPath + u": " + kvexchange::Utf16(aReason);
}

std::u16string Why(LPCWSTR aWhat, LPCWSTR aPath, DWORD aError) {
  std::string number = std::to_string(aError);
  return std::u16string(aWhat) + aPath + u" (error " + std::u16string(number.begin(), number.end()) + u")";
}

}  // namespace

bool KvReadDeviceFileL(LPCWSTR aPath, kvexchange::TInputKind aKind, std::string& aText, std::u16string& aError) {
  std::string host, error;
  if (!kvplatform::DevicePathToHost(aPath, host)) {
    aError = Why(u"Cannot read ", aPath, GetLastError());
    return false;
  }
  if (!kvexchange::ReadInputFile(host, aKind, aText, error)) {
    aError = Why(u"Cannot read ", aPath, error);
    return false;
  }
  return true;
}

bool KvWriteDeviceFileL(LPCWSTR aPath, const std::string& aText, std::u16string& aError) {
  std::string host, error;
  if (!kvplatform::DevicePathToHost(aPath, host)) {
    aError = Why(u"Cannot write ", aPath, GetLastError());
    return false;
  }
  if (!kvexchange::WriteFileAtomically(host, aText, error)) {
    aError = Why(u"Cannot write ", aPath, error);
    LogMessage(KLogFilePath, u"KvWriteDeviceFileL - could not write %1!s!", aPath);
    return false;
  }
  return true;
}
