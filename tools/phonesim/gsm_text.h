// Text in the forms a phone speaks: UTF-8 inside the simulator, the GSM 7-bit
// default alphabet, ISO 8859-1, UCS2 hexadecimal and plain ASCII on the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

std::u32string DecodeUtf8(std::string_view text);  // bad sequences become U+FFFD
std::string EncodeUtf8(std::u32string_view text);

// UTF-16, as UCS2 messages and names carry it on the line: characters beyond
// U+FFFF as surrogate pairs; a lone surrogate read back becomes U+FFFD.
std::u16string ToUtf16(std::u32string_view text);
std::u32string FromUtf16(std::u16string_view units);
// UTF-16 units of a text: what a UCS2 message or name holds.
size_t Utf16Length(std::u32string_view text);

// Septets of the GSM default alphabet; characters of the extension table
// take two (escape, code). Returns false when a character has no septet.
bool ToGsmSeptets(std::u32string_view text, std::vector<uint8_t>& septets);
std::u32string FromGsmSeptets(const std::vector<uint8_t>& septets);

// Character sets of AT+CSCS that the simulator can speak.
bool IsKnownCharset(std::string_view name);
// The phone's bytes for a text; characters the set lacks become "?".
// "UCS2" is hexadecimal UTF-16, four digits a unit.
std::string EncodeCharset(std::string_view charset, std::string_view utf8);
// The text of bytes received in a character set; false when they are malformed.
bool DecodeCharset(std::string_view charset, std::string_view bytes, std::string& utf8);

std::string ToHex(const std::vector<uint8_t>& bytes);
bool FromHex(std::string_view hex, std::vector<uint8_t>& bytes);

}  // namespace phonesim
