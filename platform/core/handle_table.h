// The process-wide table that gives every kernel object and window a small
// integer handle. Objects are shared: closing a handle while another thread
// still waits on the object keeps the object alive until that wait ends.
#pragma once

#include <memory>

#include "wintypes.h"

namespace kvplatform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // The handle has been closed. Threads may still hold the object; this is
  // where it wakes them (a port's blocked line-event wait, for instance).
  virtual void OnClose() {}
};

// Returns the new handle value, or 0 when the table is full.
uintptr_t InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(uintptr_t value);
// Removes the handle; returns the object it named, or null.
std::shared_ptr<KernelObject> RemoveHandle(uintptr_t value);

template <typename T>
std::shared_ptr<T> LookupAs(const void* handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(reinterpret_cast<uintptr_t>(handle)));
}

inline HANDLE ToHandle(uintptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace kvplatform
