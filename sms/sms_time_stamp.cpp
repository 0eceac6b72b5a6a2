#include "sms/sms_time_stamp.h"

#include <cstdint>

namespace {

constexpr int KZoneSignBit = 8;
// UTC-12:00 to UTC+14:00 cover every zone in use; 15 hours leaves room.
constexpr int KMaxZoneQuarters = 15 * 4;
constexpr int64_t KTicksPerMinute = 60LL * 10000000;

}  // namespace

int SmsZoneMinutes(BYTE aZone) {
  const int tens = aZone / 10;
  const int units = aZone % 10;
  const int quarters = (tens & ~KZoneSignBit) * 10 + units;
  if (quarters > KMaxZoneQuarters) return 0;
  return (tens & KZoneSignBit) != 0 ? -quarters * 15 : quarters * 15;
}

FILETIME SmsStampToUtc(const FILETIME& aStamp, int aZoneMinutes) {
  const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(aStamp.dwHighDateTime) << 32) | aStamp.dwLowDateTime);
  const int64_t shift = static_cast<int64_t>(aZoneMinutes) * KTicksPerMinute;
  // A stamp with no time (0) stays without one rather than wrapping.
  if (ticks <= 0 || ticks < shift) return aStamp;
  const uint64_t utc = static_cast<uint64_t>(ticks - shift);
  return FILETIME{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
}
