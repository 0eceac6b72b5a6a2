#include "gateway/ussd_request.h"

#include <nlohmann/json.hpp>

#include "gateway/request_json.h"
#include "gateway/send_request.h"
#include "phone/ussd.h"

namespace {

// As the phone's layer checks what it puts on the line.
bool IsUssdText(const std::string& aText) {
  if (aText.size() > static_cast<size_t>(KUssdCodeLength)) return false;
  // Bytes above ASCII widened one by one are no digits either: refused.
  std::u16string wide;
  for (char c : aText) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return IsUssdString(TConstPtr16(wide.data(), static_cast<int>(wide.size())));
}

const std::string KUssdRule = "1 to " + std::to_string(KUssdCodeLength) + " digits, * and #";

}  // namespace

TKvUssdRequest ParseUssdRequest(std::string_view aPayload) {
  TKvUssdRequest request;
  nlohmann::json value;
  if (!ParseRequestObject(aPayload, KKvMaxUssdRequestBytes, value, request.iError) ||
      !ReadRequestId(value, request.iId, request.iError))
    return request;
  auto code = value.find("code");
  if (code == value.end() || !code->is_string()) {
    request.iError = "no \"code\"";
    return request;
  }
  request.iCode = code->get<std::string>();
  if (!IsUssdText(request.iCode)) {
    request.iError = "\"code\" is not a USSD code: " + KUssdRule;
    request.iCode.clear();
    return request;
  }
  if (auto replies = value.find("replies"); replies != value.end()) {
    if (!replies->is_array()) {
      request.iError = "\"replies\" is not a list";
      return request;
    }
    if (replies->size() > KKvMaxUssdReplies) {
      request.iError = "more than " + std::to_string(KKvMaxUssdReplies) + " \"replies\"";
      return request;
    }
    for (const nlohmann::json& reply : *replies) {
      if (!reply.is_string() || !IsUssdText(reply.get_ref<const std::string&>())) {
        request.iError = "each of \"replies\" must be a USSD answer: " + KUssdRule;
        return request;
      }
      request.iReplies.push_back(reply.get<std::string>());
    }
  }
  request.iValid = true;
  return request;
}
