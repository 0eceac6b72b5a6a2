#include "store/message_folder_order.h"

#include "store/messages.h"

namespace {

const char16_t KHexDigits[] = u"0123456789abcdef";

void AppendHex(std::u16string& aKey, unsigned long long aValue, int aDigits) {
  for (int shift = (aDigits - 1) * 4; shift >= 0; shift -= 4) aKey.push_back(KHexDigits[(aValue >> shift) & 0xF]);
}

}  // namespace

int FolderListOf(DWORD aFolder) {
  switch (aFolder) {
    case EKvFolderOutbox:
      return 1;
    case EKvFolderSent:
      return 2;
    default:
      return 0;
  }
}

std::u16string FolderOrderKey(DWORD aFolder, const TDesc16& aName, const FILETIME& aDate) {
  std::u16string key = FolderOrderBound(FolderListOf(aFolder));
  key.reserve(1 + aName.Length() * 4 + 1 + 16);
  for (int i = 0; i < aName.Length(); ++i) AppendHex(key, aName[i], 4);
  key.push_back(u'.');
  AppendHex(key, (static_cast<unsigned long long>(aDate.dwHighDateTime) << 32) | aDate.dwLowDateTime, 16);
  return key;
}

std::u16string FolderOrderBound(int aList) { return std::u16string(1, static_cast<char16_t>(u'0' + aList)); }
