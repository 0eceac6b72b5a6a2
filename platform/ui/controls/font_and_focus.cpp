#include "ui/controls/font_and_focus.h"

#include "ui/controls/common_control_support.h"

namespace kvplatform::ui {

HGDIOBJ FontToDraw(HFONT given) { return given ? static_cast<HGDIOBJ>(given) : GetStockObject(SYSTEM_FONT); }

FontDc::FontDc(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) {
  old_ = SelectObject(dc_, FontToDraw(font));
}

FontDc::~FontDc() {
  SelectObject(dc_, old_);
  ReleaseDC(window_, dc_);
}

LRESULT OnFontOrFocus(HWND window, UINT message, WPARAM wParam, HFONT& font, bool& focused,
                      const std::function<void()>& relayout) {
  if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(font);
  if (message == WM_SETFONT) {
    font = reinterpret_cast<HFONT>(wParam);
    relayout();
    return 0;
  }
  focused = message == WM_SETFOCUS;
  InvalidateRect(window, nullptr, TRUE);
  NMHDR header{};
  bool alive = true;
  NotifyParent(window, header, focused ? NM_SETFOCUS : NM_KILLFOCUS, alive);
  return 0;
}

}  // namespace kvplatform::ui
