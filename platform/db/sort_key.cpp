// Collation of text sort properties, decided once for every volume:
//
// ICU's root collator (the Unicode collation algorithm with CLDR's root
// order, the same for every user locale, so a volume reads in one order
// wherever it is opened), case-sensitive with lower case before upper case:
//  - plain:                  tertiary strength ("a" < "A" < "á" < "b").
//  - CEDB_SORT_IGNORENONSPACE: primary strength plus the case level, so
//                            accents are ignored but case still counts
//                            ("élan" ties with "elan", "Elan" follows both).
//  - CEDB_SORT_IGNORESYMBOLS: alternate = shifted with spaces, punctuation
//                            and symbols variable, so they are ignored
//                            ("O'Brien" ties with "OBrien", "+44" with "44").
// Records whose keys tie are ordered by identifier (the index holds both).
// Missing properties sort after every present one; CEDB_SORT_DESCENDING
// complements the bytes, which reverses the order of these prefix-free keys.
#include "sort_key.h"

#include <unicode/ucol.h>

namespace kvplatform::db {
namespace {

constexpr unsigned char kPresent = 0x10;
constexpr unsigned char kMissing = 0xF0;

void AppendBigEndian(std::vector<unsigned char>& key, uint64_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) key.push_back(static_cast<unsigned char>(value >> shift));
}

}  // namespace

SortKeyMaker::SortKeyMaker() = default;

SortKeyMaker::~SortKeyMaker() {
  for (auto& [flags, collator] : collators_) ucol_close(collator);
}

std::string SortKeyMaker::CollatorVersion() {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("", &status);
  if (U_FAILURE(status)) return "none";
  UVersionInfo version;
  ucol_getVersion(collator, version);
  ucol_close(collator);
  std::string text = "icu-root-";
  for (uint8_t part : version) text += std::to_string(part) + ".";
  return text;
}

UCollator* SortKeyMaker::CollatorFor(DWORD flags) {
  flags &= CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS;
  if (auto it = collators_.find(flags); it != collators_.end()) return it->second;
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("", &status);
  if (U_FAILURE(status)) return nullptr;
  if (flags & CEDB_SORT_IGNORENONSPACE) {
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_PRIMARY, &status);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_ON, &status);
  } else {
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_TERTIARY, &status);
  }
  if (flags & CEDB_SORT_IGNORESYMBOLS) {
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &status);
    ucol_setMaxVariable(collator, UCOL_REORDER_CODE_SYMBOL, &status);
  }
  if (U_FAILURE(status)) {
    ucol_close(collator);
    return nullptr;
  }
  collators_.emplace(flags, collator);
  return collator;
}

std::vector<unsigned char> SortKeyMaker::KeyFor(const SORTORDERSPEC& spec, const std::vector<StoredValue>& values) {
  std::vector<unsigned char> key;
  if (spec.propid == 0) return key;
  const StoredValue* value = nullptr;
  for (const StoredValue& v : values)
    if (v.propid == spec.propid) value = &v;
  if (value == nullptr) {
    key.push_back(kMissing);
  } else {
    key.push_back(kPresent);
    switch (TypeFromPropID(spec.propid)) {
      case CEVT_LPWSTR: {
        UCollator* collator = CollatorFor(spec.dwFlags);
        if (collator == nullptr) {
          // Without ICU's data the code units still give a stable order.
          for (char16_t c : value->text) AppendBigEndian(key, static_cast<uint16_t>(c) + 1u, 2);
          break;
        }
        const auto* text = reinterpret_cast<const UChar*>(value->text.data());
        int32_t length = static_cast<int32_t>(value->text.size());
        std::vector<uint8_t> buffer(64 + value->text.size() * 4);
        int32_t needed = ucol_getSortKey(collator, text, length, buffer.data(), static_cast<int32_t>(buffer.size()));
        if (needed > static_cast<int32_t>(buffer.size())) {
          buffer.resize(needed);
          needed = ucol_getSortKey(collator, text, length, buffer.data(), needed);
        }
        key.insert(key.end(), buffer.begin(), buffer.begin() + needed);  // ends in its 0 terminator
        break;
      }
      case CEVT_UI4: AppendBigEndian(key, value->number, 4); break;
      case CEVT_FILETIME:
        AppendBigEndian(key, (uint64_t{value->filetime.dwHighDateTime} << 32) | value->filetime.dwLowDateTime, 8);
        break;
      default: break;
    }
  }
  if (spec.dwFlags & CEDB_SORT_DESCENDING)
    for (unsigned char& byte : key) byte = static_cast<unsigned char>(~byte);
  return key;
}

}  // namespace kvplatform::db
