// The SIM's home network at connect: the mobile country code at the start
// of its subscriber identity (AT+CIMI). The identity names the subscriber,
// so it goes no further than this file: its first three digits are kept, the
// line is neither logged nor shown.
#include "kernel/log.h"
#include "phone/mobile_phone.h"

namespace {

// An identity is at most 15 digits; fewer than 6 hold no network.
const int KShortestIdentity = 6;
const int KLongestIdentity = 15;

// Where the digits of a reply line start: after "+CIMI:" and blanks or a quote.
int IdentityStart(const TDesc16& aLine) {
  static const char16_t KPrefix[] = u"+CIMI:";
  int at = 0;
  while (KPrefix[at] != 0 && at < aLine.Length() && aLine[at] == KPrefix[at]) ++at;
  if (KPrefix[at] != 0) at = 0;
  while (at < aLine.Length() && (aLine[at] == u' ' || aLine[at] == u'"')) ++at;
  return at;
}

}  // namespace

bool CMobilePhoneBase::IsSubscriberIdentityLine(const TDesc16& aLine) const {
  if (iResponseState != EStateSubscriber) return false;
  int digits = 0;
  for (int i = IdentityStart(aLine); i < aLine.Length(); ++i) {
    if (aLine[i] == u'"') break;
    if (aLine[i] < u'0' || aLine[i] > u'9') return false;
    ++digits;
  }
  return digits >= KShortestIdentity && digits <= KLongestIdentity;
}

void CMobilePhoneBase::TakeSubscriberLine(const TDesc16& aLine) {
  const int start = IdentityStart(aLine);
  iSubscriberCountryCode = (aLine[start] - u'0') * 100 + (aLine[start + 1] - u'0') * 10 + (aLine[start + 2] - u'0');
}

int CMobilePhoneBase::ReadHomeNetwork() {
  iSubscriberCountryCode = 0;
  int r = SendAndWait(EStateSubscriber, TConstPtr16(u"AT+CIMI"));
  if (r < 0) return r;
  TModBuf16<KSmsNumberLength> centre;
  // A phone that keeps its SIM's identity to itself still says where it sends.
  if (iSubscriberCountryCode == 0) {
    iReadCentre.Zero();
    r = SendAndWait(EStateSmsCentre, TConstPtr16(u"AT+CSCA?"));
    if (r < 0) return r;
    if (r == KReplyOk) centre.Copy(iReadCentre);
  }
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ReadHomeNetwork - country code %1!d!, centre of %2!d! digits",
             iSubscriberCountryCode, centre.Length());
  iObserver->HomeNetworkRead(iSubscriberCountryCode, centre);
  return KReplyOk;
}
