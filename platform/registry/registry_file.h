// The registry file's text form, in the style of a .reg export:
//
//   Korvanet registry 1
//   [HKEY_CURRENT_USER\Software\Veltramonic\Korvanet]
//   "DebugLog"=dword:00000001
//   "SMSC"="+447785016005"
//   "Other"=hex(3):01,02
//
// Text is UTF-8; quotes, backslashes and control characters are escaped.
#pragma once

#include <map>
#include <string>

#include "registry_store.h"

namespace kvplatform {

std::string SerializeRegistry(const std::map<std::u16string, RegistryKey>& keys);
// False for anything malformed, with the line number and reason in error.
bool ParseRegistry(const std::string& text, std::map<std::u16string, RegistryKey>& keys, std::string& error);

}  // namespace kvplatform
