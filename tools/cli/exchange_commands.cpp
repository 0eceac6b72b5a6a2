// Contacts and messages out to files and in from them, through the exchange
// library the windowed program uses too.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "exchange/contacts_exchange.h"
#include "exchange/exchange_file.h"
#include "exchange/messages_exchange.h"
#include "exchange/summary_text.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

// Runs aWrite on the named file, or on standard output without one. The file
// is written beside its place and renamed over it once whole: a failure
// leaves the earlier file as it was. A pipe gets the file's bytes as they
// are; a terminal gets them escaped, as every command prints what came from
// outside, since a name or a message could otherwise drive it.
template <typename TWrite>
int WriteOutput(const TParsedOptions& aOptions, bool aJson, TWrite aWrite) {
  if (aOptions.iArguments.empty()) {
    int count = 0;
    if (isatty(STDOUT_FILENO)) {
      std::ostringstream text;
      count = aWrite(text);
      // JSON keeps its form: what it leaves unescaped is escaped the JSON way.
      std::cout << (aJson ? TerminalJson(text.str()) : PrintableLines(text.str()));
    } else {
      count = aWrite(std::cout);
    }
    std::cout.flush();
    if (!std::cout) throw TCommandError("cannot write to standard output");
    return count;
  }
  kvexchange::TAtomicFile file;
  std::string error;
  if (!file.Open(aOptions.iArguments[0], error)) throw TCommandError(error);
  int count = aWrite(file.Stream());
  if (!file.Commit(error)) throw TCommandError(error);
  return count;
}

std::string ReadInput(const std::string& aPath, kvexchange::TInputKind aKind) {
  std::string text, error;
  if (!kvexchange::ReadInputFile(aPath, aKind, text, error)) throw TCommandError("cannot read " + aPath + ": " + error);
  return text;
}

void PrintSummary(TCliSession& aSession, const kvexchange::TImportSummary& aSummary, bool aDryRun) {
  if (aSession.Json()) {
    nlohmann::json summary = {{"added", aSummary.iAdded}, {"skipped", aSummary.iSkipped}, {"refused", aSummary.iRefused},
                              {"dry_run", aDryRun}};
    std::printf("%s\n", TerminalJson(summary.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)).c_str());
    return;
  }
  std::printf("%s", Printable(kvexchange::ImportSummaryText(aSummary, aDryRun), true).c_str());
}

}  // namespace

int ContactsExport(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "contacts export";
  kvexchange::TContactExport request;
  std::string format = Choice(aOptions, "format", {"vcard", "csv", "json"}, "vcard", command);
  request.iFormat = format == "csv" ? kvexchange::EContactsCsv : format == "json" ? kvexchange::EContactsJson : kvexchange::EContactsVCard;
  request.iVCardVersion = Choice(aOptions, "vcard-version", {"3", "4"}, "3", command) == "4" ? 4 : 3;
  request.iStore = Choice(aOptions, "store", {"all", "sim", "phone"}, "all", command);
  CKveContactsDatabase& store = aSession.Contacts();
  int count = WriteOutput(aOptions, request.iFormat == kvexchange::EContactsJson,
                          [&](std::ostream& aOut) { return kvexchange::ExportContactsL(store, request, aOut); });
  std::fprintf(stderr, "%s\n", kvexchange::ExportedText(count, "contact").c_str());
  return 0;
}

int ContactsImport(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string phoneBook = Choice(aOptions, "store", {"sim", "phone"}, "", "contacts import");
  std::string text = ReadInput(aOptions.iArguments[0], kvexchange::EInputContacts);
  kvexchange::TImportSummary summary;
  std::string error;
  bool dryRun = aOptions.Has("dry-run");
  if (!kvexchange::ImportContactsL(aSession.Contacts(), text, phoneBook, dryRun, summary, error))
    throw TCommandError(aOptions.iArguments[0] + ": " + error);
  PrintSummary(aSession, summary, dryRun);
  return 0;
}

int MessagesExport(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "messages export";
  std::string folder = Choice(aOptions, "folder", {"all", "inbox", "outbox", "sent"}, "all", command);
  std::string format = Choice(aOptions, "format", {"json", "csv", "xml"}, "json", command);
  kvexchange::TMessageFormat kind =
      format == "csv" ? kvexchange::EMessagesCsv : format == "xml" ? kvexchange::EMessagesXml : kvexchange::EMessagesJson;
  CKveMessagesDatabase& store = aSession.Messages();
  int count = WriteOutput(aOptions, kind == kvexchange::EMessagesJson,
                          [&](std::ostream& aOut) { return kvexchange::ExportMessagesL(store, kind, folder, aOut); });
  std::fprintf(stderr, "%s\n", kvexchange::ExportedText(count, "message").c_str());
  return 0;
}

int MessagesImport(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string text = ReadInput(aOptions.iArguments[0], kvexchange::EInputMessages);
  kvexchange::TImportSummary summary;
  std::string error;
  if (!kvexchange::ImportMessagesL(aSession.Messages(), text, summary, error))
    throw TCommandError(aOptions.iArguments[0] + ": " + error);
  PrintSummary(aSession, summary, false);
  return 0;
}

}  // namespace kvcli
