// The "EDIT" window class. The text and its lines live in an EditBuffer;
// this file turns messages, taps and keys into edits, scrolling and
// notifications, and draws the box: white field, black text, the caret as
// a thin bar, the selection in the highlight colours.
#include "ui/controls/edit_window.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "ui/controls/edit_buffer.h"
#include "ui/controls/command_notify.h"
#include "ui/controls/control_state.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/vertical_scroll.h"
#include "ui/gdi/shaped_text.h"
#include "ui/painting/solid_fill.h"
#include "ui/windows/message_point.h"
#include "ui/text/utf16.h"

namespace kvplatform::ui {
namespace {

constexpr int kMargin = 2;  // pixels between the frame and the text

struct EditState {
  HWND self = nullptr;
  HFONT font = nullptr;
  EditBuffer buffer;
  size_t firstLine = 0;    // multi-line: the line shown at the top
  int scrollX = 0;         // single-line: pixels scrolled off to the left
  bool created = false;    // no notifications while the window is being made
  bool focused = false;
  bool selecting = false;  // the stylus is dragging out a selection
  int lineHeight = 13;
  char16_t pendingHigh = 0;  // the first half of a typed surrogate pair
  // Shift as the key messages so far left it: read at the time of the key
  // it goes with, not when the queue gets to it.
  bool shift = false;
  mutable std::u16string masked;  // ES_PASSWORD: what is drawn and measured instead of the text
};

DWORD StyleOf(const EditState& s) { return static_cast<DWORD>(GetWindowLongW(s.self, GWL_STYLE)); }
bool IsMultiline(const EditState& s) { return (StyleOf(s) & ES_MULTILINE) != 0; }
bool IsReadOnly(const EditState& s) { return (StyleOf(s) & ES_READONLY) != 0; }
// A single-line box that shows a mask character for each character typed.
bool IsPassword(const EditState& s) { return !IsMultiline(s) && (StyleOf(s) & ES_PASSWORD) != 0; }
constexpr char16_t kPasswordChar = u'*';

// The text as the box shows it: masked in a password box.
std::u16string_view ShownText(const EditState& s) {
  if (!IsPassword(s)) return s.buffer.Text();
  s.masked.assign(s.buffer.Length(), kPasswordChar);
  return s.masked;
}

void Measure(HDC dc, std::u16string_view text, std::vector<int>& ends) {
  ends.assign(text.size(), 0);
  if (text.empty()) return;
  SIZE size;
  GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), INT_MAX, nullptr, ends.data(), &size);
}

int Width(HDC dc, std::u16string_view text) {
  if (text.empty()) return 0;
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

RECT ClientOf(const EditState& s) {
  RECT r{};
  GetClientRect(s.self, &r);
  return r;
}

int TextWidth(const EditState& s) { return std::max(0, static_cast<int>(ClientOf(s).right) - 2 * kMargin); }

// Single-line boxes centre their line; multi-line text starts at the top.
int TextTop(const EditState& s) {
  if (IsMultiline(s)) return 1;
  return std::max(0, static_cast<int>(ClientOf(s).bottom - s.lineHeight) / 2);
}

size_t VisibleLines(const EditState& s) {
  return static_cast<size_t>(std::max(1, static_cast<int>(ClientOf(s).bottom - 1) / s.lineHeight));
}

RowScroll ScrollOf(const EditState& s) {
  return RowScroll{static_cast<int>(s.buffer.LineCount()), static_cast<int>(VisibleLines(s))};
}

void UpdateScrollBar(EditState& s) {
  if (IsMultiline(s)) ShowOnScrollBar(s.self, ScrollOf(s), static_cast<int>(s.firstLine));
}

void Relayout(EditState& s) {
  FontDc dc(s.self, s.font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.Get(), &metrics);
  s.lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
  s.buffer.Layout(IsMultiline(s), TextWidth(s), [&](std::u16string_view text, std::vector<int>& ends) {
    Measure(dc.Get(), text, ends);
  });
  s.firstLine = std::min(s.firstLine, s.buffer.LineCount() - 1);
  UpdateScrollBar(s);
}

std::u16string_view LineText(const EditState& s, size_t line) {
  const EditLine& l = s.buffer.Lines()[line];
  return ShownText(s).substr(l.start, l.length);
}

// The line ends with a wrap (not a line break): the caret cannot sit after
// its last character, which is where the next line begins.
bool IsWrapped(const EditState& s, size_t line) {
  const auto& lines = s.buffer.Lines();
  return line + 1 < lines.size() && lines[line + 1].start == lines[line].start + lines[line].length;
}

size_t LineEndCaret(const EditState& s, size_t line) {
  const EditLine& l = s.buffer.Lines()[line];
  return l.start + l.length - (IsWrapped(s, line) && l.length > 0 ? 1 : 0);
}

// A right-to-left paragraph's lines start at the right edge of a
// multi-line box; single-line boxes scroll, and keep to the left.
int LineOffset(const EditState& s, const ShapedLine& shaped) {
  return IsMultiline(s) && shaped.rightToLeft ? std::max(0, TextWidth(s) - shaped.width) : 0;
}

int XOf(const EditState& s, HDC dc, size_t index) {
  size_t line = s.buffer.LineOf(index);
  std::u16string_view text = LineText(s, line);
  if (!NeedsShaping(text)) return Width(dc, text.substr(0, index - s.buffer.Lines()[line].start));
  auto shaped = ShapeOnDc(dc, text);
  if (!shaped) return 0;
  return LineOffset(s, *shaped) + CaretX(*shaped, index - s.buffer.Lines()[line].start);
}

size_t IndexAtX(const EditState& s, HDC dc, size_t line, int x) {
  std::u16string_view text = LineText(s, line);
  size_t start = s.buffer.Lines()[line].start;
  if (NeedsShaping(text)) {
    auto shaped = ShapeOnDc(dc, text);
    if (!shaped) return start;
    size_t index = IndexAtX(*shaped, x - LineOffset(s, *shaped));
    return std::min(start + index, LineEndCaret(s, line));
  }
  std::vector<int> ends;
  Measure(dc, text, ends);
  for (size_t i = 0; i < text.size(); i += CharLengthAt(text, i)) {
    int left = i ? ends[i - 1] : 0;
    if (x < (left + ends[i]) / 2) return std::min(start + i, LineEndCaret(s, line));
  }
  return LineEndCaret(s, line);
}

size_t IndexFromPoint(const EditState& s, int x, int y) {
  FontDc dc(s.self, s.font);
  size_t line = 0;
  if (IsMultiline(s)) {
    int dy = y - TextTop(s);
    long row = dy < 0 ? -1 - (-dy - 1) / s.lineHeight : dy / s.lineHeight;
    long wanted = static_cast<long>(s.firstLine) + row;
    line = static_cast<size_t>(std::clamp<long>(wanted, 0, static_cast<long>(s.buffer.LineCount()) - 1));
  }
  return IndexAtX(s, dc.Get(), line, x - kMargin + (IsMultiline(s) ? 0 : s.scrollX));
}

void ScrollToCaret(EditState& s) {
  if (IsMultiline(s)) {
    int line = static_cast<int>(s.buffer.LineOf(s.buffer.Caret()));
    s.firstLine = static_cast<size_t>(ScrollOf(s).TopShowing(line, static_cast<int>(s.firstLine)));
    UpdateScrollBar(s);
    return;
  }
  FontDc dc(s.self, s.font);
  int x = XOf(s, dc.Get(), s.buffer.Caret()), width = TextWidth(s);
  if (x < s.scrollX) s.scrollX = std::max(0, x - width / 3);
  if (x > s.scrollX + width) s.scrollX = x - width + width / 3;
}

void Redraw(EditState& s) { InvalidateRect(s.self, nullptr, FALSE); }

// The window record keeps a copy of the text, for those who read it there.
void SyncWindowText(EditState& s) {
  DefWindowProcW(s.self, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.buffer.Text().c_str()));
}

// After every change: lines, scrolling, screen, then EN_UPDATE and
// EN_CHANGE. False when the parent destroyed the box.
bool Changed(EditState& s, bool cut) {
  Relayout(s);
  ScrollToCaret(s);
  SyncWindowText(s);
  Redraw(s);
  if (!s.created) return true;
  HWND self = s.self;
  if (cut && !NotifyCommand(self, EN_MAXTEXT)) return false;
  return NotifyCommand(self, EN_UPDATE) && NotifyCommand(self, EN_CHANGE);
}

// Without automatic scrolling a box takes only what it can show.
bool Fits(const EditState& s) {
  DWORD style = StyleOf(s);
  if (IsMultiline(s)) return (style & (ES_AUTOVSCROLL | WS_VSCROLL)) || s.buffer.LineCount() <= VisibleLines(s);
  if (style & ES_AUTOHSCROLL) return true;
  FontDc dc(s.self, s.font);
  return Width(dc.Get(), ShownText(s)) <= TextWidth(s);
}

// What the user types or deletes replaces the selection.
bool Type(EditState& s, std::u16string_view insert) {
  if (IsReadOnly(s)) return true;
  std::u16string before = s.buffer.Text();
  size_t anchor = s.buffer.Anchor(), caret = s.buffer.Caret();
  bool whole = s.buffer.ReplaceSelection(insert);
  Relayout(s);
  if (!Fits(s)) {
    s.buffer.SetText(before);
    s.buffer.Select(anchor, caret);
    Relayout(s);
    whole = false;
  }
  if (s.buffer.Text() == before) {
    Redraw(s);
    return whole || NotifyCommand(s.self, EN_MAXTEXT);
  }
  return Changed(s, !whole);
}

void DeleteBeside(EditState& s, bool forward) {
  if (IsReadOnly(s)) return;
  if (!s.buffer.HasSelection()) {
    size_t caret = s.buffer.Caret();
    s.buffer.Select(caret, forward ? s.buffer.NextPosition(caret) : s.buffer.PreviousPosition(caret));
  }
  Type(s, u"");
}

// ---- handlers ----

LRESULT OnCreate(EditState& s) {
  Relayout(s);
  s.created = true;
  return 0;
}

LRESULT OnSetText(EditState& s, LPCWSTR text) {
  s.buffer.SetText(text ? std::u16string_view(text) : std::u16string_view());
  s.firstLine = 0;
  s.scrollX = 0;
  Changed(s, false);
  return TRUE;
}

LRESULT OnGetText(EditState& s, size_t size, LPWSTR buffer) {
  if (!buffer || size == 0) return 0;
  size_t count = std::min(s.buffer.Length(), size - 1);
  std::copy_n(s.buffer.Text().data(), count, buffer);
  buffer[count] = 0;
  return static_cast<LRESULT>(count);
}

// Shaped text is drawn whole, so that letters join across the selection's
// edges; the selection is each selected character's place, drawn again
// in the highlight colours.
void DrawShapedLine(const EditState& s, HDC dc, std::u16string_view text, size_t start, size_t from, size_t to,
                    int originX, int y, const RECT& area, COLORREF ink) {
  auto shaped = ShapeOnDc(dc, text);
  if (!shaped) return;
  int x = originX + LineOffset(s, *shaped);
  SetTextColor(dc, ink);
  ExtTextOutW(dc, x, y, ETO_CLIPPED, &area, text.data(), static_cast<UINT>(text.size()), nullptr);
  for (size_t i = from; i < to; i = NextCharStart(text, i - start) + start) {
    RECT band{x + shaped->lefts[i - start], y, x + shaped->rights[i - start], y + s.lineHeight};
    IntersectRect(&band, &band, &area);
    if (IsRectEmpty(&band)) continue;
    FillSolid(dc, band, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    ExtTextOutW(dc, x, y, ETO_CLIPPED, &band, text.data(), static_cast<UINT>(text.size()), nullptr);
  }
}

LRESULT OnPaint(EditState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s.self, &ps);
  RECT client = ClientOf(s);
  FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, FontToDraw(s.font));
  SetBkMode(dc, TRANSPARENT);
  bool enabled = IsWindowEnabled(s.self) != FALSE;
  COLORREF ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  size_t selFrom = s.buffer.SelectionStart(), selTo = s.buffer.SelectionEnd();
  bool showSelection = s.focused && selFrom != selTo;
  int originX = kMargin - (IsMultiline(s) ? 0 : s.scrollX);
  RECT area{kMargin, 0, client.right - kMargin, client.bottom};
  const auto& lines = s.buffer.Lines();
  size_t first = IsMultiline(s) ? s.firstLine : 0;
  for (size_t i = first; i < lines.size(); ++i) {
    int y = TextTop(s) + static_cast<int>(i - first) * s.lineHeight;
    if (y >= client.bottom) break;
    std::u16string_view text = LineText(s, i);
    size_t start = lines[i].start, end = start + text.size();
    size_t from = showSelection ? std::clamp(selFrom, start, end) : end;
    size_t to = showSelection ? std::clamp(selTo, start, end) : end;
    if (NeedsShaping(text)) {
      DrawShapedLine(s, dc, text, start, from, to, originX, y, area, ink);
      continue;
    }
    auto draw = [&](size_t a, size_t b, COLORREF color) {
      if (a >= b) return;
      int x = originX + Width(dc, text.substr(0, a - start));
      SetTextColor(dc, color);
      ExtTextOutW(dc, x, y, ETO_CLIPPED, &area, text.data() + (a - start), static_cast<UINT>(b - a), nullptr);
    };
    if (from < to) {
      RECT band{originX + Width(dc, text.substr(0, from - start)), y, originX + Width(dc, text.substr(0, to - start)),
                y + s.lineHeight};
      IntersectRect(&band, &band, &area);
      FillSolid(dc, band, GetSysColor(COLOR_HIGHLIGHT));
    }
    draw(start, from, ink);
    draw(from, to, GetSysColor(COLOR_HIGHLIGHTTEXT));
    draw(to, end, ink);
  }
  // A read-only box shows text, not a place to type.
  if (s.focused && !IsReadOnly(s)) {
    size_t line = s.buffer.LineOf(s.buffer.Caret());
    if (line >= first) {
      int x = originX + XOf(s, dc, s.buffer.Caret());
      int y = TextTop(s) + static_cast<int>(line - first) * s.lineHeight;
      RECT caret{x, y, x + 1, y + s.lineHeight};
      FillSolid(dc, caret, RGB(0, 0, 0));
    }
  }
  SelectObject(dc, oldFont);
  EndPaint(s.self, &ps);
  return 0;
}

LRESULT OnKeyDown(EditState& s, UINT key) {
  if (key == VK_SHIFT) s.shift = true;
  bool shift = s.shift;
  bool control = GetKeyState(VK_CONTROL) < 0;  // Ctrl+Home and Ctrl+End go to the ends of the whole text
  const EditBuffer& b = s.buffer;
  size_t caret = b.Caret(), to = caret, line = b.LineOf(caret);
  auto verticalMove = [&](long lines) {
    if (!IsMultiline(s)) return caret;
    FontDc dc(s.self, s.font);
    long target = std::clamp<long>(static_cast<long>(line) + lines, 0, static_cast<long>(b.LineCount()) - 1);
    return IndexAtX(s, dc.Get(), static_cast<size_t>(target), XOf(s, dc.Get(), caret));
  };
  switch (key) {
    case VK_LEFT: to = (!shift && b.HasSelection()) ? b.SelectionStart() : b.PreviousPosition(caret); break;
    case VK_RIGHT: to = (!shift && b.HasSelection()) ? b.SelectionEnd() : b.NextPosition(caret); break;
    case VK_HOME: to = control ? 0 : b.Lines()[line].start; break;
    case VK_END: to = control ? b.Length() : LineEndCaret(s, line); break;
    case VK_UP: to = verticalMove(-1); break;
    case VK_DOWN: to = verticalMove(1); break;
    case VK_PRIOR: to = verticalMove(-static_cast<long>(VisibleLines(s))); break;
    case VK_NEXT: to = verticalMove(static_cast<long>(VisibleLines(s))); break;
    case VK_DELETE: DeleteBeside(s, true); return 0;
    default: return 0;
  }
  s.buffer.Select(shift ? b.Anchor() : to, to);
  ScrollToCaret(s);
  Redraw(s);
  return 0;
}

LRESULT OnChar(EditState& s, char16_t ch) {
  // A character outside the basic plane comes as two WM_CHARs; it goes
  // in whole once its second half arrives.
  char16_t high = std::exchange(s.pendingHigh, 0);
  if (IsHighSurrogate(ch)) {
    s.pendingHigh = ch;
  } else if (IsLowSurrogate(ch)) {
    if (high != 0) {
      char16_t pair[] = {high, ch};
      Type(s, std::u16string_view(pair, 2));
    }
  } else if (ch == u'\b') {
    DeleteBeside(s, false);
  } else if (ch == u'\r') {
    if (IsMultiline(s)) Type(s, u"\r\n");
  } else if (ch >= 0x20) {
    Type(s, std::u16string_view(&ch, 1));
  }
  return 0;
}

LRESULT OnStylusDown(EditState& s, int x, int y, WPARAM keys) {
  if (GetFocus() != s.self) SetFocus(s.self);
  if (!IsWindow(s.self)) return 0;
  size_t index = IndexFromPoint(s, x, y);
  s.buffer.Select((keys & MK_SHIFT) ? s.buffer.Anchor() : index, index);
  s.selecting = true;
  SetCapture(s.self);
  ScrollToCaret(s);
  Redraw(s);
  return 0;
}

LRESULT OnStylusMove(EditState& s, int x, int y) {
  if (!s.selecting) return 0;
  s.buffer.Select(s.buffer.Anchor(), IndexFromPoint(s, x, y));
  ScrollToCaret(s);
  Redraw(s);
  return 0;
}

LRESULT OnStylusUp(EditState& s) {
  s.selecting = false;
  if (GetCapture() == s.self) ReleaseCapture();
  return 0;
}

LRESULT OnVScroll(EditState& s, WPARAM wParam) {
  if (!IsMultiline(s)) return 0;
  std::optional<int> first = ScrolledTop(s.self, wParam, static_cast<int>(s.firstLine), ScrollOf(s));
  if (!first) return 0;
  s.firstLine = static_cast<size_t>(*first);
  UpdateScrollBar(s);
  Redraw(s);
  return 0;
}

LRESULT OnGetDlgCode(EditState& s, const MSG* message) {
  LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
  if (!IsMultiline(s)) return code;
  code |= DLGC_WANTALLKEYS;
  // Enter belongs to the dialog unless the box wants it; Escape and Tab always do.
  if (message && message->message == WM_KEYDOWN) {
    WPARAM key = message->wParam;
    if ((key == VK_RETURN && !(StyleOf(s) & ES_WANTRETURN)) || key == VK_ESCAPE || key == VK_TAB)
      code &= ~DLGC_WANTALLKEYS;
  }
  return code;
}

LRESULT OnSetSel(EditState& s, long start, long end) {
  size_t length = s.buffer.Length();
  if (start < 0) {
    s.buffer.Select(s.buffer.Caret(), s.buffer.Caret());
  } else {
    size_t to = end < 0 ? length : static_cast<size_t>(end);
    s.buffer.Select(static_cast<size_t>(start), to);
  }
  Redraw(s);
  return 0;
}

LRESULT OnGetSel(EditState& s, DWORD* start, DWORD* end) {
  DWORD from = static_cast<DWORD>(s.buffer.SelectionStart()), to = static_cast<DWORD>(s.buffer.SelectionEnd());
  if (start) *start = from;
  if (end) *end = to;
  return MAKELONG(std::min<DWORD>(from, 0xFFFF), std::min<DWORD>(to, 0xFFFF));
}

LRESULT OnLineIndex(EditState& s, long line) {
  if (line < 0) line = static_cast<long>(s.buffer.LineOf(s.buffer.Caret()));
  if (static_cast<size_t>(line) >= s.buffer.LineCount()) return -1;
  return static_cast<LRESULT>(s.buffer.Lines()[static_cast<size_t>(line)].start);
}

LRESULT OnLineLength(EditState& s, long index) {
  if (!IsMultiline(s)) return static_cast<LRESULT>(s.buffer.Length());
  if (index > static_cast<long>(s.buffer.Length())) return 0;
  return static_cast<LRESULT>(s.buffer.LineLengthAt(index));
}

LRESULT OnReplaceSel(EditState& s, LPCWSTR text) {
  bool whole = s.buffer.ReplaceSelection(text ? std::u16string_view(text) : std::u16string_view());
  Changed(s, !whole);
  return 0;
}

LRESULT OnFocus(EditState& s, bool gained) {
  s.focused = gained;
  // Shift may have gone down while another window had the keys.
  s.shift = gained && GetKeyState(VK_SHIFT) < 0;
  if (!gained) OnStylusUp(s);
  Redraw(s);
  return NotifyCommand(s.self, gained ? EN_SETFOCUS : EN_KILLFOCUS), 0;
}

LRESULT OnSetFont(EditState& s, HFONT font, bool redraw) {
  s.font = font;
  Relayout(s);
  if (redraw) Redraw(s);
  return 0;
}

}  // namespace

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* state = new EditState;
    state->self = window;
    AttachState(window, state);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* s = ControlState<EditState>(window);
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  auto [x, y] = PointFromParam(lParam);
  switch (message) {
    case WM_CREATE: return OnCreate(*s);
    case WM_NCDESTROY:
      DetachState<EditState>(window);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SETTEXT: return OnSetText(*s, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT: return OnGetText(*s, static_cast<size_t>(wParam), reinterpret_cast<LPWSTR>(lParam));
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(s->buffer.Length());
    case WM_SETFONT: return OnSetFont(*s, reinterpret_cast<HFONT>(wParam), lParam != 0);
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SIZE:
      Relayout(*s);
      Redraw(*s);
      return 0;
    case WM_PAINT: return OnPaint(*s);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: Redraw(*s); return 0;
    case WM_SETFOCUS: return OnFocus(*s, true);
    case WM_KILLFOCUS: return OnFocus(*s, false);
    case WM_GETDLGCODE: return OnGetDlgCode(*s, reinterpret_cast<const MSG*>(lParam));
    case WM_KEYDOWN: return OnKeyDown(*s, static_cast<UINT>(wParam));
    case WM_KEYUP:
      if (wParam == VK_SHIFT) s->shift = false;
      return 0;
    case WM_CHAR: return OnChar(*s, static_cast<char16_t>(wParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnStylusDown(*s, x, y, wParam);
    case WM_MOUSEMOVE: return OnStylusMove(*s, x, y);
    case WM_LBUTTONUP:
    case WM_CANCELMODE: return OnStylusUp(*s);
    case WM_CAPTURECHANGED: s->selecting = false; return 0;
    case WM_VSCROLL: return OnVScroll(*s, wParam);
    case EM_GETSEL: return OnGetSel(*s, reinterpret_cast<DWORD*>(wParam), reinterpret_cast<DWORD*>(lParam));
    case EM_SETSEL: return OnSetSel(*s, static_cast<long>(static_cast<int>(wParam)), static_cast<long>(static_cast<int>(lParam)));
    case EM_SCROLLCARET:
      ScrollToCaret(*s);
      Redraw(*s);
      return TRUE;
    case EM_GETLINECOUNT: return static_cast<LRESULT>(s->buffer.LineCount());
    case EM_LINEINDEX: return OnLineIndex(*s, static_cast<int>(wParam));
    case EM_LINELENGTH: return OnLineLength(*s, static_cast<int>(wParam));
    case EM_LINEFROMCHAR: {
      long index = static_cast<int>(wParam);
      return static_cast<LRESULT>(s->buffer.LineOf(index < 0 ? s->buffer.SelectionStart() : static_cast<size_t>(index)));
    }
    case EM_GETFIRSTVISIBLELINE: return static_cast<LRESULT>(IsMultiline(*s) ? s->firstLine : 0);
    case EM_REPLACESEL: return OnReplaceSel(*s, reinterpret_cast<LPCWSTR>(lParam));
    case EM_LIMITTEXT: s->buffer.SetLimit(static_cast<size_t>(wParam)); return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(s->buffer.Limit());
    case EM_SETREADONLY: {
      DWORD style = StyleOf(*s);
      SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(wParam ? style | ES_READONLY : style & ~ES_READONLY));
      return TRUE;
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kvplatform::ui
