#include "gateway/request_json.h"

#include "gateway/send_request.h"

bool ParseRequestObject(std::string_view aPayload, size_t aMaxBytes, nlohmann::json& aValue, std::string& aError) {
  if (aPayload.size() > aMaxBytes) {
    aError = "the request is longer than " + std::to_string(aMaxBytes) + " bytes";
    return false;
  }
  aValue = nlohmann::json::parse(aPayload.begin(), aPayload.end(), nullptr, false);
  if (aValue.is_discarded() || !aValue.is_object()) {
    aError = "the request is not a JSON object";
    return false;
  }
  return true;
}

bool ReadRequestId(const nlohmann::json& aValue, std::string& aId, std::string& aError) {
  aId.clear();
  auto id = aValue.find("id");
  if (id == aValue.end()) return true;
  if (id->is_string())
    aId = id->get<std::string>();
  else if (id->is_number_integer())
    aId = std::to_string(id->get<long long>());
  else {
    aError = "\"id\" is not a text or a number";
    return false;
  }
  if (aId.size() > KKvMaxRequestId || HasControl(aId)) {
    aError = "\"id\" is longer than " + std::to_string(KKvMaxRequestId) + " bytes or holds control characters";
    aId.clear();
    return false;
  }
  return true;
}

bool HasControl(std::string_view aText) {
  for (unsigned char c : aText)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}
