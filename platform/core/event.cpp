// Events: manual or auto reset. An auto-reset event satisfies exactly one wait.
#include <winbase.h>

#include "wait_core.h"

namespace kvplatform {
namespace {

class EventObject : public Waitable {
 public:
  EventObject(bool manualReset, bool initialState) : manualReset_(manualReset), signalled_(initialState) {}
  bool IsSignalled() const override { return signalled_; }
  void Acquire() override {
    if (!manualReset_) signalled_ = false;
  }
  void Set() {
    signalled_ = true;
    WakeWaiters();
  }
  void Reset() { signalled_ = false; }
  void Pulse() {
    GrantToWaiters(manualReset_);
    signalled_ = false;
  }

 private:
  bool manualReset_;
  bool signalled_;
};

}  // namespace
}  // namespace kvplatform

using namespace kvplatform;

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name != nullptr && name[0] != 0) {
    // Named events would be shared between processes; nothing here needs them.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  uintptr_t value = InsertHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
  if (value == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return ToHandle(value);
}

BOOL EventModify(HANDLE event, DWORD function) {
  auto object = LookupAs<EventObject>(event);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard guard(WaitMutex());
  switch (function) {
    case EVENT_SET:
      object->Set();
      return TRUE;
    case EVENT_RESET:
      object->Reset();
      return TRUE;
    case EVENT_PULSE:
      object->Pulse();
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

BOOL CloseHandle(HANDLE object) {
  std::shared_ptr<KernelObject> removed;
  if (object != nullptr && object != INVALID_HANDLE_VALUE) removed = RemoveHandle(reinterpret_cast<uintptr_t>(object));
  if (!removed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  removed->OnClose();
  return TRUE;
}
