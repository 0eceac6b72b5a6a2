#include "sms/gsm_alphabet.h"

#include <cstdint>

#include <windows.h>

namespace {

constexpr int KQuestion = 0x3F;

// Below 128 a lower-case letter may fold to an ASCII one (dotless i, long s);
// anything else without a GSM code becomes a space.
WCHAR FoldCase(WCHAR aChar) {
  WCHAR upper = aChar;
  CharUpperBuffW(&upper, 1);
  if (upper == aChar) return upper;
  WCHAR lower = upper;
  CharLowerBuffW(&lower, 1);
  return lower;
}

// What a character without a GSM code is sent as.
int NotFoundCode(WCHAR aChar) {
  if (aChar < 32) return 0x20;
  WCHAR folded = FoldCase(aChar);
  return folded < 128 ? folded : 0x20;
}

}  // namespace

// GSM 7-bit default alphabet. Code 0x1B is the escape to the extension table,
// no character: its row holds the escape itself as a mark, which neither
// LatinToGsm nor GsmToLatin ever gives for a character of a text.
const TGsmCharPair KGsmMainTable[KGsmMainRows + 1] = {
    {0x00, 0x40}, {0x01, 0xA3}, {0x02, 0x24}, {0x03, 0xA5}, {0x04, 0xE8}, {0x05, 0xE9},
    {0x06, 0xF9}, {0x07, 0xEC}, {0x08, 0xF2}, {0x09, 0xC7}, {0x0A, 0x0A}, {0x0B, 0xD8},
    {0x0C, 0xF8}, {0x0D, 0x0D}, {0x0E, 0xC5}, {0x0F, 0xE5}, {0x10, 0x0394}, {0x11, 0x5F},
    {0x12, 0x03A6}, {0x13, 0x0393}, {0x14, 0x039B}, {0x15, 0x03A9}, {0x16, 0x03A0},
    {0x17, 0x03A8}, {0x18, 0x03A3}, {0x19, 0x0398}, {0x1A, 0x039E}, {0x1B, 0x1B},
    {0x1C, 0xC6}, {0x1D, 0xE6}, {0x1E, 0xDF}, {0x1F, 0xC9}, {0x20, 0x20}, {0x21, 0x21},
    {0x22, 0x22}, {0x23, 0x23}, {0x24, 0xA4}, {0x25, 0x25}, {0x26, 0x26}, {0x27, 0x27},
    {0x28, 0x28}, {0x29, 0x29}, {0x2A, 0x2A}, {0x2B, 0x2B}, {0x2C, 0x2C}, {0x2D, 0x2D},
    {0x2E, 0x2E}, {0x2F, 0x2F}, {0x30, 0x30}, {0x31, 0x31}, {0x32, 0x32}, {0x33, 0x33},
    {0x34, 0x34}, {0x35, 0x35}, {0x36, 0x36}, {0x37, 0x37}, {0x38, 0x38}, {0x39, 0x39},
    {0x3A, 0x3A}, {0x3B, 0x3B}, {0x3C, 0x3C}, {0x3D, 0x3D}, {0x3E, 0x3E}, {0x3F, 0x3F},
    {0x40, 0xA1}, {0x41, 0x41}, {0x42, 0x42}, {0x43, 0x43}, {0x44, 0x44}, {0x45, 0x45},
    {0x46, 0x46}, {0x47, 0x47}, {0x48, 0x48}, {0x49, 0x49}, {0x4A, 0x4A}, {0x4B, 0x4B},
    {0x4C, 0x4C}, {0x4D, 0x4D}, {0x4E, 0x4E}, {0x4F, 0x4F}, {0x50, 0x50}, {0x51, 0x51},
    {0x52, 0x52}, {0x53, 0x53}, {0x54, 0x54}, {0x55, 0x55}, {0x56, 0x56}, {0x57, 0x57},
    {0x58, 0x58}, {0x59, 0x59}, {0x5A, 0x5A}, {0x5B, 0xC4}, {0x5C, 0xD6}, {0x5D, 0xD1},
    {0x5E, 0xDC}, {0x5F, 0xA7}, {0x60, 0xBF}, {0x61, 0x61}, {0x62, 0x62}, {0x63, 0x63},
    {0x64, 0x64}, {0x65, 0x65}, {0x66, 0x66}, {0x67, 0x67}, {0x68, 0x68}, {0x69, 0x69},
    {0x6A, 0x6A}, {0x6B, 0x6B}, {0x6C, 0x6C}, {0x6D, 0x6D}, {0x6E, 0x6E}, {0x6F, 0x6F},
    {0x70, 0x70}, {0x71, 0x71}, {0x72, 0x72}, {0x73, 0x73}, {0x74, 0x74}, {0x75, 0x75},
    {0x76, 0x76}, {0x77, 0x77}, {0x78, 0x78}, {0x79, 0x79}, {0x7A, 0x7A}, {0x7B, 0xE4},
    {0x7C, 0xF6}, {0x7D, 0xF1}, {0x7E, 0xFC}, {0x7F, 0xE0}, {-1, -1},
};

// The extension table reached through 0x1B: form feed, eight symbols, the euro
// sign. 1B 1B is left out: it is reserved for a further table, and a receiver
// without one shows a space.
const TGsmCharPair KGsmEscapeTable[KGsmEscapeRows + 1] = {
    {0x0A, 0x0C}, {0x14, 0x5E}, {0x28, 0x7B}, {0x29, 0x7D}, {0x2F, 0x5C},
    {0x3C, 0x5B}, {0x3D, 0x7E}, {0x3E, 0x5D}, {0x40, 0x7C}, {0x65, 0x20AC}, {-1, -1},
};

int LatinToGsmTableWalk(WCHAR aChar, bool& aEscaped, bool& aNotFound) {
  aEscaped = false;
  aNotFound = false;
  if (aChar == u'"') return 0x27;  // a double quote would end a quoted AT field
  if (aChar == u'?') return KQuestion;
  if (aChar == u'@') return 0x00;
  // An ESC of the text is no GSM character: sent as the escape, it would
  // turn the character after it into another one.
  if (aChar == KGsmEscape) {
    aNotFound = true;
    return NotFoundCode(aChar);
  }

  // Escape rows are checked before main rows; main row 0 is the at sign, handled above.
  for (int i = 0; KGsmMainTable[i + 1].iGsm >= 0; ++i) {
    if (aChar != u'e' && i < KGsmEscapeRows && KGsmEscapeTable[i].iChar == aChar) {
      aEscaped = true;
      return KGsmEscapeTable[i].iGsm;
    }
    if (KGsmMainTable[i + 1].iChar == aChar) return KGsmMainTable[i + 1].iGsm;
  }

  aNotFound = true;
  return NotFoundCode(aChar);
}

namespace {

// One entry a UTF-16 code unit: the GSM code in the low bits, then the flags.
constexpr uint16_t KEntryEscaped = 0x100;
constexpr uint16_t KEntryNotFound = 0x200;
constexpr uint16_t KEntryCode = 0xFF;

// The answers of the table walk, laid out once so that each is one read. Rows
// are written from the last one the walk reaches to the first, so where a
// character stands in two rows the one the walk finds first wins.
struct TGsmEncodeLookup {
  TGsmEncodeLookup() {
    for (int c = 0; c < 0x10000; ++c) {
      iEntry[c] = static_cast<uint16_t>(KEntryNotFound | NotFoundCode(static_cast<WCHAR>(c)));
    }
    for (int i = KGsmMainRows - 2; i >= 0; --i) {
      iEntry[KGsmMainTable[i + 1].iChar] = static_cast<uint16_t>(KGsmMainTable[i + 1].iGsm);
      if (i < KGsmEscapeRows && KGsmEscapeTable[i].iChar != u'e') {
        iEntry[KGsmEscapeTable[i].iChar] = static_cast<uint16_t>(KEntryEscaped | KGsmEscapeTable[i].iGsm);
      }
    }
    iEntry[u'"'] = 0x27;
    iEntry[u'?'] = KQuestion;
    iEntry[u'@'] = 0x00;
    iEntry[KGsmEscape] = static_cast<uint16_t>(KEntryNotFound | NotFoundCode(KGsmEscape));
  }
  uint16_t iEntry[0x10000];
};

const TGsmEncodeLookup& EncodeLookup() {
  static const TGsmEncodeLookup lookup;  // built on first use, thread-safe
  return lookup;
}

// GSM code to character: the default alphabet and the extension table (0
// where the extension table has no row).
struct TGsmDecodeLookup {
  TGsmDecodeLookup() {
    for (int i = 0; i < KGsmMainRows; ++i) iMain[i] = static_cast<WCHAR>(KGsmMainTable[i].iChar);
    for (int i = 0; i < KGsmEscapeRows; ++i) {
      iExtension[KGsmEscapeTable[i].iGsm] = static_cast<WCHAR>(KGsmEscapeTable[i].iChar);
    }
  }
  WCHAR iMain[KGsmMainRows] = {};
  WCHAR iExtension[KGsmMainRows] = {};
};

const TGsmDecodeLookup& DecodeLookup() {
  static const TGsmDecodeLookup lookup;
  return lookup;
}

}  // namespace

int LatinToGsm(WCHAR aChar, bool& aEscaped, bool& aNotFound) {
  const uint16_t entry = EncodeLookup().iEntry[aChar];
  aEscaped = (entry & KEntryEscaped) != 0;
  aNotFound = (entry & KEntryNotFound) != 0;
  return entry & KEntryCode;
}

bool NeedsEscape(WCHAR aChar) { return (EncodeLookup().iEntry[aChar] & KEntryEscaped) != 0; }

bool IsGsmText(const TDesc16& aText) {
  const TGsmEncodeLookup& lookup = EncodeLookup();
  const WCHAR* text = aText.Ptr();
  for (int i = 0; i < aText.Length(); ++i) {
    if (lookup.iEntry[text[i]] & KEntryNotFound) return false;
  }
  return true;
}

int GsmToLatin(WCHAR* aText, int aLength) {
  const TGsmDecodeLookup& lookup = DecodeLookup();
  int out = 0;
  for (int in = 0; in < aLength; ++in) {
    WCHAR c = aText[in];
    if (c == KGsmEscape) {
      if (in + 1 == aLength) break;  // a trailing escape introduces nothing
      WCHAR next = aText[++in];
      // A code the extension table lacks reads as the default alphabet's;
      // a second escape, reserved for a table not defined, as a space.
      WCHAR extended = next < KGsmMainRows ? lookup.iExtension[next] : 0;
      if (next == KGsmEscape) extended = u' ';
      aText[out++] = extended != 0 ? extended : next < KGsmMainRows ? lookup.iMain[next] : next;
    } else {
      // Codes above the table are not GSM codes; they are left as they are.
      aText[out++] = c < KGsmMainRows ? lookup.iMain[c] : c;
    }
  }
  return out;
}

int ConvertToGsm(WCHAR* aText, int aLength, int aMaxLength) {
  for (int i = 0; i < aLength; ++i) {
    bool escaped = false;
    bool notFound = false;
    aText[i] = static_cast<WCHAR>(LatinToGsm(aText[i], escaped, notFound));
    if (!escaped) continue;
    if (aLength == aMaxLength) {
      aText[i] = 0x20;  // without its escape the code would read as another character
      continue;
    }
    for (int j = aLength; j > i; --j) aText[j] = aText[j - 1];
    aText[i] = KGsmEscape;
    ++aLength;
    ++i;
  }
  return aLength;
}

int InsertEscapes(WCHAR* aText, int aLength, int aMaxLength) {
  for (int i = 0; i < aLength; ++i) {
    if (NeedsEscape(aText[i]) && aLength < aMaxLength) {
      for (int j = aLength; j > i; --j) aText[j] = aText[j - 1];
      aText[i] = KGsmEscape;
      ++aLength;
      ++i;
    }
  }
  return aLength;
}

void GsmToLatin(TModDesc16& aText) {
  aText.SetLength(GsmToLatin(aText.Ptr(), aText.Length()));
}

void ConvertToGsm(TModDesc16& aText) {
  aText.SetLength(ConvertToGsm(aText.Ptr(), aText.Length(), aText.MaxLength()));
}

int CountEscapes(const TDesc16& aText) {
  const WCHAR* text = aText.Ptr();
  int count = 0;
  for (int i = 0; i < aText.Length(); ++i) {
    if (NeedsEscape(text[i])) ++count;
  }
  return count;
}

void InsertEscapes(TModDesc16& aText) {
  aText.SetLength(InsertEscapes(aText.Ptr(), aText.Length(), aText.MaxLength()));
}
