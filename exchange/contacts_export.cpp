#include <memory>

#include <nlohmann/json.hpp>

#include "exchange/contacts_csv.h"
#include "exchange/contacts_exchange.h"
#include "exchange/exchange_text.h"
#include "exchange/vcard_writer.h"

namespace kvexchange {

TContactRecord ContactRecordOf(const CKveContactsItem& aContact) {
  TContactRecord record;
  record.iName = Utf8(aContact.Name());
  record.iNumber = Utf8(aContact.Number());
  record.iDetails = WithLf(Utf8(aContact.OtherDetails()));
  if (aContact.IsOnSim() && aContact.IsInPhoneMemory())
    record.iStore = "both";
  else if (aContact.IsOnSim())
    record.iStore = "sim";
  else if (aContact.IsInPhoneMemory())
    record.iStore = "phone";
  record.iLocation = aContact.Location();
  return record;
}

int ExportContactsL(CKveContactsDatabase& aStore, const TContactExport& aExport, std::ostream& aOut) {
  int count = 0;
  if (aExport.iFormat == EContactsCsv) aOut << CsvLine(KContactCsvHeader);
  if (aExport.iFormat == EContactsJson) aOut << "[";
  for (CEpocDatabaseItem* item = aStore.ReadFirstItemL(); item != nullptr; item = aStore.ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    if (contact->IsDeleted()) continue;
    if (aExport.iStore == "sim" && !contact->IsOnSim()) continue;
    if (aExport.iStore == "phone" && !contact->IsInPhoneMemory()) continue;
    TContactRecord record = ContactRecordOf(*contact);
    switch (aExport.iFormat) {
      case EContactsVCard: aOut << VCard(record, aExport.iVCardVersion); break;
      case EContactsCsv: aOut << CsvLine(ContactCsvRow(record)); break;
      case EContactsJson: {
        nlohmann::json object = {{"name", record.iName},       {"number", record.iNumber},
                                 {"details", record.iDetails}, {"store", record.iStore},
                                 {"location", record.iLocation}};
        aOut << (count == 0 ? "\n  " : ",\n  ") << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        break;
      }
    }
    ++count;
  }
  if (aExport.iFormat == EContactsJson) aOut << (count == 0 ? "]\n" : "\n]\n");
  return count;
}

}  // namespace kvexchange
