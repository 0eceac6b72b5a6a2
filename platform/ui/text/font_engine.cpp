#include "ui/text/font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "ui/text/font_files.h"

namespace kvplatform::ui {
namespace {

static_assert(kFaceSlots == 1 + static_cast<int>(kFallbackFonts.size()));
static_assert(kColorSlot == 1 + static_cast<int>(kColorEmojiFallback));

std::string FindFile(const FontFile& file) {
  const char* own = std::getenv("KORVANET_FONT_DIR");
  std::string dirs[] = {own ? own : "", std::string(file.folders[0]), std::string(file.folders[1]),
                        std::string(file.folders[2])};
  for (auto& dir : dirs) {
    if (dir.empty()) continue;
    std::string path = dir + "/" + std::string(file.name);
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      std::fclose(f);
      return path;
    }
  }
  return {};
}

// FreeType objects are not shared between threads: one lock for the library.
std::recursive_mutex& FontMutex() {
  static auto* m = new std::recursive_mutex;
  return *m;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    return lib;
  }();
  return library;
}

// A face of a file at a pixel size, or null (and one hint on standard
// error) when the file is not installed.
FT_Face OpenFace(const FontFile& file, int em, const char* consequence) {
  FT_Face face = nullptr;
  std::string path = FindFile(file);
  if (Library() && !path.empty() && FT_New_Face(Library(), path.c_str(), 0, &face) == 0) {
    // A bitmap-only face (colour emoji) has fixed sizes: its glyphs are
    // scaled when rendered.
    if (FT_IS_SCALABLE(face) || face->num_fixed_sizes == 0)
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
    else
      FT_Select_Size(face, 0);
    return face;
  }
  static auto* warned = new std::map<std::string_view, bool>;
  if (!(*warned)[file.name]) {
    (*warned)[file.name] = true;
    std::fprintf(stderr, "korvanet: font %.*s not found (install %.*s); %s\n", static_cast<int>(file.name.size()),
                 file.name.data(), static_cast<int>(file.package.size()), file.package.data(), consequence);
  }
  return nullptr;
}

// The fallback faces at one size, opened the first time a character needs
// them and kept for the life of the process (both weights share them).
FT_Face FallbackFace(size_t which, int em) {
  static auto* faces = new std::map<std::pair<size_t, int>, FT_Face>;
  auto [it, added] = faces->try_emplace({which, em}, nullptr);
  if (added) it->second = OpenFace(kFallbackFonts[which], em, "some characters show as boxes");
  return it->second;
}

std::u32string& BoxesDrawn() {
  static auto* boxes = new std::u32string;
  return *boxes;
}

// A colour bitmap (BGRA, premultiplied) shrunk by `scale`, each pixel the
// average of the source pixels it covers.
void ScaleColour(const FT_Bitmap& bitmap, int left, int top, double scale, Glyph& g) {
  int w = static_cast<int>(bitmap.width), h = static_cast<int>(bitmap.rows);
  g.width = std::max(1, static_cast<int>(std::lround(w * scale)));
  g.height = std::max(1, static_cast<int>(std::lround(h * scale)));
  g.left = static_cast<int>(std::lround(left * scale));
  g.top = static_cast<int>(std::lround(top * scale));
  g.color.assign(static_cast<size_t>(g.width * g.height), 0);
  for (int y = 0; y < g.height; ++y) {
    int y0 = y * h / g.height, y1 = std::max(y0 + 1, (y + 1) * h / g.height);
    for (int x = 0; x < g.width; ++x) {
      int x0 = x * w / g.width, x1 = std::max(x0 + 1, (x + 1) * w / g.width);
      uint32_t sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          const uint8_t* p = bitmap.buffer + sy * bitmap.pitch + sx * 4;
          for (int c = 0; c < 4; ++c) sum[c] += p[c];
        }
      uint32_t n = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
      uint32_t b = sum[0] / n, gr = sum[1] / n, r = sum[2] / n, a = sum[3] / n;
      g.color[y * g.width + x] = (a << 24) | (r << 16) | (gr << 8) | b;
    }
  }
}

// Coverage (or colour) of the glyph in the face's slot, false when the
// face cannot render it. `scale` shrinks a colour bitmap to the line.
bool Render(FT_Face face, FT_UInt index, double scale, Glyph& g) {
  bool colour = FT_HAS_COLOR(face);
  FT_Int32 flags = colour ? FT_LOAD_COLOR : FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode == FT_PIXEL_MODE_BGRA) {
    ScaleColour(bitmap, slot->bitmap_left, slot->bitmap_top, scale, g);
    g.advance = static_cast<int>(std::lround(slot->advance.x * scale / 64.0));
    return true;
  }
  g.width = static_cast<int>(bitmap.width);
  g.height = static_cast<int>(bitmap.rows);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  g.coverage.resize(static_cast<size_t>(g.width * g.height));
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) {
      uint8_t value = bitmap.buffer[y * bitmap.pitch + x];
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        value = (bitmap.buffer[y * bitmap.pitch + x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
      g.coverage[y * g.width + x] = value;
    }
  return true;
}

class FreeTypeFace final : public FontFace {
 public:
  FreeTypeFace(bool isBold, int em) {
    bold = isBold;
    emPixels = em;
    face_ = OpenFace(isBold ? kBoldFont : kRegularFont, em, "text shows as boxes");
    if (face_) {
      ascent = static_cast<int>((face_->size->metrics.ascender + 63) >> 6);
      descent = static_cast<int>((-face_->size->metrics.descender + 63) >> 6);
    } else {
      ascent = em * 93 / 100 + 1;
      descent = em * 24 / 100 + 1;
    }
    averageWidth = GlyphOf(u'x').advance;
    maxWidth = GlyphOf(u'W').advance;
  }
  ~FreeTypeFace() override {
    for (hb_font_t* font : shaping_)
      if (font) hb_font_destroy(font);
    if (face_) FT_Done_Face(face_);
  }

  const Glyph& GlyphOf(char32_t ch) override {
    std::lock_guard guard(FontMutex());
    auto it = glyphs_.find(ch);
    if (it != glyphs_.end()) return it->second;
    return glyphs_.emplace(ch, RenderChar(ch)).first->second;
  }

  uint32_t IndexIn(int slot, char32_t ch) override {
    std::lock_guard guard(FontMutex());
    FT_Face face = Slot(slot);
    return face ? FT_Get_Char_Index(face, ch) : 0;
  }

  hb_font_t* ShapingFont(int slot) override {
    std::lock_guard guard(FontMutex());
    if (slot < 0 || slot >= kFaceSlots) return nullptr;
    if (!shapingMade_[slot]) {
      shapingMade_[slot] = true;
      // From the file, not through the FreeType face: shaping then needs
      // no lock, as HarfBuzz's own objects may be shared between threads.
      std::string path = Slot(slot) ? SlotFilePath(slot, bold) : std::string();
      if (hb_blob_t* blob = path.empty() ? nullptr : hb_blob_create_from_file_or_fail(path.c_str())) {
        hb_face_t* hbFace = hb_face_create(blob, 0);
        shaping_[slot] = hb_font_create(hbFace);
        hb_face_destroy(hbFace);
        hb_blob_destroy(blob);
        hb_ot_font_set_funcs(shaping_[slot]);
        hb_font_set_scale(shaping_[slot], ShapingScale(slot), ShapingScale(slot));
        hb_font_make_immutable(shaping_[slot]);
      }
    }
    return shaping_[slot];
  }

  int ShapingScale(int slot) override {
    std::lock_guard guard(FontMutex());
    if (slot == kColorSlot) {
      // Sized so that the picture is as tall as the line.
      FT_Face face = Slot(slot);
      if (face && face->num_fixed_sizes > 0 && face->available_sizes[0].height > 0)
        return static_cast<int>(std::lround(64.0 * Height() * (face->available_sizes[0].y_ppem / 64.0) /
                                            face->available_sizes[0].height));
    }
    return emPixels * 64;
  }

  const Glyph& GlyphAt(int slot, uint32_t index) override {
    std::lock_guard guard(FontMutex());
    uint64_t key = (static_cast<uint64_t>(slot) << 32) | index;
    auto it = byIndex_.find(key);
    if (it != byIndex_.end()) return it->second;
    Glyph g;
    FT_Face face = Slot(slot);
    if (index == 0 || !face || !Render(face, index, ColourScale(slot), g)) g = Box();
    return byIndex_.emplace(key, std::move(g)).first->second;
  }

 private:
  FT_Face Slot(int slot) {
    if (slot == 0) return face_;
    if (slot < 0 || slot >= kFaceSlots) return nullptr;
    return FallbackFace(static_cast<size_t>(slot - 1), emPixels);
  }

  double ColourScale(int slot) {
    FT_Face face = Slot(slot);
    if (!face || FT_IS_SCALABLE(face) || face->num_fixed_sizes == 0) return 1.0;
    return ShapingScale(slot) / static_cast<double>(face->available_sizes[0].y_ppem);
  }

  Glyph RenderChar(char32_t ch) {
    Glyph g;
    if (ch < 0x20) return g;  // control characters take no room
    if (ch >= 0xD800 && ch <= 0xDFFF) return Box();  // half of a broken pair
    for (int slot = 0; slot < kFaceSlots; ++slot) {
      // Character by character, symbols keep their monochrome look.
      if (slot == kColorSlot) continue;
      FT_Face face = Slot(slot);
      FT_UInt index = face ? FT_Get_Char_Index(face, ch) : 0;
      if (index != 0 && Render(face, index, 1.0, g)) return g;
    }
    return Box();
  }

  // A box the size of a capital, so unknown characters stay visible.
  Glyph Box() const {
    Glyph g;
    g.missing = true;
    g.advance = std::max(3, emPixels * 6 / 10);
    g.width = g.advance - 1;
    g.height = std::max(3, ascent * 7 / 10);
    g.left = 0;
    g.top = g.height;
    g.coverage.assign(static_cast<size_t>(g.width * g.height), 0);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        if (x == 0 || y == 0 || x == g.width - 1 || y == g.height - 1) g.coverage[y * g.width + x] = 255;
    return g;
  }

  FT_Face face_ = nullptr;
  std::unordered_map<char32_t, Glyph> glyphs_;
  std::unordered_map<uint64_t, Glyph> byIndex_;
  std::array<hb_font_t*, kFaceSlots> shaping_{};
  std::array<bool, kFaceSlots> shapingMade_{};
};

}  // namespace

FontFace& FaceFor(bool bold, int emPixels) {
  emPixels = std::clamp(emPixels, 4, 96);
  std::lock_guard guard(FontMutex());
  static auto* faces = new std::map<std::pair<bool, int>, std::unique_ptr<FontFace>>;
  auto& slot = (*faces)[{bold, emPixels}];
  if (!slot) slot = std::make_unique<FreeTypeFace>(bold, emPixels);
  return *slot;
}

int EmPixelsForHeight(long logicalHeight) {
  if (logicalHeight == 0) return kSystemFontEm;
  if (logicalHeight < 0) return static_cast<int>(-logicalHeight);
  // A cell height: DejaVu Sans's cell is about 1.164 em.
  return static_cast<int>(std::lround(static_cast<double>(logicalHeight) / 1.164));
}

std::string_view SlotFileName(int slot, bool bold) {
  if (slot <= 0 || slot >= kFaceSlots) return bold ? kBoldFont.name : kRegularFont.name;
  return kFallbackFonts[static_cast<size_t>(slot - 1)].name;
}

std::string SlotFilePath(int slot, bool bold) {
  if (slot <= 0 || slot >= kFaceSlots) return FindFile(bold ? kBoldFont : kRegularFont);
  return FindFile(kFallbackFonts[static_cast<size_t>(slot - 1)]);
}

void NoteBoxDrawn(char32_t ch) {
  std::lock_guard guard(FontMutex());
  if (BoxesDrawn().find(ch) == std::u32string::npos) BoxesDrawn() += ch;
}

std::u32string TakeBoxesDrawn() {
  std::lock_guard guard(FontMutex());
  return std::exchange(BoxesDrawn(), {});
}

}  // namespace kvplatform::ui
