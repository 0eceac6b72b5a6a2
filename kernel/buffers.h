// Growable byte storage. A CBufFlat keeps all its bytes in one heap block.
#pragma once

#include "kernel/descriptors.h"
#include "kernel/epocbase.h"
#include "kernel/errors.h"

class CBufBase : public CEpocBase {
 public:
  ~CBufBase() override;

  virtual void Compress() = 0;
  virtual void Delete(int aPos, int aLength) = 0;
  // The contiguous piece from the position onwards.
  virtual TModPtr8 Ptr(int aPos) = 0;
  // The contiguous piece that ends at the position.
  virtual TModPtr8 BackPtr(int aPos) = 0;
  // Opens a gap of aLength bytes at aPos and fills it from aSource unless that
  // is null. Returns 0, or -4 when the storage cannot grow (nothing changes).
  virtual int DoInsert(int aPos, const void* aSource, int aLength) = 0;

  // Reads as many bytes as the descriptor's maximum.
  void Read(int aPos, TModDesc8& aDes) const;
  void Read(int aPos, TModDesc8& aDes, int aLength) const;
  void Read(int aPos, void* aTarget, int aLength) const;
  void Write(int aPos, const TDesc8& aDes);
  void Write(int aPos, const TDesc8& aDes, int aLength);
  void Write(int aPos, const void* aSource, int aLength);
  // The insertions and Expand return 0 or -4 (no memory).
  int Insert(int aPos, const TDesc8& aDes);
  int Insert(int aPos, const TDesc8& aDes, int aLength);
  int Insert(int aPos, const void* aSource, int aLength);
  int Expand(int aPos, int aLength);
  int Resize(int aSize);
  void Reset();
  int Size() const { return iSize; }

 protected:
  explicit CBufBase(int aGranularity);

  int iSize;
  int iGranularity;
};

class CBufFlat : public CBufBase {
 public:
  // A new, empty buffer growing in steps of aGranularity bytes; null without memory.
  static CBufFlat* NewL(int aGranularity);
  ~CBufFlat() override;

  // Sets the allocated capacity (0 frees the block). 0 or -4.
  int SetReserve(int aCapacity);
  int Capacity() const { return iCapacity; }

  void Compress() override;
  void Delete(int aPos, int aLength) override;
  TModPtr8 Ptr(int aPos) override;
  TModPtr8 BackPtr(int aPos) override;
  int DoInsert(int aPos, const void* aSource, int aLength) override;

 protected:
  explicit CBufFlat(int aGranularity);

 private:
  int iCapacity;
  TText8* iData;
};
