// Arrays of fixed-size elements stored in a growable buffer, with sorting and
// searching through a key object and a swapper.
#pragma once

#include "kernel/buffers.h"
#include "kernel/epocbase.h"

// Makes the buffer of an array, given its granularity in bytes.
typedef CBufBase* (*TBufferFactory)(int aGranularity);
// The factory every array of the system uses: a CBufFlat.
CBufBase* NewFlatBuffer(int aGranularity);

// Key for sorting and searching: compares the signed 32-bit integers at the
// key offset of two elements. Index -1 stands for the reference element.
class TKey {
 public:
  virtual int Compare(int aLeft, int aRight) const;
  // Address of an element's key; a key that cannot reach elements reports
  // UtilFunction panic 35 and gives null.
  virtual const void* At(int aIndex) const;
  virtual void SetPtr(CBufBase* aBuffer, int aElementSize);

  void SetReference(const void* aElement) { iReference = aElement; }

 protected:
  TKey(int aOffset, int aComparisonType, int aLength);
  virtual ~TKey() = default;

  int iKeyOffset;
  int iKeyLength;  // kept for the record; comparisons use 32-bit integers
  int iComparisonType;
  const void* iReference;
  int iElementSize;
  CBufBase* iBuffer;
};

class TKeyArrayFix : public TKey {
 public:
  TKeyArrayFix(int aOffset, int aComparisonType);
  TKeyArrayFix(int aOffset, int aComparisonType, int aLength);

  const void* At(int aIndex) const override;
};

// Swapper for sorting.
class TSwap {
 public:
  virtual void Swap(int aLeft, int aRight) const;

 protected:
  virtual ~TSwap() = default;
};

class TArraySwap : public TSwap {
 public:
  TArraySwap(CBufBase* aBuffer, int aElementSize) : iBuffer(aBuffer), iElementSize(aElementSize) {}
  void Swap(int aLeft, int aRight) const override;

 private:
  CBufBase* iBuffer;
  int iElementSize;
};

// The most ranges the sort keeps pending.
const int KQuickSortStackDepth = 74;

// Sorts aCount elements (not stable). 0, or -2 when the pending ranges
// overflow the stack or the count is negative.
int QuickSort(int aCount, const TKey& aKey, const TSwap& aSwap);
// Bisection for the reference element among aCount sorted elements. Returns
// the last comparison (0 when found); aIndex is the match or the insert place.
int BinarySearch(int aCount, const TKey& aKey, int& aIndex);

class CArrayFixBase : public CEpocBase {
 public:
  CArrayFixBase(TBufferFactory aFactory, int aElementSize, int aGranularity);
  ~CArrayFixBase() override;

  int Count() const { return iCount; }
  int ElementSize() const { return iElementSize; }
  // Element address; null (after a panic) outside 0 .. count - 1.
  void* At(int aIndex) const;
  void* operator[](int aIndex) const { return At(aIndex); }
  void* End(int aIndex) const;
  void* Back(int aIndex) const;

  // Address of one new, uninitialised element; null without memory.
  void* InsertL(int aIndex);
  // The insertions return 0, -4 without memory, -2 after a panic.
  int InsertL(int aIndex, const void* aElement);
  int InsertL(int aIndex, const void* aElement, int aCount);
  int InsertRepL(int aIndex, const void* aElement, int aCount);
  void Delete(int aIndex);
  void Delete(int aIndex, int aCount);
  void Reset();
  void Compress();
  int ResizeL(int aCount, const void* aElement);
  int SetReserveL(int aCount);

  // 0 and the index when an equal element exists; otherwise 1 (or -1 for an
  // empty array) with the index at the count (0).
  int Find(const void* aElement, TKey& aKey, int& aIndex) const;
  // As Find, by bisection, for an array sorted by the key.
  int FindIsq(const void* aElement, TKey& aKey, int& aIndex) const;
  // Inserts in key order; an equal key leaves with -11 (which returns) and the
  // element goes before it. Returns the index used.
  int InsertIsqL(const void* aElement, TKey& aKey);
  // Inserts in key order, behind an equal key. Returns the index used.
  int InsertIsqAllowDuplicatesL(const void* aElement, TKey& aKey);
  void Sort(TKey& aKey);

 private:
  // Inserts aCount elements' worth of bytes at aIndex; null without memory.
  void* InsertGap(int aIndex, int aCount);
  bool HoldsAddress(const void* aAddress) const;

  int iCount;
  int iGranularity;
  int iElementSize;
  TBufferFactory iFactory;
  CBufBase* iBuffer;
};

// A typed view of a flat array of plain records.
template <typename T>
class CArrayFixFlat : public CArrayFixBase {
 public:
  explicit CArrayFixFlat(int aGranularity) : CArrayFixBase(NewFlatBuffer, sizeof(T), aGranularity) {}
  T& operator[](int aIndex) const { return *static_cast<T*>(At(aIndex)); }
  int AppendL(const T& aElement) { return InsertL(Count(), &aElement); }
};
