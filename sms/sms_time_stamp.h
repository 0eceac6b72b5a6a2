// A service centre's time stamp is the local time of the network that wrote
// it, with that network's zone beside it (a quarter-hour count and a sign).
#pragma once

#include <wintypes.h>

// The zone in minutes east of UTC, from the zone as the decoder keeps it (its
// two semi-octets read as a decimal number, the sign in the tens' top bit).
// A zone beyond what any network uses reads as 0.
int SmsZoneMinutes(BYTE aZone);

// The stamp aStamp, written in a zone aZoneMinutes east of UTC, as UTC.
FILETIME SmsStampToUtc(const FILETIME& aStamp, int aZoneMinutes);
