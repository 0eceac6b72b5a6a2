// The window classes the system provides (controls, dialogs, menus, the menu
// bar). Registered on the first CreateWindowExW that names a class the
// program did not register itself.
#pragma once

namespace kvplatform::ui {

void EnsureSystemClasses();

// One per group of classes, each in its own file.
void RegisterStandardControlClasses();  // STATIC BUTTON EDIT LISTBOX COMBOBOX
void RegisterCommonControlClasses();    // progress, tab, tree view, list view
void RegisterDialogAndMenuClasses();    // dialogs, pop-up menus, the menu bar

}  // namespace kvplatform::ui
