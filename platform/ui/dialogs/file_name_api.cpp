// GetOpenFileNameW and GetSaveFileNameW: what the OPENFILENAMEW asks for,
// the chooser run, and its answer written back into the structure.
#include <commdlg.h>

#include <algorithm>

#include "ui/dialogs/device_folders.h"
#include "ui/dialogs/file_chooser.h"

namespace kvplatform::ui {
namespace {

thread_local DWORD tLastError = 0;

constexpr char16_t kDocuments[] = u"\\My Documents";

BOOL Fail(DWORD error) {
  tLastError = error;
  return FALSE;
}

// Where the chooser starts: the folder of a path given in lpstrFile (below
// the initial folder when relative), else lpstrInitialDir, else the device's
// documents, else the root.
std::u16string StartFolder(const OPENFILENAMEW& ofn, const std::u16string& given) {
  std::u16string initial = IsDeviceFolder(kDocuments) ? kDocuments : u"\\";
  if (ofn.lpstrInitialDir != nullptr && *ofn.lpstrInitialDir != 0 && IsDeviceFolder(ofn.lpstrInitialDir))
    initial = NormalDevicePath(ofn.lpstrInitialDir);
  if (given.find(u'\\') != std::u16string::npos) {
    std::u16string folder = ParentFolder(ResolveDevicePath(initial, given));
    if (IsDeviceFolder(folder)) return folder;
  }
  return initial;
}

ChooserRequest RequestOf(const OPENFILENAMEW& ofn, bool save) {
  ChooserRequest request;
  request.save = save;
  request.title = ofn.lpstrTitle != nullptr ? ofn.lpstrTitle : save ? u"Save As" : u"Open";
  const WCHAR* end = std::find(ofn.lpstrFile, ofn.lpstrFile + ofn.nMaxFile, u'\0');
  std::u16string given(static_cast<const WCHAR*>(ofn.lpstrFile), end);
  request.folder = StartFolder(ofn, given);
  size_t slash = given.rfind(u'\\');
  request.name = slash == std::u16string::npos ? given : given.substr(slash + 1);
  request.filters = ParseFileFilters(ofn.lpstrFilter);
  int index = static_cast<int>(ofn.nFilterIndex);
  request.filter = index >= 1 && index <= static_cast<int>(request.filters.size()) ? index - 1 : 0;
  request.appendExtension = ofn.lpstrDefExt != nullptr;
  if (ofn.lpstrDefExt != nullptr) request.defaultExtension = ofn.lpstrDefExt;
  request.flags = ofn.Flags;
  return request;
}

// The chosen path into lpstrFile, with its offsets and the name alone.
BOOL Answer(OPENFILENAMEW& ofn, const ChooserResult& result) {
  const std::u16string& path = result.path;
  if (path.size() + 1 > ofn.nMaxFile) {
    // As documented: the size the path needs, in characters, in the buffer's first WORD.
    ofn.lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, 0xFFFF));
    return Fail(FNERR_BUFFERTOOSMALL);
  }
  std::copy(path.begin(), path.end(), ofn.lpstrFile);
  ofn.lpstrFile[path.size()] = 0;
  size_t nameAt = path.rfind(u'\\') + 1;
  std::u16string name = path.substr(nameAt);
  std::u16string extension = ExtensionOf(name);
  ofn.nFileOffset = static_cast<WORD>(nameAt);
  // Without an extension it points at the terminating null.
  ofn.nFileExtension = static_cast<WORD>(extension.empty() ? path.size() : path.size() - extension.size());
  if (ofn.lpstrFileTitle != nullptr && ofn.nMaxFileTitle > name.size()) {
    std::copy(name.begin(), name.end(), ofn.lpstrFileTitle);
    ofn.lpstrFileTitle[name.size()] = 0;
  }
  ofn.nFilterIndex = static_cast<DWORD>(result.filter + 1);
  return TRUE;
}

BOOL RunFileNameDialog(LPOPENFILENAMEW ofn, bool save) {
  tLastError = 0;
  if (ofn == nullptr || ofn->lStructSize != sizeof(OPENFILENAMEW)) return Fail(CDERR_STRUCTSIZE);
  if (ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) return Fail(CDERR_INITIALIZATION);
  ChooserRequest request = RequestOf(*ofn, save);
  ChooserResult result;
  INT_PTR ended = RunFileChooser(ofn->hwndOwner, request, result);
  if (ended == -1) return Fail(CDERR_INITIALIZATION);
  // Cancelled, or ended with the program's message loop.
  if (ended != IDOK) return FALSE;
  return Answer(*ofn, result);
}

}  // namespace
}  // namespace kvplatform::ui

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) { return kvplatform::ui::RunFileNameDialog(ofn, false); }

BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) { return kvplatform::ui::RunFileNameDialog(ofn, true); }

DWORD CommDlgExtendedError() { return kvplatform::ui::tLastError; }
