#include "store/duplicate_key.h"

namespace {

// 64-bit FNV-1a: fast over short texts and well spread for an index.
const ULONGLONG KOffsetBasis = 0xcbf29ce484222325ULL;
const ULONGLONG KPrime = 0x100000001b3ULL;

}  // namespace

TDuplicateKey::TDuplicateKey() : iHash(KOffsetBasis) {}

void TDuplicateKey::AddUnit(unsigned aUnit) {
  iHash = (iHash ^ (aUnit & 0xFF)) * KPrime;
  iHash = (iHash ^ (aUnit >> 8 & 0xFF)) * KPrime;
}

void TDuplicateKey::Add(const TDesc16& aText) {
  const unsigned length = static_cast<unsigned>(aText.Length());
  AddUnit(length & 0xFFFF);
  AddUnit(length >> 16);
  const WCHAR* text = aText.Ptr();
  for (int i = 0; i < aText.Length(); ++i) AddUnit(text[i]);
}

CEPROPVAL DuplicateKeyProperty(ULONGLONG aKey) {
  CEPROPVAL value = {};
  value.propid = KDuplicateKeyProp;
  value.val.filetime.dwLowDateTime = static_cast<DWORD>(aKey);
  value.val.filetime.dwHighDateTime = static_cast<DWORD>(aKey >> 32);
  return value;
}

ULONGLONG DuplicateKeyOf(const CEPROPVAL& aValue) {
  return (ULONGLONG{aValue.val.filetime.dwHighDateTime} << 32) | aValue.val.filetime.dwLowDateTime;
}
