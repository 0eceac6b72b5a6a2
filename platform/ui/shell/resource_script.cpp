// The program's declarations turned into the bytes a resource compiler
// would have produced, so the loaders read one format.
#include <kvresources.h>

#include <algorithm>
#include <cstring>

#include "ui/shell/resource_table.h"

namespace kvresources {
namespace {

using kvplatform::ui::AddResource;
using kvplatform::ui::ResourceEntry;

// Control styles of the standard classes (their values are facts).
constexpr DWORD kStaticLeft = 0x0000, kStaticCenter = 0x0001;
constexpr DWORD kButtonPush = 0x0000, kButtonDefault = 0x0001, kButtonAutoCheck = 0x0003;
constexpr DWORD kEditAutoHScroll = 0x0080;
constexpr DWORD kListNotify = 0x0001;

class Writer {
 public:
  void Word(WORD w) { Raw(&w, sizeof w); }
  void Dword(DWORD d) { Raw(&d, sizeof d); }
  void Text(const std::u16string& text) {
    for (char16_t c : text) Word(c);
    Word(0);
  }
  void AlignTo(size_t n) {
    while (bytes.size() % n) bytes.push_back(0);
  }
  void Raw(const void* data, size_t size) {
    auto* p = static_cast<const BYTE*>(data);
    bytes.insert(bytes.end(), p, p + size);
  }
  std::vector<BYTE> bytes;
};

void AddBytes(HINSTANCE module, LPCWSTR type, UINT id, std::vector<BYTE> bytes) {
  auto entry = std::make_shared<ResourceEntry>();
  entry->bytes = std::move(bytes);
  AddResource(module, type, id, std::move(entry));
}

void WriteMenuItems(Writer& w, const std::vector<MenuEntry>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuEntry& item = items[i];
    WORD flags = static_cast<WORD>(item.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR));
    if (!item.items.empty() || (item.flags & MF_POPUP)) flags |= MF_POPUP;
    if (i + 1 == items.size()) flags |= MF_END;
    w.Word(flags);
    if (!(flags & MF_POPUP)) w.Word(static_cast<WORD>(item.id));
    w.Text(item.text);
    if (flags & MF_POPUP) WriteMenuItems(w, item.items);
  }
}

DialogControl Styled(std::u16string text, int id, std::u16string cls, DWORD style, short x, short y, short cx,
                     short cy) {
  return DialogControl{std::move(text), id, std::move(cls), style, x, y, cx, cy, 0};
}

}  // namespace

HINSTANCE ProgramInstance() {
  // A fixed, small value: the program logs and compares it, never frees it.
  return reinterpret_cast<HINSTANCE>(uintptr_t{0x00400000});
}

MenuEntry MenuItem(std::u16string text, UINT id, UINT flags) { return MenuEntry{std::move(text), id, flags, {}}; }
MenuEntry Separator() { return MenuEntry{u"", 0, MF_SEPARATOR, {}}; }
MenuEntry Popup(std::u16string text, std::vector<MenuEntry> items) {
  return MenuEntry{std::move(text), 0, MF_POPUP, std::move(items)};
}

DialogControl Control(std::u16string text, int id, std::u16string className, DWORD style, short x, short y, short cx,
                      short cy, DWORD exStyle) {
  return DialogControl{std::move(text), id, std::move(className), style, x, y, cx, cy, exStyle};
}
DialogControl LText(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(std::move(text), id, u"STATIC", kStaticLeft | WS_GROUP | style, x, y, cx, cy);
}
DialogControl CText(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(std::move(text), id, u"STATIC", kStaticCenter | WS_GROUP | style, x, y, cx, cy);
}
DialogControl PushButton(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(std::move(text), id, u"BUTTON", kButtonPush | WS_TABSTOP | style, x, y, cx, cy);
}
DialogControl DefPushButton(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(std::move(text), id, u"BUTTON", kButtonDefault | WS_TABSTOP | style, x, y, cx, cy);
}
DialogControl AutoCheckBox(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(std::move(text), id, u"BUTTON", kButtonAutoCheck | WS_TABSTOP | style, x, y, cx, cy);
}
DialogControl EditText(int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(u"", id, u"EDIT", kEditAutoHScroll | WS_BORDER | WS_TABSTOP | style, x, y, cx, cy);
}
DialogControl ComboBox(int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(u"", id, u"COMBOBOX", WS_TABSTOP | style, x, y, cx, cy);
}
DialogControl ListBox(int id, short x, short y, short cx, short cy, DWORD style) {
  return Styled(u"", id, u"LISTBOX", kListNotify | WS_BORDER | WS_TABSTOP | style, x, y, cx, cy);
}

std::vector<BYTE> DialogTemplateBytes(const DialogDefinition& dialog) {
  Writer w;
  DLGTEMPLATE head{static_cast<DWORD>(dialog.style | (dialog.font.empty() ? 0 : DS_SETFONT)), dialog.exStyle,
                   static_cast<WORD>(dialog.controls.size()), dialog.x, dialog.y, dialog.cx, dialog.cy};
  w.Raw(&head, sizeof head);
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.Text(dialog.caption);
  if (head.style & DS_SETFONT) {
    w.Word(dialog.pointSize);
    w.Text(dialog.font);
  }
  for (const DialogControl& c : dialog.controls) {
    w.AlignTo(4);
    DLGITEMTEMPLATE item{static_cast<DWORD>(c.style | WS_CHILD | WS_VISIBLE), c.exStyle, c.x, c.y, c.cx, c.cy, static_cast<WORD>(c.id)};
    w.Raw(&item, sizeof item);
    w.Text(c.className);
    w.Text(c.text);
    w.Word(0);  // no creation data
  }
  return std::move(w.bytes);
}

MenuBarButton DropDownButton(WORD command, WORD stringId, WORD popup) {
  return MenuBarButton{static_cast<WORD>(-2), command, 0x04, 0x08 | 0x10, stringId, popup};
}
MenuBarButton ImageButton(WORD image, WORD command, WORD stringId) {
  return MenuBarButton{image, command, 0x04, 0x00, stringId, 0xFFFF};
}

Script::Script(HINSTANCE module) : module_(module ? module : ProgramInstance()) {}

Script& Script::String(UINT id, std::u16string text) {
  kvplatform::ui::AddString(module_, id, std::move(text));
  return *this;
}

Script& Script::Menu(UINT id, std::vector<MenuEntry> popups) {
  Writer w;
  w.Word(0);  // version
  w.Word(0);  // header size
  WriteMenuItems(w, popups);
  AddBytes(module_, RT_MENU, id, std::move(w.bytes));
  return *this;
}

Script& Script::MenuBar(UINT id, std::vector<MenuBarButton> buttons) {
  Writer w;
  w.Word(static_cast<WORD>(id));
  w.Word(static_cast<WORD>(buttons.size()));
  for (const MenuBarButton& b : buttons) {
    w.Word(b.image);
    w.Word(b.command);
    w.Word(b.state);
    w.Word(b.style);
    w.Word(b.stringId);
    w.Word(0);
    w.Word(b.popup);
  }
  AddBytes(module_, RT_RCDATA, id, std::move(w.bytes));
  return *this;
}

Script& Script::Dialog(UINT id, const DialogDefinition& dialog) {
  AddBytes(module_, RT_DIALOG, id, DialogTemplateBytes(dialog));
  return *this;
}

Script& Script::Accelerators(UINT id, std::vector<ACCEL> entries) {
  // The resource's own layout: flags, key, command, padding; the last entry flagged 0x80.
  Writer w;
  for (size_t i = 0; i < entries.size(); ++i) {
    w.Word(static_cast<WORD>(entries[i].fVirt | (i + 1 == entries.size() ? 0x80 : 0)));
    w.Word(entries[i].key);
    w.Word(entries[i].cmd);
    w.Word(0);
  }
  AddBytes(module_, RT_ACCELERATOR, id, std::move(w.bytes));
  return *this;
}

Script& Script::Bitmap(UINT id, int width, int height, std::vector<uint32_t> pixels) {
  auto entry = std::make_shared<ResourceEntry>();
  pixels.resize(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)));
  entry->width = width;
  entry->height = height;
  entry->bytes.resize(pixels.size() * sizeof(uint32_t));
  if (!pixels.empty()) std::memcpy(entry->bytes.data(), pixels.data(), entry->bytes.size());
  AddResource(module_, RT_BITMAP, id, std::move(entry));
  return *this;
}

Script& Script::Bitmap(UINT id, const std::vector<std::string>& rows, const std::map<char, COLORREF>& palette) {
  int width = 0;
  for (auto& row : rows) width = std::max(width, static_cast<int>(row.size()));
  int height = static_cast<int>(rows.size());
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0x00D6D3CE);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
      if (auto it = palette.find(rows[y][x]); it != palette.end())
        pixels[static_cast<size_t>(y) * width + x] =
            (GetRValue(it->second) << 16) | (GetGValue(it->second) << 8) | GetBValue(it->second);
  return Bitmap(id, width, height, std::move(pixels));
}

Script& Script::RcData(UINT id, std::vector<BYTE> bytes) {
  AddBytes(module_, RT_RCDATA, id, std::move(bytes));
  return *this;
}

void ClearResources(HINSTANCE module) { kvplatform::ui::ForgetResources(module); }

}  // namespace kvresources
