#include "sms/gsm_alphabet.h"

#include <gtest/gtest.h>

#include "sms/tests/sms_test_util.h"

namespace {

int Gsm(WCHAR aChar, bool* aEscaped = nullptr, bool* aNotFound = nullptr) {
  bool escaped = true;  // must be cleared by the call
  bool notFound = true;
  int code = LatinToGsm(aChar, escaped, notFound);
  if (aEscaped) *aEscaped = escaped;
  if (aNotFound) *aNotFound = notFound;
  return code;
}

}  // namespace

TEST(GsmAlphabet, LatinToGsmSpecialCasesAndFallbacks) {
  bool escaped = false;
  bool notFound = false;
  EXPECT_EQ(Gsm(u'"', &escaped, &notFound), 0x27);  // goes out as an apostrophe
  EXPECT_FALSE(escaped);
  EXPECT_FALSE(notFound);
  EXPECT_EQ(Gsm(u'?'), 0x3F);
  EXPECT_EQ(Gsm(u'@'), 0x00);
  EXPECT_EQ(Gsm(u'{', &escaped), 0x28);
  EXPECT_TRUE(escaped);
  EXPECT_EQ(Gsm(u'e', &escaped), 0x65);  // never the euro escape
  EXPECT_FALSE(escaped);
  EXPECT_EQ(Gsm(u'\x1B', &escaped), 0x1B);
  EXPECT_TRUE(escaped);
  EXPECT_EQ(Gsm(u'\xE4'), 0x7B);  // a-umlaut
  EXPECT_EQ(Gsm(u'\xA3'), 0x01);  // pound
  EXPECT_EQ(Gsm(u'\n'), 0x0A);
  EXPECT_EQ(Gsm(u'\r'), 0x0D);

  EXPECT_EQ(Gsm(u'\xE1', &escaped, &notFound), 0x20);  // a-acute: GSM lacks it
  EXPECT_TRUE(notFound);
  EXPECT_FALSE(escaped);
  EXPECT_EQ(Gsm(u'\x01', nullptr, &notFound), 0x20);  // control character
  EXPECT_TRUE(notFound);
  EXPECT_EQ(Gsm(u'\x20AC', &escaped, &notFound), 0x65);  // the euro sign, behind an escape
  EXPECT_TRUE(escaped);
  EXPECT_FALSE(notFound);
  EXPECT_EQ(Gsm(u'\x03A3', &escaped, &notFound), 0x18);  // capital sigma
  EXPECT_FALSE(escaped);
  EXPECT_FALSE(notFound);
  EXPECT_EQ(Gsm(u'\x03C3', nullptr, &notFound), 0x20);  // small sigma: GSM has only capitals
  EXPECT_TRUE(notFound);
  EXPECT_EQ(Gsm(u'\x0416', nullptr, &notFound), 0x20);  // Cyrillic
  EXPECT_TRUE(notFound);
  EXPECT_EQ(Gsm(u'`', nullptr, &notFound), 0x60);  // not found; kept as its own code below 128
  EXPECT_TRUE(notFound);
}

TEST(GsmAlphabet, GsmToLatinFoldsEscapeSequences) {
  const WCHAR codes[] = {0x00, 0x01, 0x1B, 0x28, 0x1B, 0x65, 0x7B, 0x1B, 0x41, 0x12, 0x65, 0x1B};
  TModBuf16<16> text;
  text.Copy(codes, 12);
  GsmToLatin(text);
  // 1B 41 is no escape code: the main table's "A" stands; a trailing escape is dropped.
  EXPECT_EQ(Text(text), u"@\xA3{\x20AC\xE4" u"A\x03A6" u"e");

  // Codes above the table are left alone rather than looked up beyond it.
  const WCHAR wide[] = {0x80, 0x41, 0xFFFF};
  text.Copy(wide, 3);
  GsmToLatin(text);
  EXPECT_EQ(Text(text), std::u16string(u"\x80" u"A\xFFFF"));
}

TEST(GsmAlphabet, ConvertToGsmInsertsEscapesWhileThereIsRoom) {
  TModBuf16<8> text;
  text.Copy(u"a{b\"\xE4");
  ConvertToGsm(text);
  EXPECT_EQ(Text(text), (std::u16string{0x61, 0x1B, 0x28, 0x62, 0x27, 0x7B}));

  TModBuf16<3> full;
  full.Copy(u"x[]");
  ConvertToGsm(full);  // no room for either escape: spaces, nothing beyond the maximum
  EXPECT_EQ(Text(full), u"x  ");
}

TEST(GsmAlphabet, CountAndInsertEscapes) {
  TModBuf16<32> text;
  text.Copy(u"[e]~\x20AC^|x");
  EXPECT_EQ(CountEscapes(text), 6);  // [ ] ~ euro ^ | ; not "e"
  InsertEscapes(text);
  EXPECT_EQ(Text(text), u"\x1B[e\x1B]\x1B~\x1B\x20AC\x1B^\x1B|x");
  EXPECT_EQ(CountEscapes(TConstPtr16(u"plain text")), 0);
}

TEST(GsmAlphabet, LookupAgreesWithTheTableWalkForEveryCodeUnit) {
  int found = 0;
  for (int c = 0; c < 0x10000; ++c) {
    bool escaped = true, notFound = true, walkEscaped = true, walkNotFound = true;
    const int code = LatinToGsm(static_cast<WCHAR>(c), escaped, notFound);
    const int walked = LatinToGsmTableWalk(static_cast<WCHAR>(c), walkEscaped, walkNotFound);
    ASSERT_EQ(code, walked) << "code unit " << c;
    ASSERT_EQ(escaped, walkEscaped) << "code unit " << c;
    ASSERT_EQ(notFound, walkNotFound) << "code unit " << c;
    ASSERT_EQ(NeedsEscape(static_cast<WCHAR>(c)), walkEscaped) << "code unit " << c;
    if (!notFound) ++found;
  }
  // The 128 characters of the default alphabet and the 10 of the extension
  // table it lacks (the escape character stands in both).
  EXPECT_EQ(found, 128 + 10);
}

TEST(GsmAlphabet, IsGsmTextTellsWhetherSevenBitLosesNothing) {
  EXPECT_TRUE(IsGsmText(TConstPtr16(u"Price is 12 \x20AC per ticket, {ok} \x0394\x03A9 @\xE4")));
  EXPECT_TRUE(IsGsmText(TConstPtr16(u"")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"caf\xE1")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"\x041F\x0440\x0438")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"\xD83D\xDE00")));
}
