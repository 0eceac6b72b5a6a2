#include "sms/sms_length.h"

#include <gtest/gtest.h>

#include <string>

#include "sms/tests/sms_test_util.h"

namespace {

TSmsLength LengthOf(const std::u16string& aText) {
  return SmsLengthOf(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
}

const std::u16string KEmoji = u"\U0001F600";  // one character, a surrogate pair

}  // namespace

TEST(SmsLength, SevenBitCountsSeptetsAndCutsAtPartSize) {
  TSmsLength empty = LengthOf(u"");
  EXPECT_EQ(empty.iCoding, ESmsCoding7Bit);
  EXPECT_EQ(empty.iUnits, 0);
  EXPECT_EQ(empty.iParts, 0);

  const std::pair<int, int> lengthsAndParts[] = {{1, 1}, {160, 1}, {161, 2}, {306, 2}, {307, 3}, {459, 3}, {460, 4}};
  for (auto [characters, parts] : lengthsAndParts) {
    TSmsLength length = LengthOf(Repeat(u"a", characters));
    EXPECT_EQ(length.iCoding, ESmsCoding7Bit);
    EXPECT_FALSE(length.IsUnicode());
    EXPECT_EQ(length.iUnits, characters);
    EXPECT_EQ(length.iParts, parts) << characters << " characters";
    EXPECT_EQ(length.iUnitsPerPart, parts > 1 ? 153 : 160);
  }

  // The euro sign, Greek capitals and the bracket are GSM: still 7-bit, the
  // escaped ones counting two.
  TSmsLength escaped = LengthOf(u"12 \u20AC [\u0394\u03A9]");
  EXPECT_EQ(escaped.iCoding, ESmsCoding7Bit);
  EXPECT_EQ(escaped.iUnits, 9 + 3);
  EXPECT_EQ(LengthOf(Repeat(u"a", 159) + u"\u20AC").iParts, 2);  // 161 septets
  EXPECT_EQ(LengthOf(Repeat(u"a", 158) + u"\u20AC").iParts, 1);  // 160 septets
}

TEST(SmsLength, AnEscapeNeverEndsAPart) {
  // 152 letters, then "[" whose two septets do not fit the 153rd: the part
  // ends one septet early and the bracket opens the next.
  const std::u16string text = Repeat(u"a", 152) + u"[" + Repeat(u"b", 152);
  TConstPtr16 des(text.data(), static_cast<int>(text.size()));
  TSmsPart first = SmsNextPart(des, 0, 153, ESmsCoding7Bit);
  EXPECT_EQ(first.iCharacters, 152);
  EXPECT_EQ(first.iUnits, 152);
  TSmsPart second = SmsNextPart(des, 152, 153, ESmsCoding7Bit);
  EXPECT_EQ(second.iCharacters, 152);
  EXPECT_EQ(second.iUnits, 153);
  EXPECT_EQ(LengthOf(text).iUnits, 306);
  EXPECT_EQ(LengthOf(text).iParts, 3);  // 306 septets, yet three parts
}

TEST(SmsLength, AnyOtherTextGoesAsUcs2SeventyOrSixtySevenAPart) {
  const std::pair<int, int> lengthsAndParts[] = {{6, 1}, {70, 1}, {71, 2}, {75, 2}, {134, 2}, {135, 3}, {201, 3}, {202, 4}};
  for (auto [characters, parts] : lengthsAndParts) {
    TSmsLength length = LengthOf(Repeat(u"\u0416", characters));
    EXPECT_TRUE(length.IsUnicode());
    EXPECT_EQ(length.iUnits, characters);
    EXPECT_EQ(length.iParts, parts) << characters << " characters";
    EXPECT_EQ(length.iUnitsPerPart, parts > 1 ? 67 : 70);
  }

  // One character outside GSM turns the whole text to UCS2, Latin letters included.
  TSmsLength mixed = LengthOf(Repeat(u"a", 100) + u"\u00E1");
  EXPECT_EQ(mixed.iCoding, ESmsCodingUcs2);
  EXPECT_EQ(mixed.iParts, 2);
  EXPECT_EQ(LengthOf(u"tab\there").iCoding, ESmsCodingUcs2);
}

TEST(SmsLength, ASurrogatePairCountsTwoAndIsNeverSplit) {
  TSmsLength emoji = LengthOf(u"hi " + KEmoji);
  EXPECT_EQ(emoji.iCoding, ESmsCodingUcs2);
  EXPECT_EQ(emoji.iUnits, 5);
  EXPECT_EQ(LengthOf(Repeat(u"\u0416", 68) + KEmoji).iParts, 1);  // 70 units
  EXPECT_EQ(LengthOf(Repeat(u"\u0416", 69) + KEmoji).iParts, 2);  // 71 units

  // A pair that would straddle a part's end goes whole to the next part
  // (checked at every boundary by SmsRoundTrip); a lone surrogate is one unit
  // like any other.
  const std::u16string lone = Repeat(u"\u0416", 66) + u"\xD83D" + u"x";
  TConstPtr16 loneDes(lone.data(), static_cast<int>(lone.size()));
  EXPECT_EQ(SmsNextPart(loneDes, 0, 67, ESmsCodingUcs2).iCharacters, 67);
}
