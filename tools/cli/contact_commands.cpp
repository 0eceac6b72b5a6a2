// The contacts commands: the engine's phone book actions, and the local
// contacts as the contacts view and the contact editor treat them.
#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "phone/phonebook_names.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

using TContact = std::unique_ptr<CKveContactsItem>;

// What the contact editor's boxes hand over.
const size_t KMaxNameOrNumber = 63;
const size_t KMaxDetails = 255;

std::string StoreName(const CKveContactsItem& aContact) {
  if (aContact.IsOnSim() && aContact.IsInPhoneMemory()) return "both";
  if (aContact.IsOnSim()) return "sim";
  if (aContact.IsInPhoneMemory()) return "phone";
  return "none";
}

std::string StateName(const CKveContactsItem& aContact) {
  if (aContact.IsDeleted()) return "deleted";
  if (aContact.IsEdited()) return "edited";
  if (aContact.Location() == -1) return "new";
  return "on-phone";
}

nlohmann::json ContactJson(const CKveContactsItem& aContact) {
  return {{"id", aContact.Oid()},
          {"name", Utf8(aContact.Name())},
          {"number", Utf8(aContact.Number())},
          {"details", WithLf(Utf8(aContact.OtherDetails()))},
          {"store", StoreName(aContact)},
          {"location", aContact.Location()},
          {"state", StateName(aContact)}};
}

// A contact the user can see: one marked deleted is gone from every list.
TContact ReadContact(CKveContactsDatabase& aStore, unsigned long aId) {
  TContact contact(static_cast<CKveContactsItem*>(aStore.ReadItemL(static_cast<CEOID>(aId))));
  if (contact == nullptr || contact->IsDeleted()) throw TCommandError("no contact with ID " + std::to_string(aId));
  return contact;
}

std::u16string CheckedText(const std::string& aText, size_t aLimit, const std::string& aWhat,
                           const std::string& aCommand, bool aMultiLine) {
  std::u16string text = Utf16(aText);
  if (aMultiLine) text = WithCrLf(text);
  if (text.size() > aLimit)
    throw TUsageError(aWhat + " is " + std::to_string(text.size()) + " characters long; at most " +
                          std::to_string(aLimit) + " are kept",
                      aCommand);
  return text;
}

// A name is one line: a line break in it would reach the phone's line.
std::u16string OneLine(std::u16string aName) {
  aName.resize(static_cast<size_t>(MakeOneLine(aName.data(), static_cast<int>(aName.size()))));
  return aName;
}

std::u16string Copy(const TDesc16& aText) { return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())); }

void SetDetails(CKveContactsItem& aContact, const std::u16string& aName, const std::u16string& aNumber,
                const std::u16string& aDetails) {
  TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
  TConstPtr16 number(aNumber.data(), static_cast<int>(aNumber.size()));
  TConstPtr16 details(aDetails.data(), static_cast<int>(aDetails.size()));
  aContact.SetDetailsL(&name, &number, &details);
}

// The identifier of the stored contact with the same name and number.
CEOID EqualStoredContact(CKveContactsDatabase& aStore, CKveContactsItem& aContact) {
  int index = aStore.FindItem(aContact);
  if (index < 0) return 0;
  TContact equal(static_cast<CKveContactsItem*>(aStore.ReadItemL(index)));
  return equal != nullptr ? equal->Oid() : 0;
}

}  // namespace

int ContactsDownload(TCliSession& aSession, const TParsedOptions&) {
  return PrintActionResult(aSession, aSession.RunAction("Download contacts ...", [](CKvAppEngine& aEngine) {
    return aEngine.GetAllContactsFromPhone();
  }));
}

int ContactsUpload(TCliSession& aSession, const TParsedOptions&) {
  return PrintActionResult(aSession, aSession.RunAction("Upload changes ...", [](CKvAppEngine& aEngine) {
    return aEngine.GetUploadAllContactsToPhone();
  }));
}

int ContactsDeleteOnPhone(TCliSession& aSession, const TParsedOptions& aOptions) {
  if (!Confirmed(aOptions, "Delete every contact in the phone's phone books (SIM and phone memory)?"))
    return KExitFailed;
  return PrintActionResult(aSession, aSession.RunAction("Delete all contacts...", [](CKvAppEngine& aEngine) {
    return aEngine.DeleteAllContactsFromPhoneL();
  }));
}

int ContactsList(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string store = Choice(aOptions, "store", {"all", "sim", "phone"}, "all", "contacts list");
  CKveContactsDatabase& contacts = aSession.Contacts();
  std::vector<TContact> rows;
  for (CEpocDatabaseItem* item = contacts.ReadFirstItemL(); item != nullptr; item = contacts.ReadNextItemL()) {
    TContact contact(static_cast<CKveContactsItem*>(item));
    if (contact->IsDeleted()) continue;
    if (store == "sim" && !contact->IsOnSim()) continue;
    if (store == "phone" && !contact->IsInPhoneMemory()) continue;
    rows.push_back(std::move(contact));
  }
  if (aSession.Json()) {
    nlohmann::json list = nlohmann::json::array();
    for (const TContact& contact : rows) list.push_back(ContactJson(*contact));
    PrintJson(list);
    return 0;
  }
  for (const TContact& contact : rows) {
    std::string line = Padded(std::to_string(contact->Oid()), 6) + Padded(StoreName(*contact), 6) +
                       Padded(Printable(Utf8(contact->Name())), 24) + " " + Padded(Printable(Utf8(contact->Number())), 18) + " " +
                       StateName(*contact);
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int ContactsAdd(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "contacts add";
  std::optional<std::string> name = aOptions.Value("name");
  std::optional<std::string> number = aOptions.Value("number");
  if (!name || name->empty()) throw TUsageError("--name N is required and may not be empty", command);
  if (!number || number->empty()) throw TUsageError("--number M is required and may not be empty", command);
  std::string where = Choice(aOptions, "store", {"sim", "phone"}, "sim", command);  // the editor's default
  std::u16string nameText = OneLine(CheckedText(*name, KMaxNameOrNumber, "the name", command, false));
  std::u16string numberText = CheckedText(*number, KMaxNameOrNumber, "the number", command, false);
  std::u16string details = CheckedText(aOptions.Value("details").value_or(""), KMaxDetails, "the details", command, true);

  CKveContactsDatabase& store = aSession.Contacts();
  TContact contact(static_cast<CKveContactsItem*>(store.NewItemL()));
  if (contact == nullptr) throw TCommandError("cannot make a contact record");
  SetDetails(*contact, nameText, numberText, details);
  if (where == "sim")
    contact->SetOnSim();
  else
    contact->SetInPhoneMemory();
  CEOID oid = store.WriteItemL(*contact);
  if (oid == 0) {
    CEOID equal = EqualStoredContact(store, *contact);
    if (equal != 0) throw TCommandError("a contact with this name and number already exists: ID " + std::to_string(equal));
    throw TCommandError("the contacts store refused the contact");
  }
  contact->SetOid(oid);
  if (aSession.Json())
    PrintJson(ContactJson(*contact));
  else
    std::printf("%lu\n", static_cast<unsigned long>(oid));
  return 0;
}

int ContactsEdit(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "contacts edit";
  unsigned long id = ParseIdentifier(aOptions.iArguments[0], command);
  if (!aOptions.Has("name") && !aOptions.Has("number") && !aOptions.Has("details"))
    throw TUsageError("nothing to change: give --name, --number or --details", command);
  CKveContactsDatabase& store = aSession.Contacts();
  TContact old = ReadContact(store, id);

  std::u16string name = aOptions.Has("name")
                            ? OneLine(CheckedText(*aOptions.Value("name"), KMaxNameOrNumber, "the name", command, false))
                            : Copy(old->Name());
  std::u16string number = aOptions.Has("number")
                              ? CheckedText(*aOptions.Value("number"), KMaxNameOrNumber, "the number", command, false)
                              : Copy(old->Number());
  std::u16string details = aOptions.Has("details")
                               ? CheckedText(*aOptions.Value("details"), KMaxDetails, "the details", command, true)
                               : Copy(old->OtherDetails());
  if (name.empty()) throw TUsageError("the name may not be empty", command);

  // The edited copy keeps the record's identity, phone book, location and
  // edit mark; the store decides whether a deleted copy is needed.
  TContact edited(static_cast<CKveContactsItem*>(store.CreateItemL()));
  if (edited == nullptr) throw TCommandError("cannot make a contact record");
  SetDetails(*edited, name, number, details);
  edited->SetOid(old->Oid());
  edited->SetLocation(old->Location());
  if (old->IsInPhoneMemory()) edited->SetInPhoneMemory();
  if (old->IsOnSim()) edited->SetOnSim();
  if (old->IsEdited()) edited->SetEdited(true);

  bool changed = old->Compare(*edited) != 0 || Copy(old->OtherDetails()) != details;
  if (changed) store.EditItemL(*old, *edited);
  TContact stored = ReadContact(store, id);
  if (aSession.Json())
    PrintJson(ContactJson(*stored));
  else if (!changed)
    std::fprintf(stderr, "Contact %lu is unchanged.\n", id);
  else
    std::printf("%lu\n", id);
  return 0;
}

int ContactsDelete(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::vector<unsigned long> ids;
  for (const std::string& word : aOptions.iArguments) ids.push_back(ParseIdentifier(word, "contacts delete"));
  CKveContactsDatabase& store = aSession.Contacts();
  int status = 0;
  for (unsigned long id : ids) {
    TContact contact(static_cast<CKveContactsItem*>(store.ReadItemL(static_cast<CEOID>(id))));
    if (contact == nullptr || contact->IsDeleted()) {
      std::fprintf(stderr, "korvanet-cli: no contact with ID %lu\n", id);
      status = KExitFailed;
      continue;
    }
    store.MarkItemDeletedL(static_cast<CEOID>(id));
    std::fprintf(stderr, "Deleted contact %lu%s.\n", id,
                 contact->Location() != -1 ? " (removed from the phone at the next upload)" : "");
  }
  return status;
}

}  // namespace kvcli
