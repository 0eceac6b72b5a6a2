#include "exchange/contact_record.h"

#include <algorithm>
#include <cctype>

#include "exchange/exchange_text.h"
#include "exchange/phone_number.h"
#include "phone/phonebook_names.h"

namespace kvexchange {

std::string OneLineName(const std::string& aName) {
  std::u16string name = Utf16(aName);
  name.resize(static_cast<size_t>(MakeOneLine(name.data(), static_cast<int>(name.size()))));
  return Trimmed(Utf8(View(name)));
}

void SetPlace(TContactRecord& aContact, const std::string& aStore, const std::string& aLocation) {
  std::string store = aStore;
  for (char& c : store) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (store != "sim" && store != "phone" && store != "both") return;
  aContact.iStore = store;
  bool digits = !aLocation.empty() && aLocation.size() < 6 &&
                std::all_of(aLocation.begin(), aLocation.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
  if (digits) aContact.iLocation = std::stoi(aLocation);
}

void CheckStorable(TContactRecord& aContact, const std::string& aWritten) {
  aContact.iName = OneLineName(aContact.iName);
  if (aContact.iName.empty())
    aContact.iRefusal = "no name";
  else if (aContact.iNumber.empty())
    aContact.iRefusal = "no number";
  else if (!IsStorableNumber(aContact.iNumber))
    aContact.iRefusal = "the number \"" + aWritten + "\" cannot be stored on a phone";
}

}  // namespace kvexchange
