// The database identifier of a store, as its change notices carry it.
#pragma once

#include <windbase.h>

// The identifier of the named database on the program's volume; 0 when
// it cannot be opened.
CEOID KvDatabaseOid(LPCWSTR aName);
