#include "ui/controls/common_control_support.h"

#include <algorithm>

namespace kvplatform::ui {

LRESULT NotifyParent(HWND control, NMHDR& header, UINT code, bool& stillExists) {
  header.hwndFrom = control;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  header.code = code;
  HWND parent = GetParent(control);
  LRESULT result = parent ? SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) : 0;
  stillExists = IsWindow(control) != FALSE;
  return result;
}

std::u16string TextFrom(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

int CopyTextTo(const std::u16string& text, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  int n = std::min(static_cast<int>(text.size()), size - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = u'\0';
  return n;
}

int LineHeight(HDC dc) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  return metrics.tmHeight + 3;
}

int TextWidth(HDC dc, const std::u16string& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

}  // namespace kvplatform::ui
