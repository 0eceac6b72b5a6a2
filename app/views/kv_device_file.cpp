#include "app/views/kv_device_file.h"

#include "kernel/log.h"

namespace {

std::u16string Why(LPCWSTR aWhat, LPCWSTR aPath, DWORD aError) {
  std::string number = std::to_string(aError);
  return std::u16string(aWhat) + aPath + u" (error " + std::u16string(number.begin(), number.end()) + u")";
}

}  // namespace

bool KvReadDeviceFileL(LPCWSTR aPath, std::string& aText, std::u16string& aError) {
  HANDLE file = CreateFileW(aPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    aError = Why(u"Cannot read ", aPath, GetLastError());
    return false;
  }
  aText.clear();
  char buffer[65536];
  DWORD read = 0;
  BOOL ok;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr)) && read > 0) aText.append(buffer, read);
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) aError = Why(u"Cannot read ", aPath, error);
  return ok;
}

bool KvWriteDeviceFileL(LPCWSTR aPath, const std::string& aText, std::u16string& aError) {
  HANDLE file = CreateFileW(aPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    aError = Why(u"Cannot write ", aPath, GetLastError());
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, aText.data(), static_cast<DWORD>(aText.size()), &written, nullptr) &&
            written == aText.size() && FlushFileBuffers(file);
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) {
    aError = Why(u"Cannot write ", aPath, error);
    DeleteFileW(aPath);
    LogMessage(KLogFilePath, u"KvWriteDeviceFileL - removed the unfinished %1!s!", aPath);
  }
  return ok;
}
