// Registers this group's window classes; each class lives in its own file.
#include "ui/controls/button.h"
#include "ui/controls/combobox_window.h"
#include "ui/controls/control_state.h"
#include "ui/controls/edit_window.h"
#include "ui/controls/listbox_window.h"
#include "ui/controls/static.h"
#include "ui/controls/system_classes.h"

namespace kvplatform::ui {
namespace {

void Register(LPCWSTR name, WNDPROC procedure, UINT style) {
  WNDCLASSW wc{};
  wc.style = style;
  wc.lpfnWndProc = procedure;
  wc.cbWndExtra = kStateBytes;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

}  // namespace

void RegisterStandardControlClasses() {
  Register(u"STATIC", StaticProc, 0);
  Register(u"BUTTON", ButtonProc, 0);
  Register(u"EDIT", EditProc, 0);
  Register(u"LISTBOX", ListBoxProc, CS_DBLCLKS);
  Register(u"COMBOBOX", ComboBoxProc, 0);
  Register(kComboListClass, ComboListProc, 0);
}

}  // namespace kvplatform::ui
