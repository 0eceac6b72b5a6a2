#include "app/views/kv_bold_row.h"

#include <commctrl.h>

LRESULT KvSelectBoldRowFont(HDC aHdc, HFONT& aBoldFont) {
  if (aBoldFont == nullptr) {
    LOGFONTW font{};
    if (GetObjectW(GetCurrentObject(aHdc, OBJ_FONT), sizeof(font), &font) == 0) return CDRF_DODEFAULT;
    font.lfWeight = FW_BOLD;
    aBoldFont = CreateFontIndirectW(&font);
    if (aBoldFont == nullptr) return CDRF_DODEFAULT;
  }
  SelectObject(aHdc, aBoldFont);
  return CDRF_NEWFONT;
}
