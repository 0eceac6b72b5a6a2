// Log inserts ("%1!s!") need zero-terminated text; descriptors are not.
#pragma once

#include "kernel/descriptors.h"

// A zero-terminated copy of at most N characters of a descriptor.
template <int N>
class TZText {
 public:
  explicit TZText(const TDesc16& aText) {
    iBuf.Copy(aText.Left(aText.Length() < N ? aText.Length() : N));
    iBuf.ZeroTerminate();
  }
  const TText16* Ptr() const { return iBuf.Ptr(); }

 private:
  TModBuf16<N + 1> iBuf;
};
