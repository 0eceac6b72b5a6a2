// The SIM's PIN for korvanet-cli: read from a file only its owner can read
// (--pin-file FILE or KORVANET_PIN_FILE), never from the command line, where
// every user of the machine sees it.
#pragma once

#include <optional>
#include <string>

namespace kvcli {

inline constexpr char KPinFileVariable[] = "KORVANET_PIN_FILE";

// The file to read: aOption, else the variable's value; none when neither is set.
std::optional<std::string> PinFilePath(const std::optional<std::string>& aOption);

// The PIN in the file (4 to 8 digits, surrounding white space and a line end
// allowed). Throws TCommandError, naming the file and what is wrong, never
// its content: missing, not a plain file, readable or writable by others,
// someone else's, too long, or no PIN.
std::string ReadPinFile(const std::string& aPath);

}  // namespace kvcli
