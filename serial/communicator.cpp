#include "serial/communicator.h"

#include "kernel/log.h"
#include "kernel/panic.h"
#include "kernel/requests.h"

namespace {
const TText16 KPortName[] = u"COM3:";
const int KCarriageReturn = 13;
const int KTooManyStarts = 666;
}  // namespace

CCommunicator::CCommunicator() : iPortHandle(INVALID_HANDLE_VALUE), iConnectionState(KErrNotReady) {
  SetClassName(u"CCommunicator");
}

CCommunicator* CCommunicator::NewL(MCommunicatorObserver* aObserver) {
  CCommunicator* self = new CCommunicator;
  if (!self) return nullptr;
  if (self->ConstructL(aObserver) != KErrNone) {
    delete self;
    return nullptr;
  }
  return self;
}

int CCommunicator::ConstructL(MCommunicatorObserver* aObserver) {
  iObserver = aObserver;
  iTransmitter = CCommTx::NewL(0, &iPortHandle);
  iReceiver = CCommRx::NewL(0, &iPortHandle);
  if (!iTransmitter || !iReceiver) return KErrNoMemory;
  CActiveScheduler::Add(iTransmitter);
  CActiveScheduler::Add(iReceiver);
  return KErrNone;
}

CCommunicator::~CCommunicator() {
  LogMessage(KLogFilePath, u"CCommunicator::~CCommunicator");
  ClosePort();
  delete iTransmitter;
  delete iReceiver;
}

int CCommunicator::OpenPort(bool aLogFailure) {
  int result = PortInitialize(&iPortHandle, KPortName, &iOpenError, aLogFailure);
  if (result != KErrNone) return result;
  iReady = 1;
  iReceiver->StartReadThread();
  iTransmitter->StartWriteThread();
  return KErrNone;
}

LPCWSTR CCommunicator::OpenFailureReason() const {
  return iOpenError != 0 ? PortOpenFailureReason(iOpenError) : nullptr;
}

void CCommunicator::ClosePort() {
  LogMessage(KLogFilePath, u"CCommunicator::ClosePort");
  HANDLE port = iPortHandle.load();
  iReady = 0;
  iPortHandle.store(INVALID_HANDLE_VALUE);
  if (!PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT))
    LogMessageWithError(KLogFilePath, u"CCommunicator::ClosePort - PurgeComm failed");
  LogMessage(KLogFilePath, u"Done purge");
  Sleep(200);
  if (!CloseHandle(port)) LogMessageWithError(KLogFilePath, u"CCommunicator::ClosePort - Failed to close the port");
  // The writer thread of this opening has nothing left to write.
  if (iTransmitter) iTransmitter->EndWriteThread();
}

bool CCommunicator::EstablishConnectionL() {
  LogMessage(KLogFilePath, u"CCommunicator::EstablishConnectionL");
  if (iConnectionState != KErrNone) {
    QueueRx();
    iConnectionState = KErrNone;
  }
  return true;
}

int CCommunicator::Send(const TDesc16& aText, bool aAppendCr) {
  if (iReady != 1) LogMessage(KLogFilePath, u"CCommunicator::Send - Error not ready to send");
  // Texts left behind by a failed transmission are dropped: they belonged to
  // the exchange that failed, and nothing would ever send them.
  if (iTransmitFailed && !iTransmitter->IsActive()) {
    iTail = iHead;
    iTransmitFailed = 0;
  }
  int next = (iHead + 1) % KQueueSlots;
  if (next == iTail) return KErrOverflow;
  if (aText.Length() > (aAppendCr ? KTextMax - 1 : KTextMax)) return KErrOverflow;
  iTransmitQueue[iHead].Copy(aText);
  if (aAppendCr) iTransmitQueue[iHead].Append(static_cast<TText16>(KCarriageReturn));
  if (iHead == iTail) SendItem();
  iHead = next;
  return KErrNone;
}

int CCommunicator::SendAndWait(const TDesc16& aText) {
  if (iReady != 1) LogMessage(KLogFilePath, u"CCommunicator::SendAndWait - Error not ready to send");
  int result = Send(aText, true);
  if (result != KErrNone) return result;
  return Wait();
}

void CCommunicator::SendItem() {
  LogMessage(KLogFilePath, u"CCommunicator::SendItem");
  const TModBuf16<KTextMax>& text = iTransmitQueue[iTail];
  iTransmitBuffer.SetLength(text.Length());
  for (int i = 0; i < text.Length(); ++i) {
    TText16 c = text[i];
    iTransmitBuffer[i] = c < 256 ? static_cast<TText8>(c) : 0x01;
  }
  iTransmitter->Send(TCommCallBack{TransmitCallBack, this}, iTransmitBuffer);
  iObserver->TransmitStarted(iTransmitBuffer);
}

int CCommunicator::TransmitCallBack(void* aThis) {
  LogMessage(KLogFilePath, u"CCommunicator::TransmitCallBack");
  static_cast<CCommunicator*>(aThis)->DoTransmitCallBack();
  return 0;
}

void CCommunicator::DoTransmitCallBack() {
  int result = iTransmitter->iStatus.Int();
  LogMessage(KLogFilePath, u"CCommunicator::DoTransmitCallBack result = %1!d!", result);
  bool advance = result == KErrNone;
  iObserver->TransmitComplete(iTransmitBuffer, result);
  if (result == KErrTimedOut && --iRetryBudget > 0) {
    iObserver->TransmitComplete(iTransmitBuffer, KErrTimedOut);
    advance = true;
  }
  if (advance) {
    iTail = (iTail + 1) % KQueueSlots;
    if (iTail != iHead) SendItem();
    return;
  }
  iTransmitFailed = 1;
  ClosePort();
  Stop(result);
}

int CCommunicator::WriteAtOnce(const TDesc8& aBytes) {
  HANDLE port = iPortHandle.load();
  if (port == INVALID_HANDLE_VALUE) return KErrGeneral;
  // The writer thread takes its messages in order: it writes what it holds
  // before it ends, so these bytes come after them on the line.
  iTransmitter->EndWriteThread();
  DWORD written = 0;
  if (!WriteFile(port, aBytes.Ptr(), static_cast<DWORD>(aBytes.Length()), &written, nullptr) ||
      written != static_cast<DWORD>(aBytes.Length())) {
    LogMessageWithError(KLogFilePath, u"CCommunicator::WriteAtOnce - write failed");
    return KErrGeneral;
  }
  return KErrNone;
}

void CCommunicator::QueueRx() {
  LogMessage(KLogFilePath, u"CCommunicator::QueueRx");
  iReceiver->Receive(TCommCallBack{ReceiveCallBack, this}, iReceiveBuffer);
}

int CCommunicator::ReceiveCallBack(void* aThis) {
  LogMessage(KLogFilePath, u"CCommunicator::ReceiveCallBack");
  static_cast<CCommunicator*>(aThis)->DoReceiveCallBack();
  return 0;
}

void CCommunicator::DoReceiveCallBack() {
  int r = iObserver->ProcessReceivedData(iReceiveBuffer, iReceiver->iStatus.Int());
  QueueRx();
  if (r != 0) Stop(r);
}

int CCommunicator::Wait() {
  LogMessage(KLogFilePath, u"CCommunicator::Wait");
  if (iWaitDepth == 1) User::Panic(TConstPtr16(u"Too many starts"), KTooManyStarts);
  ++iWaitDepth;
  CActiveScheduler::Start();
  --iWaitDepth;
  return iStopCode;
}

void CCommunicator::Stop(int aCode) {
  LogMessage(KLogFilePath, u"CCommunicator::Stop %1!d!", aCode);
  iStopCode = aCode;
  if (iWaitDepth > 0) CActiveScheduler::Stop();
}
