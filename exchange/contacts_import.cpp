#include <memory>
#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "exchange/contacts_csv.h"
#include "exchange/contacts_exchange.h"
#include "exchange/exchange_text.h"
#include "exchange/json_list.h"
#include "exchange/phone_number.h"
#include "exchange/vcard_reader.h"

namespace kvexchange {
namespace {

using TContactKey = std::pair<std::string, std::string>;  // name, comparable number

// The objects 'contacts export --format json' writes.
bool ReadContactsJson(const std::string& aText, std::vector<TContactRecord>& aContacts, std::string& aError) {
  nlohmann::json list;
  if (!ReadJsonList(aText, "contacts", list, aError)) return false;
  int index = 0;
  for (const nlohmann::json& object : list) {
    ++index;
    TContactRecord contact;
    contact.iWhere = "contact " + std::to_string(index);
    if (!object.is_object()) {
      contact.iRefusal = "not a contact object";
      aContacts.push_back(contact);
      continue;
    }
    auto text = [&](const char* aKey) {
      auto value = object.find(aKey);
      return value != object.end() && value->is_string() ? value->get<std::string>() : std::string();
    };
    contact.iName = Trimmed(text("name"));
    std::string written = text("number");
    contact.iNumber = StorableNumber(written);
    contact.iDetails = WithLf(text("details"));
    auto location = object.find("location");
    SetPlace(contact, text("store"),
             location != object.end() && location->is_number_integer() ? std::to_string(location->get<long long>()) : "");
    CheckStorable(contact, written);
    aContacts.push_back(contact);
  }
  return true;
}

bool ReadContacts(const std::string& aText, std::vector<TContactRecord>& aContacts, std::string& aError) {
  char first = FirstSignificant(aText);
  if (first == '[' || first == '{') return ReadContactsJson(aText, aContacts, aError);
  if (AsciiUpper(aText.substr(0, 4096)).find("BEGIN:VCARD") != std::string::npos) return ReadVCards(aText, aContacts, aError);
  return ReadContactsCsv(aText, aContacts, aError);
}

TContactKey KeyOf(const std::string& aName, const std::string& aNumber) { return {aName, ComparableNumber(aNumber)}; }

// Writes one new contact; its identifier, 0 when the store refused it.
CEOID AddContactL(CKveContactsDatabase& aStore, const TContactRecord& aContact, const std::string& aPhoneBook) {
  std::unique_ptr<CKveContactsItem> item(static_cast<CKveContactsItem*>(aStore.NewItemL()));
  if (item == nullptr) return 0;
  std::u16string name = Utf16(aContact.iName), number = Utf16(aContact.iNumber), details = Utf16(aContact.iDetails);
  item->SetNameL(View(name));
  item->SetNumberL(View(number));
  item->SetOtherDetailsL(View(details));
  std::string book = !aPhoneBook.empty() ? aPhoneBook : aContact.iStore.empty() ? "sim" : aContact.iStore;
  if (book == "sim" || book == "both") item->SetOnSim();
  if (book == "phone" || book == "both") item->SetInPhoneMemory();
  // A location only means something in the phone book the file gave it for.
  if (aPhoneBook.empty() || aPhoneBook == aContact.iStore) item->SetLocation(aContact.iLocation);
  return aStore.WriteItemL(*item);
}

}  // namespace

bool ImportContactsL(CKveContactsDatabase& aStore, const std::string& aText, const std::string& aPhoneBook, bool aDryRun,
                     TImportSummary& aSummary, std::string& aError) {
  std::vector<TContactRecord> contacts;
  if (!ReadContacts(aText, contacts, aError)) return false;

  // Begun before the store is read, so that no other writer comes between
  // the duplicate test and the writes.
  TImportTransaction transaction;
  if (!aDryRun && !transaction.Begin(aError)) return false;
  std::set<TContactKey> stored;
  for (CEpocDatabaseItem* item = aStore.ReadFirstItemL(); item != nullptr; item = aStore.ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    stored.insert(KeyOf(Utf8(contact->Name()), Utf8(contact->Number())));
  }

  TImportSummary summary;
  for (const TContactRecord& contact : contacts) {
    if (!contact.iRefusal.empty()) {
      summary.iRefused.push_back(contact.iWhere + ": " + contact.iRefusal);
      continue;
    }
    // Also catches the same contact twice in one file.
    if (!stored.insert(KeyOf(contact.iName, contact.iNumber)).second) {
      ++summary.iSkipped;
      continue;
    }
    if (!aDryRun) {
      CEOID oid = AddContactL(aStore, contact, aPhoneBook);
      if (oid == 0) {
        aError = "the contacts store refused " + contact.iWhere + " (\"" + contact.iName + "\"); nothing was imported";
        return false;
      }
    }
    ++summary.iAdded;
  }
  if (!aDryRun && !transaction.Commit(aError)) return false;
  aSummary = summary;
  return true;
}

}  // namespace kvexchange
