// The font files text is drawn from, where Debian installs them, and the
// order they are tried in: a character comes from the weight's own face
// when it has it, else from the first fallback face that does; a character
// no face has is drawn as a box.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kvplatform::ui {

struct FontFile {
  std::string_view name;     // looked for in $KORVANET_FONT_DIR first
  std::string_view package;  // the Debian package that installs it
  std::array<std::string_view, 3> folders;
};

// Latin, Greek, Cyrillic, Arabic, Hebrew and many symbols.
inline constexpr FontFile kRegularFont{
    "DejaVuSans.ttf",
    "fonts-dejavu-core",
    {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu", "/usr/local/share/fonts/truetype/dejavu"}};
inline constexpr FontFile kBoldFont{
    "DejaVuSans-Bold.ttf",
    "fonts-dejavu-core",
    {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu", "/usr/local/share/fonts/truetype/dejavu"}};

// Shared by both weights (none has a bold), tried in this order: the
// scripts DejaVu lacks, Chinese, Japanese and Korean in one compact face,
// emoji in colour, then symbols in monochrome. The colour face serves only
// characters shown as emoji, so a plain symbol keeps its text look.
inline constexpr std::array<FontFile, 5> kFallbackFonts{{
    {"Lohit-Devanagari.ttf",
     "fonts-lohit-deva",
     {"/usr/share/fonts/truetype/lohit-devanagari", "/usr/local/share/fonts/truetype/lohit-devanagari", ""}},
    {"Garuda.ttf",
     "fonts-tlwg-garuda-ttf",
     {"/usr/share/fonts/truetype/tlwg", "/usr/local/share/fonts/truetype/tlwg", ""}},
    {"DroidSansFallbackFull.ttf",
     "fonts-droid-fallback",
     {"/usr/share/fonts/truetype/droid", "/usr/local/share/fonts/truetype/droid", ""}},
    {"NotoColorEmoji.ttf",
     "fonts-noto-color-emoji",
     {"/usr/share/fonts/truetype/noto", "/usr/local/share/fonts/truetype/noto", ""}},
    {"Symbola_hint.ttf",
     "fonts-symbola",
     {"/usr/share/fonts/truetype/ancient-scripts", "/usr/local/share/fonts/truetype/ancient-scripts", ""}},
}};
// Which of them draws emoji in colour.
inline constexpr size_t kColorEmojiFallback = 3;

}  // namespace kvplatform::ui
