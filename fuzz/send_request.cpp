// Send and USSD requests as they come from MQTT. Whatever arrives: a send
// request taken holds a "to" that is a number or a plain name within its
// limit, an id within its limit, no control character in either, and a text
// within its byte limit; a USSD request taken holds a code and at most ten
// replies of digits, '*' and '#' only, each within the phone's limit, so
// none can end the AT command it goes into; one refused says why; each
// parse is the same twice.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "gateway/send_request.h"
#include "gateway/ussd_request.h"
#include "phone/ussd.h"

namespace {

bool HasControl(std::string_view aText) {
  for (unsigned char c : aText)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

bool IsDialString(const std::string& aText) {
  if (aText.empty() || aText.size() > static_cast<size_t>(KUssdCodeLength)) return false;
  for (char c : aText)
    if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) return false;
  return true;
}

void CheckUssdRequest(std::string_view aPayload) {
  TKvUssdRequest request = ParseUssdRequest(aPayload);
  if (request.iValid) {
    FUZZ_CHECK(request.iError.empty());
    FUZZ_CHECK(IsDialString(request.iCode));
    FUZZ_CHECK(request.iReplies.size() <= KKvMaxUssdReplies);
    for (const std::string& reply : request.iReplies) FUZZ_CHECK(IsDialString(reply));
  } else {
    FUZZ_CHECK(!request.iError.empty());
  }
  FUZZ_CHECK(request.iId.size() <= KKvMaxRequestId && !HasControl(request.iId));
  TKvUssdRequest again = ParseUssdRequest(aPayload);
  FUZZ_CHECK(again.iValid == request.iValid && again.iError == request.iError && again.iCode == request.iCode &&
             again.iReplies == request.iReplies && again.iId == request.iId);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  std::string_view payload(reinterpret_cast<const char*>(aData), aSize);
  TKvSendRequest request = ParseSendRequest(payload);
  if (request.iValid) {
    FUZZ_CHECK(request.iError.empty());
    FUZZ_CHECK(!request.iTo.empty() && request.iTo.size() <= KKvMaxRequestTo && !HasControl(request.iTo));
    FUZZ_CHECK(request.iText.size() <= KKvMaxRequestTextBytes);
  } else {
    FUZZ_CHECK(!request.iError.empty());
  }
  FUZZ_CHECK(request.iId.size() <= KKvMaxRequestId && !HasControl(request.iId));
  TKvSendRequest again = ParseSendRequest(payload);
  FUZZ_CHECK(again.iValid == request.iValid && again.iError == request.iError && again.iTo == request.iTo &&
             again.iText == request.iText && again.iId == request.iId && again.iReport == request.iReport);
  CheckUssdRequest(payload);
  return 0;
}
