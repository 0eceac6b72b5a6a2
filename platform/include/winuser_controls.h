// The standard controls: "STATIC", "BUTTON", "EDIT", "LISTBOX", "COMBOBOX"
// (styles, messages and notifications). Included from winuser.h.
#pragma once
