#include "kernel/panic.h"

#include <windows.h>

#include "kernel/log.h"

void PanicActive(int aReason) { LogMessage(KLogFilePath, u"Active Panic %1!d!", aReason); }
void PanicQueue(int aReason) { LogMessage(KLogFilePath, u"Queue Panic %1!d!", aReason); }
void PanicDescriptor(int aReason) { LogMessage(KLogFilePath, u"Descriptor Panic %1!d!", aReason); }
void PanicBufArray(int aReason) { LogMessage(KLogFilePath, u"Buf Array Panic %1!d!", aReason); }
void PanicUtilFunction(int aReason) { LogMessage(KLogFilePath, u"UtilFunction Panic %1!d!", aReason); }
void PanicEpocControl(int aReason) { LogMessage(KLogFilePath, u"EpocControl Panic %1!d!", aReason); }
void PanicHWndMap(int aReason) { LogMessage(KLogFilePath, u"HWndMap Panic %1!d!", aReason); }
void PanicEpocDatabase(int aReason) { LogMessage(KLogFilePath, u"Epoc Database Panic %1!d!", aReason); }

namespace User {

void Panic(const TDesc16& aCategory, int aReason) {
  TModBuf16<128> category;
  category.Copy(aCategory.Left(127));  // room for the terminator
  LPCWSTR categoryText = category.PtrZ();
  WCHAR reason[16];
  wsprintfW(reason, u"%d", aReason);
  LogMessage(KLogFilePath, u"User::Panic Category: %1!s!, Reason %2!d!", categoryText, aReason);
  ErrorBox(categoryText, u"%s", reason);
}

void Leave(int) {}

int LeaveIfError(int aValue) {
  if (aValue < 0) Leave(aValue);
  return aValue;
}

void* LeaveIfNullPointer(void* aPointer) {
  if (!aPointer) Leave(KErrNoMemory);
  return aPointer;
}

}  // namespace User
