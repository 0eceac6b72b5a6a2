// Contacts and messages out to files and in from them, through the exchange
// library the windowed program uses too.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "exchange/contacts_exchange.h"
#include "exchange/messages_exchange.h"
#include "exchange/summary_text.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

// Runs aWrite on the named file, or on standard output without one. A file
// left half-written by a failure is removed.
template <typename TWrite>
int WriteOutput(const TParsedOptions& aOptions, TWrite aWrite) {
  if (aOptions.iArguments.empty()) {
    int count = aWrite(std::cout);
    std::cout.flush();
    if (!std::cout) throw TCommandError("cannot write to standard output");
    return count;
  }
  const std::string& path = aOptions.iArguments[0];
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw TCommandError("cannot write " + path + ": " + std::strerror(errno));
  int count = aWrite(out);
  out.close();
  if (!out) {
    std::remove(path.c_str());
    throw TCommandError("cannot write " + path + ": " + std::strerror(errno));
  }
  return count;
}

std::string ReadInput(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  if (!in) throw TCommandError("cannot read " + aPath + ": " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw TCommandError("cannot read " + aPath);
  return text.str();
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
  int count = WriteOutput(aOptions, [&](std::ostream& aOut) { return kvexchange::ExportContactsL(store, request, aOut); });
  std::fprintf(stderr, "%s\n", kvexchange::ExportedText(count, "contact").c_str());
  return 0;
}

int ContactsImport(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string phoneBook = Choice(aOptions, "store", {"sim", "phone"}, "", "contacts import");
  std::string text = ReadInput(aOptions.iArguments[0]);
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
  int count = WriteOutput(aOptions, [&](std::ostream& aOut) { return kvexchange::ExportMessagesL(store, kind, folder, aOut); });
  std::fprintf(stderr, "%s\n", kvexchange::ExportedText(count, "message").c_str());
  return 0;
}

int MessagesImport(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string text = ReadInput(aOptions.iArguments[0]);
  kvexchange::TImportSummary summary;
  std::string error;
  if (!kvexchange::ImportMessagesL(aSession.Messages(), text, summary, error))
    throw TCommandError(aOptions.iArguments[0] + ": " + error);
  PrintSummary(aSession, summary, false);
  return 0;
}

}  // namespace kvcli
