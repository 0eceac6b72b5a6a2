// Control identifiers of the system's own dialogs, for code that looks inside
// them (the file chooser's lists, name field and type box).
#pragma once

#define stc1 0x0440  // the file chooser's current folder
#define stc2 0x0441  // its "Type:" label
#define stc3 0x0442  // its "Name:" label
#define lst1 0x0460  // its files
#define lst2 0x0461  // its folders
#define cmb1 0x0470  // its file types (the filters)
#define edt1 0x0480  // its name field
