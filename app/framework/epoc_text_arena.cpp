#include "app/framework/epoc_text_arena.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Blocks double from the first to the largest: a short list takes little,
// a long one few blocks.
const size_t KFirstBlockChars = 32 * 1024;
const size_t KLargestBlockChars = 1024 * 1024;

}  // namespace

TEpocTextArena::~TEpocTextArena() { Release(); }

TEpocTextArena::TEpocTextArena(TEpocTextArena&& aOther) noexcept
    : iBlocks(std::move(aOther.iBlocks)), iUsed(aOther.iUsed), iHeld(aOther.iHeld) {
  aOther.iBlocks.clear();
  aOther.iUsed = aOther.iHeld = 0;
}

TEpocTextArena& TEpocTextArena::operator=(TEpocTextArena&& aOther) noexcept {
  if (this != &aOther) {
    Release();
    iBlocks = std::move(aOther.iBlocks);
    iUsed = aOther.iUsed;
    iHeld = aOther.iHeld;
    aOther.iBlocks.clear();
    aOther.iUsed = aOther.iHeld = 0;
  }
  return *this;
}

void TEpocTextArena::Release() {
  for (const TBlock& block : iBlocks) VirtualFree(block.iStart, 0, MEM_RELEASE);
  iBlocks.clear();
}

const WCHAR* TEpocTextArena::Add(std::u16string_view aText) {
  const size_t needed = aText.size() + 1;
  if (iBlocks.empty() || iBlocks.back().iChars - iUsed < needed) {
    size_t chars = iBlocks.empty() ? KFirstBlockChars : std::min(iBlocks.back().iChars * 2, KLargestBlockChars);
    chars = std::max(chars, needed);
    auto* start = static_cast<WCHAR*>(VirtualAlloc(nullptr, chars * sizeof(WCHAR), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (start == nullptr) return nullptr;
    iBlocks.push_back(TBlock{start, chars});
    iUsed = 0;
  }
  WCHAR* text = iBlocks.back().iStart + iUsed;
  if (!aText.empty()) std::memcpy(text, aText.data(), aText.size() * sizeof(WCHAR));
  text[aText.size()] = 0;
  iUsed += needed;
  iHeld += needed;
  return text;
}
