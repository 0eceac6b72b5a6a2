// Reading and writing phone book names in UCS2 mode.
//
// Phones that accept "UCS2" do not all answer in it. A name field is read as:
// - plain text when it is not an even run of hexadecimal digits (UTF-8 when
//   it is valid multi-byte UTF-8, else 8859-1);
// - hexadecimal of 8-bit text when it has an odd number of octets ending in
//   00 (no UTF-16 text has an odd number of octets); the phone is then known
//   to do so, and its even ones ending in 00 are read the same way;
// - otherwise hexadecimal UTF-16, high or low byte first, whichever reads as
//   more natural text: characters of common scripts score more than rare
//   blocks, neighbours sharing a high byte (one alphabet) score, mixing
//   scripts costs, controls and private-use characters rule a reading out.
//   Latin, Greek, Cyrillic, Arabic or Hebrew swapped reads as a jumble of
//   rare blocks, so it is found; a tie goes to high byte first, the standard
//   order. A clear win of the swapped reading marks the phone as swapping.
// - When even the better reading is no natural text (rare blocks, mixed
//   scripts): 8-bit text when it ends in 00 ("Bob" + 00 reads as two rare
//   ideographs), plain text when there is no decimal digit in it ("Abba"),
//   else the reading itself (a name in a rare script).
// So a plain name of hexadecimal letters ("Cafe", "Abba") stays plain, and
// the price is a Korean name whose hexadecimal has no decimal digit at all,
// read as plain text: nothing in the field tells those apart.
#include "phone/phonebook_names.h"

#include <set>

namespace {

const int KFieldOctets = 256;
const int KDecisiveMargin = 3;

int HexValue(TText16 c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The octets of an even run of hexadecimal digits; false for anything else.
bool HexOctets(const TDesc16& aField, unsigned char* aOctets, int& aCount) {
  if (aField.Length() == 0 || aField.Length() % 2 != 0 || aField.Length() / 2 > KFieldOctets) return false;
  for (int i = 0; i < aField.Length(); i += 2) {
    int high = HexValue(aField[i]);
    int low = HexValue(aField[i + 1]);
    if (high < 0 || low < 0) return false;
    aOctets[i / 2] = static_cast<unsigned char>(high * 16 + low);
  }
  aCount = aField.Length() / 2;
  return true;
}

// How likely a character is in a name; -1 when no name holds it.
int CharacterScore(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return -1;
  if (c >= 0xD800 && c <= 0xDFFF) return -1;  // half a pair
  if (c >= 0xE000 && c <= 0xF8FF) return -1;  // private use
  if ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) return -1;
  if (c < 0x0800) return 3;                     // Latin, Greek, Cyrillic, Armenian, Hebrew, Arabic
  if (c >= 0x3040 && c <= 0x30FF) return 3;     // kana
  if (c >= 0x4E00 && c <= 0x9FFF) return 3;     // common CJK ideographs
  // Hangul syllables fill a sixth of the code space, so any four hex
  // letters may read as one: weaker evidence than the other scripts.
  if (c >= 0xAC00 && c <= 0xD7A3) return 2;
  if (c >= 0x1F000 && c <= 0x1FAFF) return 3;   // emoji
  return 1;
}

// The script a character counts for when mixing is scored; 0 for ASCII
// that goes with any script (digits, space, punctuation).
int ScriptGroup(char32_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ? 1 : 0;
  if (c < 0x0250) return 1;
  if ((c >= 0x3000 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF)) return 2;
  if (c >= 0x1F000) return 3;
  if (c >= 0xAC00 && c <= 0xD7A3) return 4;
  return static_cast<int>(c >> 8) + 16;
}

// UTF-16 units of the octets, high byte first or swapped.
int Units(const unsigned char* aOctets, int aCount, bool aSwapped, char16_t* aUnits) {
  int units = aCount / 2;
  for (int i = 0; i < units; ++i) {
    int first = aOctets[2 * i], second = aOctets[2 * i + 1];
    aUnits[i] = static_cast<char16_t>(aSwapped ? second << 8 | first : first << 8 | second);
  }
  // A terminating NUL is not part of the name, nor the first half of a pair
  // the phone cut off.
  while (units > 0 && aUnits[units - 1] == 0) --units;
  if (units > 0 && aUnits[units - 1] >= 0xD800 && aUnits[units - 1] <= 0xDBFF) --units;
  return units;
}

// The score of a UTF-16 reading; -1 when it cannot be text. aCharacters
// gets the characters it reads as (a surrogate pair is one).
int ReadingScore(const char16_t* aUnits, int aCount, int& aCharacters) {
  aCharacters = 0;
  if (aCount == 0) return -1;
  int score = 0;
  int previousHigh = -1;
  std::set<int> groups;
  for (int i = 0; i < aCount; ++i) {
    char32_t c = aUnits[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aCount && aUnits[i + 1] >= 0xDC00 && aUnits[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (aUnits[i + 1] - 0xDC00);
      ++i;
    }
    int character = CharacterScore(c);
    if (character < 0) return -1;
    ++aCharacters;
    score += character;
    int high = c < 0x10000 ? static_cast<int>(c >> 8) : -2;
    if (high == previousHigh) score += 2;
    previousHigh = high;
    if (int group = ScriptGroup(c)) groups.insert(group);
  }
  if (groups.size() > 1) score -= 2 * static_cast<int>(groups.size() - 1);
  return score < 0 ? 0 : score;  // a jumble, yet text
}

// Text of common characters in one script, not rare blocks or a jumble.
bool IsNatural(int aScore, int aCharacters) { return aScore >= 0 && aScore >= 3 * aCharacters; }

bool HasDecimalDigit(const TDesc16& aField) {
  for (int i = 0; i < aField.Length(); ++i)
    if (aField[i] >= u'0' && aField[i] <= u'9') return true;
  return false;
}

void SetUnits(TModDesc16& aName, const char16_t* aUnits, int aCount) {
  aName.Zero();
  TConstPtr16 units(aUnits, aCount);
  aName.Copy(aUnits, WholeCharactersLength(units, aName.MaxLength()));
}

// 8-bit octets with their trailing 00s dropped, as a name.
bool SetEightBit(TModDesc16& aName, const unsigned char* aOctets, int aCount) {
  while (aCount > 0 && aOctets[aCount - 1] == 0) --aCount;
  if (aCount == 0) return false;
  for (int i = 0; i < aCount; ++i)
    if (aOctets[i] < 0x20 || aOctets[i] == 0x7F) return false;
  TModBuf16<KFieldOctets> text;
  for (int i = 0; i < aCount; ++i) text.Append(static_cast<TText16>(aOctets[i]));
  DecodeEightBitName(text);
  SetUnits(aName, text.Ptr(), text.Length());
  return true;
}

void SetPlain(TModDesc16& aName, const TDesc16& aField) {
  TModBuf16<KFieldOctets * 2> text;
  text.Copy(aField.Ptr(), aField.Length() < text.MaxLength() ? aField.Length() : text.MaxLength());
  DecodeEightBitName(text);
  SetUnits(aName, text.Ptr(), text.Length());
}

}  // namespace

void DecodeUcs2ModeName(const TDesc16& aField, TModDesc16& aName, TNameShape& aHabit) {
  aName.Zero();
  if (aField.Length() == 0) return;
  unsigned char octets[KFieldOctets];
  int count = 0;
  if (!HexOctets(aField, octets, count)) {
    SetPlain(aName, aField);
    return;
  }
  bool endsInZero = octets[count - 1] == 0;
  if (count % 2 != 0) {
    if (endsInZero && SetEightBit(aName, octets, count)) {
      aHabit = ENameShapeHex8Bit;
      return;
    }
    SetPlain(aName, aField);
    return;
  }
  if (aHabit == ENameShapeHex8Bit && endsInZero && SetEightBit(aName, octets, count)) return;

  char16_t straight[KFieldOctets / 2], swapped[KFieldOctets / 2];
  int straightCount = Units(octets, count, false, straight);
  int swappedCount = Units(octets, count, true, swapped);
  if (straightCount == 0) return;  // nothing but a terminating NUL
  int straightCharacters = 0, swappedCharacters = 0;
  int straightScore = ReadingScore(straight, straightCount, straightCharacters);
  int swappedScore = ReadingScore(swapped, swappedCount, swappedCharacters);
  bool useSwapped = swappedScore > straightScore ||
                    (aHabit == ENameShapeUcs2Swapped && swappedScore >= 0 && swappedScore == straightScore);
  int score = useSwapped ? swappedScore : straightScore;
  int characters = useSwapped ? swappedCharacters : straightCharacters;
  if (!IsNatural(score, characters)) {
    // 8-bit text with its 00, or plain text made of hex digits ("Abba").
    if (endsInZero && SetEightBit(aName, octets, count)) return;
    if (score < 0 || !HasDecimalDigit(aField)) {
      SetPlain(aName, aField);
      return;
    }
  }
  if (useSwapped) {
    if (swappedScore - straightScore >= KDecisiveMargin) aHabit = ENameShapeUcs2Swapped;
    SetUnits(aName, swapped, swappedCount);
  } else {
    if (straightScore - swappedScore >= KDecisiveMargin && aHabit == ENameShapeUnknown) aHabit = ENameShapeUcs2;
    SetUnits(aName, straight, straightCount);
  }
}

void AppendUcs2Hex(TModDesc16& aOut, const TDesc16& aName) {
  static const char16_t KDigits[] = u"0123456789ABCDEF";
  for (int i = 0; i < aName.Length() && aOut.Length() + 4 <= aOut.MaxLength(); ++i) {
    unsigned unit = aName[i];
    for (int shift = 12; shift >= 0; shift -= 4) aOut.Append(KDigits[(unit >> shift) & 0xF]);
  }
}

int WholeCharactersLength(const TDesc16& aName, int aLimit) {
  if (aLimit < 0) aLimit = 0;
  if (aName.Length() <= aLimit) return aName.Length();
  // The unit after the cut ends a pair: its first half goes too.
  if (aLimit > 0 && aName[aLimit] >= 0xDC00 && aName[aLimit] <= 0xDFFF && aName[aLimit - 1] >= 0xD800 &&
      aName[aLimit - 1] <= 0xDBFF)
    return aLimit - 1;
  return aLimit;
}

void DecodeEightBitName(TModDesc16& aName) {
  // Decode into a copy first; the original stays unless all of it is UTF-8.
  TModBuf16<KFieldOctets * 2> out;
  bool multiByte = false;
  for (int i = 0; i < aName.Length();) {
    unsigned first = aName[i];
    if (first > 0xFF) return;
    if (out.Length() + 2 > out.MaxLength()) return;
    if (first < 0x80) {
      out.Append(static_cast<TText16>(first));
      ++i;
      continue;
    }
    int extra = first >= 0xF0 && first <= 0xF4 ? 3 : first >= 0xE0 && first <= 0xEF ? 2 : first >= 0xC2 && first <= 0xDF ? 1 : -1;
    if (extra < 0 || i + extra >= aName.Length()) return;
    char32_t c = first & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned next = aName[i + k];
      if ((next & 0xC0) != 0x80) return;
      c = c << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
      return;
    if (c >= 0x10000) {
      out.Append(static_cast<TText16>(0xD800 + ((c - 0x10000) >> 10)));
      out.Append(static_cast<TText16>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.Append(static_cast<TText16>(c));
    }
    multiByte = true;
    i += extra + 1;
  }
  if (multiByte) aName.Copy(out.Ptr(), out.Length() < aName.MaxLength() ? out.Length() : aName.MaxLength());
}

int MakeOneLine(TText16* aText, int aLength) {
  int out = 0;
  for (int i = 0; i < aLength; ++i) {
    TText16 c = aText[i];
    if (c == u'\r' && i + 1 < aLength && aText[i + 1] == u'\n') continue;  // the LF gives the space
    aText[out++] = c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 ? u' ' : c;
  }
  return out;
}
