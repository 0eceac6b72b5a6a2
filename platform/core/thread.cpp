// Threads, thread-local storage slots and time in milliseconds.
#include <pthread.h>
#include <time.h>

#include <array>
#include <chrono>
#include <memory>
#include <thread>

#include <winbase.h>

#include "thread_object.h"
#include "wait_core.h"

namespace kvplatform {
namespace {

struct StartBlock {
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  std::shared_ptr<ThreadState> state;
};

// Runs on the new thread. The guard's destructor also runs when the thread is
// ended from deep inside by ExitThread (pthread_exit unwinds the stack).
void* ThreadTrampoline(void* raw) {
  std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(raw));
  AdoptThreadState(block->state);
  struct EndGuard {
    ThreadState& state;
    ~EndGuard() {
      std::lock_guard guard(WaitMutex());
      EndThreadLocked(state);
    }
  } endGuard{*block->state};
  DWORD code = block->start(block->parameter);
  block->state->exitCode = code;
  return nullptr;
}

}  // namespace
}  // namespace kvplatform

using namespace kvplatform;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (start == nullptr || (creationFlags & CREATE_SUSPENDED)) {
    SetLastError(start == nullptr ? ERROR_INVALID_PARAMETER : ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto object = std::make_shared<ThreadObject>();
  auto state = NewThreadState();
  state->handleObject = object;
  object->threadId = state->id;
  uintptr_t value = InsertHandle(object);
  if (value == 0) {
    std::lock_guard guard(WaitMutex());
    EndThreadLocked(*state);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize >= PTHREAD_STACK_MIN) pthread_attr_setstacksize(&attributes, stackSize);
  auto* block = new StartBlock{start, parameter, state};
  pthread_t thread;
  int error = pthread_create(&thread, &attributes, ThreadTrampoline, block);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    delete block;
    RemoveHandle(value);
    std::lock_guard guard(WaitMutex());
    EndThreadLocked(*state);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = state->id;
  return ToHandle(value);
}

void ExitThread(DWORD exitCode) {
  CurrentThread().exitCode = exitCode;
  pthread_exit(nullptr);
}

DWORD GetCurrentThreadId() { return CurrentThread().id; }

HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto object = LookupAs<ThreadObject>(thread);
  if (!object || exitCode == nullptr) {
    SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard guard(WaitMutex());
  *exitCode = object->EndedLocked() ? object->ExitCodeLocked() : STILL_ACTIVE;
  return TRUE;
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

// ---- thread-local storage ------------------------------------------------------
// A slot freed and allocated again reads as null on every thread: each value
// remembers the generation of the slot it was stored under.
namespace {

constexpr DWORD kTlsSlots = 64;

struct TlsSlots {
  std::mutex lock;
  std::array<bool, kTlsSlots> used{};
  std::array<uint64_t, kTlsSlots> generation{};
};

TlsSlots& Slots() {
  static auto* slots = new TlsSlots;
  return *slots;
}

struct TlsValue {
  LPVOID value = nullptr;
  uint64_t generation = 0;
};
thread_local std::array<TlsValue, kTlsSlots> tTlsValues;

bool SlotGeneration(DWORD slot, uint64_t& generation) {
  if (slot >= kTlsSlots) return false;
  TlsSlots& slots = Slots();
  std::lock_guard guard(slots.lock);
  if (!slots.used[slot]) return false;
  generation = slots.generation[slot];
  return true;
}

}  // namespace

DWORD TlsAlloc() {
  TlsSlots& slots = Slots();
  std::lock_guard guard(slots.lock);
  for (DWORD i = 0; i < kTlsSlots; ++i) {
    if (!slots.used[i]) {
      slots.used[i] = true;
      ++slots.generation[i];
      return i;
    }
  }
  SetLastError(ERROR_NO_MORE_ITEMS);
  return TLS_OUT_OF_INDEXES;
}

BOOL TlsFree(DWORD slot) {
  TlsSlots& slots = Slots();
  std::lock_guard guard(slots.lock);
  if (slot >= kTlsSlots || !slots.used[slot]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  slots.used[slot] = false;
  return TRUE;
}

DWORD TlsCall(DWORD function, DWORD slot) {
  switch (function) {
    case TLS_FUNCALLOC:
      return TlsAlloc();
    case TLS_FUNCFREE:
      return TlsFree(slot);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return TLS_OUT_OF_INDEXES;
  }
}

LPVOID TlsGetValue(DWORD slot) {
  uint64_t generation;
  if (!SlotGeneration(slot, generation)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  const TlsValue& v = tTlsValues[slot];
  return v.generation == generation ? v.value : nullptr;
}

BOOL TlsSetValue(DWORD slot, LPVOID value) {
  uint64_t generation;
  if (!SlotGeneration(slot, generation)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  tTlsValues[slot] = {value, generation};
  return TRUE;
}
