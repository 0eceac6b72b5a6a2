// The test interface's check of shaped text against HarfBuzz's own output.
#include <hb.h>

#include <algorithm>
#include <string>

#include "ui/testing.h"
#include "ui/text/font_engine.h"
#include "ui/text/shaped_line.h"

namespace kvplatform::uitest {
namespace {

namespace ui = kvplatform::ui;

// HarfBuzz on the font file alone, as the run was shaped.
bool ShapeAgain(const ui::ShapedRun& run, ui::ShapedRun& out) {
  std::string path = ui::SlotFilePath(run.slot, run.bold);
  hb_blob_t* blob = path.empty() ? nullptr : hb_blob_create_from_file_or_fail(path.c_str());
  if (!blob) return false;
  hb_face_t* face = hb_face_create(blob, 0);
  hb_font_t* font = hb_font_create(face);
  hb_font_set_scale(font, run.scale, run.scale);
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(run.text.data()), static_cast<int>(run.text.size()),
                      0, -1);
  hb_buffer_set_direction(buffer, run.rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
  hb_buffer_set_flags(buffer, HB_BUFFER_FLAG_REMOVE_DEFAULT_IGNORABLES);
  hb_buffer_guess_segment_properties(buffer);
  hb_shape(font, buffer, nullptr, 0);
  unsigned count = 0;
  hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
  int x = 0;
  for (unsigned i = 0; i < count; ++i) {
    out.glyphIds.push_back(info[i].codepoint);
    out.xs.push_back(x + pos[i].x_offset);
    out.ys.push_back(pos[i].y_offset);
    x += pos[i].x_advance;
  }
  hb_buffer_destroy(buffer);
  hb_font_destroy(font);
  hb_face_destroy(face);
  hb_blob_destroy(blob);
  return true;
}

}  // namespace

TextDrawn TakeTextDrawn() {
  TextDrawn drawn;
  for (const ui::ShapedRun& run : ui::TakeRunsDrawn()) {
    ++drawn.runs;
    std::string font(ui::SlotFileName(run.slot, run.bold));
    if (std::find(drawn.fonts.begin(), drawn.fonts.end(), font) == drawn.fonts.end()) drawn.fonts.push_back(font);
    if (run.slot == ui::kColorSlot) drawn.pictures += static_cast<int>(run.glyphIds.size());
    if (std::count(run.glyphIds.begin(), run.glyphIds.end(), 0u) > 0)
      drawn.faults.push_back(font + ": .notdef in a run of " + std::to_string(run.text.size()) + " units");
    ui::ShapedRun again;
    if (!ShapeAgain(run, again)) {
      drawn.faults.push_back(font + ": cannot be read");
    } else if (again.glyphIds != run.glyphIds || again.xs != run.xs || again.ys != run.ys) {
      drawn.faults.push_back(font + ": shaped otherwise than HarfBuzz shapes it, in a run of " +
                             std::to_string(run.text.size()) + " units");
    }
  }
  return drawn;
}

}  // namespace kvplatform::uitest
