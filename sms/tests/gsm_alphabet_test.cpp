#include "sms/gsm_alphabet.h"

#include <gtest/gtest.h>

#include "sms/tests/sms_test_util.h"

TEST(GsmAlphabet, LatinToGsmSpecialCasesAndFallbacks) {
  struct TCase {
    WCHAR iChar;
    int iCode;
    bool iEscaped;
    bool iNotFound;
  };
  const TCase cases[] = {
      {u'"', 0x27, false, false},      // goes out as an apostrophe
      {u'?', 0x3F, false, false},      {u'@', 0x00, false, false},   {u'{', 0x28, true, false},
      {u'e', 0x65, false, false},      // never the euro escape
      {u'\x1B', 0x20, false, true},    // ESC: the escape code would shift what follows
      {u'\xE4', 0x7B, false, false},   // a-umlaut
      {u'\xA3', 0x01, false, false},   // pound
      {u'\n', 0x0A, false, false},     {u'\r', 0x0D, false, false},
      {u'\xE1', 0x20, false, true},    // a-acute: GSM lacks it
      {u'\x01', 0x20, false, true},    // control character
      {u'\x20AC', 0x65, true, false},  // the euro sign, behind an escape
      {u'\x03A3', 0x18, false, false}, // capital sigma
      {u'\x03C3', 0x20, false, true},  // small sigma: GSM has only capitals
      {u'\x0416', 0x20, false, true},  // Cyrillic
      {u'`', 0x60, false, true},       // not found; kept as its own code below 128
  };
  for (const TCase& c : cases) {
    bool escaped = !c.iEscaped;  // must be set by the call either way
    bool notFound = !c.iNotFound;
    EXPECT_EQ(LatinToGsm(c.iChar, escaped, notFound), c.iCode) << "character " << int(c.iChar);
    EXPECT_EQ(escaped, c.iEscaped) << "character " << int(c.iChar);
    EXPECT_EQ(notFound, c.iNotFound) << "character " << int(c.iChar);
  }
}

TEST(GsmAlphabet, GsmToLatinFoldsEscapeSequences) {
  const WCHAR codes[] = {0x00, 0x01, 0x1B, 0x28, 0x1B, 0x65, 0x7B, 0x1B, 0x41, 0x12, 0x65, 0x1B};
  TModBuf16<16> text;
  text.Copy(codes, 12);
  GsmToLatin(text);
  // 1B 41 is no escape code: the main table's "A" stands; a trailing escape is dropped.
  EXPECT_EQ(Text(text), u"@\xA3{\x20AC\xE4" u"A\x03A6" u"e");

  // 1B 1B is reserved for a further table: a space, never the control character ESC.
  const WCHAR reserved[] = {0x41, 0x1B, 0x1B, 0x42, 0x1B, 0x1B, 0x1B, 0x28};
  text.Copy(reserved, 8);
  GsmToLatin(text);
  EXPECT_EQ(Text(text), u"A B {");

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
  // The default alphabet but its escape code, and the 10 characters of the
  // extension table it lacks.
  EXPECT_EQ(found, 127 + 10);
}

TEST(GsmAlphabet, IsGsmTextTellsWhetherSevenBitLosesNothing) {
  EXPECT_TRUE(IsGsmText(TConstPtr16(u"Price is 12 \x20AC per ticket, {ok} \x0394\x03A9 @\xE4")));
  EXPECT_TRUE(IsGsmText(TConstPtr16(u"")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"caf\xE1")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"\x041F\x0440\x0438")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"\xD83D\xDE00")));
  EXPECT_FALSE(IsGsmText(TConstPtr16(u"\x1B]0;title\x07")));
}
