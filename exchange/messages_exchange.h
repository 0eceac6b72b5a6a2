// Messages out of the store into a file, and from a file into the store.
#pragma once

#include <ostream>
#include <string>

#include "exchange/import_summary.h"
#include "store/messages.h"

namespace kvexchange {

enum TMessageFormat { EMessagesJson, EMessagesCsv, EMessagesXml };

// Writes the messages of aFolder ("all", "inbox", "outbox", "sent"), each as
// it is read from the store, in the store's order. The number written.
int ExportMessagesL(CKveMessagesDatabase& aStore, TMessageFormat aFormat, const std::string& aFolder, std::ostream& aOut);

// Reads a JSON, CSV or Android backup XML file (told apart by what it holds)
// and stores each message in the folder it names, through the store's
// duplicate-free write: a message stored already is skipped. False, with
// aError and nothing added, when the file cannot be read or the store fails.
bool ImportMessagesL(CKveMessagesDatabase& aStore, const std::string& aText, TImportSummary& aSummary, std::string& aError);

}  // namespace kvexchange
