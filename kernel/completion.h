// The status word of an asynchronous request.
#pragma once

#include <atomic>
#include <cstdint>

// The status of a request that has not completed yet.
const int KCompletionPending = static_cast<int>(0x80000001u);

// One signed 32-bit value: KCompletionPending while outstanding, then the
// result. Other threads complete requests by writing it before they set an
// event, so reads and writes are atomic.
class TCompletionStatus {
 public:
  TCompletionStatus() : iStatus(0) {}
  TCompletionStatus(int aValue) : iStatus(aValue) {}
  TCompletionStatus(const TCompletionStatus& aOther) : iStatus(aOther.Int()) {}
  TCompletionStatus& operator=(const TCompletionStatus& aOther) { return *this = aOther.Int(); }
  TCompletionStatus& operator=(int aValue) {
    iStatus.store(aValue, std::memory_order_release);
    return *this;
  }

  int Int() const { return iStatus.load(std::memory_order_acquire); }
  operator int() const { return Int(); }

 private:
  std::atomic<int32_t> iStatus;
};

static_assert(sizeof(TCompletionStatus) == 4, "a status is one 32-bit word");
