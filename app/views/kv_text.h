// A descriptor's text as the standard library's strings, for the views'
// rows and the controls they go to.
#pragma once

#include <string>
#include <string_view>

#include "kernel/descriptors.h"

inline std::u16string Text(const TDesc16& aText) {
  return aText.Length() != 0 ? std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())) : std::u16string();
}

inline std::u16string_view View(const TDesc16& aText) {
  return aText.Length() != 0 ? std::u16string_view(aText.Ptr(), static_cast<size_t>(aText.Length())) : std::u16string_view();
}
