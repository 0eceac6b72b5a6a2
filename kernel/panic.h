// Panics and leaves. A panic is a report: it logs (and User::Panic also shows
// a box), then returns to its caller. Leaving has no effect: an operation
// whose name ends in L returns normally and its result tells the failure.
#pragma once

#include "kernel/descriptors.h"
#include "kernel/errors.h"

// One function per panic category; each logs "<Category> Panic <reason>".
void PanicActive(int aReason);
void PanicQueue(int aReason);
void PanicDescriptor(int aReason);
void PanicBufArray(int aReason);
void PanicUtilFunction(int aReason);
void PanicEpocControl(int aReason);
void PanicHWndMap(int aReason);
void PanicEpocDatabase(int aReason);

namespace User {

void Panic(const TDesc16& aCategory, int aReason);

void Leave(int aReason);
int LeaveIfError(int aValue);
void* LeaveIfNullPointer(void* aPointer);
template <typename T>
T* LeaveIfNull(T* aPointer) {
  LeaveIfNullPointer(const_cast<void*>(static_cast<const void*>(aPointer)));
  return aPointer;
}

}  // namespace User
