// Descriptors: length-counted views of 16-bit text and 8-bit data.
//
// The first 32-bit word of every descriptor holds the kind (bits 31..28) and
// the current length in characters (bits 27..0); the kind decides where the
// maximum length and the data lie. Text is not zero-terminated unless an
// operation writes a terminator. Every check failure is a "Descriptor" panic,
// which only logs: the operation then leaves its target unchanged.
//
// Both widths share one implementation; the names the program uses are the
// aliases at the end (TDesc16, TModBuf8<N>, THeapBuf16, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <wintypes.h>

typedef unsigned char TText8;
typedef WCHAR TText16;

enum TDescKind {
  EDescHeapBufSet = 0,  // a heap buffer whose length was set through a THeapPtr
  EDescConstBuf = 1,
  EDescConstPtr = 2,
  EDescModPtr = 3,
  EDescModBuf = 4,  // also a fresh heap buffer
  EDescHeapPtr = 5,
};

const int KMaxDescLength = 0x0FFFFFFF;

template <typename T>
class TConstPtrT;
template <typename T>
class TModDescT;
template <typename T>
class THeapBufT;
template <typename T>
class THeapPtrT;
template <typename T>
class TModPtrT;

// Any descriptor, read access only.
template <typename T>
class TDescT {
 public:
  typedef T TChar;
  typedef std::conditional_t<sizeof(T) == 1, TText16, TText8> TOtherChar;

  int Length() const { return static_cast<int>(iLength & KMaxDescLength); }
  // The maximum of a modifiable kind; a constant descriptor reports its length.
  int MaxLength() const;
  // Data address; null (after a panic) when the header holds an unknown kind.
  const T* Ptr() const;
  // Address of one character; out of range gives a harmless scratch character.
  const T* At(int aIndex) const;
  const T& operator[](int aIndex) const { return *At(aIndex); }

  int Compare(const TDescT& aOther) const;
  bool operator==(const TDescT& aOther) const { return Compare(aOther) == 0; }

  TConstPtrT<T> Left(int aCount) const;
  TConstPtrT<T> Right(int aCount) const;
  TConstPtrT<T> Mid(int aPos) const;
  TConstPtrT<T> Mid(int aPos, int aCount) const;

  int Locate(T aChar) const
    requires(sizeof(T) == 2);
  int Find(const T* aData, int aLength) const
    requires(sizeof(T) == 1);
  int Find(const TDescT& aOther) const
    requires(sizeof(T) == 1);

  // A new heap buffer holding a copy, maximum = length; null without memory.
  THeapBufT<T>* Alloc() const;
  THeapBufT<T>* AllocL() const;

  int Kind() const { return static_cast<int>(iLength >> 28); }

 protected:
  TDescT(int aKind, int aLength)
      : iLength((static_cast<uint32_t>(aKind) << 28) | (static_cast<uint32_t>(aLength) & KMaxDescLength)) {}
  TDescT(const TDescT&) = default;
  TDescT& operator=(const TDescT&) = default;
  ~TDescT() = default;

  // Reports a Descriptor panic given its 16-bit reason; the 8-bit family's
  // reasons are 12 higher.
  static void Panic(int aReason16);
  // Length change without checks, keeping the kind bits.
  void SetLengthWord(int aLength) {
    iLength = (iLength & ~static_cast<uint32_t>(KMaxDescLength)) | static_cast<uint32_t>(aLength);
  }
  // Inline data of the kinds that keep it right after the header.
  T* InlineAfterHeader() const {
    return reinterpret_cast<T*>(const_cast<char*>(reinterpret_cast<const char*>(this)) + sizeof(TDescT));
  }
  // Copies into a TConstBuf of the given capacity (panics when too long).
  void ConstBufCopy(const T* aData, int aLength, int aCapacity);

  uint32_t iLength;

  template <typename>
  friend class TDescT;
  template <typename>
  friend class TModDescT;
};

// A modifiable descriptor (kinds 0, 3, 4, 5): adds the maximum length.
template <typename T>
class TModDescT : public TDescT<T> {
 public:
  typedef typename TDescT<T>::TOtherChar TOtherChar;

  int MaxLength() const { return iMaxLength; }
  T* Ptr() const;
  T* At(int aIndex) const;
  T& operator[](int aIndex) const { return *At(aIndex); }

  void SetLength(int aLength);
  void SetMax() { SetLength(iMaxLength); }
  void Zero() { SetLength(0); }

  void Copy(const T* aText);
  void Copy(const T* aData, int aLength);
  void Copy(const TDescT<T>& aDes);
  void Copy(const TDescT<TOtherChar>& aDes);
  void Copy(const char* aText)
    requires(sizeof(T) == 1)
  {
    Copy(reinterpret_cast<const T*>(aText));
  }
  void CopyTruncated(const T* aText);
  void CopyTruncated(const TDescT<T>& aDes);

  void Append(T aChar);
  void Append(const T* aData, int aLength);
  void Append(const TDescT<T>& aDes);
  void Append(const TDescT<TOtherChar>& aDes)
    requires(sizeof(T) == 1);
  void Append(const char* aText)
    requires(sizeof(T) == 1);

  void ZeroTerminate();
  // Zero-terminates and returns the data. Without room for the terminator the
  // last character is given up for it, so the result is always terminated.
  T* PtrZ();
  void FillZ();
  void FillZ(int aLength);

  void Insert(int aPos, const TDescT<T>& aDes);
  void Delete(int aPos, int aCount);
  void Replace(int aPos, int aCount, const TDescT<T>& aDes)
    requires(sizeof(T) == 2);

  void Num(int aValue);
  void Num(unsigned aValue, int aRadix);
  void AppendNum(int aValue);
  void AppendNum(unsigned aValue, int aRadix);

 protected:
  TModDescT(int aKind, int aLength, int aMaxLength) : TDescT<T>(aKind, aLength), iMaxLength(aMaxLength) {}
  TModDescT(const TModDescT&) = default;
  TModDescT& operator=(const TModDescT&) = default;
  ~TModDescT() = default;

  // Sets the length (no checks); a THeapPtr also stores it in its heap buffer.
  void StoreLength(int aLength);
  void CopyWidened(const TDescT<TOtherChar>& aDes);

  int32_t iMaxLength;

  template <typename>
  friend class TDescT;
};

// Constant text stored inline, right after the header; N is its capacity.
template <typename T, int N>
class TConstBufT : public TDescT<T> {
  static_assert(N > 0 && N <= KMaxDescLength, "capacity out of range");

 public:
  TConstBufT() : TDescT<T>(EDescConstBuf, 0) {}
  explicit TConstBufT(const T* aText) : TDescT<T>(EDescConstBuf, 0) { Copy(aText); }
  explicit TConstBufT(const TDescT<T>& aDes) : TDescT<T>(EDescConstBuf, 0) { Copy(aDes); }

  void Copy(const T* aText) {
    int length = 0;
    while (aText && aText[length]) ++length;
    this->ConstBufCopy(aText, length, N);
  }
  void Copy(const TDescT<T>& aDes) { this->ConstBufCopy(aDes.Ptr(), aDes.Length(), N); }

 private:
  T iBuf[N];
};

// Constant view over data held elsewhere.
template <typename T>
class TConstPtrT : public TDescT<T> {
 public:
  TConstPtrT() : TDescT<T>(EDescConstPtr, 0), iPtr(nullptr) {}
  TConstPtrT(const TDescT<T>& aDes) : TDescT<T>(EDescConstPtr, aDes.Length()), iPtr(aDes.Ptr()) {}
  TConstPtrT(const T* aText);
  TConstPtrT(const T* aData, int aLength);
  TConstPtrT(const char* aText)
    requires(sizeof(T) == 1)
      : TConstPtrT(reinterpret_cast<const T*>(aText)) {}
  TConstPtrT(const TConstPtrT&) = default;
  TConstPtrT& operator=(const TConstPtrT&) = default;

 private:
  const T* iPtr;

  template <typename>
  friend class TDescT;
};

// Modifiable view over storage held elsewhere.
template <typename T>
class TModPtrT : public TModDescT<T> {
 public:
  TModPtrT(T* aData, int aMaxLength);
  TModPtrT(T* aData, int aLength, int aMaxLength);
  TModPtrT(const TModPtrT&) = default;
  // Assigning would be ambiguous (rebind or copy the text?): use Copy.
  TModPtrT& operator=(const TModPtrT&) = delete;

 private:
  T* iPtr;

  template <typename>
  friend class TModDescT;
};

// Modifiable text stored inline, right after the maximum; N is the maximum.
template <typename T, int N>
class TModBufT : public TModDescT<T> {
  static_assert(N > 0 && N <= KMaxDescLength, "maximum out of range");

 public:
  TModBufT() : TModDescT<T>(EDescModBuf, 0, N) {}
  explicit TModBufT(int aLength) : TModDescT<T>(EDescModBuf, 0, N) {
    if (aLength < 0 || aLength > N)
      TDescT<T>::Panic(8);
    else
      this->SetLengthWord(aLength);
  }
  explicit TModBufT(const T* aText) : TModDescT<T>(EDescModBuf, 0, N) { this->Copy(aText); }
  explicit TModBufT(const TDescT<T>& aDes) : TModDescT<T>(EDescModBuf, 0, N) { this->Copy(aDes); }
  TModBufT(const TModBufT& aOther) : TModDescT<T>(EDescModBuf, 0, N) { this->Copy(aOther); }
  TModBufT& operator=(const TModBufT& aOther) {
    this->Copy(aOther);
    return *this;
  }

 private:
  T iBuf[N];
};

// One heap block: header word, maximum, characters. Made by New/NewMax,
// freed by its owner with delete.
template <typename T>
class THeapBufT : public TModDescT<T> {
 public:
  static THeapBufT* New(int aMaxLength);
  static THeapBufT* NewL(int aMaxLength);
  static THeapBufT* NewMax(int aMaxLength);
  static THeapBufT* NewMaxL(int aMaxLength);

  // Changes the maximum; the block may move and the caller takes the returned
  // address. Null when memory runs out: the old block is then left as it was.
  THeapBufT* ReAlloc(int aMaxLength);
  THeapPtrT<T> Des();

  static void operator delete(void* aBlock) noexcept;
  THeapBufT(const THeapBufT&) = delete;
  THeapBufT& operator=(const THeapBufT&) = delete;

 private:
  THeapBufT(int aLength, int aMaxLength) : TModDescT<T>(EDescModBuf, aLength, aMaxLength) {}
  static void* operator new(std::size_t, void* aPlace) noexcept { return aPlace; }
  static THeapBufT* Make(int aMaxLength, int aLength);
};

// Modifiable view over a heap buffer; length changes reach the buffer too.
template <typename T>
class THeapPtrT : public TModDescT<T> {
 public:
  explicit THeapPtrT(THeapBufT<T>* aHeap);
  THeapPtrT(const THeapPtrT&) = default;
  THeapPtrT& operator=(const THeapPtrT&) = delete;

 private:
  THeapBufT<T>* iHeap;

  template <typename>
  friend class TModDescT;
};

typedef TDescT<TText16> TDesc16;
typedef TDescT<TText8> TDesc8;
typedef TModDescT<TText16> TModDesc16;
typedef TModDescT<TText8> TModDesc8;
template <int N>
using TConstBuf16 = TConstBufT<TText16, N>;
template <int N>
using TConstBuf8 = TConstBufT<TText8, N>;
typedef TConstPtrT<TText16> TConstPtr16;
typedef TConstPtrT<TText8> TConstPtr8;
typedef TModPtrT<TText16> TModPtr16;
typedef TModPtrT<TText8> TModPtr8;
template <int N>
using TModBuf16 = TModBufT<TText16, N>;
template <int N>
using TModBuf8 = TModBufT<TText8, N>;
typedef THeapBufT<TText16> THeapBuf16;
typedef THeapBufT<TText8> THeapBuf8;
typedef THeapPtrT<TText16> THeapPtr16;
typedef THeapPtrT<TText8> THeapPtr8;

extern template class TDescT<TText16>;
extern template class TDescT<TText8>;
extern template class TModDescT<TText16>;
extern template class TModDescT<TText8>;
extern template class TConstPtrT<TText16>;
extern template class TConstPtrT<TText8>;
extern template class TModPtrT<TText16>;
extern template class TModPtrT<TText8>;
extern template class THeapBufT<TText16>;
extern template class THeapBufT<TText8>;
extern template class THeapPtrT<TText16>;
extern template class THeapPtrT<TText8>;
