// Contacts and messages to and from files, from the views' menus: the file
// chooser, then the exchange library as korvanet-cli uses it, and what it
// did in a message box.
#pragma once

#include <windows.h>

class CKveContactsDatabase;
class CKveMessagesDatabase;

// Each gives 0 when done or cancelled in the chooser, KErrGeneral when the
// file could not be read, imported or written (the box says why).

// A vCard, CSV or JSON file into the contacts store, every contact as one
// added by hand; the store's notices bring them into the contacts view.
int KvImportContactsL(HWND aWindow, CKveContactsDatabase& aContacts);
// Every contact, as vCard 3.0, CSV or JSON as the chosen name or type says.
int KvExportContactsL(HWND aWindow, CKveContactsDatabase& aContacts);
// The messages of every folder, as JSON, CSV or the Android backup XML.
int KvExportMessagesL(HWND aWindow, CKveMessagesDatabase& aMessages);
