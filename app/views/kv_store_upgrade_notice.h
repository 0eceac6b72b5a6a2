// The first open of a messages store an earlier version left makes its keys
// and indexes on the window's thread, seconds at years of messages: the
// notice bubble tells how far it is meanwhile, so the window does not look
// hung.
#pragma once

class CKvNoticeBubble;

// From now on, for stores opened on this thread, until KvStopShowingStoreUpgrades.
void KvShowStoreUpgrades(CKvNoticeBubble* aBubble);
void KvStopShowingStoreUpgrades();
