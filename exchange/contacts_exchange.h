// Contacts out of the store into a file, and from a file into the store.
#pragma once

#include <ostream>
#include <string>

#include "exchange/contact_record.h"
#include "exchange/import_summary.h"
#include "store/contacts.h"

namespace kvexchange {

enum TContactFormat { EContactsVCard, EContactsCsv, EContactsJson };

struct TContactExport {
  TContactFormat iFormat = EContactsVCard;
  int iVCardVersion = 3;     // 3 or 4
  std::string iStore = "all";  // "all", "sim" or "phone"
};

TContactRecord ContactRecordOf(const CKveContactsItem& aContact);

// Writes the contacts not marked deleted, each as it is read from the store.
// The number written.
int ExportContactsL(CKveContactsDatabase& aStore, const TContactExport& aExport, std::ostream& aOut);

// Reads the contacts of a vCard, CSV or JSON file (told apart by what it
// holds) and adds each new one, as a contact added by hand (waiting for the
// next upload), to aStore ("sim" or "phone") or, when aStore is empty, to the
// phone book the file names (the SIM when it names none). A contact whose
// name and number (compared as ComparableNumber does) are stored already is
// skipped. False, with aError and nothing added, when the file cannot be
// read or the store fails part-way. aDryRun only counts.
bool ImportContactsL(CKveContactsDatabase& aStore, const std::string& aText, const std::string& aPhoneBook, bool aDryRun,
                     TImportSummary& aSummary, std::string& aError);

}  // namespace kvexchange
