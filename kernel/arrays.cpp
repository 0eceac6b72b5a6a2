#include "kernel/arrays.h"

#include <cstring>
#include <utility>
#include <vector>

#include "kernel/panic.h"

CBufBase* NewFlatBuffer(int aGranularity) { return CBufFlat::NewL(aGranularity); }

// ---- keys and swappers ---------------------------------------------------------------

TKey::TKey(int aOffset, int aComparisonType, int aLength)
    : iKeyOffset(aOffset),
      iKeyLength(aLength),
      iComparisonType(aComparisonType),
      iReference(nullptr),
      iElementSize(0),
      iBuffer(nullptr) {
  if (aOffset < 0) {
    PanicUtilFunction(98);
    iKeyOffset = 0;
  }
}

int TKey::Compare(int aLeft, int aRight) const {
  const void* left = At(aLeft);
  const void* right = At(aRight);
  if (!left || !right) return 0;
  int32_t a;
  int32_t b;
  std::memcpy(&a, left, sizeof a);  // keys need not be aligned
  std::memcpy(&b, right, sizeof b);
  return a < b ? -1 : (a > b ? 1 : 0);
}

const void* TKey::At(int) const {
  PanicUtilFunction(35);
  return nullptr;
}

void TKey::SetPtr(CBufBase* aBuffer, int aElementSize) {
  iBuffer = aBuffer;
  iElementSize = aElementSize;
}

TKeyArrayFix::TKeyArrayFix(int aOffset, int aComparisonType) : TKey(aOffset, aComparisonType, 0) {}

TKeyArrayFix::TKeyArrayFix(int aOffset, int aComparisonType, int aLength)
    : TKey(aOffset, aComparisonType, aLength) {}

const void* TKeyArrayFix::At(int aIndex) const {
  if (aIndex == -1) return iReference ? static_cast<const char*>(iReference) + iKeyOffset : nullptr;
  if (!iBuffer) return nullptr;
  TModPtr8 piece = iBuffer->Ptr(aIndex * iElementSize);
  if (piece.Length() < iKeyOffset + 4 || !piece.Ptr()) return nullptr;
  return piece.Ptr() + iKeyOffset;
}

void TSwap::Swap(int, int) const { PanicUtilFunction(36); }

void TArraySwap::Swap(int aLeft, int aRight) const {
  if (aLeft == aRight || !iBuffer) return;
  TModPtr8 left = iBuffer->Ptr(aLeft * iElementSize);
  TModPtr8 right = iBuffer->Ptr(aRight * iElementSize);
  if (left.Length() < iElementSize || right.Length() < iElementSize) return;
  TText8* a = left.Ptr();
  TText8* b = right.Ptr();
  for (int i = 0; i < iElementSize; ++i) std::swap(a[i], b[i]);
}

// ---- sorting and searching -----------------------------------------------------------

namespace {

// Partitions [aStart, aEnd] around the middle element; returns its final place.
int Partition(int aStart, int aEnd, const TKey& aKey, const TSwap& aSwap) {
  int count = aEnd - aStart + 1;
  aSwap.Swap(aStart + (count - 1) / 2, aEnd);
  int pivot = aEnd;
  int i = aStart;
  int j = aEnd - 1;
  for (;;) {
    while (i < pivot && aKey.Compare(i, pivot) < 0) ++i;
    while (j > i && aKey.Compare(j, pivot) > 0) --j;
    if (i >= j) break;
    aSwap.Swap(i, j);
    ++i;
    --j;
  }
  aSwap.Swap(i, pivot);
  return i;
}

}  // namespace

int QuickSort(int aCount, const TKey& aKey, const TSwap& aSwap) {
  if (aCount < 0) {
    PanicUtilFunction(96);
    return KErrGeneral;
  }
  if (aCount < 2) return KErrNone;
  struct TRange {
    int iStart;
    int iCount;
  };
  TRange stack[KQuickSortStackDepth];
  int depth = 0;
  TRange range = {0, aCount};
  for (;;) {
    if (range.iCount > 1) {
      int end = range.iStart + range.iCount - 1;
      int place = Partition(range.iStart, end, aKey, aSwap);
      TRange left = {range.iStart, place - range.iStart};
      TRange right = {place + 1, end - place};
      bool leftLarger = left.iCount > right.iCount;
      if (depth == KQuickSortStackDepth) return KErrGeneral;
      stack[depth++] = leftLarger ? left : right;
      range = leftLarger ? right : left;
    } else {
      if (depth == 0) return KErrNone;
      range = stack[--depth];
    }
  }
}

int BinarySearch(int aCount, const TKey& aKey, int& aIndex) {
  if (aCount < 0) {
    PanicUtilFunction(97);
    aIndex = 0;
    return -1;
  }
  int low = 0;
  int high = aCount - 1;
  int middle = 0;
  int result = 1;
  while (low <= high) {
    middle = (low + high) / 2;
    result = aKey.Compare(middle, -1);
    if (result == 0) {
      aIndex = middle;
      return 0;
    }
    if (result < 0)
      low = middle + 1;
    else
      high = middle - 1;
  }
  aIndex = result < 0 ? middle + 1 : middle;
  return result;
}

// ---- CArrayFixBase -----------------------------------------------------------------------

CArrayFixBase::CArrayFixBase(TBufferFactory aFactory, int aElementSize, int aGranularity)
    : iCount(0), iGranularity(aGranularity), iElementSize(aElementSize), iFactory(aFactory), iBuffer(nullptr) {
  SetClassName(u"CArrayFixBase");
  if (aElementSize < 1) {
    PanicBufArray(17);
    iElementSize = 1;
  }
  if (aGranularity < 1) {
    PanicBufArray(18);
    iGranularity = 1;
  }
  if (!iFactory) iFactory = NewFlatBuffer;
}

CArrayFixBase::~CArrayFixBase() { delete iBuffer; }

void* CArrayFixBase::At(int aIndex) const {
  if (aIndex < 0 || aIndex >= iCount || !iBuffer) {
    PanicBufArray(21);
    return nullptr;
  }
  return iBuffer->Ptr(aIndex * iElementSize).Ptr();
}

void* CArrayFixBase::End(int aIndex) const {
  if (aIndex < 0 || aIndex > iCount) {
    PanicBufArray(21);
    return nullptr;
  }
  if (!iBuffer) return nullptr;
  TModPtr8 piece = iBuffer->Ptr(aIndex * iElementSize);
  return piece.Ptr() ? piece.Ptr() + piece.Length() : nullptr;
}

void* CArrayFixBase::Back(int aIndex) const {
  if (aIndex < 0 || aIndex > iCount) {
    PanicBufArray(21);
    return nullptr;
  }
  if (!iBuffer) return nullptr;
  return iBuffer->BackPtr(aIndex * iElementSize).Ptr();
}

void* CArrayFixBase::InsertGap(int aIndex, int aCount) {
  if (!iBuffer) {
    iBuffer = iFactory(iElementSize * iGranularity);
    if (!iBuffer) return nullptr;
  }
  if (static_cast<long long>(iCount + static_cast<long long>(aCount)) * iElementSize > 0x7FFFFFFF) return nullptr;
  if (iBuffer->Expand(aIndex * iElementSize, aCount * iElementSize) != KErrNone) return nullptr;
  iCount += aCount;
  return iBuffer->Ptr(aIndex * iElementSize).Ptr();
}

bool CArrayFixBase::HoldsAddress(const void* aAddress) const {
  if (!iBuffer || iBuffer->Size() == 0) return false;
  const char* data = reinterpret_cast<const char*>(iBuffer->Ptr(0).Ptr());
  const char* address = static_cast<const char*>(aAddress);
  return data && address >= data && address < data + iBuffer->Size();
}

void* CArrayFixBase::InsertL(int aIndex) {
  if (aIndex < 0 || aIndex > iCount) {
    PanicBufArray(21);
    return nullptr;
  }
  return User::LeaveIfNull(InsertGap(aIndex, 1));
}

int CArrayFixBase::InsertL(int aIndex, const void* aElement) { return InsertL(aIndex, aElement, 1); }

int CArrayFixBase::InsertL(int aIndex, const void* aElement, int aCount) {
  if (aIndex < 0 || aIndex > iCount) {
    PanicBufArray(21);
    return KErrGeneral;
  }
  if (aCount < 0) {
    PanicBufArray(23);
    return KErrGeneral;
  }
  if (aCount == 0) return KErrNone;
  if (!aElement) {
    PanicBufArray(9);
    return KErrGeneral;
  }
  size_t bytes = static_cast<size_t>(aCount) * static_cast<size_t>(iElementSize);
  // Elements taken from this array itself would move with the gap: copy first.
  std::vector<char> copy;
  if (HoldsAddress(aElement)) {
    copy.assign(static_cast<const char*>(aElement), static_cast<const char*>(aElement) + bytes);
    aElement = copy.data();
  }
  void* gap = InsertGap(aIndex, aCount);
  if (!gap) return User::LeaveIfError(KErrNoMemory);
  std::memcpy(gap, aElement, bytes);
  return KErrNone;
}

int CArrayFixBase::InsertRepL(int aIndex, const void* aElement, int aCount) {
  if (aIndex < 0 || aIndex > iCount) {
    PanicBufArray(21);
    return KErrGeneral;
  }
  if (aCount < 0) {
    PanicBufArray(28);
    return KErrGeneral;
  }
  if (aCount == 0) return KErrNone;
  if (!aElement) {
    PanicBufArray(9);
    return KErrGeneral;
  }
  std::vector<char> element(static_cast<const char*>(aElement), static_cast<const char*>(aElement) + iElementSize);
  char* gap = static_cast<char*>(InsertGap(aIndex, aCount));
  if (!gap) return User::LeaveIfError(KErrNoMemory);
  for (int i = 0; i < aCount; ++i)
    std::memcpy(gap + static_cast<size_t>(i) * iElementSize, element.data(), static_cast<size_t>(iElementSize));
  return KErrNone;
}

void CArrayFixBase::Delete(int aIndex) { Delete(aIndex, 1); }

void CArrayFixBase::Delete(int aIndex, int aCount) {
  if (aIndex < 0 || aIndex >= iCount) {
    PanicBufArray(21);
    return;
  }
  if (aCount < 0) {
    PanicBufArray(22);
    return;
  }
  if (aCount > iCount - aIndex) {
    PanicBufArray(29);
    return;
  }
  if (aCount == 0 || !iBuffer) return;
  iBuffer->Delete(aIndex * iElementSize, aCount * iElementSize);
  iCount -= aCount;
}

void CArrayFixBase::Reset() {
  iCount = 0;
  if (iBuffer) iBuffer->Reset();
}

void CArrayFixBase::Compress() {
  if (iBuffer) iBuffer->Compress();
}

int CArrayFixBase::ResizeL(int aCount, const void* aElement) {
  if (aCount < 0) {
    PanicBufArray(24);
    return KErrGeneral;
  }
  if (aCount > iCount) return InsertRepL(iCount, aElement, aCount - iCount);
  if (aCount < iCount) Delete(aCount, iCount - aCount);
  return KErrNone;
}

int CArrayFixBase::SetReserveL(int aCount) {
  if (aCount < iCount) {
    PanicBufArray(27);
    return KErrGeneral;
  }
  if (static_cast<long long>(aCount) * iElementSize > 0x7FFFFFFF) return User::LeaveIfError(KErrNoMemory);
  if (!iBuffer) {
    iBuffer = iFactory(iElementSize * iGranularity);
    if (!iBuffer) return User::LeaveIfError(KErrNoMemory);
  }
  CBufFlat* flat = dynamic_cast<CBufFlat*>(iBuffer);
  if (!flat) return KErrNone;  // only a flat buffer keeps a reserve
  return User::LeaveIfError(flat->SetReserve(aCount * iElementSize));
}

int CArrayFixBase::Find(const void* aElement, TKey& aKey, int& aIndex) const {
  if (iCount == 0) {
    aIndex = 0;
    return -1;
  }
  aKey.SetReference(aElement);
  aKey.SetPtr(iBuffer, iElementSize);
  for (int i = 0; i < iCount; ++i) {
    if (aKey.Compare(i, -1) == 0) {
      aIndex = i;
      return 0;
    }
  }
  aIndex = iCount;
  return 1;
}

int CArrayFixBase::FindIsq(const void* aElement, TKey& aKey, int& aIndex) const {
  if (iCount == 0) {
    aIndex = 0;
    return -1;
  }
  aKey.SetReference(aElement);
  aKey.SetPtr(iBuffer, iElementSize);
  return BinarySearch(iCount, aKey, aIndex);
}

int CArrayFixBase::InsertIsqL(const void* aElement, TKey& aKey) {
  int index = 0;
  if (FindIsq(aElement, aKey, index) == 0) User::Leave(KErrAlreadyExists);
  InsertL(index, aElement);
  return index;
}

int CArrayFixBase::InsertIsqAllowDuplicatesL(const void* aElement, TKey& aKey) {
  int index = 0;
  if (FindIsq(aElement, aKey, index) == 0) ++index;
  InsertL(index, aElement);
  return index;
}

void CArrayFixBase::Sort(TKey& aKey) {
  if (iCount == 0) return;
  aKey.SetPtr(iBuffer, iElementSize);
  TArraySwap swap(iBuffer, iElementSize);
  QuickSort(iCount, aKey, swap);
}
