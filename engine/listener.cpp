// Listening: the port stays open, the phone announces each new message, and
// the engine reads it, stores it in the Inbox and tells the window. A phone
// that goes quiet is probed; one that is gone is waited for and taken up
// again as soon as its port opens.
#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "engine/phone_engine.h"
#include "engine/ussd_slot.h"
#include "engine/engine_text.h"
#include "engine/send_queue.h"
#include "kernel/log.h"

namespace {

const int KMemoryNameLength = 4;
const ULONGLONG KTicksPerSecond = 10000000;
const ULONGLONG KTicksPerMs = 10000;

ULONGLONG NowTicks() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME time{};
  SystemTimeToFileTime(&now, &time);
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// A message on the phone: its memory ("SM", "ME") and index there.
struct TPhoneSlot {
  TModBuf16<KMemoryNameLength> iMemory;
  int iIndex;
};

class CListenState {
 public:
  // Announced and not read yet, in the order they came.
  std::deque<TPhoneSlot> iAnnounced;
  // Stored, to be deleted from the phone (delete after store only).
  std::vector<TPhoneSlot> iTaken;
  bool iDeleteAfterStore = false;
  // The phone announces new messages; otherwise each probe looks for them.
  bool iAnnouncing = false;
  // Long messages with parts missing: how long they wait (100 ns units),
  // whether to look for overdue ones at the next turn, and when the next
  // one falls due (0: none waits).
  ULONGLONG iPartsWait = 0;
  bool iPartsCheckWanted = true;
  // The send queue has messages; its wait for the phone was ended early.
  bool iSendWanted = true;
  // A USSD session waits in the slot (looked for at the first turn too: one
  // may have been offered before listening began).
  bool iUssdWanted = true;
  ULONGLONG iNextPartsDue = 0;
  // A phone that announces nothing is asked for its messages at this
  // interval (100 ns units); the next time it is due.
  ULONGLONG iPollInterval = 0;
  ULONGLONG iNextPoll = 0;
  // Tries without an answer since the phone last answered, and after how
  // many it is reset (0 never).
  int iTriesUnanswered = 0;
  int iResetAfterTries = 0;
};

namespace {

// "+CMTI: "SM",3" (the space after the colon may be missing, the quotes too).
bool ParseIndication(const TDesc16& aLine, TPhoneSlot& aSlot) {
  int pos = aLine.Locate(u':');
  if (pos < 0) return false;
  aSlot.iMemory.Zero();
  for (++pos; pos < aLine.Length() && aLine[pos] != u','; ++pos) {
    TText16 c = aLine[pos];
    if (c != u' ' && c != u'"' && aSlot.iMemory.Length() < aSlot.iMemory.MaxLength()) aSlot.iMemory.Append(c);
  }
  if (pos >= aLine.Length()) return false;
  int index = 0;
  bool digits = false;
  for (++pos; pos < aLine.Length(); ++pos) {
    TText16 c = aLine[pos];
    if (c == u' ') continue;
    if (c < u'0' || c > u'9' || index > 99999) break;
    index = index * 10 + (c - u'0');
    digits = true;
  }
  aSlot.iIndex = index;
  return digits && aSlot.iMemory.Length() > 0;
}

bool SameSlot(const TPhoneSlot& aOne, const TPhoneSlot& aOther) {
  return aOne.iIndex == aOther.iIndex && aOne.iMemory == aOther.iMemory;
}

}  // namespace

int CPhoneEng::NewSmsIndication(const TDesc16& aLine) {
  if (iListen == nullptr) {
    LogMessage(KLogFilePath, u"CPhoneEng::NewSmsIndication - not listening, left on the phone");
    return 0;
  }
  TPhoneSlot slot;
  if (!ParseIndication(aLine, slot)) {
    LogMessage(KLogFilePath, u"CPhoneEng::NewSmsIndication - announcement not understood");
    return 0;
  }
  TZText<KMemoryNameLength> memory(slot.iMemory);
  LogMessage(KLogFilePath, u"CPhoneEng::NewSmsIndication - %1!s! %2!d!", memory.Ptr(), slot.iIndex);
  for (const TPhoneSlot& waiting : iListen->iAnnounced)
    if (SameSlot(waiting, slot)) return 0;
  iListen->iAnnounced.push_back(slot);
  return 0;
}

int CPhoneEng::ProcessListen(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen");
  KeepAction(aMessage);
  // Owned here: also when the thread is ended from inside a wait, the
  // unwinding frees it.
  auto state = std::make_unique<CListenState>();
  state->iDeleteAfterStore = iAction != nullptr && iAction->iDeleteAfterStore;
  const int waitSeconds = iAction != nullptr ? iAction->iPartsWaitSeconds : KDefaultPartsWaitSeconds;
  state->iPartsWait = static_cast<ULONGLONG>(std::max(waitSeconds, 0)) * KTicksPerSecond;
  const int pollSeconds = iAction != nullptr && iAction->iPollSeconds > 0 ? iAction->iPollSeconds : KDefaultPollSeconds;
  state->iPollInterval = iListenPollMs > 0 ? static_cast<ULONGLONG>(iListenPollMs) * KTicksPerMs
                                           : static_cast<ULONGLONG>(pollSeconds) * KTicksPerSecond;
  state->iResetAfterTries = iAction != nullptr ? std::max(iAction->iResetAfterTries, 0) : 0;
  iListen = state.get();
  bool ended = false;
  const bool waitForPhone = iAction != nullptr && iAction->iWaitForPhone;
  if (waitForPhone) {
    iProgressCounter = 0;
    if (iPhone->Communicator()->OpenPort() != KErrNone || !ConnectForListening()) {
      LogMessage(KLogFilePath,
                 u"CPhoneEng::ProcessListen - the phone is not there; its port is opened again when it is back");
      ClosePort();
      // A SIM that stops the connect does not change by waiting.
      ended = iPhone->SimResult() != 0 || !ReconnectForListening();
    }
  } else {
    int result = InitialiseConnection();
    if (result != KErrNone) {
      iListen = nullptr;
      return result;
    }
  }
  if (!waitForPhone && !ConnectForListening()) {
    LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen - no answer from the phone");
    if (iAction != nullptr) {
      iAction->iText.Copy(u"No answer from the phone");
      iAction->iResult = KErrGeneral;
    }
    iListen = nullptr;
    NotifyComplete();
    ClosePort();
    return KErrGeneral;
  }
  // The state is told once after each change; later checks for the
  // user's cancel carry no text.
  bool tell = true;
  while (!ended) {
    bool lost = !ReadAnnouncedMessages();
    if (!lost && ListenStatusDue()) lost = !RefreshStatusWhileListening();
    if (!lost && iListen->iSendWanted) lost = !SendQueuedMessages();
    if (!lost && iListen->iUssdWanted) lost = !RunQueuedUssd();
    if (!lost) {
      // At start-up too: what waited while nobody listened may be due.
      PassOnOverdueMessages();
      if (iAction != nullptr) {
        if (tell || iProgressCounter != 0)
          iAction->iText.Copy(u"Listening for messages");
        else
          iAction->iText.Zero();
      }
      tell = false;
      iProgressCounter = 0;
      if (NotifyProgress() == KActionCancelled) break;
      const int waitMs = ListenWaitMs();
      const bool wanted = iListen->iSendWanted || iListen->iUssdWanted;
      int r = wanted ? KErrNone : iPhone->WaitForIndication(waitMs);
      if (r == KErrTimedOut && (iListen->iSendWanted || iListen->iUssdWanted)) {
        r = KErrNone;  // ended early to send: the line is not quiet
      } else if (r == KErrTimedOut && PollDue()) {
        LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen - asking the phone for new messages");
        r = TakeStoredMessages() ? KErrNone : KErrGeneral;
      } else if (r == KErrTimedOut && waitMs < iListenQuietMs) {
        r = KErrNone;  // a long message fell due; the line is not quiet yet
      } else if (r == KErrTimedOut) {
        LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen - the line was quiet, probing the phone");
        r = iPhone->SendAndWait(EStateConnect, TConstPtr16(u"AT"));
        if (r < 0) LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen - no answer to the probe %1!d!", r);
      }
      lost = lost || r < 0;
    }
    if (lost) {
      LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen - the phone is gone; its port is opened again when it is back");
      ClosePort();
      if (!ReconnectForListening()) break;
      tell = true;
    }
  }
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessListen - listening ended");
  iListen = nullptr;
  if (iAction != nullptr) {
    iAction->iText.Copy(u"Listening ended.");
    iAction->iResult = KErrNone;
  }
  NotifyComplete();
  ClosePort();
  return KErrNone;
}

// Connects as every action does, chooses the message memories, asks for the
// announcements, then takes the messages that are on the phone already.
bool CPhoneEng::ConnectForListening() {
  if (iPhone->EstablishConnection() != 0) return false;
  // A phone that refuses the choice keeps its own memories; only silence fails.
  if (iPhone->SelectMessageStores() < 0) return false;
  int r = iPhone->EnableNewMessageIndications();
  if (r < 0) return false;
  iListen->iAnnouncing = r == KReplyOk;
  if (!iListen->iAnnouncing)
    LogMessage(KLogFilePath, u"CPhoneEng::ConnectForListening - the phone announces nothing; asked every %1!d! ms",
               static_cast<int>(iListen->iPollInterval / KTicksPerMs));
  // Read again at each connection: a phone that came back may be on another network.
  iStatusWanted = true;
  if (!TakeStoredMessages()) return false;
  iListen->iTriesUnanswered = 0;
  // Emptied as it is read when messages are deleted once stored.
  if (!iListen->iDeleteAfterStore) TellStoreFull();
  return true;
}

void CPhoneEng::TellStoreFull() {
  if (!iPhone->ReceiveStoreFull()) return;
  LogMessage(KLogFilePath, u"CPhoneEng::TellStoreFull - the phone's memory for new messages is full, %1!d! of %2!d!",
             iPhone->ReceiveStoreUsed(), iPhone->ReceiveStoreTotal());
  if (iAction == nullptr) return;
  iAction->iText.Copy(u"The phone's message memory is full (");
  iAction->iText.AppendNum(iPhone->ReceiveStoreUsed());
  iAction->iText.Append(TConstPtr16(u" of "));
  iAction->iText.AppendNum(iPhone->ReceiveStoreTotal());
  iAction->iText.Append(TConstPtr16(u")"));
  NotifyProgress();
}

bool CPhoneEng::PollDue() const {
  return iListen != nullptr && !iListen->iAnnouncing && NowTicks() >= iListen->iNextPoll;
}

void CPhoneEng::ResetAfterTries(int& aTries) {
  ++aTries;
  if (iListen->iResetAfterTries <= 0 || aTries < iListen->iResetAfterTries) return;
  LogMessage(KLogFilePath, u"CPhoneEng::ResetAfterTries - no answer after %1!d! tries, restarting the phone", aTries);
  aTries = 0;
  if (iPhone->Communicator()->OpenPort(false) != KErrNone) return;
  iPhone->Discard();
  iPhone->ResetModem();
  ClosePort();
}

// Until the port opens and the phone answers again, or the user ends it.
// The wait may last hours: the window is told once, and the log gets one line
// for the first attempt and one each time the outcome changes.
bool CPhoneEng::ReconnectForListening() {
  enum { ENotTried, EPortClosed, ENoAnswer } last = ENotTried;
  for (;;) {
    if (iAction != nullptr) {
      if (last == ENotTried)
        iAction->iText.Copy(u"Waiting for the phone");
      else
        iAction->iText.Zero();
    }
    if (NotifyProgress() == KActionCancelled) return false;
    iPhone->Pause(iListenRetryMs);
    if (iPhone->Communicator()->OpenPort(false) != KErrNone) {
      if (last != EPortClosed)
        LogMessage(KLogFilePath, u"CPhoneEng::ReconnectForListening - the port does not open yet; tried every %1!d! ms",
                   iListenRetryMs);
      last = EPortClosed;
      continue;
    }
    if (last != ENoAnswer) LogMessage(KLogFilePath, u"CPhoneEng::ReconnectForListening - the port opened again");
    const DWORD opened = GetTickCount();
    iPhone->Discard();
    if (ConnectForListening()) {
      ++iRecoveries;
      if (iAction != nullptr) iAction->iRecoveries = iRecoveries;
      LogMessage(KLogFilePath, u"CPhoneEng::ReconnectForListening - the phone answers, listening again");
      LogMessage(KLogFilePath, u"CPhoneEng::ReconnectForListening - recovery %1!d!, set up again in %2!d! ms",
                 iRecoveries, static_cast<int>(GetTickCount() - opened));
      return true;
    }
    if (iPhone->SimResult() != 0) return false;
    if (last != ENoAnswer) LogMessage(KLogFilePath, u"CPhoneEng::ReconnectForListening - no answer from the phone yet");
    last = ENoAnswer;
    ClosePort();
    ResetAfterTries(iListen->iTriesUnanswered);
  }
}

// The messages the phone holds (announced before listening began, or while
// another action had the port): read as a download reads them.
bool CPhoneEng::TakeStoredMessages() {
  LogMessage(KLogFilePath, u"CPhoneEng::TakeStoredMessages");
  iListen->iNextPoll = NowTicks() + iListen->iPollInterval;
  int r = iPhone->ReadSms();
  if (r < 0) return false;
  return DeleteTakenMessages();
}

bool CPhoneEng::ReadAnnouncedMessages() {
  while (!iListen->iAnnounced.empty()) {
    TPhoneSlot slot = iListen->iAnnounced.front();
    iListen->iAnnounced.pop_front();
    int r = iPhone->ReadSmsAt(slot.iMemory, slot.iIndex);
    if (r < 0) {
      // Read again once the phone is back: it is still on the phone.
      iListen->iAnnounced.push_front(slot);
      return false;
    }
    if (r != KReplyOk) LogMessage(KLogFilePath, u"CPhoneEng::ReadAnnouncedMessages - read refused %1!d!", r);
    if (!DeleteTakenMessages()) return false;
  }
  return true;
}

bool CPhoneEng::DeleteTakenMessages() {
  while (!iListen->iTaken.empty()) {
    TPhoneSlot slot = iListen->iTaken.back();
    int r = iPhone->DeleteSmsAt(slot.iMemory, slot.iIndex);
    if (r < 0) return false;
    iListen->iTaken.pop_back();
    TZText<KMemoryNameLength> memory(slot.iMemory);
    if (r == KReplyOk)
      LogMessage(KLogFilePath, u"CPhoneEng::DeleteTakenMessages - deleted %1!s! %2!d! from the phone", memory.Ptr(),
                 slot.iIndex);
    else
      LogMessage(KLogFilePath, u"CPhoneEng::DeleteTakenMessages - %1!s! %2!d! not deleted: %3!d!", memory.Ptr(),
                 slot.iIndex, r);
  }
  return true;
}

void CPhoneEng::TakeListenedSms(CStdSms& aSms) {
  if (aSms.SmsStatus() != KSmsStatusReceived) {
    LogMessage(KLogFilePath, u"CPhoneEng::TakeListenedSms - not a received message, left on the phone");
    return;
  }
  bool held = false;
  int partsMissing = 0;
  CEOID oid = StoreSmsInDatabaseL(aSms, &held, &partsMissing);
  if (!held) {
    LogMessage(KLogFilePath, u"CPhoneEng::TakeListenedSms - not stored, left on the phone");
    return;
  }
  // A routed message has no copy on the phone to delete.
  if (iListen->iDeleteAfterStore && !iPhone->DecodingRouted()) {
    TPhoneSlot slot;
    slot.iMemory.Copy(iPhone->SmsMemory());
    slot.iIndex = iPhone->SmsListEntry().iIndex;
    iListen->iTaken.push_back(slot);
  }
  if (oid != 0) NotifyStored(oid, partsMissing);
}

void CPhoneEng::TakeListenedReport(bool aApplied) {
  // A routed report ("+CDS") has no copy on the phone.
  if (!aApplied || !iListen->iDeleteAfterStore || iPhone->DecodingRouted()) return;
  TPhoneSlot slot;
  slot.iMemory.Copy(iPhone->SmsMemory());
  slot.iIndex = iPhone->SmsListEntry().iIndex;
  iListen->iTaken.push_back(slot);
}

// The window hears of every part stored, and that the message is whole (a
// long one when its last part is in); the store said which as it wrote it.
void CPhoneEng::NotifyStored(CEOID aOid, int aPartsMissing) {
  if (aPartsMissing > 0 && iListen != nullptr) iListen->iPartsCheckWanted = true;
  if (aPartsMissing > 0)
    LogMessage(KLogFilePath, u"CPhoneEng::NotifyStored - record 0x%1!x! waits for %2!d! more parts", aOid,
               aPartsMissing);
  else
    LogMessage(KLogFilePath, u"CPhoneEng::NotifyStored - record 0x%1!x! stored", aOid);
  if (iAction == nullptr) return;
  SendMessageW(iAction->iWindow, aPartsMissing > 0 ? EKvMessagePartStored : EKvMessageStored,
               reinterpret_cast<WPARAM>(iAction), static_cast<LPARAM>(aOid));
}

void CPhoneEng::PassOnOverdueMessages() {
  const ULONGLONG now = NowTicks();
  const bool due = iListen->iNextPartsDue != 0 && now >= iListen->iNextPartsDue;
  if (!iListen->iPartsCheckWanted && !due) return;
  iListen->iPartsCheckWanted = false;
  std::vector<CEOID> passed;
  FILETIME nowTime{static_cast<DWORD>(now & 0xFFFFFFFF), static_cast<DWORD>(now >> 32)};
  iMessagesDatabase->PassOnOverdueL(nowTime, iListen->iPartsWait, passed, iListen->iNextPartsDue);
  for (CEOID oid : passed) {
    LogMessage(KLogFilePath, u"CPhoneEng::PassOnOverdueMessages - record 0x%1!x! passed on with parts missing", oid);
    NotifyStored(oid, 0);
  }
}

void CPhoneEng::SendWanted() {
  if (iListen == nullptr) return;
  iListen->iSendWanted = true;
  iPhone->EndListeningWait();
}

void CPhoneEng::UssdWanted() {
  if (iListen == nullptr) return;
  iListen->iUssdWanted = true;
  iPhone->EndListeningWait();
}

bool CPhoneEng::RunQueuedUssd() {
  iListen->iUssdWanted = false;
  TKvUssdSlot* slot = iAction != nullptr ? iAction->iUssdSlot : nullptr;
  std::u16string code;
  std::vector<std::u16string> answers;
  if (slot == nullptr || !slot->Take(code, answers)) return true;
  TKvUssdOutcome outcome;
  const bool answered = RunUssdSession(code, answers, outcome);
  slot->Finish(outcome);
  LogMessage(KLogFilePath, u"CPhoneEng::RunQueuedUssd - %1!s!", outcome.iOk ? u"answered" : u"failed");
  SendMessageW(iAction->iWindow, EKvUssdAnswered, reinterpret_cast<WPARAM>(iAction), 0);
  return answered;
}

bool CPhoneEng::SendQueuedMessages() {
  iListen->iSendWanted = false;
  TKvSendQueue* queue = iAction != nullptr ? iAction->iSendQueue : nullptr;
  if (queue == nullptr) return true;
  TKvQueuedSend next;
  while (queue->Pop(next)) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iMessagesDatabase->ReadItemL(next.iOid)));
    if (!message || message->Folder() != EKvFolderOutbox) {
      LogMessage(KLogFilePath, u"CPhoneEng::SendQueuedMessages - record 0x%1!x! is no Outbox message", next.iOid);
      SendMessageW(iAction->iWindow, EKvMessageSendFailed, reinterpret_cast<WPARAM>(iAction),
                   static_cast<LPARAM>(next.iOid));
      continue;
    }
    const int r = SendOneMessage(*message, next.iReport);
    if (r < 0) {
      // The phone went away: sent again once it is back.
      queue->PushFront(next);
      return false;
    }
    if (r == KReplyOk) {
      message->SetDeliveryL(iSentParts);
      message->SetFolder(EKvFolderSent);
      iMessagesDatabase->ReplaceItemL(*message);
    }
    LogMessage(KLogFilePath, u"CPhoneEng::SendQueuedMessages - record 0x%1!x! %2!s!", next.iOid,
               r == KReplyOk ? u"sent" : u"refused");
    SendMessageW(iAction->iWindow, r == KReplyOk ? EKvMessageSent : EKvMessageSendFailed,
                 reinterpret_cast<WPARAM>(iAction), static_cast<LPARAM>(next.iOid));
  }
  return true;
}

int CPhoneEng::ListenWaitMs() const {
  if (iListen == nullptr) return iListenQuietMs;
  const ULONGLONG now = NowTicks();
  int wait = iListenQuietMs;
  auto until = [&](ULONGLONG aDue) {
    if (aDue == 0) return;
    const ULONGLONG left = now >= aDue ? 1 : (aDue - now + KTicksPerMs - 1) / KTicksPerMs;
    if (left < static_cast<ULONGLONG>(wait)) wait = static_cast<int>(left);
  };
  until(iListen->iNextPartsDue);
  if (!iListen->iAnnouncing) until(iListen->iNextPoll);
  return wait;
}

