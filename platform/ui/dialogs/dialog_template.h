// A dialog template (DLGTEMPLATE and its DLGITEMTEMPLATE items) read into
// plain records before any window is made.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace kvplatform::ui {

struct DialogItemRecord {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  WORD id = 0;
  std::u16string className;  // predefined class atoms become their names
  std::u16string text;
  std::vector<BYTE> creationData;
};

struct DialogRecord {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::u16string className;  // empty: the system's dialog class
  std::u16string caption;
  WORD pointSize = 0;
  std::u16string font;
  std::vector<DialogItemRecord> items;
};

// False when the template is unreadable (bad alignment of the count, text
// running past `limit` bytes).
bool ParseDialogTemplate(const DLGTEMPLATE* dialogTemplate, DialogRecord& out, size_t limit = 1 << 20);

}  // namespace kvplatform::ui
