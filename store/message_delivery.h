// The delivery of a sent message as the network's status reports tell it,
// part by part. Kept in one text property of the Sent record: for each part
// sent with a report request "<part>,<reference>,<status>,<high>,<low>;",
// where <status> is the TP-ST of the latest report (-1 while none has come)
// and <high>,<low> the halves of its discharge time (a file time).
#pragma once

#include <vector>

#include <wintypes.h>

#include "kernel/descriptors.h"

enum TKvDeliveryState {
  EKvDeliveryNone = 0,  // no report was asked for
  EKvDeliveryPending,   // asked for; not every part is through yet
  EKvDeliveryDelivered,
  EKvDeliveryFailed,
};

inline constexpr int KKvNoReportYet = -1;

struct TKvPartDelivery {
  int iPart;
  int iReference;  // TP-MR the phone gave the part
  int iStatus;     // TP-ST, or KKvNoReportYet
  FILETIME iTime;  // discharge time of the report
};

typedef std::vector<TKvPartDelivery> TKvDeliveryList;

// What a status value means: delivered, still being tried, or given up.
TKvDeliveryState DeliveryStateOfStatus(int aStatus);
// The reason a status gives, in words ("SME busy"); for any status.
const TText16* DeliveryStatusReason(int aStatus);

// The parts as kept; a damaged entry ends the list.
TKvDeliveryList ParseDelivery(const TDesc16& aText);
// The text to keep; zero-terminated, null without memory.
THeapBuf16* FormatDeliveryL(const TKvDeliveryList& aList);

// The state of the whole message: failed when a part failed, delivered when
// every part is, pending otherwise.
TKvDeliveryState DeliveryState(const TKvDeliveryList& aList);
// The part that decides a failed or delivered state: the first failed part,
// or the part delivered last. Null while pending.
const TKvPartDelivery* DecidingPart(const TKvDeliveryList& aList);
