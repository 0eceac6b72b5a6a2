// The contact editor: a full-screen dialog with name, mobile number, the
// phone book to store the contact in, and free other details. Its done
// button confirms into the edit record it is given; there is no cancel,
// so emptying both name and number is the way out without saving.
#pragma once

#include <windows.h>

#include "app/views/resources/resource_ids.h"

class CKveContactsItem;

// Entries of the "Store on:" box.
enum TKvContactStoreChoice { EKvStoreOnPhone = 0, EKvStoreOnSim = 1 };

// The dialog parameter is the contact to edit, or null for a new one.
INT_PTR CALLBACK KvContactEditorProc(HWND aDialog, UINT aMessage, WPARAM aWParam, LPARAM aLParam);

// The editor's end when confirmed with neither a name nor a number: nothing
// is saved, and an edited contact keeps what it had.
inline constexpr int KKvContactEditorEmpty = 1;

// Runs the editor modally over aParent; 0 once the user has confirmed and
// aEditRecord holds what was typed, KKvContactEditorEmpty when there was
// nothing to save, -1 when it could not be shown.
int KvRunContactEditorL(HWND aParent, CKveContactsItem* aContact, CKveContactsItem* aEditRecord);
