#include "app/document/kv_engine_notices.h"

#include "engine/engine_action.h"

bool KvDispatchEngineNotice(MKvEngineObserver& aObserver, UINT aMessage, WPARAM aWParam, LPARAM aLParam,
                            LRESULT& aAnswer) {
  // Every notice carries the block of the action it belongs to.
  const TEngineAction* action = reinterpret_cast<const TEngineAction*>(aWParam);
  const CEOID record = static_cast<CEOID>(aLParam);
  switch (aMessage) {
    case EKvActionInProgress:
      aAnswer = action != nullptr ? aObserver.ActionInProgressL(*action) : 0;
      return true;
    case EKvActionComplete:
      if (action != nullptr) aObserver.ActionCompleteL(*action);
      aAnswer = 0;
      return true;
    case EKvMessageStored:
    case EKvMessagePartStored:
      aObserver.MessageStoredL(record, aMessage == EKvMessageStored);
      aAnswer = 0;
      return true;
    case EKvStatusUpdated:
      if (action != nullptr) aObserver.StatusUpdatedL(*action);
      aAnswer = 0;
      return true;
    case EKvMessageSent:
    case EKvMessageSendFailed:
      aObserver.MessageSentL(record, aMessage == EKvMessageSent);
      aAnswer = 0;
      return true;
    case EKvUssdAnswered:
      aObserver.UssdAnsweredL();
      aAnswer = 0;
      return true;
    case EKvDeliveryReportApplied:
      aObserver.DeliveryReportAppliedL(record);
      aAnswer = 0;
      return true;
    case EKvPinRequired:
      aAnswer = action != nullptr && aObserver.SimPinRequestedL(*const_cast<TEngineAction*>(action)) ? 1 : 0;
      return true;
    case EKvUssdMenu:
      aAnswer = action != nullptr && aObserver.UssdMenuL(*const_cast<TEngineAction*>(action)) ? 1 : 0;
      return true;
    default:
      return false;
  }
}
