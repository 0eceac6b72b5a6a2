// A USSD request as it comes from MQTT: {"code", "replies", "id"}. The code
// and each reply go to the phone inside an AT command, so each must be a
// USSD string (digits, '*' and '#') of bounded length; anything else is
// refused with the reason and nothing is sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t KKvMaxUssdRequestBytes = 4 * 1024;
// Answers to the menus that follow the code, in order.
inline constexpr size_t KKvMaxUssdReplies = 10;

struct TKvUssdRequest {
  bool iValid = false;
  std::string iError;  // why not valid, in words
  std::string iId;     // the caller's identifier, echoed in the answer; may be empty
  std::string iCode;
  std::vector<std::string> iReplies;
};

// Parses a request; the id is kept even from one refused for another reason.
TKvUssdRequest ParseUssdRequest(std::string_view aPayload);
