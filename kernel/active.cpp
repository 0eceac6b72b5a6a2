#include "kernel/active.h"

#include <cstddef>

#include "kernel/panic.h"
#include "kernel/requests.h"

// CActive is polymorphic, so offsetof is only conditionally supported; GCC
// and Clang give the plain layout offset, which is all the queue needs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
int CActive::LinkOffset() { return static_cast<int>(offsetof(CActive, iLink)); }
#pragma GCC diagnostic pop

// ---- TPriorityQueue --------------------------------------------------------------

TPriorityQueueBase::TPriorityQueueBase(int aOffset) : iHead{&iHead, &iHead}, iOffset(aOffset) {
  if (aOffset % 4 != 0) PanicQueue(78);
}

void TPriorityQueueBase::AddLink(TPriQueLink* aLink) {
  TQueLink* at = iHead.iNext;
  while (at != &iHead && aLink->iPriority <= static_cast<TPriQueLink*>(at)->iPriority) at = at->iNext;
  aLink->iNext = at;
  aLink->iPrev = at->iPrev;
  at->iPrev->iNext = aLink;
  at->iPrev = aLink;
}

void TPriorityQueueBase::Remove(TQueLink* aLink) {
  aLink->iPrev->iNext = aLink->iNext;
  aLink->iNext->iPrev = aLink->iPrev;
  aLink->iNext = nullptr;
  aLink->iPrev = nullptr;
}

// ---- CActive ------------------------------------------------------------------------

CActive::CActive(int aPriority) : iStatus(0), iActive(0), iLink() {
  SetClassName(u"CActive");
  iLink.iPriority = aPriority;
}

CActive::~CActive() {
  if (IsActive()) PanicActive(40);
  if (IsAdded()) TPriorityQueueBase::Remove(&iLink);
}

void CActive::SetActive() {
  if (IsActive()) {
    PanicActive(42);
    return;
  }
  if (!IsAdded()) {
    PanicActive(49);
    return;
  }
  iActive = 1;
}

void CActive::Cancel() {
  if (!IsActive()) return;
  DoCancel();
  User::WaitForRequest(iStatus);
  iActive = 0;
}

void CActive::Deque() {
  if (!IsAdded()) {
    PanicActive(49);
    return;
  }
  Cancel();
  TPriorityQueueBase::Remove(&iLink);
}

// ---- CActiveScheduler ---------------------------------------------------------------

CActiveScheduler::CActiveScheduler() : iNestingLevel(0), iQueue(CActive::LinkOffset()) {
  SetClassName(u"CActiveScheduler");
}

CActiveScheduler::~CActiveScheduler() {
  while (CActive* active = iQueue.First()) active->Deque();
  TThreadBaggage* baggage = ThreadBaggage();
  if (baggage && baggage->iScheduler == this) baggage->iScheduler = nullptr;
}

void CActiveScheduler::Install(CActiveScheduler* aScheduler) {
  if (TThreadBaggage* baggage = ThreadBaggage()) baggage->iScheduler = aScheduler;
}

CActiveScheduler* CActiveScheduler::Current() {
  TThreadBaggage* baggage = ThreadBaggage();
  return baggage ? baggage->iScheduler : nullptr;
}

void CActiveScheduler::Add(CActive* aActive) {
  CActiveScheduler* scheduler = Current();
  if (!scheduler) {
    PanicActive(44);
    return;
  }
  if (!aActive) {
    PanicActive(48);
    return;
  }
  if (aActive->IsAdded()) {
    PanicActive(41);
    return;
  }
  scheduler->iQueue.Add(*aActive);
}

void CActiveScheduler::Start() {
  CActiveScheduler* scheduler = Current();
  if (!scheduler) {
    PanicActive(44);
    return;
  }
  const int level = scheduler->iNestingLevel++;
  while (scheduler->iNestingLevel > level) {
    scheduler->WaitForAnyRequest();
    CActive* ready = scheduler->iQueue.First();
    while (ready && !(ready->IsActive() && ready->iStatus.Int() != KCompletionPending))
      ready = scheduler->iQueue.Next(ready);
    if (!ready) {
      PanicActive(46);  // a stray signal: wait again
      continue;
    }
    ready->iActive = 0;
    ready->RunL();
  }
}

void CActiveScheduler::Stop() {
  CActiveScheduler* scheduler = Current();
  if (!scheduler) {
    PanicActive(44);
    return;
  }
  if (--scheduler->iNestingLevel < 0) {
    PanicActive(45);
    scheduler->iNestingLevel = 0;  // an extra Stop must not end a later Start early
  }
}

HANDLE CActiveScheduler::WaitForAnyRequest() { return User::WaitForAnyRequest(); }
