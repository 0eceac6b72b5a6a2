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
const CEPROPID KDuplicateKeyProp = 0xFF010040;  // number 0xFF01, FILETIME

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
