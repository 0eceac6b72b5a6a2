// Contacts as CSV: ours ("Name,Number,Details,Store,Location") and the
// columns Google, Outlook and Thunderbird exports use.
#pragma once

#include <string>
#include <vector>

#include "exchange/contact_record.h"
#include "exchange/csv.h"

namespace kvexchange {

extern const TCsvRow KContactCsvHeader;
TCsvRow ContactCsvRow(const TContactRecord& aContact);

// The contacts of a CSV file with a header row. The name is a "Name",
// "Display Name" or "Full Name" column, else first and last names joined;
// the number the mobile one among the phone columns, the others going into
// the details. False, with aError, when no column holds a name or a number.
bool ReadContactsCsv(const std::string& aText, std::vector<TContactRecord>& aContacts, std::string& aError);

}  // namespace kvexchange
