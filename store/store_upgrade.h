// The progress of a store made ready at its first open by this version (a
// volume of an earlier version gets its conversation keys and its indexes:
// seconds at years of messages), for the program to show while it waits.
#pragma once

// aWhat names the step ("Keying conversations"); aDone of aTotal records.
// A null aWhat ends the upgrade. Called on the thread that opens the store.
typedef void (*TStoreUpgradeProgress)(void* aContext, const char16_t* aWhat, int aDone, int aTotal);

// One watcher for the process; null stops the reports.
void SetStoreUpgradeProgress(TStoreUpgradeProgress aProgress, void* aContext);
void ReportStoreUpgrade(const char16_t* aWhat, int aDone, int aTotal);
