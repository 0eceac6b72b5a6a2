// MessageBoxW: every box is recorded. Without a screen (or with
// KORVANET_MESSAGEBOX=log, for unattended runs) it is printed to standard
// error and answered with OK at once; otherwise it is a real box on the
// screen that blocks the calling thread until it is dismissed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <kvplatform.h>
#include <windows.h>

#include "screen_hooks.h"

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

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  MessageBoxRecord record{caption ? caption : u"Error", text ? text : u"", type, GetCurrentThreadId()};
  const char* mode = std::getenv("KORVANET_MESSAGEBOX");
  bool logOnly = (mode && std::strcmp(mode, "log") == 0) || !Screen().InUse();
  if (logOnly)
    std::fprintf(stderr, "[message box] %s: %s\n", ToUtf8(record.caption).c_str(), ToUtf8(record.text).c_str());
  {
    std::lock_guard guard(TheHistory().lock);
    TheHistory().boxes.push_back(std::move(record));
  }
  if (logOnly) return IDOK;
  return Screen().RunMessageBox(owner, text, caption ? caption : u"Error", type);
}
