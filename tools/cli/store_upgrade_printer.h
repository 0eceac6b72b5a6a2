// The first open of a store an earlier version left (its keys and indexes
// made: seconds at years of messages), shown on standard error while it
// runs when that is a terminal: one line rewritten in place.
#pragma once

namespace kvcli {

// From now on, until StopShowingStoreUpgrades.
void ShowStoreUpgradesOnTerminal();
void StopShowingStoreUpgrades();

}  // namespace kvcli
