// Whole backups of the contacts, messages and settings, and restoring one.
#include <cstdio>

#include <kvplatform.h>

#include "exchange/data_backup.h"
#include "exchange/exchange_text.h"
#include "tools/cli/commands.h"

namespace kvcli {

int Backup(TCliSession&, const TParsedOptions& aOptions) {
  std::string error;
  if (!kvexchange::WriteBackup(aOptions.iArguments[0], error)) throw TCommandError(error);
  std::fprintf(stderr, "Backed up the contacts, messages and settings to %s.\n", aOptions.iArguments[0].c_str());
  return 0;
}

int Restore(TCliSession&, const TParsedOptions& aOptions) {
  const std::string& path = aOptions.iArguments[0];
  kvexchange::TBackupContents contents;
  std::string error;
  if (!kvexchange::ReadBackup(path, contents, error))
    throw TCommandError("cannot restore " + path + ": " + error + "; nothing was changed");
  std::string question = "Replace the contacts, messages and settings with those of the backup made " +
                         (contents.iCreated.empty() ? std::string("at an unknown time") : contents.iCreated) + "?";
  if (!Confirmed(aOptions, question, "Nothing restored", "The data replaced is kept aside.")) return KExitFailed;

  // The files replaced stay as they were in a folder of their own.
  SYSTEMTIME now;
  FILETIME time;
  GetSystemTime(&now);
  SystemTimeToFileTime(&now, &time);
  std::string stamp = kvexchange::IsoUtc(time);
  for (char& c : stamp)
    if (c == ':') c = '-';
  std::string aside;
  kvplatform::DevicePathToHost(u"\\My Documents", aside);
  CreateDirectoryW(u"\\My Documents", nullptr);
  aside += "/Korvanet before restore " + stamp;
  std::string kept;
  if (!kvexchange::RestoreBackup(contents, aside, kept, error)) throw TCommandError(error);
  std::fprintf(stderr,
               "Restored the backup made %s. The data it replaced is in %s.\n"
               "A Korvanet window that is open shows the restored data once restarted.\n",
               contents.iCreated.c_str(), kept.c_str());
  return 0;
}

}  // namespace kvcli
