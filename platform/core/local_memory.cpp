// LocalAlloc and friends: blocks that remember their size, so LocalReAlloc
// can grow them and zero the new part.
#include <cstdlib>
#include <cstring>

#include <winbase.h>

namespace {

struct alignas(std::max_align_t) BlockHeader {
  size_t size;
};

BlockHeader* HeaderOf(HLOCAL memory) { return static_cast<BlockHeader*>(memory) - 1; }

}  // namespace

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
  if (header == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  header->size = bytes;
  if (flags & LMEM_ZEROINIT) std::memset(header + 1, 0, bytes);
  return header + 1;
}

HLOCAL LocalReAlloc(HLOCAL memory, size_t bytes, UINT flags) {
  if (memory == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  BlockHeader* header = HeaderOf(memory);
  size_t old = header->size;
  if (bytes > old && !(flags & LMEM_MOVEABLE)) {
    // A fixed block cannot move, and realloc gives no in-place guarantee.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* grown = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + bytes));
  if (grown == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  grown->size = bytes;
  if ((flags & LMEM_ZEROINIT) && bytes > old) std::memset(reinterpret_cast<BYTE*>(grown + 1) + old, 0, bytes - old);
  return grown + 1;
}

HLOCAL LocalFree(HLOCAL memory) {
  if (memory != nullptr) std::free(HeaderOf(memory));
  return nullptr;
}

size_t LocalSize(HLOCAL memory) { return memory ? HeaderOf(memory)->size : 0; }
