// The key of the duplicate rule: a 64-bit hash of exactly the texts an item's
// Compare looks at, stored beside each record and indexed, so that a record
// equal to a new one is found with one index lookup instead of a walk through
// the store. Equal items always have equal keys; equal keys only name
// candidates, and Compare still decides.
#pragma once

#include <windbase.h>

#include "kernel/descriptors.h"

// The record property holding the key, and the database's sort order on it.
// A change to how the key is made takes a new property number, so that keys
// made the old way are never looked up; the index is then made again.
const CEPROPID KDuplicateKeyProp = 0xFF040040;  // number 0xFF04, FILETIME
// The key as earlier versions made it (a message's name in it). Its sort
// order gives way to the current key's, and the property is dropped from a
// record when the record is keyed again.
const CEPROPID KEarlierDuplicateKeyProp = 0xFF010040;

// A key as a property value, ready to write or to seek with.
CEPROPVAL DuplicateKeyProperty(ULONGLONG aKey);
// The key a property value holds.
ULONGLONG DuplicateKeyOf(const CEPROPVAL& aValue);

class TDuplicateKey {
 public:
  TDuplicateKey();
  // Each text with its length, so that ("ab", "c") and ("a", "bc") differ.
  void Add(const TDesc16& aText);
  ULONGLONG Value() const { return iHash; }

 private:
  void AddUnit(unsigned aUnit);

  ULONGLONG iHash;
};
