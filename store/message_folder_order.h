// The order a message folder's list shows: by the name field code unit by
// code unit (a prefix first), then by date sent, then as stored. Each message
// record keeps a key of that order beside its properties, and the database
// sorts by it, so a list reads the rows it paints by index instead of reading
// and sorting the whole store first.
#pragma once

#include <string>

#include <windbase.h>

#include "kernel/descriptors.h"

// The record property holding the key (number 0xFF02, text). A change to how
// the key is made takes a new property number, as for the duplicate key.
const CEPROPID KMessageFolderOrderProp = 0xFF02001F;

// Which list shows a folder code: 0 Inbox (also any unknown code), 1 Outbox,
// 2 Sent; the keys of one list sort together, in this order.
int FolderListOf(DWORD aFolder);

// The key: the list's digit, each name code unit as four hexadecimal digits,
// '.', then the date sent as sixteen. The database sorts text by collation;
// over these characters alone ('.' before the digits, the digits before 'a'
// to 'f') that is plain character order, so keys sort as their code units
// and dates do, and a name that is a prefix of another sorts first.
std::u16string FolderOrderKey(DWORD aFolder, const TDesc16& aName, const FILETIME& aDate);

// What every key of list aList sorts after, and nothing of the lists before it.
std::u16string FolderOrderBound(int aList);
