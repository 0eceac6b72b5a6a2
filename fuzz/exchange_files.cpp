// The readers of files a user hands to an import: vCards, contacts CSV, the
// Android SMS backup XML, and the dates those files carry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/contacts_csv.h"
#include "exchange/exchange_text.h"
#include "exchange/sms_backup_xml.h"
#include "exchange/vcard_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  std::string error;
  std::vector<kvexchange::TContactRecord> contacts;
  kvexchange::ReadVCards(text, contacts, error);
  contacts.clear();
  kvexchange::ReadContactsCsv(text, contacts, error);
  std::vector<kvexchange::TMessageRecord> messages;
  kvexchange::ReadSmsBackup(text, messages, error);
  kvexchange::ParseIsoTime(text);
  return 0;
}
