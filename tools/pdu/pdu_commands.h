// The two commands of korvanet-pdu, callable in-process for tests.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/pdu/pdu_arguments.h"

namespace kvpdu {

// Capability bits the program runs with.
inline constexpr int KCapabilities = 801;

// Exit statuses.
inline constexpr int KExitOk = 0;
inline constexpr int KExitNotDecoded = 1;
inline constexpr int KExitBadArguments = 2;

// Decodes one PDU line into one JSON object on one line; returns the
// decoder's result (0 or a negative code).
int DecodeToJson(const std::string& aPdu, std::string& aJson);

// Encodes one part; returns an empty string and fills aJson, or says why the
// options cannot be encoded.
std::string EncodeToJson(const EncodeOptions& aOptions, std::string& aJson);

// The whole tool: aArgs without the program name.
int RunPdu(const std::vector<std::string>& aArgs, std::istream& aIn, std::ostream& aOut, std::ostream& aErr);

}  // namespace kvpdu
