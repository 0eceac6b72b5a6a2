#include "app/views/kv_conversation_drafts.h"

#include <windows.h>
#include <winreg.h>

#include "app/document/kv_document.h"
#include "app/document/kv_message_limits.h"
#include "kernel/log.h"

namespace {

const std::u16string KConversationDraftsKey = std::u16string(KKvRegistryKey) + u"\\Drafts";

// A key the settings file can name: short, without control characters.
bool IsConversationDraftKey(const std::u16string& aKey) {
  if (aKey.empty() || aKey.size() > static_cast<size_t>(KKvMaxDraftKey)) return false;
  for (char16_t c : aKey)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

std::u16string KvReadDraftL(const std::u16string& aKey) {
  if (!IsConversationDraftKey(aKey)) return std::u16string();
  HKEY drafts = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, KConversationDraftsKey.c_str(), 0, 0, &drafts) != ERROR_SUCCESS) return std::u16string();
  std::u16string text(static_cast<size_t>(KKvMaxMessageText) + 1, u'\0');
  DWORD size = static_cast<DWORD>(text.size() * sizeof(char16_t));
  DWORD type = 0;
  LONG result = RegQueryValueExW(drafts, aKey.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(text.data()), &size);
  RegCloseKey(drafts);
  if (result != ERROR_SUCCESS || type != REG_SZ) return std::u16string();
  text.resize(size / sizeof(char16_t));
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  // A settings file edited by hand holds no more than a message may.
  if (text.size() > static_cast<size_t>(KKvMaxMessageText)) text.resize(KKvMaxMessageText);
  return text;
}

bool KvWriteDraftL(const std::u16string& aKey, const std::u16string& aText) {
  if (!IsConversationDraftKey(aKey)) {
    LogMessage(KLogFilePath, u"KvWriteDraftL - no draft kept for a key of %1!d! characters", static_cast<int>(aKey.size()));
    return false;
  }
  HKEY drafts = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, KConversationDraftsKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &drafts, &disposition) != ERROR_SUCCESS) {
    LogMessageWithError(KLogFilePath, u"KvWriteDraftL - Failed to open the drafts");
    return false;
  }
  LONG result;
  if (aText.empty()) {
    result = RegDeleteValueW(drafts, aKey.c_str());
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  } else {
    const std::u16string kept = aText.substr(0, KKvMaxMessageText);
    result = RegSetValueExW(drafts, aKey.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(kept.c_str()),
                            static_cast<DWORD>((kept.size() + 1) * sizeof(char16_t)));
  }
  RegCloseKey(drafts);
  if (result != ERROR_SUCCESS) LogMessage(KLogFilePath, u"KvWriteDraftL - Failed to keep the draft %1!d!", result);
  return result == ERROR_SUCCESS;
}
