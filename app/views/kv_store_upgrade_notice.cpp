#include "app/views/kv_store_upgrade_notice.h"

#include <string>

#include <kvplatform.h>
#include <windows.h>

#include "app/views/kv_notice_bubble.h"
#include "store/store_upgrade.h"

namespace {

const WCHAR KHeading[] = u"Preparing the messages store";
const WCHAR KDone[] = u"Every message is kept, and found by conversation and by search.";

struct TWatcher {
  CKvNoticeBubble* iBubble;
  DWORD iThread;
};
TWatcher gWatcher{};

void ShowStoreUpgrade(void* aContext, const char16_t* aWhat, int aDone, int aTotal) {
  auto* watcher = static_cast<TWatcher*>(aContext);
  // The engine's thread opens its own stores: it has no window to paint.
  if (watcher->iBubble == nullptr || GetCurrentThreadId() != watcher->iThread) return;
  const std::u16string text =
      aWhat != nullptr ? std::u16string(aWhat) + kvplatform::FromUtf8(": " + std::to_string(aDone) + " of " +
                                                                     std::to_string(aTotal) + " messages")
                       : std::u16string(KDone);
  watcher->iBubble->ShowL(KHeading, text.c_str());
  // Painted and shown now: the thread is busy until the store is ready.
  UpdateWindow(watcher->iBubble->Window());
  GdiFlush();
}

}  // namespace

void KvShowStoreUpgrades(CKvNoticeBubble* aBubble) {
  gWatcher = {aBubble, GetCurrentThreadId()};
  SetStoreUpgradeProgress(ShowStoreUpgrade, &gWatcher);
}

void KvStopShowingStoreUpgrades() {
  SetStoreUpgradeProgress(nullptr, nullptr);
  gWatcher = {};
}
