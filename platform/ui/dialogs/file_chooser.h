// The file chooser behind GetOpenFileNameW and GetSaveFileNameW: a full
// screen dialog with the current folder, its folders (".." first below the
// root), its files of the chosen type, a name field, the types, OK and Cancel.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "ui/dialogs/file_filters.h"

namespace kvplatform::ui {

struct ChooserRequest {
  bool save = false;
  std::u16string title;
  std::u16string folder;  // an existing device folder to start in
  std::u16string name;    // put in the name field at the start
  std::vector<FileFilter> filters;
  int filter = 0;  // index into filters
  // Appended to a name typed without an extension (the chosen type's own
  // extension when it has one) when appendExtension is set.
  bool appendExtension = false;
  std::u16string defaultExtension;
  DWORD flags = 0;  // OFN_*
};

struct ChooserResult {
  std::u16string path;  // the chosen file's device path
  int filter = 0;
};

// Runs the chooser modally over the owner: IDOK with the result filled in,
// IDCANCEL when the user cancelled, -1 when it could not be shown.
INT_PTR RunFileChooser(HWND owner, const ChooserRequest& request, ChooserResult& result);

}  // namespace kvplatform::ui
