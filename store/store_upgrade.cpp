#include "store/store_upgrade.h"

#include <mutex>

namespace {

std::mutex gWatcherLock;
TStoreUpgradeProgress gProgress = nullptr;
void* gContext = nullptr;

}  // namespace

void SetStoreUpgradeProgress(TStoreUpgradeProgress aProgress, void* aContext) {
  std::lock_guard guard(gWatcherLock);
  gProgress = aProgress;
  gContext = aContext;
}

void ReportStoreUpgrade(const char16_t* aWhat, int aDone, int aTotal) {
  // Called outside the lock: a watcher may paint, and must not hold others up.
  TStoreUpgradeProgress progress;
  void* context;
  {
    std::lock_guard guard(gWatcherLock);
    progress = gProgress;
    context = gContext;
  }
  if (progress != nullptr) progress(context, aWhat, aDone, aTotal);
}
