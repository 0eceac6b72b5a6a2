// Critical sections: recursive, like the device's.
#include <mutex>

#include <winbase.h>

namespace {
std::recursive_mutex* Impl(LPCRITICAL_SECTION section) { return static_cast<std::recursive_mutex*>(section->impl); }
}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  if (section) section->impl = new std::recursive_mutex;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  delete Impl(section);
  section->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  if (section && section->impl) Impl(section)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  if (section && section->impl) Impl(section)->unlock();
}
