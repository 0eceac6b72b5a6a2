// The file chooser dialog: the standard controls from a dialog template,
// laid out in pixels over the whole screen below the taskbar, run by the
// dialog manager (Tab, Enter for OK, Escape for Cancel).
//
// Folders open with one tap or with Enter; ".." (or Backspace in the folder
// list) goes up. A file row tapped or chosen with the arrows fills the name
// field; a double tap on it is OK. A folder typed in the name field opens.
#include "ui/dialogs/file_chooser.h"

#include <commdlg.h>
#include <dlgs.h>
#include <kvresources.h>

#include <atomic>

#include "ui/dialogs/device_folders.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

namespace res = kvresources;

// Posted by a tap on a folder row, so that the folder opens after the list
// has finished with the tap: wParam the folder list's filling it was made
// on, lParam the row.
constexpr UINT kOpenTappedFolder = WM_APP + 1;
constexpr char16_t kUpRow[] = u"..";
constexpr char16_t kRoot[] = u"\\";

constexpr int kGap = 4;
constexpr int kFieldHeight = 20;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 22;
constexpr int kLabelWidth = 40;
constexpr int kFolderListHeight = 62;
constexpr int kTypeListHeight = 84;  // the type box's drop-down

struct ChooserState {
  const ChooserRequest* request;
  ChooserResult* result;
  std::u16string folder;
  int filter;
  int filling = 0;  // counts the folder list's fillings: a tap on an older one is dropped
};

// The list box class's own procedure, under the folder list's.
std::atomic<WNDPROC> gListBoxProc{nullptr};

ChooserState* ChooserStateOf(HWND dialog) { return reinterpret_cast<ChooserState*>(GetWindowLongPtrW(dialog, DWL_USER)); }

std::u16string TextOf(HWND window) {
  std::u16string text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::u16string RowText(HWND list, int row) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
  if (length < 0) return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

std::u16string TrimmedName(const std::u16string& text) {
  size_t first = text.find_first_not_of(u" \t");
  if (first == std::u16string::npos) return {};
  return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

bool SameName(const std::u16string& a, const std::u16string& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

std::vector<BYTE> ChooserTemplate(const std::u16string& title) {
  res::DialogDefinition d;
  d.cx = 136;
  d.cy = 160;
  d.style = WS_POPUP;  // full screen: the title shows on the taskbar, as other full-screen dialogs do
  d.caption = title;
  // Made in tab order; Layout places them.
  d.controls = {
      res::LText(u"", stc1, 0, 0, 8, 8, SS_LEFTNOWORDWRAP | SS_NOPREFIX),
      res::ListBox(lst2, 0, 0, 8, 8, WS_VSCROLL),
      res::ListBox(lst1, 0, 0, 8, 8, WS_VSCROLL),
      res::LText(u"Name:", stc3, 0, 0, 8, 8),
      res::EditText(edt1, 0, 0, 8, 8),
      res::LText(u"Type:", stc2, 0, 0, 8, 8),
      res::ComboBox(cmb1, 0, 0, 8, 8, CBS_DROPDOWNLIST | WS_VSCROLL),
      res::DefPushButton(u"OK", IDOK, 0, 0, 8, 8),
      res::PushButton(u"Cancel", IDCANCEL, 0, 0, 8, 8),
  };
  return res::DialogTemplateBytes(d);
}

void Place(HWND dialog, int id, int x, int y, int width, int height) {
  MoveWindow(GetDlgItem(dialog, id), x, y, width, height, FALSE);
}

// The whole screen below the taskbar; the file list takes what the others leave.
void Layout(HWND dialog) {
  RECT desktop = DesktopRect();
  MoveWindow(dialog, desktop.left, desktop.top, desktop.right - desktop.left, desktop.bottom - desktop.top, FALSE);
  RECT client;
  GetClientRect(dialog, &client);
  int width = client.right - 2 * kGap;
  int buttonsY = client.bottom - kGap - kButtonHeight;
  int typeY = buttonsY - 2 * kGap - kFieldHeight;
  int nameY = typeY - kGap - kFieldHeight;
  int foldersY = kGap + 16;
  int filesY = foldersY + kFolderListHeight + kGap;
  int fieldX = kGap + kLabelWidth + 2;
  int fieldWidth = client.right - kGap - fieldX;
  Place(dialog, stc1, kGap, kGap, width, 14);
  Place(dialog, lst2, kGap, foldersY, width, kFolderListHeight);
  Place(dialog, lst1, kGap, filesY, width, nameY - kGap - filesY);
  Place(dialog, stc3, kGap, nameY + 3, kLabelWidth, 14);
  Place(dialog, edt1, fieldX, nameY, fieldWidth, kFieldHeight);
  Place(dialog, stc2, kGap, typeY + 3, kLabelWidth, 14);
  Place(dialog, cmb1, fieldX, typeY, fieldWidth, kFieldHeight + kTypeListHeight);
  int buttonsX = (client.right - 2 * kButtonWidth - 2 * kGap) / 2;
  Place(dialog, IDOK, buttonsX, buttonsY, kButtonWidth, kButtonHeight);
  Place(dialog, IDCANCEL, buttonsX + kButtonWidth + 2 * kGap, buttonsY, kButtonWidth, kButtonHeight);
}

// The current folder above the lists; a path too long to show loses its
// first folders, since the deepest ones say where the user is.
void ShowFolder(HWND dialog, const std::u16string& folder) {
  HWND label = GetDlgItem(dialog, stc1);
  RECT room;
  GetClientRect(label, &room);
  HDC dc = GetDC(label);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0));
  HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
  auto fits = [&](const std::u16string& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx <= room.right;
  };
  std::u16string shown = folder;
  for (size_t slash = folder.find(u'\\', 1); !fits(shown) && slash != std::u16string::npos;
       slash = folder.find(u'\\', slash + 1))
    shown = u"\u2026" + folder.substr(slash);
  if (old != nullptr) SelectObject(dc, old);
  ReleaseDC(label, dc);
  SetWindowTextW(label, shown.c_str());
}

const FileFilter* CurrentFilter(const ChooserState& s) {
  const auto& filters = s.request->filters;
  return s.filter >= 0 && s.filter < static_cast<int>(filters.size()) ? &filters[static_cast<size_t>(s.filter)] : nullptr;
}

void FillFiles(HWND dialog, const ChooserState& s, const std::vector<std::u16string>& files) {
  HWND list = GetDlgItem(dialog, lst1);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const FileFilter* filter = CurrentFilter(s);
  for (const std::u16string& file : files)
    if (filter == nullptr || MatchesFilter(*filter, file))
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(file.c_str()));
}

// Fills both lists from the current folder; `select` names a folder row to
// select (the one just come up from).
void FillLists(HWND dialog, ChooserState& s, const std::u16string& select = {}) {
  HWND list = GetDlgItem(dialog, lst2);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  ++s.filling;
  FolderListing listing = ListDeviceFolder(s.folder);
  if (s.folder != kRoot) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kUpRow));
  for (const std::u16string& folder : listing.folders) {
    LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    if (!select.empty() && SameName(folder, select)) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  }
  FillFiles(dialog, s, listing.files);
  ShowFolder(dialog, s.folder);
}

void OpenFolder(HWND dialog, ChooserState& s, const std::u16string& folder) {
  std::u16string from = s.folder;
  s.folder = NormalDevicePath(folder);
  bool cameUp = from != kRoot && SameName(ParentFolder(from), s.folder);
  FillLists(dialog, s, cameUp ? LastPart(from) : std::u16string());
}

void OpenFolderRow(HWND dialog, ChooserState& s, int row) {
  std::u16string name = RowText(GetDlgItem(dialog, lst2), row);
  if (name.empty()) return;
  OpenFolder(dialog, s, name == kUpRow ? ParentFolder(s.folder) : ResolveDevicePath(s.folder, name));
}

void Warn(HWND dialog, const ChooserState& s, const std::u16string& text) {
  MessageBoxW(dialog, text.c_str(), s.request->title.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// A name typed without an extension gets the chosen type's, else the default one.
std::u16string WithDefaultExtension(const ChooserState& s, const std::u16string& path) {
  if (!s.request->appendExtension || !ExtensionOf(LastPart(path)).empty()) return path;
  const FileFilter* filter = CurrentFilter(s);
  std::u16string extension = filter != nullptr ? FilterExtension(*filter) : std::u16string();
  if (extension.empty()) extension = s.request->defaultExtension;
  if (extension.empty()) return path;
  // Opening, a file whose own name has no extension is taken as typed.
  if (!s.request->save && IsDeviceFile(path)) return path;
  return path + u"." + extension;
}

void OnOk(HWND dialog, ChooserState& s) {
  HWND folders = GetDlgItem(dialog, lst2);
  if (GetFocus() == folders) {
    LRESULT row = SendMessageW(folders, LB_GETCURSEL, 0, 0);
    if (row >= 0) {
      OpenFolderRow(dialog, s, static_cast<int>(row));
      return;
    }
  }
  std::u16string typed = TrimmedName(TextOf(GetDlgItem(dialog, edt1)));
  if (typed.empty()) return;
  std::u16string path = ResolveDevicePath(s.folder, typed);
  if (IsDeviceFolder(path)) {
    SetDlgItemTextW(dialog, edt1, u"");
    OpenFolder(dialog, s, path);
    return;
  }
  if (!IsValidFileName(LastPart(path))) {
    Warn(dialog, s, typed + u"\nThis is not a name a file can have.");
    return;
  }
  path = WithDefaultExtension(s, path);
  DWORD flags = s.request->flags;
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsDeviceFolder(ParentFolder(path))) {
    Warn(dialog, s, ParentFolder(path) + u"\nThere is no such folder.");
    return;
  }
  bool exists = IsDeviceFile(path);
  if (!s.request->save && (flags & OFN_FILEMUSTEXIST) && !exists) {
    Warn(dialog, s, path + u"\nThere is no such file.");
    return;
  }
  if (s.request->save && (flags & OFN_OVERWRITEPROMPT) && exists) {
    std::u16string question = path + u"\nA file of this name is there already. Replace it?";
    if (MessageBoxW(dialog, question.c_str(), s.request->title.c_str(), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) !=
        IDYES)
      return;
  }
  s.result->path = path;
  s.result->filter = s.filter;
  EndDialog(dialog, IDOK);
}

void OnFileSelected(HWND dialog) {
  HWND files = GetDlgItem(dialog, lst1);
  LRESULT row = SendMessageW(files, LB_GETCURSEL, 0, 0);
  if (row >= 0) SetDlgItemTextW(dialog, edt1, RowText(files, static_cast<int>(row)).c_str());
}

// A new type shows its files; saving, a typed name with the old type's
// extension takes the new one's.
void OnTypeChanged(HWND dialog, ChooserState& s) {
  int chosen = static_cast<int>(SendDlgItemMessageW(dialog, cmb1, CB_GETCURSEL, 0, 0));
  if (chosen < 0 || chosen == s.filter) return;
  const FileFilter* before = CurrentFilter(s);
  std::u16string oldExtension = before != nullptr ? FilterExtension(*before) : std::u16string();
  s.filter = chosen;
  std::u16string newExtension = FilterExtension(*CurrentFilter(s));
  std::u16string name = TextOf(GetDlgItem(dialog, edt1));
  if (s.request->save && !oldExtension.empty() && !newExtension.empty() && SameName(ExtensionOf(name), oldExtension)) {
    name = name.substr(0, name.size() - oldExtension.size()) + newExtension;
    SetDlgItemTextW(dialog, edt1, name.c_str());
  }
  FillFiles(dialog, s, ListDeviceFolder(s.folder).files);
}

LRESULT CALLBACK FolderListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND dialog = GetParent(list);
  ChooserState* s = dialog != nullptr ? ChooserStateOf(dialog) : nullptr;
  if (s != nullptr && message == WM_KEYDOWN && wParam == VK_BACK) {
    if (s->folder != kRoot) OpenFolder(dialog, *s, ParentFolder(s->folder));
    return 0;
  }
  LRESULT result = CallWindowProcW(gListBoxProc.load(), list, message, wParam, lParam);
  // The second tap of a double tap is part of the first, which opened the folder.
  if (s != nullptr && message == WM_LBUTTONDOWN) {
    LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
    if (HIWORD(hit) == 0) PostMessageW(dialog, kOpenTappedFolder, static_cast<WPARAM>(s->filling), LOWORD(hit));
  }
  return result;
}

void OnInit(HWND dialog, ChooserState& s) {
  Layout(dialog);
  HWND folders = GetDlgItem(dialog, lst2);
  auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(folders, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(FolderListProc)));
  if (previous != FolderListProc) gListBoxProc = previous;
  HWND types = GetDlgItem(dialog, cmb1);
  for (const FileFilter& filter : s.request->filters)
    SendMessageW(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(filter.caption.c_str()));
  SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(s.filter), 0);
  if (s.request->filters.empty()) EnableWindow(types, FALSE);
  SetDlgItemTextW(dialog, edt1, s.request->name.c_str());
  FillLists(dialog, s);
  HWND name = GetDlgItem(dialog, edt1);
  SetFocus(name);
  SendMessageW(name, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWL_USER, lParam);
    OnInit(dialog, *reinterpret_cast<ChooserState*>(lParam));
    return FALSE;  // the focus is set: on the name field
  }
  ChooserState* s = ChooserStateOf(dialog);
  if (s == nullptr) return FALSE;
  if (message == kOpenTappedFolder) {
    if (static_cast<int>(wParam) == s->filling) {
      // The list lets go of the stylus, so a drag goes on in no list.
      SendDlgItemMessageW(dialog, lst2, WM_CANCELMODE, 0, 0);
      OpenFolderRow(dialog, *s, static_cast<int>(lParam));
    }
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  switch (id) {
    case IDOK: OnOk(dialog, *s); return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    case lst1:
      if (code == LBN_SELCHANGE) OnFileSelected(dialog);
      if (code == LBN_DBLCLK) {
        OnFileSelected(dialog);
        OnOk(dialog, *s);
      }
      return TRUE;
    case cmb1:
      if (code == CBN_SELCHANGE) OnTypeChanged(dialog, *s);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR RunFileChooser(HWND owner, const ChooserRequest& request, ChooserResult& result) {
  ChooserState state{&request, &result, NormalDevicePath(request.folder), request.filter};
  std::vector<BYTE> bytes = ChooserTemplate(request.title);
  return DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()), owner, ChooserProc,
                                 reinterpret_cast<LPARAM>(&state));
}

}  // namespace kvplatform::ui
