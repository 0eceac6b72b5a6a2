// A list row drawn in bold (unread messages and conversations): the list's
// own font made bold once, kept by the view, selected for the row.
#pragma once

#include <windows.h>

// Selects the bold form of the row's font into aHdc, made on first use into
// aBoldFont (the caller's, to delete). CDRF_NEWFONT, or CDRF_DODEFAULT when
// no bold font could be made.
LRESULT KvSelectBoldRowFont(HDC aHdc, HFONT& aBoldFont);
