// The program's resources (strings, menus, menu bars, dialogs, accelerators,
// bitmaps, raw data), declared in C++ the way a resource script declares
// them and loaded by identifier through LoadStringW, LoadMenuW,
// FindResourceW, LoadAcceleratorsW and LoadBitmapW. Each module instance has
// its own table.
//
//   kvresources::Script(instance)
//       .String(40013, u"Korvanet")
//       .Menu(101, {Popup(u"View", {MenuItem(u"Contacts", 40065), Separator()})})
//       .MenuBar(101, {DropDownButton(40020, 40100, 0), ImageButton(0, 40021, 40101)})
//       .Dialog(110, {0, 0, 136, 156, WS_POPUP | WS_CAPTION, u"New Contact", {
//            LText(u"Name:", -1, 4, 4, 40, 10), EditText(1016, 48, 4, 84, 12)}})
//       .Accelerators(102, {{FCONTROL | FVIRTKEY, 'A', 40019}});
#pragma once

#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace kvresources {

// The instance handle the program's entry is given; resources declared
// without an instance belong to it, and a null instance looks there too.
HINSTANCE ProgramInstance();

struct MenuEntry {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;  // MF_GRAYED, MF_CHECKED, MF_SEPARATOR, MF_POPUP
  std::vector<MenuEntry> items;
};
MenuEntry MenuItem(std::u16string text, UINT id, UINT flags = 0);
MenuEntry Separator();
MenuEntry Popup(std::u16string text, std::vector<MenuEntry> items);

// One control of a dialog; position and size in dialog units.
struct DialogControl {
  std::u16string text;
  int id = -1;
  std::u16string className;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD exStyle = 0;
};
// The statements of a dialog script. WS_CHILD | WS_VISIBLE are implied.
DialogControl Control(std::u16string text, int id, std::u16string className, DWORD style, short x, short y, short cx,
                      short cy, DWORD exStyle = 0);
DialogControl LText(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl CText(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl PushButton(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl DefPushButton(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl AutoCheckBox(std::u16string text, int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl EditText(int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl ComboBox(int id, short x, short y, short cx, short cy, DWORD style = 0);
DialogControl ListBox(int id, short x, short y, short cx, short cy, DWORD style = 0);

struct DialogDefinition {
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  std::u16string caption;
  std::vector<DialogControl> controls;
  WORD pointSize = 8;
  std::u16string font = u"System";
  DWORD exStyle = 0;
};
// The RT_DIALOG bytes of a definition: DLGTEMPLATE, then each DLGITEMTEMPLATE.
std::vector<BYTE> DialogTemplateBytes(const DialogDefinition& dialog);

// A button of a Pocket PC menu bar.
struct MenuBarButton {
  WORD image = static_cast<WORD>(-2);
  WORD command = 0;
  BYTE state = 0x04;
  BYTE style = 0;
  WORD stringId = 0;
  WORD popup = 0xFFFF;
};
// A text button that opens pop-up `popup` of the menu of the bar's identifier;
// its caption is string `stringId`.
MenuBarButton DropDownButton(WORD command, WORD stringId, WORD popup);
// An image of the bar's bitmap that sends `command`; `stringId` is its tool tip.
MenuBarButton ImageButton(WORD image, WORD command, WORD stringId);

class Script {
 public:
  explicit Script(HINSTANCE module = ProgramInstance());
  Script& String(UINT id, std::u16string text);
  Script& Menu(UINT id, std::vector<MenuEntry> popups);
  // The bar's RCDATA; its drop-downs open pop-ups of menu `id`.
  Script& MenuBar(UINT id, std::vector<MenuBarButton> buttons);
  Script& Dialog(UINT id, const DialogDefinition& dialog);
  Script& Accelerators(UINT id, std::vector<ACCEL> entries);
  // Pixels as 0x00RRGGBB, rows top to bottom.
  Script& Bitmap(UINT id, int width, int height, std::vector<uint32_t> pixels);
  // Pixel art: one character per pixel; characters missing from the palette
  // are the menu bar's background (light grey).
  Script& Bitmap(UINT id, const std::vector<std::string>& rows, const std::map<char, COLORREF>& palette);
  Script& RcData(UINT id, std::vector<BYTE> bytes);

 private:
  HINSTANCE module_;
};

// Forgets every resource of the module (tests).
void ClearResources(HINSTANCE module);

}  // namespace kvresources
