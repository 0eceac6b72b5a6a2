// An allocator for large arrays that are filled as soon as they are made (a
// list's rows): a block of many pages comes committed at once (VirtualAlloc),
// not a page fault at a time as it is first written, which on a virtual
// machine costs more than the writing. Smaller blocks come from the heap.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include <windows.h>

template <typename T>
struct TEpocCommittedAllocator {
  using value_type = T;

  TEpocCommittedAllocator() = default;
  template <typename U>
  TEpocCommittedAllocator(const TEpocCommittedAllocator<U>&) {}

  T* allocate(size_t aCount) {
    if (!IsLarge(aCount)) return std::allocator<T>().allocate(aCount);
    void* pages = VirtualAlloc(nullptr, aCount * sizeof(T), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (pages == nullptr) throw std::bad_alloc();
    return static_cast<T*>(pages);
  }
  void deallocate(T* aBlock, size_t aCount) {
    if (!IsLarge(aCount))
      std::allocator<T>().deallocate(aBlock, aCount);
    else
      VirtualFree(aBlock, 0, MEM_RELEASE);
  }
  template <typename U>
  bool operator==(const TEpocCommittedAllocator<U>&) const {
    return true;
  }

 private:
  static bool IsLarge(size_t aCount) { return aCount >= KLargeBytes / sizeof(T); }
  static constexpr size_t KLargeBytes = 64 * 1024;
};
