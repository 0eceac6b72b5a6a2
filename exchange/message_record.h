// A message as the exchange files carry it, in UTF-8 with LF line ends.
#pragma once

#include <string>
#include <vector>

#include <wintypes.h>

namespace kvexchange {

struct TMessageRecord {
  DWORD iFolder = 0;  // EKvFolderInbox, ...
  std::string iName;
  std::string iNumber;
  std::string iText;
  FILETIME iDate = {};
  std::string iWhere;    // "message 3 (line 12)"
  std::string iRefusal;  // why it cannot be imported; empty when it can
};

}  // namespace kvexchange
