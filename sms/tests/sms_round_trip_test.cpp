// Texts cut into parts as the sender cuts them, each part encoded and decoded
// again: at every part boundary the joined text must come back unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sms/gsm_alphabet.h"
#include "sms/sms_length.h"
#include "sms/tests/sms_test_util.h"

namespace {

const std::u16string KWave = u"\U0001F44B";  // a surrogate pair

struct TReadBack {
  std::u16string iJoined;
  int iParts = 0;
};

bool IsHigh(char16_t aChar) { return aChar >= 0xD800 && aChar <= 0xDBFF; }
bool IsLow(char16_t aChar) { return aChar >= 0xDC00 && aChar <= 0xDFFF; }

// Cuts aText with SmsNextPart, gives each part its escapes (7-bit), encodes it
// with a concatenation header when there is more than one, and reads every
// PDU back as the phone would list it stored.
TReadBack SendAndReadBack(const std::u16string& aText) {
  TConstPtr16 plain(aText.data(), static_cast<int>(aText.size()));
  const TSmsLength length = SmsLengthOf(plain);
  const bool single = length.iParts == 1;
  TReadBack back;
  TSmsAddress centre;
  centre.iNumber.Copy(u"+12345");
  for (int from = 0, p = 1; from < plain.Length(); ++p) {
    const TSmsPart cut = single ? TSmsPart{plain.Length(), length.iUnits}
                                : SmsNextPart(plain, from, SmsConcatPartSize(length.iCoding), length.iCoding);
    EXPECT_GT(cut.iCharacters, 0);
    if (cut.iCharacters == 0) break;
    std::u16string chunk = aText.substr(static_cast<size_t>(from), static_cast<size_t>(cut.iCharacters));
    EXPECT_FALSE(IsLow(chunk.front())) << "part " << p << " begins inside a surrogate pair";
    EXPECT_FALSE(IsHigh(chunk.back())) << "part " << p << " ends inside a surrogate pair";

    std::vector<WCHAR> buffer(chunk.begin(), chunk.end());
    buffer.resize(buffer.size() * 2 + 1);
    TModPtr16 partText(buffer.data(), static_cast<int>(chunk.size()), static_cast<int>(buffer.size()));
    if (length.iCoding == ESmsCoding7Bit) InsertEscapes(partText);
    TSmsOwner part = NewSms();
    part->SetText(partText);
    part->Recipient(0)->iNumber.Copy(u"+4912345678");
    part->iDataCoding = length.iCoding == ESmsCodingUcs2 ? KSmsSchemeUcs2 : 0;
    if (!single) {
      part->iConcatReference = 9;
      part->iConcatTotal = static_cast<BYTE>(length.iParts);
      part->iConcatPart = static_cast<BYTE>(p);
    }
    // What one PDU holds: 160 septets or 140 octets, the header included.
    if (length.iCoding == ESmsCoding7Bit) {
      EXPECT_LE(partText.Length() + (single ? 0 : 7), 160) << "part " << p;
      EXPECT_NE(partText[partText.Length() - 1], KGsmEscape) << "part " << p << " ends in an escape";
    } else {
      EXPECT_LE(2 * partText.Length() + (single ? 0 : 6), 140) << "part " << p;
    }

    TPduSmsFormat format;
    format.EncodePdu(*part, 0, 801, centre);
    TSmsOwner read = NewSms();
    EXPECT_EQ(format.ConvertToSms(format.SendBuffer(), *read, 801), 0);
    EXPECT_EQ(read->iDataCoding, part->iDataCoding);
    EXPECT_EQ(read->iConcatTotal, single ? 0 : length.iParts);
    EXPECT_EQ(read->iConcatPart, single ? 0 : p);
    back.iJoined += Text(read->MessageText());
    ++back.iParts;
    from += cut.iCharacters;
  }
  return back;
}


}  // namespace

TEST(SmsRoundTrip, SevenBitWithAnEscapeAtEveryPartBoundary) {
  // Totals in septets around one, two and three parts; the euro sign (two
  // septets) placed across each cut.
  for (int septets : {160, 161, 306, 307, 459, 460}) {
    for (int at : {150, 151, 152, 153, 154, 304, 305, 306, 457, 458}) {
      if (at + 2 > septets) continue;
      const std::u16string text = Repeat(u"x", at) + u"\u20AC" + Repeat(u"\u0394", septets - at - 2);
      TReadBack back = SendAndReadBack(text);
      EXPECT_EQ(back.iJoined, text) << septets << " septets, euro at " << at;
      EXPECT_EQ(back.iParts, SmsLengthOf(TConstPtr16(text.data(), static_cast<int>(text.size()))).iParts);
    }
  }
  // Every character of the alphabet and the extension table across three parts.
  const std::u16string alphabet = RoundTripAlphabet();
  const std::u16string all = alphabet + alphabet + alphabet;
  TReadBack back = SendAndReadBack(all);
  EXPECT_EQ(back.iJoined, all);
  EXPECT_EQ(back.iParts, 3);
}

TEST(SmsRoundTrip, Ucs2WithASurrogatePairAtEveryPartBoundary) {
  for (int units : {70, 71, 134, 135, 201, 202}) {
    for (int at : {64, 65, 66, 67, 68, 131, 132, 133, 134, 199, 200}) {
      if (at + 2 > units) continue;
      const std::u16string text = Repeat(u"\u0416", at) + KWave + Repeat(u"\u4E16", units - at - 2);
      TReadBack back = SendAndReadBack(text);
      EXPECT_EQ(back.iJoined, text) << units << " units, emoji at " << at;
      EXPECT_EQ(back.iParts, SmsLengthOf(TConstPtr16(text.data(), static_cast<int>(text.size()))).iParts);
    }
  }
  // Emoji only: every part holds whole pairs, 33 of them (66 units).
  const std::u16string emoji = Repeat(KWave, 80);
  TReadBack back = SendAndReadBack(emoji);
  EXPECT_EQ(back.iJoined, emoji);
  EXPECT_EQ(back.iParts, 3);  // 33 + 33 + 14 pairs
}
