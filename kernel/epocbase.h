// Root of the program's heap classes.
#pragma once

#include <cstddef>

#include <wintypes.h>

// Heap objects are allocated zero-filled, so constructors set only what
// differs from zero. Allocation failure gives a null pointer from `new`
// instead of an exception: failures are reported, not thrown.
class CEpocBase {
 public:
  virtual ~CEpocBase();

  static void* operator new(std::size_t aSize) noexcept;
  static void* operator new[](std::size_t aSize) = delete;
  static void operator delete(void* aObject) noexcept;

  // The class's name, for log lines.
  LPCWSTR ClassName() const { return iClassName; }

 protected:
  CEpocBase() : iClassName(u"CEpocBase") {}
  void SetClassName(LPCWSTR aName) { iClassName = aName; }

 private:
  LPCWSTR iClassName;
};
