#include "serial/port.h"

#include "kernel/log.h"
#include "serial/log_masking.h"
#include "kernel/requests.h"
#include "serial/datareader.h"

namespace {

const int KReadBufferSize = 1024;
const DWORD KFirstEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING;  // 0x139
const DWORD KRearmEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RING;            // 0x119
const char KGreeting[] = "Starting Korvanet ...";

}  // namespace

LPCWSTR PortOpenFailureReason(DWORD aError) {
  switch (aError) {
    case ERROR_SHARING_VIOLATION:
      return u"the port is busy: another program holds it";
    case ERROR_ACCESS_DENIED:
      return u"no permission to open the port";
    case ERROR_FILE_NOT_FOUND:
      return u"no such port: is the phone connected?";
    case ERROR_DEVICE_NOT_CONNECTED:
      return u"the port's device is not connected";
    default:
      return nullptr;
  }
}

int PortInitialize(TPortHandle* aPort, LPCWSTR aName, DWORD* aError, bool aLogFailure) {
  if (aLogFailure) LogMessage(KLogFilePath, u"PortInitialize");
  HANDLE port = CreateFileW(aName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD error = GetLastError();
  if (aError != nullptr) *aError = port == INVALID_HANDLE_VALUE ? error : 0;
  aPort->store(port);
  if (port == INVALID_HANDLE_VALUE && !aLogFailure) return KErrGeneral;
  LogMessage(KLogFilePath, u"PortInitialize Port = 0x%1!x!", port);
  if (port == INVALID_HANDLE_VALUE) {
    LogMessage(KLogFilePath, u"PortInitialize Unable to open port = %1!d!", error);
    if (LPCWSTR reason = PortOpenFailureReason(error)) LogMessage(KLogFilePath, u"PortInitialize - %1!s!", reason);
    return KErrGeneral;
  }

  DCB dcb;
  dcb.DCBlength = sizeof(DCB);
  GetCommState(port, &dcb);
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = 1;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 1;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fAbortOnError = 1;
  if (!SetCommState(port, &dcb)) {
    LogMessage(KLogFilePath, u"PortInitialize Unable to set CommState %1!d!", GetLastError());
    return KErrGeneral;
  }

  COMMTIMEOUTS timeouts;
  GetCommTimeouts(port, &timeouts);
  // Reads return at once with what is buffered; a write of n bytes has 200 + 10 n ms.
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 10;
  timeouts.WriteTotalTimeoutConstant = 200;
  if (!SetCommTimeouts(port, &timeouts)) {
    LogMessage(KLogFilePath, u"PortInitialize Unable to set the time-out parameters %1!d!", GetLastError());
    return KErrGeneral;
  }

  EscapeCommFunction(port, SETDTR);
  EscapeCommFunction(port, SETRTS);

  DWORD written = 0;
  if (WriteFile(port, KGreeting, 4, &written, nullptr) && written == 4)
    LogMessage(KLogFilePath, u"Done write");
  else
    LogMessageWithError(KLogFilePath, u"Failed write");

  LogMessage(KLogFilePath, u"PortInitialise complete");
  return KErrNone;
}

DWORD ReadThreadMain(LPVOID aReader) {
  CDataReader* reader = static_cast<CDataReader*>(aReader);
  TPortHandle* field = reader->PortHandleField();
  // The opening this thread serves; a later opening has its own thread.
  HANDLE port = field->load();
  LogMessage(KLogFilePath, u"ReadThreadMain: Started ...");
  TModBuf8<KReadBufferSize> readBuf;

  SetCommMask(port, KFirstEventMask);
  while (port != INVALID_HANDLE_VALUE && field->load() == port) {
    DWORD mask = 0;
    BOOL ok = WaitCommEvent(port, &mask, nullptr);
    if (!ok || mask == 0) {
      DWORD error = GetLastError();
      LogMessage(KLogFilePath, u"ReadThreadMain: WaitCommEvent status = 0x%1!x! ERROR %2!d!", mask, error);
      if (field->load() != port) break;
      // Unplugged or reset: the engine hears of it now, not at its next time-out.
      if (!ok && error == ERROR_DEVICE_NOT_CONNECTED) {
        reader->LineGone();
        break;
      }
    }
    SetCommMask(port, KRearmEventMask);
    if (mask & EV_RXCHAR) {
      for (;;) {
        TText8 byte = 0;
        DWORD read = 0;
        if (!ReadFile(port, &byte, 1, &read, nullptr))
          LogMessageWithError(KLogFilePath, u"ReadThreadMain: ReadFile returned zero");
        if (read == 0) break;
        if (readBuf.Length() == KReadBufferSize) {
          LogMessage(KLogFilePath, u"ReadThreadMain - readBuf overflow");
          reader->QueueData(readBuf);
          readBuf.Zero();
        }
        readBuf.Append(byte);
      }
      reader->QueueData(readBuf);
      readBuf.Zero();
    } else if (mask == 0) {
      Sleep(100);
    }
  }
  LogMessage(KLogFilePath, u"ReadThreadMain: Exiting ...");
  reader->ReaderThreadEnded();
  return 0;
}

DWORD CreateReadThread(CDataReader* aReader) {
  DWORD id = 0;
  aReader->ReaderThreadStarting();
  HANDLE thread = CreateThread(nullptr, 0, ReadThreadMain, aReader, 0, &id);
  if (!thread) {
    DWORD error = GetLastError();
    aReader->ReaderThreadEnded();
    LogMessage(KLogFilePath, u"CreateReadThread Error %1!d!", error);
    return 0;
  }
  LogMessage(KLogFilePath, u"CreateReadThread: Read Thread Created");
  CloseHandle(thread);
  return id;
}

DWORD WriteThreadMain(LPVOID aParams) {
  TWriteThreadParams* params = static_cast<TWriteThreadParams*>(aParams);
  TPortHandle* field = params->iPort;
  HANDLE ended = params->iThreadEnded;
  LogMessage(KLogFilePath, u"WriteThreadMain: Started ...");
  if (field->load() != INVALID_HANDLE_VALUE) {
    for (;;) {
      MSG message;
      BOOL result = GetMessageW(&message, nullptr, 0, 0);
      if (result == 0) break;
      if (result == -1) {
        LogMessage(KLogFilePath, u"WriteThreadMain - GetMessage error = %1!d!", GetLastError());
      } else if (message.message == EKvCommWrite) {
        *params->iStatus = PortWrite(field->load(), message);
        if (!EventModify(params->iEvent, EVENT_SET))
          LogMessage(KLogFilePath, u"WriteThreadMain: Failed to SetEvent %1!d!", GetLastError());
      } else {
        LogMessage(KLogFilePath, u"WriteThreadMain: Unexpected Message %1!d!", message.message);
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      if (field->load() == INVALID_HANDLE_VALUE) break;
    }
  }
  LogMessage(KLogFilePath, u"WriteThreadMain: Exiting ...");
  if (ended) SetEvent(ended);
  return 0;
}

DWORD CreateWriteThread(TWriteThreadParams* aParams) {
  DWORD id = 0;
  if (aParams->iThreadEnded) ResetEvent(aParams->iThreadEnded);
  HANDLE thread = CreateNativeThread(WriteThreadMain, aParams, &id);
  if (!thread) {
    DWORD error = GetLastError();
    if (aParams->iThreadEnded) SetEvent(aParams->iThreadEnded);
    ErrorBox(u"Error", u"Unable to create the writeThread %d", error);
    return 0;
  }
  LogMessage(KLogFilePath, u"CreateWriteThread: Write Thread Created");
  CloseHandle(thread);
  return id;
}

int PortWrite(HANDLE aPort, const MSG& aMessage) {
  LogMessage(KLogFilePath, u"PortWrite: Start");
  const void* bytes = reinterpret_cast<const void*>(aMessage.wParam);
  DWORD count = static_cast<DWORD>(aMessage.lParam);
  DWORD written = 0;
  if (WriteFile(aPort, bytes, count, &written, nullptr) && written == count) {
    if (BytesCarrySimCode(bytes, static_cast<int>(count)))
      LogMessage(KLogFilePath, u"PortWrite: Done Len = %1!d! (a SIM code, not shown)", count);
    else
      LogHexDump(KLogFilePath, bytes, static_cast<int>(count), u"PortWrite: Done Len = %1!d!", count);
    return KErrNone;
  }
  DWORD error = GetLastError();
  LogMessage(KLogFilePath, u"PortWrite: Failed %1!d! Num bytes written = %2!d!", error, written);
  return KErrGeneral;
}
