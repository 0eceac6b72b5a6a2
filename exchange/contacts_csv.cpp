#include "exchange/contacts_csv.h"

#include <algorithm>
#include <unordered_map>

#include "exchange/exchange_text.h"
#include "exchange/phone_number.h"

namespace kvexchange {
namespace {

// Where each kind of value sits in a row: the first column of each name,
// found without a walk through the header (which may have many columns).
struct TColumns {
  std::unordered_map<std::string, int> iFirst;
  explicit TColumns(const std::vector<std::string>& aHeader) {  // lower case
    for (size_t i = 0; i < aHeader.size(); ++i) iFirst.emplace(aHeader[i], static_cast<int>(i));
  }

  int FindName(const std::string& aName) const {
    auto found = iFirst.find(aName);
    return found == iFirst.end() ? -1 : found->second;
  }
  int Find(std::initializer_list<const char*> aNames) const {
    for (const char* name : aNames)
      if (int column = FindName(name); column >= 0) return column;
    return -1;
  }
};

struct TPhoneColumn {
  int iValue;
  int iType;  // Google's "Phone 1 - Type" beside its value; -1 when the header says it
  std::string iLabel;
};

// Google writes several numbers in one field, separated by " ::: ".
std::vector<std::string> SplitValues(const std::string& aField) {
  std::vector<std::string> values;
  size_t from = 0;
  while (true) {
    size_t at = aField.find(":::", from);
    std::string value = Trimmed(aField.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (!value.empty()) values.push_back(value);
    if (at == std::string::npos) return values;
    from = at + 3;
  }
}

}  // namespace

const TCsvRow KContactCsvHeader = {"Name", "Number", "Details", "Store", "Location"};

TCsvRow ContactCsvRow(const TContactRecord& aContact) {
  return {aContact.iName, aContact.iNumber, aContact.iDetails, aContact.iStore,
          aContact.iLocation == -1 ? std::string() : std::to_string(aContact.iLocation)};
}

bool ReadContactsCsv(const std::string& aText, std::vector<TContactRecord>& aContacts, std::string& aError) {
  TCsvTable table;
  std::string text = IsUtf8(aText) ? aText : Latin1ToUtf8(aText);
  if (!ReadCsv(text, table, aError)) return false;
  std::vector<std::string> header;
  for (const std::string& name : table.iHeader) header.push_back(AsciiLower(Trimmed(name)));
  TColumns columns(header);

  int name = columns.Find({"name", "display name", "full name", "fn", "formatted name"});
  int first = columns.Find({"first name", "given name"});
  int middle = columns.Find({"middle name", "additional name"});
  int last = columns.Find({"last name", "family name", "surname"});
  int organisation = columns.Find({"organization 1 - name", "organization name", "company", "organization"});
  int notes = columns.Find({"details", "notes", "note"});
  int store = columns.Find({"store"});
  int location = columns.Find({"location"});

  std::vector<TPhoneColumn> phones;
  int number = columns.Find({"number"});
  if (number >= 0) phones.push_back({number, -1, "mobile"});
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string& h = header[i];
    if (static_cast<int>(i) == number) continue;
    if (h.rfind("phone ", 0) == 0 && h.size() > 8 && h.compare(h.size() - 8, 8, " - value") == 0) {
      int type = columns.FindName(h.substr(0, h.size() - 8) + " - type");
      phones.push_back({static_cast<int>(i), type, "other"});
    } else if (h.find(" - type") == std::string::npos && h.find("fax") == std::string::npos && h.find("pager") == std::string::npos &&
               (h.find("phone") != std::string::npos || h.find("mobile") != std::string::npos ||
                (h.find("number") != std::string::npos && h.find("id number") == std::string::npos))) {
      std::string label = h.find("mobile") != std::string::npos || h.find("cell") != std::string::npos ? "mobile" : h;
      for (const char* suffix : {" phone", " number"})
        if (label.size() > std::string(suffix).size() && label.compare(label.size() - std::string(suffix).size(), std::string::npos, suffix) == 0)
          label.erase(label.size() - std::string(suffix).size());
      phones.push_back({static_cast<int>(i), -1, label});
    }
  }
  if ((name < 0 && first < 0 && last < 0 && organisation < 0) || phones.empty()) {
    aError = "the header row names no column for a contact's name and number (such as \"Name\" and \"Number\")";
    return false;
  }

  for (size_t row = 0; row < table.iRows.size(); ++row) {
    const TCsvRow& fields = table.iRows[row];
    auto field = [&](int aColumn) { return aColumn >= 0 && static_cast<size_t>(aColumn) < fields.size() ? Trimmed(fields[aColumn]) : std::string(); };
    TContactRecord contact;
    contact.iWhere = "row " + std::to_string(row + 1) + " (line " + std::to_string(table.iRowLines[row]) + ")";
    contact.iName = field(name);
    if (contact.iName.empty()) {
      for (int part : {first, middle, last}) {
        std::string text = field(part);
        if (!text.empty()) contact.iName += (contact.iName.empty() ? "" : " ") + text;
      }
    }
    if (contact.iName.empty()) contact.iName = field(organisation);

    // Every number with its label; the mobile one is kept, the rest are details.
    std::vector<std::pair<std::string, std::string>> numbers;
    for (size_t k = 0; k < phones.size(); ++k) {
      const TPhoneColumn& phone = phones[k];
      // Past the row's last field: every later column is too, but the
      // "Number" column, which comes first whatever its place.
      if (static_cast<size_t>(phone.iValue) >= fields.size()) {
        if (k == 0 && number >= 0) continue;
        break;
      }
      std::string label = phone.iType >= 0 ? AsciiLower(field(phone.iType)) : phone.iLabel;
      if (label.rfind("* ", 0) == 0) label.erase(0, 2);  // Google marks the primary one "* Mobile"
      if (label.empty()) label = "other";
      for (const std::string& value : SplitValues(field(phone.iValue))) numbers.emplace_back(label, value);
    }
    auto mobile = std::find_if(numbers.begin(), numbers.end(), [](const auto& n) { return n.first == "mobile" || n.first == "cell"; });
    size_t chosen = mobile != numbers.end() ? static_cast<size_t>(mobile - numbers.begin()) : 0;
    std::string details = WithLf(field(notes));
    std::string written;
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (i == chosen) {
        written = numbers[i].second;
        contact.iNumber = StorableNumber(written);
      } else {
        details += (details.empty() ? "" : "\n") + numbers[i].first + ": " + numbers[i].second;
      }
    }
    contact.iDetails = details;
    SetPlace(contact, field(store), field(location));
    CheckStorable(contact, written);
    aContacts.push_back(std::move(contact));
  }
  return true;
}

}  // namespace kvexchange
