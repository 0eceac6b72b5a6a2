// Pages for the standard controls: static text and buttons, edit boxes,
// list box and combo box.
#include <string>

#include "gallery_pages.h"
#include "ui/testing.h"

namespace gallery {

namespace ui = kvplatform::uitest;
namespace res = kvresources;

namespace {

std::u16string ItemText(HWND dialog, int id) {
  HWND window = GetDlgItem(dialog, id);
  int length = GetWindowTextLengthW(window);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

// ---- static text and buttons -------------------------------------------------------------------
constexpr int kPressMe = 1001, kConfirmCheck = 1002, kSoundCheck = 1003, kDefault = 1004;
int gPresses = 0;

res::DialogDefinition ButtonsLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"Static and buttons", {
      res::LText(u"Left-aligned static text wraps at the right edge of its box when it is long.", -1, 4, 4,
                 static_cast<short>(w - 8), 20),
      res::CText(u"Centred static text", -1, 4, 28, static_cast<short>(w - 8), 10),
      res::PushButton(u"Press me", kPressMe, 4, 44, 60, 14, WS_TABSTOP),
      res::DefPushButton(u"Default", kDefault, 70, 44, 60, 14, WS_TABSTOP),
      res::AutoCheckBox(u"Ask before deleting", kConfirmCheck, 4, 66, static_cast<short>(w - 8), 12, WS_TABSTOP),
      res::Control(u"Sound on new message", kSoundCheck, u"BUTTON", BS_CHECKBOX | WS_TABSTOP, 4, 82,
                   static_cast<short>(w - 8), 12),
  });
}

void ButtonsFill(HWND dialog) {
  gPresses = 0;
  SendDlgItemMessageW(dialog, kConfirmCheck, BM_SETCHECK, BST_CHECKED, 0);
  SetStatus(dialog, u"Tap the buttons and check boxes.");
}

INT_PTR ButtonsReact(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  switch (LOWORD(wParam)) {
    case kPressMe:
      ++gPresses;
      SetDlgItemTextW(dialog, kPressMe, gPresses == 1 ? u"Pressed" : u"Again");
      SetStatus(dialog, u"\"Press me\" pressed " + Number(gPresses) + u" times.");
      return TRUE;
    case kDefault:
      SetStatus(dialog, u"The default button.");
      return TRUE;
    case kSoundCheck: {
      // A plain check box leaves the checking to its owner.
      bool checked = SendDlgItemMessageW(dialog, kSoundCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
      SendDlgItemMessageW(dialog, kSoundCheck, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
      SetStatus(dialog, checked ? u"Sound off." : u"Sound on.");
      return TRUE;
    }
    case kConfirmCheck:
      SetStatus(dialog, SendDlgItemMessageW(dialog, kConfirmCheck, BM_GETCHECK, 0, 0) == BST_CHECKED ? u"Will ask." : u"Will not ask.");
      return TRUE;
    default:
      return FALSE;
  }
}

void ButtonsDemo(HWND dialog) {
  ui::TapWindow(GetDlgItem(dialog, kPressMe));
  ui::TapWindow(GetDlgItem(dialog, kPressMe));
  ui::TapWindow(GetDlgItem(dialog, kSoundCheck));
}

// ---- edit boxes --------------------------------------------------------------------------------
constexpr int kNameEdit = 1011, kNoteEdit = 1012, kReadOnlyEdit = 1013;

res::DialogDefinition EditLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"Edit boxes", {
      res::LText(u"Name:", -1, 4, 6, 30, 10),
      res::EditText(kNameEdit, 36, 4, static_cast<short>(w - 40), 12, ES_AUTOHSCROLL | WS_TABSTOP),
      res::LText(u"Note:", -1, 4, 22, 30, 10),
      res::EditText(kNoteEdit, 4, 34, static_cast<short>(w - 8), 60,
                    ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP),
      res::LText(u"Read-only:", -1, 4, 100, 40, 10),
      res::EditText(kReadOnlyEdit, 46, 98, static_cast<short>(w - 50), 12, ES_READONLY),
  });
}

void EditFill(HWND dialog) {
  SetDlgItemTextW(dialog, kNoteEdit, u"Lines are stored with CR LF.\r\nType, tap to move the caret, drag to select.");
  SetDlgItemTextW(dialog, kReadOnlyEdit, u"+49 170 1234567");
  SendDlgItemMessageW(dialog, kNameEdit, EM_LIMITTEXT, 40, 0);
  SetStatus(dialog, u"Type into the boxes.");
}

INT_PTR EditReact(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE) return FALSE;
  int id = LOWORD(wParam);
  if (id != kNameEdit && id != kNoteEdit) return FALSE;
  LRESULT lines = SendDlgItemMessageW(dialog, kNoteEdit, EM_GETLINECOUNT, 0, 0);
  SetStatus(dialog, u"Name: " + Number(GetWindowTextLengthW(GetDlgItem(dialog, kNameEdit))) + u" characters; note: " +
                        Number(static_cast<long>(lines)) + u" lines.");
  return TRUE;
}

void EditDemo(HWND dialog) {
  ui::TapWindow(GetDlgItem(dialog, kNameEdit));
  ui::TypeText(u"Anna Schäfer");
  ui::PressKey(VK_TAB);
  SendDlgItemMessageW(dialog, kNoteEdit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
  ui::PressKey(VK_RETURN);
  ui::TypeText(u"Ω € ü");
}

// ---- list box ----------------------------------------------------------------------------------
constexpr int kContactList = 1021;

res::DialogDefinition ListBoxLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"List box", {
      res::LText(u"Contacts, sorted, with a tab stop:", -1, 4, 4, static_cast<short>(w - 8), 10),
      res::ListBox(kContactList, 4, 16, static_cast<short>(w - 8), 100,
                   LBS_SORT | LBS_NOTIFY | LBS_USETABSTOPS | WS_VSCROLL | WS_BORDER | WS_TABSTOP),
  });
}

void ListBoxFill(HWND dialog) {
  static const char16_t* rows[] = {u"Zoe\t0170 111", u"anna\t0171 222", u"Bert\t0172 333", u"Carla\t0173 444",
                                   u"dirk\t0174 555", u"Emma\t0175 666", u"Fritz\t0176 777", u"Greta\t0177 888",
                                   u"Hans\t0178 999", u"Ines\t0179 000", u"Jan\t0160 123", u"Karin\t0161 234",
                                   u"Lutz\t0162 345", u"Mia\t0163 456"};
  HWND list = GetDlgItem(dialog, kContactList);
  INT stops[] = {60};
  SendMessageW(list, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(stops));
  for (const char16_t* row : rows) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
  SetStatus(dialog, u"Tap a contact; arrows move.");
}

INT_PTR ListBoxReact(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND || LOWORD(wParam) != kContactList) return FALSE;
  HWND list = GetDlgItem(dialog, kContactList);
  int index = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (index < 0) return TRUE;
  std::u16string text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, u'\0');
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(text.size() - 1);
  std::u16string name = text.substr(0, text.find(u'\t'));
  if (HIWORD(wParam) == LBN_DBLCLK)
    SetStatus(dialog, u"Opened " + name + u".");
  else if (HIWORD(wParam) == LBN_SELCHANGE)
    SetStatus(dialog, u"Selected " + name + u" (row " + Number(index + 1) + u").");
  return TRUE;
}

void ListBoxDemo(HWND dialog) {
  HWND list = GetDlgItem(dialog, kContactList);
  RECT r = ui::StateOf(list).screenRect;
  ui::Tap(r.left + 30, r.top + 30);
  ui::PressKey(VK_DOWN);
}

// ---- combo box ---------------------------------------------------------------------------------
constexpr int kNumberCombo = 1031, kSpeedCombo = 1032;

res::DialogDefinition ComboBoxLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"Combo box", {
      res::LText(u"Number (type or choose):", -1, 4, 4, static_cast<short>(w - 8), 10),
      res::ComboBox(kNumberCombo, 4, 16, static_cast<short>(w - 8), 70,
                    CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP),
      res::LText(u"Port speed:", -1, 4, 36, static_cast<short>(w - 8), 10),
      res::ComboBox(kSpeedCombo, 4, 48, static_cast<short>(w - 8), 70, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
  });
}

void ComboBoxFill(HWND dialog) {
  for (const char16_t* number : {u"+49 170 1234567", u"+49 171 7654321", u"0800 123 456"})
    SendDlgItemMessageW(dialog, kNumberCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(number));
  for (const char16_t* speed : {u"9600", u"19200", u"38400", u"57600", u"115200"})
    SendDlgItemMessageW(dialog, kSpeedCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(speed));
  SendDlgItemMessageW(dialog, kSpeedCombo, CB_SETCURSEL, 1, 0);
  SetStatus(dialog, u"Choose a number or type one.");
}

INT_PTR ComboBoxReact(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam), code = HIWORD(wParam);
  if (id == kNumberCombo && code == CBN_EDITCHANGE) {
    SetStatus(dialog, u"Typed: " + ItemText(dialog, kNumberCombo));
    return TRUE;
  }
  if ((id == kNumberCombo || id == kSpeedCombo) && code == CBN_SELCHANGE) {
    HWND combo = GetDlgItem(dialog, id);
    int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    char16_t text[64] = {};
    if (index >= 0) SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    SetStatus(dialog, std::u16string(id == kNumberCombo ? u"Number: " : u"Speed: ") + text);
    return TRUE;
  }
  return FALSE;
}

void ComboBoxDemo(HWND dialog) {
  ui::TapWindow(GetDlgItem(dialog, kNumberCombo));
  ui::TypeText(u"+44 20 7946");
  // Open the port speed list and choose from it.
  HWND speed = GetDlgItem(dialog, kSpeedCombo);
  RECT r = ui::StateOf(speed).screenRect;
  ui::Tap(r.right - 6, (r.top + r.bottom) / 2);
  ui::Tap(r.left + 20, r.bottom + 40);
}

}  // namespace

Page StaticAndButtonsPage() {
  return {u"Static and buttons", "gallery_static_buttons", ButtonsLayout, ButtonsFill, ButtonsReact, ButtonsDemo};
}
Page EditPage() { return {u"Edit boxes", "gallery_edit", EditLayout, EditFill, EditReact, EditDemo}; }
Page ListBoxPage() { return {u"List box", "gallery_list_box", ListBoxLayout, ListBoxFill, ListBoxReact, ListBoxDemo}; }
Page ComboBoxPage() {
  return {u"Combo box", "gallery_combo_box", ComboBoxLayout, ComboBoxFill, ComboBoxReact, ComboBoxDemo};
}

}  // namespace gallery
