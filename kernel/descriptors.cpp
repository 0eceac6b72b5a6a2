#include "kernel/descriptors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernel/panic.h"

namespace {

// The mem* functions must not see null pointers, even for zero lengths.
template <typename T>
void MoveChars(T* aTo, const T* aFrom, int aCount) {
  if (aCount > 0) std::memmove(aTo, aFrom, static_cast<size_t>(aCount) * sizeof(T));
}

template <typename T>
int TextLength(const T* aText) {
  int length = 0;
  if (aText)
    while (aText[length] && length < KMaxDescLength) ++length;
  return length;
}

template <typename T>
bool Overlaps(const T* aData, int aLength, const T* aOther, int aOtherLength) {
  if (!aData || !aOther || aLength <= 0 || aOtherLength <= 0) return false;
  return aOther < aData + aLength && aData < aOther + aOtherLength;
}

// Where a character address goes after an out-of-range index: reads give 0,
// writes go nowhere that matters.
template <typename T>
T* Scratch() {
  thread_local T scratch;
  scratch = 0;
  return &scratch;
}

inline TText8 Narrow(TText16 aChar) { return aChar < 256 ? static_cast<TText8>(aChar) : 0x01; }

}  // namespace

// ---- TDescT --------------------------------------------------------------------

template <typename T>
void TDescT<T>::Panic(int aReason16) {
  PanicDescriptor(sizeof(T) == 1 ? aReason16 + 12 : aReason16);
}

template <typename T>
int TDescT<T>::MaxLength() const {
  switch (Kind()) {
    case EDescHeapBufSet:
    case EDescModPtr:
    case EDescModBuf:
    case EDescHeapPtr:
      return static_cast<const TModDescT<T>*>(this)->iMaxLength;
    default:
      return Length();
  }
}

template <typename T>
const T* TDescT<T>::Ptr() const {
  switch (Kind()) {
    case EDescConstBuf:
      return InlineAfterHeader();
    case EDescConstPtr:
      return static_cast<const TConstPtrT<T>*>(this)->iPtr;
    case EDescHeapBufSet:
    case EDescModPtr:
    case EDescModBuf:
    case EDescHeapPtr:
      return static_cast<const TModDescT<T>*>(this)->Ptr();
    default:
      Panic(7);
      return nullptr;
  }
}

template <typename T>
const T* TDescT<T>::At(int aIndex) const {
  const T* data = Ptr();
  if (aIndex < 0 || aIndex >= Length() || !data) {
    Panic(9);
    return Scratch<T>();
  }
  return data + aIndex;
}

template <typename T>
int TDescT<T>::Compare(const TDescT& aOther) const {
  const T* left = Ptr();
  const T* right = aOther.Ptr();
  int length = Length();
  int otherLength = aOther.Length();
  int common = std::min(length, otherLength);
  if (common > 0 && left && right) {
    if constexpr (sizeof(T) == 1) {
      int result = std::memcmp(left, right, static_cast<size_t>(common));
      if (result != 0) return result;
    } else {
      for (int i = 0; i < common; ++i)
        if (left[i] != right[i]) return static_cast<int>(left[i]) - static_cast<int>(right[i]);
    }
  }
  return length - otherLength;
}

template <typename T>
TConstPtrT<T> TDescT<T>::Left(int aCount) const {
  if (aCount < 0) {
    Panic(10);
    return TConstPtrT<T>(Ptr(), 0);
  }
  return TConstPtrT<T>(Ptr(), std::min(aCount, Length()));
}

template <typename T>
TConstPtrT<T> TDescT<T>::Right(int aCount) const {
  if (aCount < 0) {
    Panic(10);
    return TConstPtrT<T>(Ptr(), 0);
  }
  int count = std::min(aCount, Length());
  const T* data = Ptr();
  return TConstPtrT<T>(data ? data + Length() - count : nullptr, data ? count : 0);
}

template <typename T>
TConstPtrT<T> TDescT<T>::Mid(int aPos) const {
  if (aPos < 0 || aPos > Length()) {
    Panic(10);
    return TConstPtrT<T>(Ptr(), 0);
  }
  return Mid(aPos, Length() - aPos);
}

template <typename T>
TConstPtrT<T> TDescT<T>::Mid(int aPos, int aCount) const {
  const T* data = Ptr();
  if (aPos < 0 || aPos > Length() || aCount < 0 || aCount > Length() - aPos || !data) {
    Panic(10);
    return TConstPtrT<T>(data, 0);
  }
  return TConstPtrT<T>(data + aPos, aCount);
}

template <typename T>
int TDescT<T>::Locate(T aChar) const
  requires(sizeof(T) == 2)
{
  const T* data = Ptr();
  for (int i = 0; data && i < Length(); ++i)
    if (data[i] == aChar) return i;
  return -1;
}

template <typename T>
int TDescT<T>::Find(const T* aData, int aLength) const
  requires(sizeof(T) == 1)
{
  if (aLength < 0) {
    Panic(17);
    return -1;
  }
  if (aLength == 0) return 0;
  const T* data = Ptr();
  if (!data || !aData || aLength > Length()) return -1;
  const T* end = data + Length();
  const T* found = std::search(data, end, aData, aData + aLength);
  return found == end ? -1 : static_cast<int>(found - data);
}

template <typename T>
int TDescT<T>::Find(const TDescT& aOther) const
  requires(sizeof(T) == 1)
{
  if constexpr (sizeof(T) == 1) return Find(aOther.Ptr(), aOther.Length());
  return -1;
}

template <typename T>
THeapBufT<T>* TDescT<T>::Alloc() const {
  THeapBufT<T>* heap = THeapBufT<T>::New(Length());
  if (heap) heap->Copy(*this);
  return heap;
}

template <typename T>
THeapBufT<T>* TDescT<T>::AllocL() const {
  return User::LeaveIfNull(Alloc());
}

template <typename T>
void TDescT<T>::ConstBufCopy(const T* aData, int aLength, int aCapacity) {
  if (aLength > aCapacity) {
    Panic(11);
    return;
  }
  if (aLength > 0 && !aData) return;
  MoveChars(InlineAfterHeader(), aData, aLength);
  SetLengthWord(aLength);
}

// ---- TModDescT ---------------------------------------------------------------------

template <typename T>
T* TModDescT<T>::Ptr() const {
  switch (this->Kind()) {
    case EDescHeapBufSet:
    case EDescModBuf:
      return reinterpret_cast<T*>(const_cast<char*>(reinterpret_cast<const char*>(this)) + sizeof(TModDescT));
    case EDescModPtr:
      return static_cast<const TModPtrT<T>*>(this)->iPtr;
    case EDescHeapPtr: {
      const THeapBufT<T>* heap = static_cast<const THeapPtrT<T>*>(this)->iHeap;
      return heap ? heap->Ptr() : nullptr;
    }
    default:
      TDescT<T>::Panic(7);
      return nullptr;
  }
}

template <typename T>
T* TModDescT<T>::At(int aIndex) const {
  return const_cast<T*>(TDescT<T>::At(aIndex));
}

template <typename T>
void TModDescT<T>::StoreLength(int aLength) {
  this->SetLengthWord(aLength);
  if (this->Kind() == EDescHeapPtr) {
    THeapBufT<T>* heap = static_cast<THeapPtrT<T>*>(this)->iHeap;
    if (heap) heap->iLength = static_cast<uint32_t>(aLength);  // a bare length: kind 0
  }
}

template <typename T>
void TModDescT<T>::SetLength(int aLength) {
  if (aLength < 0 || aLength > iMaxLength) {
    TDescT<T>::Panic(11);
    return;
  }
  StoreLength(aLength);
}

template <typename T>
void TModDescT<T>::Copy(const T* aData, int aLength) {
  if (aLength < 0) {
    TDescT<T>::Panic(17);
    return;
  }
  if (aLength > iMaxLength) {
    TDescT<T>::Panic(11);
    return;
  }
  T* data = Ptr();
  if (aLength > 0 && (!data || !aData)) return;
  MoveChars(data, aData, aLength);
  StoreLength(aLength);
}

template <typename T>
void TModDescT<T>::Copy(const T* aText) {
  Copy(aText, TextLength(aText));
}

template <typename T>
void TModDescT<T>::Copy(const TDescT<T>& aDes) {
  Copy(aDes.Ptr(), aDes.Length());
}

template <typename T>
void TModDescT<T>::Copy(const TDescT<TOtherChar>& aDes) {
  if (aDes.Length() > iMaxLength) {
    TDescT<T>::Panic(11);
    return;
  }
  StoreLength(0);
  CopyWidened(aDes);
}

// Appends text of the other width: widening gives each byte as the character
// of the same value; narrowing gives 0x01 for characters above 255.
template <typename T>
void TModDescT<T>::CopyWidened(const TDescT<TOtherChar>& aDes) {
  int length = this->Length();
  int count = aDes.Length();
  const TOtherChar* from = aDes.Ptr();
  T* to = Ptr();
  if (count > 0 && (!from || !to)) return;
  for (int i = 0; i < count; ++i) {
    if constexpr (sizeof(T) == 1)
      to[length + i] = Narrow(from[i]);
    else
      to[length + i] = static_cast<T>(from[i]);
  }
  StoreLength(length + count);
}

template <typename T>
void TModDescT<T>::CopyTruncated(const T* aText) {
  int length = 0;
  if (aText)
    while (length < iMaxLength && aText[length]) ++length;
  Copy(aText, length);
}

template <typename T>
void TModDescT<T>::CopyTruncated(const TDescT<T>& aDes) {
  Copy(aDes.Ptr(), std::min(aDes.Length(), static_cast<int>(iMaxLength)));
}

template <typename T>
void TModDescT<T>::Append(T aChar) {
  Append(&aChar, 1);
}

template <typename T>
void TModDescT<T>::Append(const T* aData, int aLength) {
  if (aLength < 0) {
    TDescT<T>::Panic(17);
    return;
  }
  int length = this->Length();
  if (aLength > iMaxLength - length) {
    TDescT<T>::Panic(11);
    return;
  }
  T* data = Ptr();
  if (aLength > 0 && (!data || !aData)) return;
  MoveChars(data + length, aData, aLength);
  StoreLength(length + aLength);
}

template <typename T>
void TModDescT<T>::Append(const TDescT<T>& aDes) {
  Append(aDes.Ptr(), aDes.Length());
}

template <typename T>
void TModDescT<T>::Append(const TDescT<TOtherChar>& aDes)
  requires(sizeof(T) == 1)
{
  if (aDes.Length() > iMaxLength - this->Length()) {
    TDescT<T>::Panic(11);
    return;
  }
  if constexpr (sizeof(T) == 1) CopyWidened(aDes);
}

template <typename T>
void TModDescT<T>::Append(const char* aText)
  requires(sizeof(T) == 1)
{
  const T* text = reinterpret_cast<const T*>(aText);
  Append(text, TextLength(text));
}

template <typename T>
void TModDescT<T>::ZeroTerminate() {
  int length = this->Length();
  T* data = Ptr();
  if (length >= iMaxLength) {
    TDescT<T>::Panic(11);
    return;
  }
  if (data) data[length] = 0;
}

template <typename T>
T* TModDescT<T>::PtrZ() {
  int length = this->Length();
  T* data = Ptr();
  if (length >= iMaxLength) {
    TDescT<T>::Panic(11);
    if (!data || iMaxLength <= 0) {
      static const T empty = 0;
      return const_cast<T*>(&empty);
    }
    StoreLength(iMaxLength - 1);
    length = iMaxLength - 1;
  }
  if (data) data[length] = 0;
  return data;
}

template <typename T>
void TModDescT<T>::FillZ() {
  T* data = Ptr();
  if (data && this->Length() > 0) std::memset(data, 0, static_cast<size_t>(this->Length()) * sizeof(T));
}

template <typename T>
void TModDescT<T>::FillZ(int aLength) {
  if (aLength < 0 || aLength > iMaxLength) {
    TDescT<T>::Panic(11);
    return;
  }
  StoreLength(aLength);
  FillZ();
}

template <typename T>
void TModDescT<T>::Insert(int aPos, const TDescT<T>& aDes) {
  int length = this->Length();
  int count = aDes.Length();
  if (aPos < 0 || aPos > length) {
    TDescT<T>::Panic(10);
    return;
  }
  if (count > iMaxLength - length) {
    TDescT<T>::Panic(11);
    return;
  }
  T* data = Ptr();
  const T* from = aDes.Ptr();
  if (count == 0 || !data || !from) return;
  // Inserting part of ourselves: take the text aside before moving the tail.
  std::vector<T> copy;
  if (Overlaps(data, iMaxLength, from, count)) {
    copy.assign(from, from + count);
    from = copy.data();
  }
  MoveChars(data + aPos + count, data + aPos, length - aPos);
  MoveChars(data + aPos, from, count);
  StoreLength(length + count);
}

template <typename T>
void TModDescT<T>::Delete(int aPos, int aCount) {
  int length = this->Length();
  if (aPos < 0 || aPos > length) {
    TDescT<T>::Panic(10);
    return;
  }
  int count = std::clamp(aCount, 0, length - aPos);
  T* data = Ptr();
  if (count == 0 || !data) return;
  MoveChars(data + aPos, data + aPos + count, length - aPos - count);
  StoreLength(length - count);
}

template <typename T>
void TModDescT<T>::Replace(int aPos, int aCount, const TDescT<T>& aDes)
  requires(sizeof(T) == 2)
{
  int length = this->Length();
  int textLength = aDes.Length();
  if (aPos < 0 || aPos > length) {
    TDescT<T>::Panic(10);
    return;
  }
  if (aCount < 0 || aCount > length - aPos) {
    TDescT<T>::Panic(8);
    return;
  }
  if (textLength > iMaxLength) {
    TDescT<T>::Panic(16);
    return;
  }
  if (length - aCount + textLength > iMaxLength) {
    TDescT<T>::Panic(11);
    return;
  }
  T* data = Ptr();
  const T* from = aDes.Ptr();
  if (!data || (textLength > 0 && !from)) return;
  std::vector<T> copy;
  if (Overlaps(data, iMaxLength, from, textLength)) {
    copy.assign(from, from + textLength);
    from = copy.data();
  }
  MoveChars(data + aPos + textLength, data + aPos + aCount, length - aPos - aCount);
  MoveChars(data + aPos, from, textLength);
  StoreLength(length - aCount + textLength);
}

template <typename T>
void TModDescT<T>::AppendNum(unsigned aValue, int aRadix) {
  if (aRadix < 2 || aRadix > 36) return;  // no digits for such a radix
  T digits[32];
  int count = 0;
  do {
    unsigned digit = aValue % static_cast<unsigned>(aRadix);
    digits[31 - count++] = static_cast<T>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    aValue /= static_cast<unsigned>(aRadix);
  } while (aValue != 0);
  Append(digits + 32 - count, count);
}

template <typename T>
void TModDescT<T>::AppendNum(int aValue) {
  T text[12];
  int count = 0;
  unsigned magnitude = static_cast<unsigned>(aValue);
  if (aValue < 0) {
    text[count++] = '-';
    magnitude = 0u - magnitude;  // right for the most negative value too
  }
  T digits[10];
  int digitCount = 0;
  do {
    digits[digitCount++] = static_cast<T>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (digitCount > 0) text[count++] = digits[--digitCount];
  Append(text, count);
}

template <typename T>
void TModDescT<T>::Num(int aValue) {
  Zero();
  AppendNum(aValue);
}

template <typename T>
void TModDescT<T>::Num(unsigned aValue, int aRadix) {
  Zero();
  AppendNum(aValue, aRadix);
}

// ---- pointers ------------------------------------------------------------------------

template <typename T>
TConstPtrT<T>::TConstPtrT(const T* aText) : TDescT<T>(EDescConstPtr, TextLength(aText)), iPtr(aText) {}

template <typename T>
TConstPtrT<T>::TConstPtrT(const T* aData, int aLength) : TDescT<T>(EDescConstPtr, 0), iPtr(aData) {
  if (aLength < 0 || aLength > KMaxDescLength)
    TDescT<T>::Panic(17);
  else
    this->SetLengthWord(aLength);
}

template <typename T>
TModPtrT<T>::TModPtrT(T* aData, int aMaxLength) : TModPtrT(aData, 0, aMaxLength) {}

template <typename T>
TModPtrT<T>::TModPtrT(T* aData, int aLength, int aMaxLength) : TModDescT<T>(EDescModPtr, 0, 0), iPtr(aData) {
  if (aMaxLength < 0 || aMaxLength > KMaxDescLength) {
    TDescT<T>::Panic(18);
    return;
  }
  this->iMaxLength = aMaxLength;
  if (aLength < 0 || aLength > aMaxLength) {
    TDescT<T>::Panic(8);
    return;
  }
  this->SetLengthWord(aLength);
}

template <typename T>
THeapPtrT<T>::THeapPtrT(THeapBufT<T>* aHeap)
    : TModDescT<T>(EDescHeapPtr, aHeap ? aHeap->Length() : 0, aHeap ? aHeap->MaxLength() : 0), iHeap(aHeap) {}

// ---- heap buffers ------------------------------------------------------------------------

template <typename T>
THeapBufT<T>* THeapBufT<T>::Make(int aMaxLength, int aLength) {
  static_assert(sizeof(THeapBufT) == 8, "heap buffer header is two words");
  if (aMaxLength < 0 || aMaxLength > KMaxDescLength) {
    TDescT<T>::Panic(18);
    return nullptr;
  }
  void* block = std::malloc(sizeof(THeapBufT) + static_cast<size_t>(aMaxLength) * sizeof(T));
  if (!block) return nullptr;
  return new (block) THeapBufT(aLength, aMaxLength);
}

template <typename T>
THeapBufT<T>* THeapBufT<T>::New(int aMaxLength) {
  return Make(aMaxLength, 0);
}

template <typename T>
THeapBufT<T>* THeapBufT<T>::NewL(int aMaxLength) {
  return User::LeaveIfNull(New(aMaxLength));
}

template <typename T>
THeapBufT<T>* THeapBufT<T>::NewMax(int aMaxLength) {
  return Make(aMaxLength, aMaxLength);
}

template <typename T>
THeapBufT<T>* THeapBufT<T>::NewMaxL(int aMaxLength) {
  return User::LeaveIfNull(NewMax(aMaxLength));
}

template <typename T>
THeapBufT<T>* THeapBufT<T>::ReAlloc(int aMaxLength) {
  if (aMaxLength < 0 || aMaxLength > KMaxDescLength) {
    TDescT<T>::Panic(18);
    return this;
  }
  if (aMaxLength < this->Length()) {
    TDescT<T>::Panic(14);
    return this;
  }
  int oldMax = this->iMaxLength;
  this->iMaxLength = aMaxLength;
  void* block = std::realloc(this, sizeof(THeapBufT) + static_cast<size_t>(aMaxLength) * sizeof(T));
  if (!block) {
    this->iMaxLength = oldMax;  // the old block stays valid and must not claim more room
    return nullptr;
  }
  return static_cast<THeapBufT*>(block);
}

template <typename T>
THeapPtrT<T> THeapBufT<T>::Des() {
  return THeapPtrT<T>(this);
}

template <typename T>
void THeapBufT<T>::operator delete(void* aBlock) noexcept {
  std::free(aBlock);
}

template class TDescT<TText16>;
template class TDescT<TText8>;
template class TModDescT<TText16>;
template class TModDescT<TText8>;
template class TConstPtrT<TText16>;
template class TConstPtrT<TText8>;
template class TModPtrT<TText16>;
template class TModPtrT<TText8>;
template class THeapBufT<TText16>;
template class THeapBufT<TText8>;
template class THeapPtrT<TText16>;
template class THeapPtrT<TText8>;
