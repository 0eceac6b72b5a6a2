#include "app/views/kv_sms_counter.h"

#include "app/document/kv_message_limits.h"
#include "app/views/kv_question.h"
#include "kernel/log.h"
#include "sms/sms_length.h"

std::u16string KvSmsCountText(const std::u16string& aText) {
  TSmsLength length = SmsLengthOf(TConstPtr16(aText.c_str(), static_cast<int>(aText.size())));
  WCHAR count[48] = u"0";  // nothing typed yet
  if (length.iParts > 0)
    wsprintfW(count, length.IsUnicode() ? u"%d / %d Unicode" : u"%d / %d", length.iUnits, length.iParts);
  return count;
}

bool KvTextFitsOneLongMessageL(HWND aOwner, const std::u16string& aText) {
  // Counted as the engine sends it: line feeds dropped, carriage returns kept.
  std::u16string sent;
  sent.reserve(aText.size());
  for (char16_t c : aText)
    if (c != u'\n') sent += c;
  TSmsLength length = SmsLengthOf(TConstPtr16(sent.c_str(), static_cast<int>(sent.size())));
  if (length.iParts <= KSmsMaxParts) return true;
  LogMessage(KLogFilePath, u"KvTextFitsOneLongMessageL - %1!d! parts", length.iParts);
  WCHAR reason[160];
  wsprintfW(reason, u"The text needs %d messages; a long message has at most %d. Shorten it to save or send it.",
            length.iParts, KSmsMaxParts);
  KvShowBoxL(aOwner, u"Message too long", reason, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

std::u16string KvWholeWindowText(HWND aWindow) {
  int length = GetWindowTextLengthW(aWindow);
  if (length <= 0) return std::u16string();
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  int copied = GetWindowTextW(aWindow, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}
