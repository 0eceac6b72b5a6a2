// Text on a device context: measuring, drawing a run, and DrawTextW's
// layout (alignment, line breaks, word wrap, ellipsis, prefixes).
#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "ui/gdi/objects.h"
#include "ui/gdi/shaped_text.h"
#include "ui/text/graphemes.h"
#include "ui/text/shaped_line.h"
#include "ui/text/utf16.h"
#include "ui/windows/ui_lock.h"

using namespace kvplatform;
using namespace kvplatform::ui;

namespace {

// Text that needs no shaping is measured and drawn a character at a time
// (a surrogate pair is one glyph), in whole pixels; the rest as shaped.
int Width(FontFace& face, const char16_t* text, size_t count) {
  std::u16string_view view(text, count);
  if (NeedsShaping(view)) return ShapeLine(face, view)->width;
  int width = 0;
  for (size_t i = 0; i < count; i += CharLengthAt(view, i)) width += face.GlyphOf(CodePointAt(view, i)).advance;
  return width;
}
int Width(FontFace& face, const std::u16string& text) { return Width(face, text.data(), text.size()); }

size_t Length(LPCWSTR text, int count) {
  if (count >= 0) return static_cast<size_t>(count);
  return std::char_traits<char16_t>::length(text);
}

// One run of text with its pen at (x, top of the cell); returns the end x.
int DrawRun(DeviceContext& dc, FontFace& face, int x, int top, const char16_t* text, size_t count,
            const int* dx = nullptr) {
  Painter p = PainterOf(dc);
  int baseline = top + face.ascent;
  std::u16string_view view(text, count);
  if (!dx && NeedsShaping(view)) {
    auto line = ShapeLine(face, view);
    for (const PlacedGlyph& g : line->glyphs) {
      p.Glyph(*g.glyph, x + g.x, baseline - g.y, dc.state.textColor);
      if (g.glyph->missing && g.cluster < count) NoteBoxDrawn(CodePointAt(view, g.cluster));
    }
    NoteRunsDrawn(*line);
    return x + line->width;
  }
  for (size_t i = 0, n; i < count; i += n) {
    n = CharLengthAt(view, i);
    char32_t ch = CodePointAt(view, i);
    const Glyph& g = face.GlyphOf(ch);
    p.Glyph(g, x, baseline, dc.state.textColor);
    if (g.missing) NoteBoxDrawn(ch);
    // With explicit spacing, a pair takes what its two units are given.
    x += dx ? dx[i] + (n == 2 ? dx[i + 1] : 0) : g.advance;
  }
  return x;
}

struct Line {
  std::u16string text;
  int underline = -1;  // index of the character a prefix '&' marks
};

// Removes '&' prefixes ("&&" is one '&'), remembering the marked character.
Line StripPrefix(const std::u16string& raw, bool noPrefix) {
  Line line;
  if (noPrefix) {
    line.text = raw;
    return line;
  }
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == u'&' && i + 1 < raw.size()) {
      ++i;
      if (raw[i] != u'&') line.underline = static_cast<int>(line.text.size());
    }
    line.text += raw[i];
  }
  return line;
}

std::u16string ExpandTabs(FontFace& face, const std::u16string& text) {
  std::u16string out;
  int tab = std::max(1, face.averageWidth * 8);
  int x = 0;
  for (size_t i = 0, n; i < text.size(); i += n) {
    n = CharLengthAt(text, i);
    if (text[i] == u'\t') {
      int next = (x / tab + 1) * tab;
      while (x < next) {
        out += u' ';
        x += face.GlyphOf(u' ').advance;
      }
      continue;
    }
    out.append(text, i, n);
    x += face.GlyphOf(CodePointAt(text, i)).advance;
  }
  return out;
}

// Splits text at line breaks and, with word wrap, where a word would cross
// the right edge (a word wider than the line is broken between characters).
std::vector<std::u16string> BreakLines(FontFace& face, const std::u16string& text, UINT format, int width) {
  std::vector<std::u16string> paragraphs;
  if (format & DT_SINGLELINE) {
    std::u16string one;
    for (char16_t c : text)
      if (c != u'\r' && c != u'\n') one += c;
    paragraphs.push_back(one);
  } else {
    std::u16string current;
    for (size_t i = 0; i < text.size(); ++i) {
      char16_t c = text[i];
      if (c == u'\r' || c == u'\n') {
        paragraphs.push_back(current);
        current.clear();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        continue;
      }
      current += c;
    }
    paragraphs.push_back(current);
  }
  if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) return paragraphs;

  std::vector<std::u16string> lines;
  for (const auto& para : paragraphs) {
    std::u16string line;
    size_t i = 0;
    if (para.empty()) lines.push_back(u"");
    while (i < para.size()) {
      // The next word with the spaces before it.
      size_t end = i;
      while (end < para.size() && para[end] == u' ') ++end;
      while (end < para.size() && para[end] != u' ') ++end;
      std::u16string word = para.substr(i, end - i);
      if (Width(face, line + word) <= width || line.empty()) {
        if (line.empty()) {
          // Leading spaces of a wrapped line are dropped; a long word is cut.
          size_t first = word.find_first_not_of(u' ');
          if (!lines.empty() && first != std::u16string::npos) word = word.substr(first);
          while (Width(face, word) > width && word.size() > NextGraphemeStart(word, 0)) {
            size_t fit = NextGraphemeStart(word, 0);
            while (fit < word.size() && Width(face, word.data(), NextGraphemeStart(word, fit)) <= width)
              fit = NextGraphemeStart(word, fit);
            lines.push_back(word.substr(0, fit));
            word = word.substr(fit);
          }
        }
        line += word;
        i = end;
      } else {
        lines.push_back(line);
        line.clear();
      }
    }
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::u16string WithEllipsis(FontFace& face, const std::u16string& text, int width) {
  if (Width(face, text) <= width) return text;
  std::u16string cut = text;
  while (!cut.empty() && Width(face, cut + u"...") > width) cut.resize(PreviousGraphemeStart(cut, cut.size()));
  return cut + u"...";
}

}  // namespace

BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record || (text == nullptr && count != 0) || size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FontFace& face = CurrentFont(record->state)->face;
  size_t n = text ? Length(text, count) : 0;
  std::u16string_view view(text ? text : u"", n);
  if (NeedsShaping(view)) {
    // Each unit ends where its whole character does, in logical order.
    auto line = ShapeLine(face, view);
    int fitted = 0;
    while (fitted < static_cast<int>(n) && line->ends[static_cast<size_t>(fitted)] <= maxExtent) ++fitted;
    if (dx) std::copy_n(line->ends.begin(), fit ? fitted : static_cast<int>(n), dx);
    if (fit) *fit = fitted;
    size->cx = line->width;
    size->cy = face.Height();
    return TRUE;
  }
  int x = 0, fitted = 0;
  // Both units of a pair end where the whole character does, and fit or
  // not together.
  for (size_t i = 0, units; i < n; i += units) {
    units = CharLengthAt(view, i);
    x += face.GlyphOf(CodePointAt(view, i)).advance;
    if (fit == nullptr || x <= maxExtent) {
      if (dx) std::fill_n(dx + i, units, x);
      if (x <= maxExtent) fitted += static_cast<int>(units);
    }
  }
  if (fit) *fit = fitted;
  size->cx = x;
  size->cy = face.Height();
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
  return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record || metrics == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto font = CurrentFont(record->state);
  FontFace& face = font->face;
  *metrics = TEXTMETRICW{};
  metrics->tmHeight = face.Height();
  metrics->tmAscent = face.ascent;
  metrics->tmDescent = face.descent;
  metrics->tmInternalLeading = std::max(0, face.Height() - face.emPixels);
  metrics->tmAveCharWidth = face.averageWidth;
  metrics->tmMaxCharWidth = face.maxWidth;
  metrics->tmWeight = face.bold ? FW_BOLD : FW_NORMAL;
  metrics->tmDigitizedAspectX = metrics->tmDigitizedAspectY = 96;
  metrics->tmFirstChar = 0x20;
  metrics->tmLastChar = 0xFFFC;
  metrics->tmDefaultChar = u'?';
  metrics->tmBreakChar = u' ';
  metrics->tmCharSet = DEFAULT_CHARSET;
  return TRUE;
}

LONG GetDialogBaseUnits() {
  // The system font's average letter width and height, as dialogs scale by.
  FontFace& face = FaceFor(false, kSystemFontEm);
  static const char16_t letters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  int width = (Width(face, letters, 52) / 26 + 1) / 2;
  return MAKELONG(width, face.Height());
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record || (text == nullptr && count != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DcState saved = record->state;
  if (rect && (options & ETO_OPAQUE)) PainterOf(*record).FillRect(ToDevice(record->state, *rect), record->state.bkColor);
  if (rect && (options & ETO_CLIPPED)) record->state.clip.IntersectWith(ToDevice(record->state, *rect));
  FontFace& face = CurrentFont(record->state)->face;
  int left = x + record->state.origin.x, top = y + record->state.origin.y;
  if (record->state.bkMode == OPAQUE && count > 0) {
    int width = 0;
    if (dx) {
      for (UINT i = 0; i < count; ++i) width += dx[i];
    } else {
      width = Width(face, text, count);
    }
    PainterOf(*record).FillRect({left, top, left + width, top + face.Height()}, record->state.bkColor);
  }
  DrawRun(*record, face, left, top, text, count, dx);
  record->state.clip = saved.clip;
  return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record || text == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  FontFace& face = CurrentFont(record->state)->face;
  std::u16string raw(text, Length(text, count));
  if (format & DT_EXPANDTABS) raw = ExpandTabs(face, raw);
  int width = rect->right - rect->left;
  int lineHeight = face.Height();

  std::vector<Line> lines;
  for (auto& piece : BreakLines(face, StripPrefix(raw, format & DT_NOPREFIX).text, format, width))
    lines.push_back(Line{piece, -1});
  // The prefix underline applies to single-line text laid out unchanged.
  Line prefixed = StripPrefix(raw, format & DT_NOPREFIX);
  if (lines.size() == 1 && lines[0].text == prefixed.text) lines[0].underline = prefixed.underline;
  if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
    for (auto& line : lines) {
      std::u16string cut = WithEllipsis(face, line.text, width);
      if (cut != line.text) line = Line{cut, -1};
    }

  int textHeight = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (auto& line : lines) widest = std::max(widest, Width(face, line.text));
    if (!(format & DT_WORDBREAK) || widest > width) rect->right = rect->left + widest;
    rect->bottom = rect->top + textHeight;
    return textHeight;
  }

  int top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    if (format & DT_BOTTOM) top = rect->bottom - lineHeight;
  }
  DcState saved = record->state;
  if (!(format & DT_NOCLIP)) record->state.clip.IntersectWith(ToDevice(record->state, *rect));
  for (auto& line : lines) {
    int lineWidth = Width(face, line.text);
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - lineWidth) / 2;
    // A right-to-left paragraph starts at the right, as its readers expect.
    bool rightToLeft = NeedsShaping(line.text) && ShapeLine(face, line.text)->rightToLeft && width > 0;
    if ((format & DT_RIGHT) || (rightToLeft && !(format & DT_CENTER))) x = rect->right - lineWidth;
    int left = x + record->state.origin.x, cellTop = top + record->state.origin.y;
    if (record->state.bkMode == OPAQUE)
      PainterOf(*record).FillRect({left, cellTop, left + lineWidth, cellTop + lineHeight}, record->state.bkColor);
    DrawRun(*record, face, left, cellTop, line.text.data(), line.text.size());
    if (line.underline >= 0 && line.underline < static_cast<int>(line.text.size())) {
      auto shaped = ShapeLine(face, line.text);
      int ux = left + shaped->lefts[static_cast<size_t>(line.underline)];
      int uw = shaped->rights[static_cast<size_t>(line.underline)] - shaped->lefts[static_cast<size_t>(line.underline)];
      PainterOf(*record).FillRect({ux, cellTop + face.ascent + 1, ux + uw, cellTop + face.ascent + 2},
                                  record->state.textColor);
    }
    top += lineHeight;
  }
  record->state.clip = saved.clip;
  int offset = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? top - rect->top : textHeight;
  return offset;
}

namespace kvplatform::ui {

std::shared_ptr<const ShapedLine> ShapeOnDc(HDC dc, std::u16string_view text) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record) return nullptr;
  return ShapeLine(CurrentFont(record->state)->face, text);
}

}  // namespace kvplatform::ui
