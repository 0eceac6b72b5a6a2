#include "store/conversation_key.h"

#include <phonenumbers/phonenumberutil.h>

#include <mutex>
#include <set>

#include <kvplatform.h>
#include <kvplatform_db.h>

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

std::mutex gHomeLock;
std::string gHomeCountry;

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0x80 && c != 0xA0 && c != 0x2007 && c != 0x202F);
}

bool HasLetters(const TDesc16& aText) {
  for (int i = 0; i < aText.Length(); ++i)
    if (IsLetter(aText[i])) return true;
  return false;
}

// The dialling characters as written: what a number that no plan reads is
// known by.
std::string DiallingCharacters(const std::string& aText) {
  std::string kept;
  for (char c : aText)
    if ((c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#') kept += c;
  if (kept.compare(0, 2, "00") == 0) kept = "+" + kept.substr(2);
  return kept;
}

bool ParsedInternational(const std::string& aText, const std::string& aRegion, std::string& aKey) {
  const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
  PhoneNumber number;
  if (util->Parse(aText, aRegion.empty() ? "ZZ" : aRegion, &number) != PhoneNumberUtil::NO_PARSING_ERROR) return false;
  util->Format(number, PhoneNumberUtil::E164, &aKey);
  return aKey.size() > 1;
}

}  // namespace

std::u16string ConversationKey(const TDesc16& aNumber, const TDesc16& aName) {
  const TDesc16& sender = aNumber.Length() > 0 ? aNumber : aName;
  if (sender.Length() == 0 || HasLetters(sender))
    return u"~" + kvplatform::FoldForSearch(std::u16string(sender.Ptr(), sender.Length()));
  const std::string written = kvplatform::ToUtf8(std::u16string(sender.Ptr(), sender.Length()));
  const std::string dialling = DiallingCharacters(written);
  std::string key;
  // Short codes and service numbers are no one's national number: as written.
  if (dialling.size() > 6 && dialling.find_first_of("*#") == std::string::npos &&
      (ParsedInternational(written, HomeCountry(), key) || ParsedInternational(dialling, "", key)))
    return kvplatform::FromUtf8(key);
  return dialling.empty() ? u"~" : kvplatform::FromUtf8(dialling);
}

void SetHomeCountry(const std::string& aRegion) {
  std::lock_guard guard(gHomeLock);
  gHomeCountry = IsKnownCountry(aRegion) ? aRegion : std::string();
}

std::string HomeCountry() {
  std::lock_guard guard(gHomeLock);
  return gHomeCountry;
}

std::string CountryOfNumber(const std::string& aInternational) {
  const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
  PhoneNumber number;
  if (aInternational.empty() || aInternational[0] != '+' ||
      util->Parse(aInternational, "ZZ", &number) != PhoneNumberUtil::NO_PARSING_ERROR)
    return std::string();
  std::string region;
  util->GetRegionCodeForNumber(number, &region);
  if (region.empty() || region == "ZZ") util->GetRegionCodeForCountryCode(number.country_code(), &region);
  return region == "ZZ" ? std::string() : region;
}

bool IsKnownCountry(const std::string& aRegion) {
  std::set<std::string> regions;
  PhoneNumberUtil::GetInstance()->GetSupportedRegions(&regions);
  return regions.count(aRegion) != 0;
}
