// The SIM's PIN asked of the window, a SIM that stops an action said in
// words, and USSD sessions.
#include "engine/phone_engine.h"
#include "engine/ussd_slot.h"
#include "kernel/log.h"

namespace {

const LRESULT KWindowGaveAnswer = 1;

}  // namespace

void CPhoneEng::FailAction(const TText16* aText, const TText16* aReason) {
  if (iAction == nullptr) return;
  iAction->iText.Copy(aText);
  iAction->iReason.Copy(aReason);
  iAction->iResult = KErrGeneral;
}

int CPhoneEng::SimPinRequested(int aAttemptsLeft, bool aRefusedBefore, TSimPin& aPin) {
  if (iAction == nullptr || iAction->iWindow == nullptr) return KErrCancel;
  iAction->iPinAttemptsLeft = aAttemptsLeft;
  iAction->iPinRefusedBefore = aRefusedBefore;
  iAction->iPin.Zero();
  LRESULT answer = SendMessageW(iAction->iWindow, EKvPinRequired, reinterpret_cast<WPARAM>(iAction), 0);
  if (answer != KWindowGaveAnswer) return KErrCancel;
  aPin.Copy(iAction->iPin);
  // The block outlives the action; the PIN does not stay in it.
  iAction->iPin.FillZ();
  iAction->iPin.Zero();
  return KErrNone;
}

bool CPhoneEng::ReportSimFailure() {
  const int result = iPhone->SimResult();
  if (result == 0 || iAction == nullptr) return false;
  // The attempts left go into the text itself: a terminal shows only the text.
  TModBuf16<KEngineTextLength> text;
  const int left = iPhone->SimPinState().iAttemptsLeft;
  const bool pin = result == KErrSimPinNeeded || result == KErrSimPinRefused;
  text.Copy(result == KErrSimPinNeeded    ? u"The SIM needs its PIN"
            : result == KErrSimPinRefused ? u"The SIM refused the PIN"
            : result == KErrSimPinMalformed ? u"The PIN must be 4 to 8 digits"
            : result == KErrSimPukNeeded    ? u"The SIM is blocked: it needs its PUK"
            : result == KErrSimPhoneLocked  ? u"The phone is locked to another SIM (PH-SIM PIN)"
            : result == KErrSimAbsent       ? u"No SIM in the phone"
            : result == KErrSimFailure      ? u"The SIM does not work (SIM failure)"
                                            : u"The SIM could not be read");
  if (pin && left >= 0) {
    text.Append(TConstPtr16(u": "));
    text.AppendNum(left);
    text.Append(TConstPtr16(left == 1 ? u" attempt left" : u" attempts left"));
  }
  const TText16* reason = result == KErrSimPinNeeded    ? u"No PIN was given."
                          : result == KErrSimPinRefused ? u"The next try needs another PIN."
                          : result == KErrSimPukNeeded  ? u"Unblock it with its PUK in a phone."
                                                        : u"";
  FailAction(text.PtrZ(), reason);
  return true;
}

int CPhoneEng::ProcessUssd(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessUssd");
  KeepAction(aMessage);
  if (iAction == nullptr) return KErrGeneral;
  iAction->iUssdReply.Zero();
  iAction->iUssdStatus = EUssdNone;
  if (!IsUssdString(iAction->iUssdCode)) {
    FailAction(u"Not a USSD code", u"a code holds only digits, * and #");
    NotifyComplete();
    return KErrGeneral;
  }
  int r = InitialiseConnection();
  if (r != KErrNone) return r;
  r = iPhone->EstablishConnection();
  if (r != 0) {
    FailAction(u"No answer from the phone", u"");
    NotifyComplete();
    ClosePort();
    return KErrGeneral;
  }
  TModBuf16<KUssdCodeLength> next(iAction->iUssdCode);
  for (;;) {
    iAction->iText.Copy(u"Waiting for the network's reply");
    if (NotifyProgress() == KActionCancelled) break;
    TUssdReply reply;
    r = iPhone->SendUssd(next, reply);
    if (r == KErrUssdTimedOut) {
      FailAction(u"No USSD reply from the network in time", u"the session was cancelled");
      break;
    }
    if (r != KReplyOk) {
      FailAction(u"The phone refused the USSD code", r == KReplyError ? u"ERROR" : u"an error reply");
      break;
    }
    iAction->iUssdReply.Copy(reply.iText);
    iAction->iUssdStatus = reply.iStatus;
    if (reply.iStatus == EUssdMenu) {
      iAction->iUssdAnswer.Zero();
      LRESULT answer = SendMessageW(iAction->iWindow, EKvUssdMenu, reinterpret_cast<WPARAM>(iAction), 0);
      if (answer != KWindowGaveAnswer || !IsUssdString(iAction->iUssdAnswer)) {
        iPhone->CancelUssd();
        if (iAction->iUssdAnswer.Length() != 0 && !IsUssdString(iAction->iUssdAnswer))
          FailAction(u"Not a USSD answer", u"an answer holds only digits, * and #");
        else
          FailAction(u"USSD session cancelled", u"the network waited for an answer");
        iAction->iResult = KErrCancel;
        break;
      }
      next.Copy(iAction->iUssdAnswer);
      continue;
    }
    switch (reply.iStatus) {
      case EUssdDone:
      case EUssdEndedByNetwork:
        iAction->iText.Copy(u"USSD reply received");
        iAction->iResult = KErrNone;
        break;
      case EUssdNotSupported:
        FailAction(u"The network does not support this USSD code", u"");
        break;
      case EUssdNetworkTimeout:
        FailAction(u"The network gave up on the USSD session", u"");
        break;
      default:
        FailAction(u"Another client answered the USSD session", u"");
        break;
    }
    break;
  }
  NotifyComplete();
  ClosePort();
  return iAction->iResult;
}

bool CPhoneEng::RunUssdSession(const std::u16string& aCode, const std::vector<std::u16string>& aAnswers,
                               TKvUssdOutcome& aOutcome) {
  TModBuf16<KUssdCodeLength> next;
  auto take = [&](const std::u16string& aText) {
    TConstPtr16 text(aText.data(), static_cast<int>(aText.size()));
    if (text.Length() > next.MaxLength() || !IsUssdString(text)) return false;
    next.Copy(text);
    return true;
  };
  if (!take(aCode)) {
    aOutcome.iError = u"not a USSD code: a code holds only digits, * and #";
    return true;
  }
  size_t answered = 0;
  for (;;) {
    TUssdReply reply;
    const int r = iPhone->SendUssd(next, reply);
    if (r == KErrUssdTimedOut) {
      aOutcome.iError = u"no USSD reply from the network in time; the session was cancelled";
      return true;
    }
    if (r < 0) {
      aOutcome.iError = u"no answer from the phone";
      return false;
    }
    if (r != KReplyOk) {
      aOutcome.iError = u"the phone refused the USSD code";
      return true;
    }
    const bool menu = reply.iStatus == EUssdMenu;
    aOutcome.iReplies.emplace_back(menu, std::u16string(reply.iText.Ptr(), static_cast<size_t>(reply.iText.Length())));
    if (menu) {
      if (answered < aAnswers.size() && take(aAnswers[answered])) {
        ++answered;
        continue;
      }
      iPhone->CancelUssd();
      aOutcome.iError = answered < aAnswers.size() ? u"not a USSD answer: an answer holds only digits, * and #"
                                                   : u"the network waited for an answer and none was given";
      return true;
    }
    switch (reply.iStatus) {
      case EUssdDone:
      case EUssdEndedByNetwork:
        aOutcome.iOk = true;
        break;
      case EUssdNotSupported:
        aOutcome.iError = u"the network does not support this USSD code";
        break;
      case EUssdNetworkTimeout:
        aOutcome.iError = u"the network gave up on the USSD session";
        break;
      default:
        aOutcome.iError = u"another client answered the USSD session";
        break;
    }
    return true;
  }
}
