// Dialogs from templates, menus, accelerators and resources. Included from
// winuser.h.
#pragma once
