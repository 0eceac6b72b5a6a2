// VirtualAlloc and VirtualFree: whole pages straight from the system. A
// commit backs every page at once, in one call, rather than one fault per
// page on first use: on a virtual machine a fault can cost as much as
// filling the page many times over, and callers commit exactly because they
// are about to fill the pages.
#include <sys/mman.h>

#include <map>
#include <mutex>

#include <winbase.h>

namespace {

// Each region's size, which a release does not give.
std::mutex gRegionsLock;
std::map<void*, size_t> gRegions;

}  // namespace

LPVOID VirtualAlloc(LPVOID address, size_t bytes, DWORD allocationType, DWORD protect) {
  // Reserving and committing in one step, anywhere, for reading and writing:
  // what the program asks for.
  if (address != nullptr || bytes == 0 || (allocationType & MEM_COMMIT) == 0 ||
      (allocationType & ~DWORD{MEM_COMMIT | MEM_RESERVE}) != 0 || protect != PAGE_READWRITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (pages == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard guard(gRegionsLock);
  gRegions.emplace(pages, bytes);
  return pages;
}

BOOL VirtualFree(LPVOID address, size_t bytes, DWORD freeType) {
  if (freeType != MEM_RELEASE || bytes != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t size = 0;
  {
    std::lock_guard guard(gRegionsLock);
    auto region = gRegions.find(address);
    if (region == gRegions.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    size = region->second;
    gRegions.erase(region);
  }
  munmap(address, size);
  return TRUE;
}
