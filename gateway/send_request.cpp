#include "gateway/send_request.h"

#include <nlohmann/json.hpp>

namespace {

// Control characters never reach the line or a terminal; a contact's name or
// a number holds none.
bool HasControl(std::string_view aText) {
  for (unsigned char c : aText)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

}  // namespace

bool IsPhoneNumber(std::string_view aText) {
  if (!aText.empty() && aText.front() == '+') aText.remove_prefix(1);
  if (aText.empty() || aText.size() > 20) return false;
  for (char c : aText)
    if (c < '0' || c > '9') return false;
  return true;
}

TKvSendRequest ParseSendRequest(std::string_view aPayload) {
  TKvSendRequest request;
  if (aPayload.size() > KKvMaxRequestBytes) {
    request.iError = "the request is longer than " + std::to_string(KKvMaxRequestBytes) + " bytes";
    return request;
  }
  nlohmann::json value = nlohmann::json::parse(aPayload.begin(), aPayload.end(), nullptr, false);
  if (value.is_discarded() || !value.is_object()) {
    request.iError = "the request is not a JSON object";
    return request;
  }
  if (auto id = value.find("id"); id != value.end()) {
    if (id->is_string())
      request.iId = id->get<std::string>();
    else if (id->is_number_integer())
      request.iId = std::to_string(id->get<long long>());
    else {
      request.iError = "\"id\" is not a text or a number";
      return request;
    }
    if (request.iId.size() > KKvMaxRequestId || HasControl(request.iId)) {
      request.iError = "\"id\" is longer than " + std::to_string(KKvMaxRequestId) + " bytes or holds control characters";
      request.iId.clear();
      return request;
    }
  }
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
