// The one form texts are indexed and searched in, so that a search typed
// without accents or capitals, or with ß as ss, finds the text as written.
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <kvplatform_db.h>

namespace kvplatform {
namespace {

// Enough for what one code point becomes: compatibility decompositions run
// to 18 code points (U+FDFA), folding of each at most 3.
constexpr int kPieceCapacity = 64;

bool IsBlank(UChar32 c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || u_isUWhiteSpace(c); }

// Marks (accents, vowel signs written over a base) and invisible format
// characters count as nothing.
bool IsDropped(UChar32 c) {
  int8_t type = u_charType(c);
  return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR;
}

// One code point, decomposed (compatibility), folded and stripped, to out.
void FoldCodePoint(UChar32 c, std::u16string& out, const UNormalizer2* nfkd) {
  UChar source[2];
  int32_t sourceLength = 0;
  U16_APPEND_UNSAFE(source, sourceLength, c);
  UChar decomposed[kPieceCapacity];
  UErrorCode status = U_ZERO_ERROR;
  int32_t decomposedLength = unorm2_normalize(nfkd, source, sourceLength, decomposed, kPieceCapacity, &status);
  if (U_FAILURE(status)) {
    decomposedLength = sourceLength;
    u_memcpy(decomposed, source, sourceLength);
  }
  UChar folded[kPieceCapacity * 3];
  status = U_ZERO_ERROR;
  int32_t foldedLength =
      u_strFoldCase(folded, kPieceCapacity * 3, decomposed, decomposedLength, U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) return;
  for (int32_t i = 0; i < foldedLength;) {
    UChar32 piece;
    int32_t start = i;
    U16_NEXT(folded, i, foldedLength, piece);
    if (!IsDropped(piece)) out.append(reinterpret_cast<const char16_t*>(folded + start), i - start);
  }
}

}  // namespace

std::u16string FoldForSearch(const std::u16string& text, std::vector<uint32_t>* origins) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfkd = unorm2_getNFKDInstance(&status);
  std::u16string out;
  out.reserve(text.size());
  if (origins) origins->clear();
  const int32_t length = static_cast<int32_t>(text.size());
  const UChar* units = reinterpret_cast<const UChar*>(text.data());
  for (int32_t i = 0; i < length;) {
    const uint32_t origin = static_cast<uint32_t>(i);
    UChar32 c;
    U16_NEXT(units, i, length, c);
    if (c < 0x80) {
      if (IsBlank(c)) {
        if (out.empty() || out.back() != u' ') out += u' ';
      } else {
        out += static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
      }
    } else if (IsBlank(c)) {
      if (out.empty() || out.back() != u' ') out += u' ';
    } else if (U_SUCCESS(status)) {
      FoldCodePoint(c, out, nfkd);
    } else {
      out.append(text, origin, static_cast<size_t>(i) - origin);
    }
    if (origins) origins->resize(out.size(), origin);
  }
  return out;
}

}  // namespace kvplatform
