// Send requests as they come from MQTT. Whatever arrives: a request taken
// holds a "to" that is a number or a plain name within its limit, an id
// within its limit, no control character in either, and a text within its
// byte limit; one refused says why; the parse is the same twice.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "gateway/send_request.h"

namespace {

bool HasControl(std::string_view aText) {
  for (unsigned char c : aText)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
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
  return 0;
}
