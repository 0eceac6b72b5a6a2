// What every request from MQTT starts with: a JSON object of a bounded size,
// and the caller's "id" (a text or a whole number, short, no control
// characters), which the answer names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Parses aPayload into aValue. False with the reason in aError when it is
// longer than aMaxBytes or not a JSON object.
bool ParseRequestObject(std::string_view aPayload, size_t aMaxBytes, nlohmann::json& aValue, std::string& aError);

// The request's "id" into aId (left empty when there is none). False with the
// reason in aError when it is not a text or a number, too long or holds
// control characters; aId is empty then.
bool ReadRequestId(const nlohmann::json& aValue, std::string& aId, std::string& aError);

// Whether a text holds a control character, which never reaches the line or
// a terminal.
bool HasControl(std::string_view aText);
