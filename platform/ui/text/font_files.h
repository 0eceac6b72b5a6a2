// The font files text is drawn from, where Debian installs them, and the
// order they are tried in: a character comes from the weight's own face
// when it has it, else from the first fallback face that does; a character
// no face has is drawn as a box.
#pragma once

#include <array>
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

// Shared by both weights (neither has a bold): Chinese, Japanese and Korean
// in one compact face, then emoji and symbols in monochrome.
inline constexpr std::array<FontFile, 2> kFallbackFonts{{
    {"DroidSansFallbackFull.ttf",
     "fonts-droid-fallback",
     {"/usr/share/fonts/truetype/droid", "/usr/local/share/fonts/truetype/droid", ""}},
    {"Symbola_hint.ttf",
     "fonts-symbola",
     {"/usr/share/fonts/truetype/ancient-scripts", "/usr/local/share/fonts/truetype/ancient-scripts", ""}},
}};

}  // namespace kvplatform::ui
