#include "gateway/send_request.h"

#include <nlohmann/json.hpp>

#include "gateway/request_json.h"

bool IsPhoneNumber(std::string_view aText) {
  if (!aText.empty() && aText.front() == '+') aText.remove_prefix(1);
  if (aText.empty() || aText.size() > 20) return false;
  for (char c : aText)
    if (c < '0' || c > '9') return false;
  return true;
}

TKvSendRequest ParseSendRequest(std::string_view aPayload) {
  TKvSendRequest request;
  nlohmann::json value;
  if (!ParseRequestObject(aPayload, KKvMaxRequestBytes, value, request.iError) ||
      !ReadRequestId(value, request.iId, request.iError))
    return request;
  auto to = value.find("to");
  if (to == value.end() || !to->is_string() || to->get_ref<const std::string&>().empty()) {
    request.iError = "no \"to\"";
    return request;
  }
  request.iTo = to->get<std::string>();
  if (request.iTo.size() > KKvMaxRequestTo || HasControl(request.iTo)) {
    request.iError = "\"to\" is longer than " + std::to_string(KKvMaxRequestTo) + " bytes or holds control characters";
    return request;
  }
  auto text = value.find("text");
  if (text == value.end() || !text->is_string()) {
    request.iError = "no \"text\"";
    return request;
  }
  request.iText = text->get<std::string>();
  if (request.iText.size() > KKvMaxRequestTextBytes) {
    request.iError = "the text is too long";
    return request;
  }
  if (auto report = value.find("report"); report != value.end()) {
    if (!report->is_boolean()) {
      request.iError = "\"report\" is not true or false";
      return request;
    }
    request.iReport = report->get<bool>();
  }
  request.iValid = true;
  return request;
}
