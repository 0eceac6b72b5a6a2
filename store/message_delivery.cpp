#include "store/message_delivery.h"

namespace {

const TText16 KFieldSeparator = u',';
const TText16 KEntryEnd = u';';
const int KEntryLength = 56;  // five numbers and their separators

unsigned long long TimeValue(const FILETIME& aTime) {
  return (static_cast<unsigned long long>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

// A signed decimal number ending in aEnd at aPos; false when there is none.
bool ReadNumber(const TDesc16& aText, int& aPos, TText16 aEnd, long long& aValue) {
  bool negative = aPos < aText.Length() && aText[aPos] == u'-';
  if (negative) ++aPos;
  int digits = 0;
  aValue = 0;
  while (aPos < aText.Length() && aText[aPos] >= u'0' && aText[aPos] <= u'9' && digits < 19) {
    aValue = aValue * 10 + (aText[aPos] - u'0');
    ++aPos;
    ++digits;
  }
  if (digits == 0 || aPos >= aText.Length() || aText[aPos] != aEnd) return false;
  ++aPos;
  if (negative) aValue = -aValue;
  return true;
}

}  // namespace

TKvDeliveryState DeliveryStateOfStatus(int aStatus) {
  if (aStatus < 0) return EKvDeliveryPending;
  // 0x00-0x1F: the transaction is complete; 0x20-0x3F: the centre is still
  // trying; 0x40 on: it has given up (permanent error, or a temporary one it
  // no longer retries).
  if (aStatus <= 0x1F) return EKvDeliveryDelivered;
  if (aStatus <= 0x3F) return EKvDeliveryPending;
  return EKvDeliveryFailed;
}

const TText16* DeliveryStatusReason(int aStatus) {
  switch (aStatus) {
    case 0x00: return u"Received by the recipient";
    case 0x01: return u"Forwarded, delivery not confirmed";
    case 0x02: return u"Replaced by the service centre";
    case 0x20:
    case 0x60: return u"Congestion";
    case 0x21:
    case 0x61: return u"Recipient busy";
    case 0x22:
    case 0x62: return u"No response from the recipient";
    case 0x23:
    case 0x63: return u"Service rejected";
    case 0x24:
    case 0x44:
    case 0x64: return u"Quality of service not available";
    case 0x25:
    case 0x65: return u"Error in the recipient's phone";
    case 0x40: return u"Remote procedure error";
    case 0x41: return u"Incompatible destination";
    case 0x42: return u"Connection rejected by the recipient";
    case 0x43: return u"Not obtainable";
    case 0x45: return u"No interworking available";
    case 0x46: return u"Validity period expired";
    case 0x47: return u"Deleted by the sender";
    case 0x48: return u"Deleted by the service centre";
    case 0x49: return u"Message does not exist";
    default: break;
  }
  if (aStatus < 0) return u"No report yet";
  if (aStatus <= 0x1F) return u"Delivered";
  if (aStatus <= 0x3F) return u"Still trying";
  if (aStatus <= 0x5F) return u"Permanent error";
  return u"Temporary error, no longer tried";
}

TKvDeliveryList ParseDelivery(const TDesc16& aText) {
  TKvDeliveryList list;
  int pos = 0;
  while (pos < aText.Length()) {
    long long part = 0, reference = 0, status = 0, high = 0, low = 0;
    if (!ReadNumber(aText, pos, KFieldSeparator, part) || !ReadNumber(aText, pos, KFieldSeparator, reference) ||
        !ReadNumber(aText, pos, KFieldSeparator, status) || !ReadNumber(aText, pos, KFieldSeparator, high) ||
        !ReadNumber(aText, pos, KEntryEnd, low))
      break;
    TKvPartDelivery entry = {static_cast<int>(part), static_cast<int>(reference), static_cast<int>(status),
                             {static_cast<DWORD>(low), static_cast<DWORD>(high)}};
    list.push_back(entry);
  }
  return list;
}

THeapBuf16* FormatDeliveryL(const TKvDeliveryList& aList) {
  THeapBuf16* text = THeapBuf16::NewL(static_cast<int>(aList.size()) * KEntryLength + 1);
  if (text == nullptr) return nullptr;
  THeapPtr16 des = text->Des();
  for (const TKvPartDelivery& entry : aList) {
    des.AppendNum(entry.iPart);
    des.Append(KFieldSeparator);
    des.AppendNum(entry.iReference);
    des.Append(KFieldSeparator);
    des.AppendNum(entry.iStatus);
    des.Append(KFieldSeparator);
    des.AppendNum(static_cast<unsigned>(entry.iTime.dwHighDateTime), 10);
    des.Append(KFieldSeparator);
    des.AppendNum(static_cast<unsigned>(entry.iTime.dwLowDateTime), 10);
    des.Append(KEntryEnd);
  }
  des.Append(TText16(0));
  return text;
}

TKvDeliveryState DeliveryState(const TKvDeliveryList& aList) {
  if (aList.empty()) return EKvDeliveryNone;
  bool allDelivered = true;
  for (const TKvPartDelivery& entry : aList) {
    TKvDeliveryState state = DeliveryStateOfStatus(entry.iStatus);
    if (state == EKvDeliveryFailed) return EKvDeliveryFailed;
    allDelivered = allDelivered && state == EKvDeliveryDelivered;
  }
  return allDelivered ? EKvDeliveryDelivered : EKvDeliveryPending;
}

const TKvPartDelivery* DecidingPart(const TKvDeliveryList& aList) {
  TKvDeliveryState state = DeliveryState(aList);
  if (state != EKvDeliveryFailed && state != EKvDeliveryDelivered) return nullptr;
  const TKvPartDelivery* deciding = nullptr;
  for (const TKvPartDelivery& entry : aList) {
    if (state == EKvDeliveryFailed) {
      if (DeliveryStateOfStatus(entry.iStatus) == EKvDeliveryFailed) return &entry;
    } else if (deciding == nullptr || TimeValue(entry.iTime) > TimeValue(deciding->iTime)) {
      deciding = &entry;
    }
  }
  return deciding;
}
