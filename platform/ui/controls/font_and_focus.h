// A control's font and focus: the font WM_SETFONT gave it (the system font
// until then), selected the same way for measuring and for painting, and
// how the common controls answer the font and focus messages.
#pragma once

#include <functional>

#include <windows.h>

namespace kvplatform::ui {

// The font to draw with: the one given, else the system font.
HGDIOBJ FontToDraw(HFONT given);

// A device context of the window with its font selected, for measuring
// text outside WM_PAINT; the font is deselected and the context released
// when it goes.
class FontDc {
 public:
  FontDc(HWND window, HFONT font);
  ~FontDc();
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
  HGDIOBJ old_;
};

// `message` is one of WM_SETFONT, WM_GETFONT, WM_SETFOCUS and WM_KILLFOCUS,
// for a common control that keeps `font` and `focused`: a new font runs
// `relayout` (rows change height); a change of focus redraws the control,
// whose selection looks different without it, and tells the parent
// NM_SETFOCUS / NM_KILLFOCUS.
LRESULT OnFontOrFocus(HWND window, UINT message, WPARAM wParam, HFONT& font, bool& focused,
                      const std::function<void()>& relayout);

}  // namespace kvplatform::ui
