// Texts compared by the sort keys a database would give them, so that the
// answer is the database's order by construction.
#include <winbase.h>
#include <winerror.h>
#include <winnls.h>

#include <mutex>

#include "sort_key.h"

int CompareStringW(LCID, DWORD flags, LPCWSTR first, int firstLength, LPCWSTR second, int secondLength) {
  if ((flags & ~DWORD{NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS}) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (first == nullptr || second == nullptr || firstLength < -1 || secondLength < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  SORTORDERSPEC spec{CEVT_LPWSTR, 0};
  if (flags & NORM_IGNORENONSPACE) spec.dwFlags |= CEDB_SORT_IGNORENONSPACE;
  if (flags & NORM_IGNORESYMBOLS) spec.dwFlags |= CEDB_SORT_IGNORESYMBOLS;
  auto text = [](LPCWSTR aText, int aLength) {
    kvplatform::db::StoredValue value;
    value.propid = CEVT_LPWSTR;
    value.text = aLength < 0 ? std::u16string(aText) : std::u16string(aText, static_cast<size_t>(aLength));
    return std::vector<kvplatform::db::StoredValue>{value};
  };
  static std::mutex lock;
  static kvplatform::db::SortKeyMaker keys;
  std::lock_guard guard(lock);
  std::vector<unsigned char> one = keys.KeyFor(spec, text(first, firstLength));
  std::vector<unsigned char> other = keys.KeyFor(spec, text(second, secondLength));
  return one < other ? CSTR_LESS_THAN : one == other ? CSTR_EQUAL : CSTR_GREATER_THAN;
}
