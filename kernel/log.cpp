#include "kernel/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<int> gLogging{0};

// The open log file and the path it was opened for. The lock keeps a change
// of path on one thread from closing the handle another is writing to.
std::mutex gFileLock;
TModBuf16<128> gLogPath;
HANDLE gLogFile = INVALID_HANDLE_VALUE;

const WCHAR KHeaderFormat[] = u"0x%1!08x! %2!06d!: %3!s!";
const int KMessageChars = 256;

va_list* ArgumentArray(const DWORD_PTR* aArgs) {
  return reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(aArgs));
}

// Builds the 16-bit message: header first (the caller's format copied in
// unexpanded), then the caller's inserts. A line that does not fit is empty.
int FormatLogMessage(LPCWSTR aFormat, const DWORD_PTR* aArgs, WCHAR (&aMessage)[KMessageChars]) {
  DWORD tick = GetTickCount();
  static const DWORD startTick = tick;  // the first line of the run
  const DWORD_PTR header[] = {GetCurrentThreadId(), static_cast<DWORD_PTR>(tick - startTick),
                              reinterpret_cast<DWORD_PTR>(aFormat)};
  WCHAR withHeader[128];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, KHeaderFormat, 0, 0,
                                withHeader, 128, ArgumentArray(header));
  if (length == 0 || length >= 128) withHeader[0] = 0;
  // The size counts the terminator, so the whole buffer is offered: the
  // message itself holds up to 255 characters.
  length = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, withHeader, 0, 0, aMessage,
                          KMessageChars, ArgumentArray(aArgs));
  if (length >= KMessageChars) length = 0;
  aMessage[length] = 0;
  return static_cast<int>(length);
}

// Logging must not disturb the caller's last error.
class TKeepLastError {
 public:
  TKeepLastError() : iError(GetLastError()) {}
  ~TKeepLastError() { SetLastError(iError); }

 private:
  DWORD iError;
};

bool IsDumpPrintable(TText8 aByte) { return aByte >= 0x20 && aByte < 0x7F; }

}  // namespace

void SetLogging(int aOn) { gLogging.store(aOn); }

int LoggingOn() { return gLogging.load(std::memory_order_relaxed); }

void LogMessageArgs(LPCWSTR aPath, LPCWSTR aFormat, const DWORD_PTR* aArgs) {
  if (!LoggingOn()) return;
  TKeepLastError keep;
  WCHAR message[KMessageChars];
  int length = FormatLogMessage(aFormat, aArgs, message);
  TModBuf8<256> line;
  line.Copy(TConstPtr16(message, length));
  line.Append("\r\n");
  LogToFile(aPath, line);
}

void LogMessageWithErrorArgs(DWORD aError, LPCWSTR aPath, LPCWSTR aFormat, const DWORD_PTR* aArgs) {
  if (!LoggingOn()) return;
  TKeepLastError keep;
  WCHAR message[KMessageChars];
  int length = FormatLogMessage(aFormat, aArgs, message);
  char errorText[32];
  int errorLength = std::snprintf(errorText, sizeof errorText, " ERROR %d\r\n", static_cast<int>(aError));
  TModBuf8<256> line;
  line.Copy(TConstPtr16(message, length));
  if (errorLength > 0 && length + errorLength < 256)
    line.Append(reinterpret_cast<const TText8*>(errorText), errorLength);
  LogToFile(aPath, line);
}

void LogHexDumpArgs(LPCWSTR aPath, const void* aData, int aLength, LPCWSTR aFormat, const DWORD_PTR* aArgs) {
  if (!LoggingOn()) return;
  TKeepLastError keep;
  static const char KHexDigits[] = "0123456789abcdef";
  WCHAR message[KMessageChars];
  int length = FormatLogMessage(aFormat, aArgs, message);
  TModBuf8<1024> buffer;
  buffer.Copy(TConstPtr16(message, length));
  buffer.Append("\r\n");

  const TText8* bytes = static_cast<const TText8*>(aData);
  if (!bytes) aLength = 0;
  TModBuf8<16> column;
  auto closeLine = [&] {
    buffer.Append('"');
    buffer.Append(column);
    buffer.Append("\"\r\n");
    column.Zero();
  };
  for (int i = 0; i < aLength; ++i) {
    TText8 byte = bytes[i];
    buffer.Append(static_cast<TText8>(KHexDigits[byte >> 4]));
    buffer.Append(static_cast<TText8>(KHexDigits[byte & 0xF]));
    buffer.Append(' ');
    column.Append(IsDumpPrintable(byte) ? byte : static_cast<TText8>('.'));
    if ((i + 1) % 16 == 0) {
      closeLine();
      if (buffer.MaxLength() - buffer.Length() < 128) {
        LogToFile(aPath, buffer);
        buffer.Zero();
      }
    }
  }
  if (aLength % 16 != 0) closeLine();
  LogToFile(aPath, buffer);
}

void LogToFile(LPCWSTR aPath, const TDesc8& aLine) {
  std::unique_lock<std::mutex> lock(gFileLock);
  TConstPtr16 path(aPath);
  if (path.Compare(gLogPath) != 0) {
    if (gLogFile != INVALID_HANDLE_VALUE) CloseHandle(gLogFile);
    // A path too long for the buffer never matches it, so such a file is
    // simply reopened for each line.
    gLogPath.CopyTruncated(path);
    gLogFile = CreateFileW(aPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (gLogFile == INVALID_HANDLE_VALUE) {
      lock.unlock();  // the box may wait for the user: other threads go on logging
      ErrorBox(u"LogToFile", u"Failed to open %s", aPath);
      return;
    }
  }
  if (gLogFile == INVALID_HANDLE_VALUE || aLine.Length() == 0) return;
  // Another program (the command line beside the windowed one) may have
  // written to the log since: each line goes at its end, not over theirs.
  SetFilePointer(gLogFile, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(gLogFile, aLine.Ptr(), static_cast<DWORD>(aLine.Length()), &written, nullptr);
  FlushFileBuffers(gLogFile);
}

void LogCloseFile() {
  std::lock_guard<std::mutex> lock(gFileLock);
  if (gLogFile != INVALID_HANDLE_VALUE) CloseHandle(gLogFile);
  gLogFile = INVALID_HANDLE_VALUE;
  gLogPath.Zero();
}

void ErrorBox(LPCWSTR aCaption, LPCWSTR aFormat, ...) {
  // wvsprintfW writes at most 1024 characters; the box shows at most 255.
  WCHAR text[1024];
  va_list args;
  va_start(args, aFormat);
  int length = wvsprintfW(text, aFormat, args);
  va_end(args);
  if (length < 0) length = 0;
  if (length > 255) length = 255;
  text[length] = 0;
  MessageBoxW(nullptr, text, aCaption, MB_ICONEXCLAMATION);
}
