// Intrusive doubly linked queue ordered by descending priority.
#pragma once

struct TQueLink {
  TQueLink* iNext;
  TQueLink* iPrev;
};

// A link followed directly by the element's priority.
struct TPriQueLink : TQueLink {
  int iPriority;
};

class TPriorityQueueBase {
 public:
  TPriorityQueueBase(const TPriorityQueueBase&) = delete;
  TPriorityQueueBase& operator=(const TPriorityQueueBase&) = delete;

  bool IsEmpty() const { return iHead.iNext == &iHead; }
  // Inserts behind every element of greater or equal priority.
  void AddLink(TPriQueLink* aLink);
  // Unlinks an element and clears its next pointer (not added any more).
  static void Remove(TQueLink* aLink);

 protected:
  // The offset of the link inside each element must be a multiple of 4.
  explicit TPriorityQueueBase(int aOffset);

  TQueLink iHead;  // first, last
  int iOffset;
};

template <typename T>
class TPriorityQueue : public TPriorityQueueBase {
 public:
  explicit TPriorityQueue(int aOffset) : TPriorityQueueBase(aOffset) {}

  void Add(T& aElement) { AddLink(LinkOf(&aElement)); }
  T* First() const { return IsEmpty() ? nullptr : ElementOf(iHead.iNext); }
  T* Next(const T* aElement) const {
    const TQueLink* next = LinkOf(aElement)->iNext;
    return next == &iHead ? nullptr : ElementOf(next);
  }

 private:
  TPriQueLink* LinkOf(const T* aElement) const {
    return reinterpret_cast<TPriQueLink*>(const_cast<char*>(reinterpret_cast<const char*>(aElement)) + iOffset);
  }
  T* ElementOf(const TQueLink* aLink) const {
    return reinterpret_cast<T*>(const_cast<char*>(reinterpret_cast<const char*>(aLink)) - iOffset);
  }
};
