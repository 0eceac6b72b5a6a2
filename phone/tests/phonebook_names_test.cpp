// Phone book names in UCS2 mode: every shape real phones send them in, read
// back to the same text, and the hexadecimal the program writes.
#include <string>

#include <gtest/gtest.h>

#include "phone/phone_types.h"
#include "phone/phonebook_names.h"

namespace {

const std::u16string KScripts[] = {
    u"\u0395\u03BB\u03AD\u03BD\u03B7",                    // Greek
    u"\u0418\u0432\u0430\u043D \u041F\u0435\u0442\u0440\u043E\u0432",  // Cyrillic
    u"\u0645\u062D\u0645\u062F",                          // Arabic
    u"\u05D3\u05D5\u05D3",                                // Hebrew
    u"\u738B\u5C0F\u660E",                                // Chinese
    u"\u3055\u304F\u3089",                                // Japanese kana
    u"\u5065\u4E00",                                      // Japanese, ending in U+4E00
    u"Anna \U0001F600",                                   // emoji
    u"J\u00F6rg",                                         // Latin
    u"\uAE40\uBBFC\uC218",                                // Korean
};

// The bytes as the phone layer holds them: one character a byte.
std::u16string Field(const std::string& aBytes) {
  std::u16string field;
  for (unsigned char c : aBytes) field += static_cast<char16_t>(c);
  return field;
}

std::u16string Hex(const std::u16string& aName) {
  TModBuf16<4 * KEntryNameLength + 8> hex;
  AppendUcs2Hex(hex, TConstPtr16(aName.data(), static_cast<int>(aName.size())));
  return std::u16string(hex.Ptr(), hex.Length());
}

// Each unit's two octets the other way round, as some phones send them.
std::u16string Swapped(const std::u16string& aHex) {
  std::u16string out;
  for (size_t i = 0; i + 4 <= aHex.size(); i += 4) out += aHex.substr(i + 2, 2) + aHex.substr(i, 2);
  return out;
}

std::u16string Decode(const std::u16string& aField, TNameShape& aHabit) {
  TModBuf16<KEntryNameLength> name;
  DecodeUcs2ModeName(TConstPtr16(aField.data(), static_cast<int>(aField.size())), name, aHabit);
  return std::u16string(name.Ptr(), name.Length());
}

std::u16string Decode(const std::u16string& aField) {
  TNameShape habit = ENameShapeUnknown;
  return Decode(aField, habit);
}

TEST(PhoneBookNames, HexadecimalUtf16BothByteOrdersInEveryScript) {
  EXPECT_EQ(Hex(u"\u0418\u0432\u0430\u043D"), u"041804320430043D");
  EXPECT_EQ(Hex(u"\U0001F600"), u"D83DDE00");
  for (const std::u16string& name : KScripts) {
    EXPECT_EQ(Decode(Hex(name)), name) << "high byte first";
    EXPECT_EQ(Decode(Swapped(Hex(name))), name) << "swapped";
  }
  // Lower-case digits and a terminating NUL unit.
  EXPECT_EQ(Decode(u"041804320430043d0000"), u"\u0418\u0432\u0430\u043D");
  EXPECT_EQ(Decode(u"0000"), u"");

  // A phone seen swapping keeps the benefit of the doubt for a name that
  // reads as well either way.
  TNameShape habit = ENameShapeUnknown;
  EXPECT_EQ(Decode(Swapped(Hex(u"Anna")), habit), u"Anna");
  EXPECT_EQ(habit, ENameShapeUcs2Swapped);
  EXPECT_EQ(Decode(u"4E00", habit), u"N");
  habit = ENameShapeUnknown;
  EXPECT_EQ(Decode(Hex(u"Anna"), habit), u"Anna");
  EXPECT_EQ(habit, ENameShapeUcs2);
  EXPECT_EQ(Decode(u"4E00", habit), u"\u4E00");
}

TEST(PhoneBookNames, EightBitHexadecimalWithATrailingZeroAndPlainText) {
  TNameShape habit = ENameShapeUnknown;
  // An odd number of octets cannot be UTF-16: "Jörg" in 8859-1 and its 00.
  EXPECT_EQ(Decode(u"4AF6726700", habit), u"J\u00F6rg");
  EXPECT_EQ(habit, ENameShapeHex8Bit);
  // Even ones of that phone too, even where UTF-16 would read ("PeN" here).
  EXPECT_EQ(Decode(u"50654E00", habit), u"PeN");
  // Without that knowledge an even one is 8-bit only when UTF-16 makes no
  // natural text of it: "Bob" is, the Japanese name ending in U+4E00 is not.
  EXPECT_EQ(Decode(u"426F6200"), u"Bob");
  EXPECT_EQ(Decode(u"50654E00"), u"\u5065\u4E00");

  // Plain text although UCS2 was selected: 8859-1, or UTF-8 when it is that.
  EXPECT_EQ(Decode(Field("J\xF6rg")), u"J\u00F6rg");
  EXPECT_EQ(Decode(Field("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD")), u"\u0418\u0432\u0430\u043D");
  EXPECT_EQ(Decode(Field("Zo\xC3")), u"Zo\u00C3");  // a cut sequence is not UTF-8
  EXPECT_EQ(Decode(u"Bob Smith"), u"Bob Smith");
  EXPECT_EQ(Decode(u"041"), u"041");  // odd digits
  // Names of hexadecimal letters stay as written: as UTF-16 they are a
  // private-use, a rare Cherokee or a lone Hangul character at best.
  EXPECT_EQ(Decode(u"Ebba"), u"Ebba");
  EXPECT_EQ(Decode(u"Abba"), u"Abba");
  EXPECT_EQ(Decode(u"Cafe"), u"Cafe");
  // A Korean name in hexadecimal is still read.
  EXPECT_EQ(Decode(Hex(u"김민수")), u"김민수");
}

TEST(PhoneBookNames, NamesAreCutToWholeCharacters) {
  std::u16string name = u"abcd\U0001F600x";
  TConstPtr16 text(name.data(), static_cast<int>(name.size()));
  EXPECT_EQ(WholeCharactersLength(text, 10), 7);
  EXPECT_EQ(WholeCharactersLength(text, 6), 6);
  EXPECT_EQ(WholeCharactersLength(text, 5), 4);  // not between the pair's halves
  EXPECT_EQ(WholeCharactersLength(text, 0), 0);
  EXPECT_EQ(WholeCharactersLength(text, -3), 0);

  // A name longer than an entry holds is cut the same way.
  std::u16string longName = std::u16string(KEntryNameLength - 1, u'a') + u"\U0001F600";
  EXPECT_EQ(Decode(Hex(longName)), std::u16string(KEntryNameLength - 1, u'a'));
  std::u16string fits = std::u16string(KEntryNameLength - 2, u'\u0416') + u"\U0001F600";
  EXPECT_EQ(Decode(Hex(fits)), fits);
  // A phone that cut a pair in half: the half goes.
  EXPECT_EQ(Decode(Hex(u"Mia \U0001F600").substr(0, 20)), u"Mia ");
}

}  // namespace
