// MessageBoxW for runs without a screen: the box is recorded, printed to
// standard error and answered with OK at once.
#include <cstdio>
#include <mutex>

#include <kvplatform.h>
#include <windows.h>

namespace kvplatform {
namespace {

struct History {
  std::mutex lock;
  std::vector<MessageBoxRecord> boxes;
};

History& TheHistory() {
  static auto* history = new History;
  return *history;
}

}  // namespace

std::vector<MessageBoxRecord> MessageBoxHistory() {
  std::lock_guard guard(TheHistory().lock);
  return TheHistory().boxes;
}

void ClearMessageBoxHistory() {
  std::lock_guard guard(TheHistory().lock);
  TheHistory().boxes.clear();
}

}  // namespace kvplatform

using namespace kvplatform;

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  MessageBoxRecord record{caption ? caption : u"Error", text ? text : u"", type, GetCurrentThreadId()};
  std::fprintf(stderr, "[message box] %s: %s\n", ToUtf8(record.caption).c_str(), ToUtf8(record.text).c_str());
  {
    std::lock_guard guard(TheHistory().lock);
    TheHistory().boxes.push_back(std::move(record));
  }
  return IDOK;
}
