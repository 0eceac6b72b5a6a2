#include "ui/text/font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
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
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
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
    if (face_) FT_Done_Face(face_);
  }

  const Glyph& GlyphOf(char32_t ch) override {
    std::lock_guard guard(FontMutex());
    auto it = glyphs_.find(ch);
    if (it != glyphs_.end()) return it->second;
    return glyphs_.emplace(ch, Render(ch)).first->second;
  }

 private:
  Glyph Render(char32_t ch) {
    Glyph g;
    if (ch < 0x20) return g;  // control characters take no room
    if (ch >= 0xD800 && ch <= 0xDFFF) return Box();  // half of a broken pair
    if (Load(face_, ch, g)) return g;
    for (size_t i = 0; i < kFallbackFonts.size(); ++i)
      if (Load(FallbackFace(i, emPixels), ch, g)) return g;
    return Box();
  }

  static bool Load(FT_Face face, char32_t ch, Glyph& g) {
    FT_UInt index = face ? FT_Get_Char_Index(face, ch) : 0;
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    g.width = static_cast<int>(slot->bitmap.width);
    g.height = static_cast<int>(slot->bitmap.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.coverage.resize(static_cast<size_t>(g.width * g.height));
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) {
        uint8_t value = slot->bitmap.buffer[y * slot->bitmap.pitch + x];
        if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
          value = (slot->bitmap.buffer[y * slot->bitmap.pitch + x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
        g.coverage[y * g.width + x] = value;
      }
    return true;
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

void NoteBoxDrawn(char32_t ch) {
  std::lock_guard guard(FontMutex());
  if (BoxesDrawn().find(ch) == std::u32string::npos) BoxesDrawn() += ch;
}

std::u32string TakeBoxesDrawn() {
  std::lock_guard guard(FontMutex());
  return std::exchange(BoxesDrawn(), {});
}

}  // namespace kvplatform::ui
