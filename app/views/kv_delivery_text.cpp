#include "app/views/kv_delivery_text.h"

#include <windows.h>

namespace {

// The short date and the time of day in the user's zone, as message dates are shown.
std::u16string DateAndTime(const FILETIME& aTime) {
  SYSTEMTIME utc = {};
  SYSTEMTIME time = {};
  if (!FileTimeToSystemTime(&aTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &time))
    return std::u16string();
  WCHAR date[64] = {0};
  std::u16string text;
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 64) > 0) text = date;
  WCHAR clock[8] = {0};
  wsprintfW(clock, u"%02d:%02d", time.wHour, time.wMinute);
  return text.empty() ? std::u16string(clock) : text + u" " + clock;
}

}  // namespace

std::u16string DeliveryMark(TKvDeliveryState aState) {
  switch (aState) {
    case EKvDeliveryDelivered: return u"\u2713 ";
    case EKvDeliveryFailed: return u"\u2717 ";
    case EKvDeliveryPending: return u"\u25CB ";
    default: return std::u16string();
  }
}

std::u16string DeliveryLine(const CKveMessagesItem& aMessage) {
  TKvDeliveryList parts = aMessage.Delivery();
  const TKvPartDelivery* deciding = DecidingPart(parts);
  switch (DeliveryState(parts)) {
    case EKvDeliveryDelivered: return u"Delivered " + (deciding ? DateAndTime(deciding->iTime) : std::u16string());
    case EKvDeliveryFailed:
      return std::u16string(u"Not delivered: ") + (deciding ? DeliveryStatusReason(deciding->iStatus) : u"");
    case EKvDeliveryPending: return u"Delivery report pending";
    default: return std::u16string();
  }
}
