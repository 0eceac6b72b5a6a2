#include "kernel/buffers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kernel/panic.h"

// ---- CBufBase -----------------------------------------------------------------

CBufBase::CBufBase(int aGranularity) {
  SetClassName(u"CBufBase");
  if (aGranularity < 0) {
    PanicBufArray(3);
    aGranularity = 0;
  }
  iGranularity = aGranularity;
}

CBufBase::~CBufBase() = default;

void CBufBase::Read(int aPos, TModDesc8& aDes) const {
  Read(aPos, aDes, aDes.MaxLength());
}

void CBufBase::Read(int aPos, TModDesc8& aDes, int aLength) const {
  if (aLength < 0) {
    PanicBufArray(6);
    return;
  }
  if (aLength > aDes.MaxLength()) {
    PanicDescriptor(23);
    return;
  }
  if (aPos < 0 || aPos > iSize || aLength > iSize - aPos) {
    PanicBufArray(4);
    return;
  }
  Read(aPos, aDes.Ptr(), aLength);
  aDes.SetLength(aLength);
}

void CBufBase::Read(int aPos, void* aTarget, int aLength) const {
  if (aLength < 0) {
    PanicBufArray(6);
    return;
  }
  if (aPos < 0 || aPos > iSize || aLength > iSize - aPos) {
    PanicBufArray(4);
    return;
  }
  TText8* target = static_cast<TText8*>(aTarget);
  CBufBase* self = const_cast<CBufBase*>(this);  // Ptr gives modifiable pieces
  while (aLength > 0) {
    TModPtr8 piece = self->Ptr(aPos);
    int count = std::min(piece.Length(), aLength);
    if (count <= 0 || !piece.Ptr()) return;
    std::memcpy(target, piece.Ptr(), static_cast<size_t>(count));
    target += count;
    aPos += count;
    aLength -= count;
  }
}

void CBufBase::Write(int aPos, const TDesc8& aDes) {
  Write(aPos, aDes.Ptr(), aDes.Length());
}

void CBufBase::Write(int aPos, const TDesc8& aDes, int aLength) {
  if (aLength > aDes.Length()) {
    PanicBufArray(5);
    return;
  }
  Write(aPos, aDes.Ptr(), aLength);
}

void CBufBase::Write(int aPos, const void* aSource, int aLength) {
  if (aLength < 0) {
    PanicBufArray(7);
    return;
  }
  if (aPos < 0 || aPos > iSize || aLength > iSize - aPos) {
    PanicBufArray(5);
    return;
  }
  const TText8* source = static_cast<const TText8*>(aSource);
  if (aLength > 0 && !source) return;
  while (aLength > 0) {
    TModPtr8 piece = Ptr(aPos);
    int count = std::min(piece.Length(), aLength);
    if (count <= 0 || !piece.Ptr()) return;
    std::memmove(piece.Ptr(), source, static_cast<size_t>(count));
    source += count;
    aPos += count;
    aLength -= count;
  }
}

int CBufBase::Insert(int aPos, const TDesc8& aDes) {
  return Insert(aPos, aDes.Ptr(), aDes.Length());
}

int CBufBase::Insert(int aPos, const TDesc8& aDes, int aLength) {
  if (aLength > aDes.Length()) {
    PanicBufArray(8);
    return KErrGeneral;
  }
  return Insert(aPos, aDes.Ptr(), aLength);
}

int CBufBase::Insert(int aPos, const void* aSource, int aLength) {
  if (aLength < 0) {
    PanicBufArray(8);
    return KErrGeneral;
  }
  if (!aSource) {
    PanicBufArray(9);
    return KErrGeneral;
  }
  return DoInsert(aPos, aSource, aLength);
}

int CBufBase::Expand(int aPos, int aLength) {
  if (aLength < 0) {
    PanicBufArray(8);
    return KErrGeneral;
  }
  return DoInsert(aPos, nullptr, aLength);
}

int CBufBase::Resize(int aSize) {
  if (aSize < 0) {
    PanicBufArray(12);
    return KErrGeneral;
  }
  if (aSize > iSize) return Expand(iSize, aSize - iSize);
  if (aSize < iSize) Delete(aSize, iSize - aSize);
  return KErrNone;
}

void CBufBase::Reset() {
  if (iSize > 0) Delete(0, iSize);
  Compress();
}

// ---- CBufFlat -----------------------------------------------------------------

CBufFlat::CBufFlat(int aGranularity) : CBufBase(aGranularity) { SetClassName(u"CBufFlat"); }

CBufFlat* CBufFlat::NewL(int aGranularity) { return User::LeaveIfNull(new CBufFlat(aGranularity)); }

CBufFlat::~CBufFlat() { std::free(iData); }

int CBufFlat::SetReserve(int aCapacity) {
  if (aCapacity < 0) {
    PanicBufArray(10);
    return KErrGeneral;
  }
  if (aCapacity < iSize) {
    PanicBufArray(11);
    return KErrGeneral;
  }
  if (aCapacity == 0) {
    std::free(iData);
    iData = nullptr;
    iCapacity = 0;
    return KErrNone;
  }
  void* block = std::realloc(iData, static_cast<size_t>(aCapacity));
  if (!block) return KErrNoMemory;  // the old block and capacity stay
  iData = static_cast<TText8*>(block);
  iCapacity = aCapacity;
  return KErrNone;
}

void CBufFlat::Compress() { SetReserve(iSize); }

void CBufFlat::Delete(int aPos, int aLength) {
  if (aPos < 0 || aPos > iSize) {
    PanicBufArray(12);
    return;
  }
  if (aLength < 0 || aLength > iSize - aPos) {
    PanicBufArray(13);
    return;
  }
  if (aLength == 0) return;
  std::memmove(iData + aPos, iData + aPos + aLength, static_cast<size_t>(iSize - aPos - aLength));
  iSize -= aLength;
}

TModPtr8 CBufFlat::Ptr(int aPos) {
  if (aPos < 0 || aPos > iSize) {
    PanicBufArray(12);
    return TModPtr8(iData, 0, 0);
  }
  int rest = iSize - aPos;
  return TModPtr8(iData ? iData + aPos : nullptr, rest, rest);
}

TModPtr8 CBufFlat::BackPtr(int aPos) {
  if (aPos < 0 || aPos > iSize) {
    PanicBufArray(12);
    return TModPtr8(iData, 0, 0);
  }
  return TModPtr8(iData, aPos, aPos);
}

int CBufFlat::DoInsert(int aPos, const void* aSource, int aLength) {
  if (aPos < 0 || aPos > iSize) {
    PanicBufArray(12);
    return KErrGeneral;
  }
  if (aLength < 0) {
    PanicBufArray(8);
    return KErrGeneral;
  }
  if (aLength == 0) return KErrNone;
  if (aLength > 0x7FFFFFFF - iSize) return KErrNoMemory;
  int needed = iSize + aLength;
  if (needed > iCapacity) {
    // A granularity of 0 grows one byte at a time rather than dividing by it.
    long long granularity = std::max(iGranularity, 1);
    long long capacity = iCapacity + granularity * ((needed - iCapacity) / granularity + 1);
    if (capacity > 0x7FFFFFFF) capacity = needed;
    int result = SetReserve(static_cast<int>(capacity));
    if (result != KErrNone) return result;
  }
  std::memmove(iData + aPos + aLength, iData + aPos, static_cast<size_t>(iSize - aPos));
  if (aSource) std::memmove(iData + aPos, aSource, static_cast<size_t>(aLength));
  iSize = needed;
  return KErrNone;
}
