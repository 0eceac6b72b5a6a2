// Phone numbers as address books write them and as a phone book holds them.
#pragma once

#include <string>

namespace kvexchange {

// Longest number a phone book entry holds.
inline constexpr size_t KMaxStoredNumber = 32;

// The number without the separators people write in it (spaces, dashes,
// dots, parentheses, slashes) and without a "tel:" prefix or an extension.
std::string StorableNumber(const std::string& aWritten);
// Whether a phone can store it: an optional leading '+', then digits and the
// dialling characters * # p w, at most KMaxStoredNumber characters.
bool IsStorableNumber(const std::string& aNumber);
// The form numbers are compared in: separators dropped and a leading "00"
// written as '+', so "+44 7700-900123" and "00447700900123" are one number.
std::string ComparableNumber(const std::string& aNumber);

}  // namespace kvexchange
