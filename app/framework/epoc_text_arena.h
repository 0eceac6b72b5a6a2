// Texts kept one after the other in large blocks of pages committed at once,
// each text with its terminator and never moved: a list of many thousands of
// lines costs a few blocks, not an allocation (and a page fault or more) each.
#pragma once

#include <string_view>
#include <vector>

#include <windows.h>

class TEpocTextArena {
 public:
  TEpocTextArena() = default;
  ~TEpocTextArena();
  TEpocTextArena(const TEpocTextArena&) = delete;
  TEpocTextArena& operator=(const TEpocTextArena&) = delete;
  TEpocTextArena(TEpocTextArena&& aOther) noexcept;
  TEpocTextArena& operator=(TEpocTextArena&& aOther) noexcept;

  // A copy of aText with a terminator, kept as long as the arena; null
  // without memory.
  const WCHAR* Add(std::u16string_view aText);
  // Characters held, terminators included.
  size_t Held() const { return iHeld; }

 private:
  struct TBlock {
    WCHAR* iStart;
    size_t iChars;
  };
  void Release();

  std::vector<TBlock> iBlocks;
  size_t iUsed = 0;  // of the last block
  size_t iHeld = 0;
};
