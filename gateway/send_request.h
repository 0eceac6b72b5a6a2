// A send request as it comes from MQTT: {"to", "text", "id", "report"}.
// Everything in it is outside input: each field has a size limit, and a
// request that breaks one is refused with the reason, nothing sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr size_t KKvMaxRequestBytes = 64 * 1024;
inline constexpr size_t KKvMaxRequestTo = 64;       // bytes of a number or a contact's name
inline constexpr size_t KKvMaxRequestId = 64;       // bytes of the caller's identifier
// The text's real limit is the 255 messages of a long one, counted once it
// is taken; this caps the bytes before that.
inline constexpr size_t KKvMaxRequestTextBytes = 60 * 1024;

struct TKvSendRequest {
  bool iValid = false;
  std::string iError;  // why not valid, in words
  std::string iTo;
  std::string iText;
  std::string iId;     // may be empty: then no earlier result is looked for
  bool iReport = false;
};

// Parses a request. The id is taken even from a request refused for another
// reason, so that the refusal can name it.
TKvSendRequest ParseSendRequest(std::string_view aPayload);

// A number the phone can dial: an optional '+', then 1 to 20 digits.
bool IsPhoneNumber(std::string_view aText);
