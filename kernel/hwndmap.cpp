#include "kernel/hwndmap.h"

#include <cstring>

#include "kernel/log.h"
#include "kernel/panic.h"

namespace {

const int KMapGranularity = 32;

// Orders pairs by the window handle's 32 bits, unsigned.
class TWindowKey : public TKeyArrayFix {
 public:
  TWindowKey() : TKeyArrayFix(0, 0) {}
  int Compare(int aLeft, int aRight) const override {
    const void* left = At(aLeft);
    const void* right = At(aRight);
    if (!left || !right) return 0;
    uint32_t a = KeyOf(left);
    uint32_t b = KeyOf(right);
    return a < b ? -1 : (a > b ? 1 : 0);
  }

 private:
  static uint32_t KeyOf(const void* aPair) {
    HWND window;
    std::memcpy(&window, aPair, sizeof window);
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
  }
};

}  // namespace

CHWndMap::CHWndMap() : iMappings(KMapGranularity), iPendingControl(nullptr) { SetClassName(u"CHWndMap"); }

CHWndMap* CHWndMap::NewL() { return User::LeaveIfNull(new CHWndMap); }

CHWndMap::~CHWndMap() = default;

int CHWndMap::IndexOf(HWND aWindow) const {
  TWindowMapping probe = {aWindow, nullptr};
  TWindowKey key;
  int index = 0;
  if (iMappings.FindIsq(&probe, key, index) != 0) return -1;
  return index;
}

int CHWndMap::AddMapping(void* aControl, HWND aWindow) {
  if (IndexOf(aWindow) >= 0) return User::LeaveIfError(KErrAlreadyExists);
  TWindowMapping pair = {aWindow, aControl};
  TWindowKey key;
  iMappings.InsertIsqL(&pair, key);
  return KErrNone;
}

void* CHWndMap::Find(HWND aWindow) const {
  int index = IndexOf(aWindow);
  return index >= 0 ? iMappings[index].iControl : iPendingControl;
}

void CHWndMap::RemoveMapping(void* aControl, HWND aWindow) {
  LogMessage(KLogFilePath, u"CHWndMap::RemoveMapping");
  int index = IndexOf(aWindow);
  if (index < 0) {
    LogMessage(KLogFilePath, u"CHWndMap::RemoveMapping - mapping does not exist");
    PanicHWndMap(1);
    return;
  }
  if (iMappings[index].iControl != aControl) {
    LogMessage(KLogFilePath, u"CHWndMap::RemoveMapping - got the wrong control");
    PanicHWndMap(2);
    return;
  }
  iMappings.Delete(index);
}
