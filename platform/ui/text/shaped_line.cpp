#include "ui/text/shaped_line.h"

#include <hb.h>
#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "ui/text/graphemes.h"
#include "ui/text/utf16.h"

namespace kvplatform::ui {
namespace {

constexpr size_t kKeptLines = 2048;  // shaped lines kept before the cache starts over
constexpr size_t kKeptRuns = 512;    // runs kept for tests

bool StandsAlone(char32_t c) {
  if (c >= 0x20 && c < 0x300) return true;
  if (c == u'\t' || c == u'\r' || c == u'\n') return true;
  if ((c >= 0x370 && c < 0x483) || (c >= 0x48A && c < 0x530)) return true;  // Greek, Cyrillic
  if ((c >= 0x2010 && c < 0x2028) || (c >= 0x2030 && c < 0x2060)) return true;
  if (c >= 0x20A0 && c < 0x20D0) return true;                                // currency
  if (c >= 0x2100 && c < 0x2C00) return !u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION);
  if ((c >= 0x3000 && c < 0xA000) || (c >= 0xAC00 && c < 0xD7A4) || (c >= 0xFF00 && c < 0xFFF0)) return true;
  return false;
}

bool IsJoiner(char32_t c) {
  return c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0020 && c <= 0xE007F);
}

// Shown as a colour picture rather than a text symbol.
bool IsEmoji(const std::u32string& cluster) {
  if (cluster.empty()) return false;
  char32_t first = cluster[0];
  if (u_hasBinaryProperty(first, UCHAR_EMOJI_PRESENTATION)) return true;
  if (first >= 0x1F1E6 && first <= 0x1F1FF) return true;  // regional indicators: a flag
  for (char32_t c : cluster)
    if (c == 0xFE0F || (c >= 0x1F3FB && c <= 0x1F3FF)) return true;
  return cluster.size() > 1 && cluster.find(0x200D) != std::u32string::npos &&
         u_hasBinaryProperty(first, UCHAR_EMOJI);
}

// The first face that has every character of the cluster; else the first
// that has its base; else the weight's own face (which draws a box).
int SlotFor(FontFace& face, const std::u32string& cluster) {
  bool emoji = IsEmoji(cluster);
  int order[kFaceSlots];
  int n = 0;
  if (emoji) order[n++] = kColorSlot;
  for (int slot = 0; slot < kFaceSlots; ++slot)
    if (slot != kColorSlot) order[n++] = slot;
  if (!emoji) order[n++] = kColorSlot;
  for (int i = 0; i < n; ++i) {
    bool all = true;
    for (char32_t c : cluster)
      if (!IsJoiner(c) && c >= 0x20 && face.IndexIn(order[i], c) == 0) {
        all = false;
        break;
      }
    if (all) return order[i];
  }
  for (int i = 0; i < n; ++i)
    if (!cluster.empty() && face.IndexIn(order[i], cluster[0]) != 0) return order[i];
  return 0;
}

struct Cluster {
  size_t start = 0;
  size_t end = 0;
  int slot = 0;
  UScriptCode script = USCRIPT_COMMON;
};

std::vector<Cluster> Clusters(FontFace& face, std::u16string_view text) {
  std::vector<size_t> bounds = GraphemeBoundaries(text);
  std::vector<Cluster> out;
  UScriptCode previous = USCRIPT_COMMON;
  for (size_t i = 0; i + 1 < bounds.size(); ++i) {
    Cluster c{bounds[i], bounds[i + 1], 0, previous};
    std::u32string points;
    for (size_t k = c.start; k < c.end; k += CharLengthAt(text, k)) points += CodePointAt(text, k);
    c.slot = SlotFor(face, points);
    UErrorCode status = U_ZERO_ERROR;
    UScriptCode script = uscript_getScript(static_cast<UChar32>(points[0]), &status);
    if (U_SUCCESS(status) && script != USCRIPT_COMMON && script != USCRIPT_INHERITED) c.script = script;
    previous = c.script;
    out.push_back(c);
  }
  // Common characters (spaces, digits) before the first letter take its script.
  UScriptCode first = USCRIPT_COMMON;
  for (auto& c : out)
    if (c.script != USCRIPT_COMMON) {
      first = c.script;
      break;
    }
  for (auto& c : out) {
    if (c.script != USCRIPT_COMMON) break;
    c.script = first;
  }
  return out;
}

struct Pen {
  int64_t x = 0;  // 26.6
};

int Pixels(int64_t units) { return static_cast<int>(std::llround(static_cast<double>(units) / 64.0)); }

// Shapes units [from, to) of `text` (the rest is context, so letters join
// across a change of face) and appends the glyphs at the pen.
void ShapeRun(FontFace& face, std::u16string_view text, size_t from, size_t to, int slot, UScriptCode script,
              bool rtl, Pen& pen, ShapedLine& line, std::vector<int64_t>& clusterAdvance) {
  hb_font_t* font = face.ShapingFont(slot);
  ShapedRun run;
  run.slot = slot;
  run.bold = face.bold;
  run.scale = face.ShapingScale(slot);
  run.rtl = rtl;
  run.text.assign(text.substr(from, to - from));
  auto placeMissing = [&] {
    // No face at all: each character a box, as before.
    for (size_t i = from; i < to; i += CharLengthAt(text, i)) {
      const Glyph& g = face.GlyphOf(CodePointAt(text, i));
      line.glyphs.push_back(PlacedGlyph{&g, Pixels(pen.x), 0, static_cast<uint32_t>(i)});
      clusterAdvance[i] += g.advance * 64;
      pen.x += g.advance * 64;
    }
  };
  if (!font) {
    placeMissing();
    return;
  }
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text.data()), static_cast<int>(text.size()),
                      static_cast<unsigned>(from), static_cast<int>(to - from));
  hb_buffer_set_direction(buffer, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
  hb_buffer_set_script(buffer, hb_script_from_string(uscript_getShortName(script), -1));
  hb_buffer_set_flags(buffer, static_cast<hb_buffer_flags_t>(HB_BUFFER_FLAG_REMOVE_DEFAULT_IGNORABLES));
  hb_buffer_guess_segment_properties(buffer);
  hb_shape(font, buffer, nullptr, 0);
  unsigned count = 0;
  hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
  int64_t runX = 0;
  for (unsigned i = 0; i < count; ++i) {
    const Glyph& g = face.GlyphAt(slot, info[i].codepoint);
    line.glyphs.push_back(PlacedGlyph{&g, Pixels(pen.x + pos[i].x_offset), Pixels(pos[i].y_offset), info[i].cluster});
    run.glyphIds.push_back(info[i].codepoint);
    run.xs.push_back(static_cast<int>(runX + pos[i].x_offset));
    run.ys.push_back(pos[i].y_offset);
    if (info[i].cluster < clusterAdvance.size()) clusterAdvance[info[i].cluster] += pos[i].x_advance;
    pen.x += pos[i].x_advance;
    runX += pos[i].x_advance;
  }
  hb_buffer_destroy(buffer);
  line.runs.push_back(std::move(run));
}

// Logical edges and visual extents of each unit's character.
void MeasureUnits(size_t n, ShapedLine& line, const std::vector<int64_t>& clusterAdvance) {
  line.ends.assign(n, 0);
  line.lefts.assign(n, INT32_MAX);
  line.rights.assign(n, INT32_MIN);
  if (n == 0) return;
  std::vector<uint8_t> starts(n, 0);
  starts[0] = 1;
  // A glyph's extent is its cluster's.
  for (size_t g = 0; g < line.glyphs.size(); ++g) {
    size_t c = std::min<size_t>(line.glyphs[g].cluster, n - 1);
    int left = line.glyphs[g].x;
    int right = g + 1 < line.glyphs.size() ? line.glyphs[g + 1].x : line.width;
    starts[c] = 1;
    line.lefts[c] = std::min({line.lefts[c], left, right});
    line.rights[c] = std::max({line.rights[c], left, right});
  }
  int64_t sum = 0;
  for (size_t i = 0; i < n;) {
    size_t next = i + 1;
    while (next < n && !starts[next]) ++next;
    for (size_t k = i; k < next; ++k) sum += clusterAdvance[k];
    if (line.lefts[i] > line.rights[i]) line.lefts[i] = line.rights[i] = i ? line.rights[i - 1] : 0;
    for (size_t k = i; k < next; ++k) {
      line.ends[k] = Pixels(sum);
      line.lefts[k] = line.lefts[i];
      line.rights[k] = line.rights[i];
    }
    i = next;
  }
}

std::shared_ptr<ShapedLine> LayOutAlone(FontFace& face, std::u16string_view text) {
  auto line = std::make_shared<ShapedLine>();
  int x = 0;
  size_t n = text.size();
  line->ends.assign(n, 0);
  line->lefts.assign(n, 0);
  line->rights.assign(n, 0);
  line->rtl.assign(n, 0);
  for (size_t i = 0, units; i < n; i += units) {
    units = CharLengthAt(text, i);
    const Glyph& g = face.GlyphOf(CodePointAt(text, i));
    line->glyphs.push_back(PlacedGlyph{&g, x, 0, static_cast<uint32_t>(i)});
    for (size_t k = i; k < i + units; ++k) {
      line->lefts[k] = x;
      line->rights[k] = x + g.advance;
      line->ends[k] = x + g.advance;
    }
    x += g.advance;
  }
  line->width = x;
  return line;
}

std::shared_ptr<ShapedLine> LayOut(FontFace& face, std::u16string_view original) {
  if (!NeedsShaping(original)) return LayOutAlone(face, original);
  // Control characters take no room, as drawn a character at a time.
  std::u16string text(original);
  for (auto& c : text)
    if (c < 0x20) c = 0x200B;
  auto line = std::make_shared<ShapedLine>();
  std::vector<Cluster> clusters = Clusters(face, text);
  std::vector<int64_t> clusterAdvance(text.size(), 0);
  std::vector<uint8_t> unitRtl(text.size(), 0);

  UErrorCode status = U_ZERO_ERROR;
  UBiDi* bidi = ubidi_openSized(static_cast<int32_t>(text.size()), 0, &status);
  if (U_SUCCESS(status))
    ubidi_setPara(bidi, reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                  UBIDI_DEFAULT_LTR, nullptr, &status);
  struct VisualRun {
    size_t start, length;
    bool rtl;
  };
  std::vector<VisualRun> visual;
  if (U_SUCCESS(status)) {
    line->rightToLeft = (ubidi_getParaLevel(bidi) & 1) != 0;
    int32_t runs = ubidi_countRuns(bidi, &status);
    for (int32_t r = 0; U_SUCCESS(status) && r < runs; ++r) {
      int32_t start = 0, length = 0;
      UBiDiDirection dir = ubidi_getVisualRun(bidi, r, &start, &length);
      visual.push_back({static_cast<size_t>(start), static_cast<size_t>(length), dir == UBIDI_RTL});
    }
  }
  if (bidi) ubidi_close(bidi);
  if (U_FAILURE(status) || visual.empty()) visual = {{0, text.size(), false}};

  Pen pen;
  for (const VisualRun& v : visual) {
    size_t end = v.start + v.length;
    for (size_t i = v.start; i < end; ++i) unitRtl[i] = v.rtl;
    // Pieces of one face and script within the run, in logical order.
    std::vector<std::pair<size_t, size_t>> pieces;
    std::vector<const Cluster*> owners;
    for (const Cluster& c : clusters) {
      size_t a = std::max(c.start, v.start), b = std::min(c.end, end);
      if (a >= b) continue;
      if (!owners.empty() && owners.back()->slot == c.slot && owners.back()->script == c.script &&
          pieces.back().second == a) {
        pieces.back().second = b;
      } else {
        pieces.emplace_back(a, b);
        owners.push_back(&c);
      }
    }
    for (size_t k = 0; k < pieces.size(); ++k) {
      size_t p = v.rtl ? pieces.size() - 1 - k : k;
      ShapeRun(face, text, pieces[p].first, pieces[p].second, owners[p]->slot, owners[p]->script, v.rtl, pen, *line,
               clusterAdvance);
    }
  }
  line->width = Pixels(pen.x);
  MeasureUnits(text.size(), *line, clusterAdvance);
  line->rtl = std::move(unitRtl);
  return line;
}

struct Cache {
  std::mutex mutex;
  std::map<std::pair<const FontFace*, std::u16string>, std::shared_ptr<const ShapedLine>> lines;
  std::deque<ShapedRun> drawn;
};

Cache& TheCache() {
  static auto* cache = new Cache;
  return *cache;
}

}  // namespace

bool NeedsShaping(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); i += CharLengthAt(text, i))
    if (!StandsAlone(CodePointAt(text, i))) return true;
  return false;
}

std::shared_ptr<const ShapedLine> ShapeLine(FontFace& face, std::u16string_view text) {
  Cache& cache = TheCache();
  {
    std::lock_guard guard(cache.mutex);
    auto it = cache.lines.find({&face, std::u16string(text)});
    if (it != cache.lines.end()) return it->second;
  }
  std::shared_ptr<const ShapedLine> line = LayOut(face, text);
  std::lock_guard guard(cache.mutex);
  if (cache.lines.size() >= kKeptLines) cache.lines.clear();
  cache.lines.emplace(std::make_pair(&face, std::u16string(text)), line);
  return line;
}

int CaretX(const ShapedLine& line, size_t index) {
  size_t n = line.ends.size();
  if (n == 0) return 0;
  if (index < n) return line.rtl[index] ? line.rights[index] : line.lefts[index];
  return line.rtl[n - 1] ? line.lefts[n - 1] : line.rights[n - 1];
}

size_t IndexAtX(const ShapedLine& line, int x) {
  size_t n = line.ends.size();
  size_t best = n;
  int bestDistance = INT32_MAX;
  // Every character boundary, at the side its caret shows.
  for (size_t i = 0; i <= n; ++i) {
    if (i > 0 && i < n && line.lefts[i] == line.lefts[i - 1] && line.rights[i] == line.rights[i - 1]) continue;
    int distance = std::abs(CaretX(line, i) - x);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

void NoteRunsDrawn(const ShapedLine& line) {
  if (line.runs.empty()) return;
  Cache& cache = TheCache();
  std::lock_guard guard(cache.mutex);
  for (const ShapedRun& run : line.runs) cache.drawn.push_back(run);
  while (cache.drawn.size() > kKeptRuns) cache.drawn.pop_front();
}

std::vector<ShapedRun> TakeRunsDrawn() {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.mutex);
  std::vector<ShapedRun> out(cache.drawn.begin(), cache.drawn.end());
  cache.drawn.clear();
  return out;
}

}  // namespace kvplatform::ui
