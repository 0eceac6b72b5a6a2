#include "handle_table.h"

#include <mutex>
#include <unordered_map>

namespace kvplatform {
namespace {

// Values are multiples of 4 below 2^31, so a handle survives the trip through
// a 32-bit field and a closed handle is not handed out again soon.
constexpr uintptr_t kFirstHandle = 0x40;
constexpr uintptr_t kLastHandle = 0x7ffffffc;

struct Table {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = kFirstHandle;
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: threads may outlive static destruction
  return *table;
}

}  // namespace

uintptr_t InsertHandle(std::shared_ptr<KernelObject> object) {
  Table& t = TheTable();
  std::lock_guard guard(t.lock);
  for (uintptr_t tries = 0; tries < (kLastHandle - kFirstHandle) / 4; ++tries) {
    uintptr_t value = t.next;
    t.next = (t.next >= kLastHandle) ? kFirstHandle : t.next + 4;
    if (t.objects.find(value) == t.objects.end()) {
      t.objects.emplace(value, std::move(object));
      return value;
    }
  }
  return 0;
}

std::shared_ptr<KernelObject> LookupHandle(uintptr_t value) {
  Table& t = TheTable();
  std::lock_guard guard(t.lock);
  auto it = t.objects.find(value);
  return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(uintptr_t value) {
  Table& t = TheTable();
  std::lock_guard guard(t.lock);
  auto it = t.objects.find(value);
  if (it == t.objects.end()) return nullptr;
  auto object = std::move(it->second);
  t.objects.erase(it);
  return object;
}

}  // namespace kvplatform
