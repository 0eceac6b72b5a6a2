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

TEST(GsmAlphabet, TablesHoldTheTellingRowsAndEndRows) {
  for (int i = 0; i < KGsmMainRows; ++i) EXPECT_EQ(KGsmMainTable[i].iGsm, i);
  EXPECT_EQ(KGsmMainTable[KGsmMainRows].iGsm, -1);
  EXPECT_EQ(KGsmMainTable[KGsmMainRows].iChar, -1);
  EXPECT_EQ(KGsmEscapeTable[KGsmEscapeRows].iGsm, -1);

  const std::pair<int, int> telling[] = {{0x00, 0x40}, {0x01, 0xA3}, {0x02, 0x24}, {0x03, 0xA5}, {0x04, 0xE8},
                                         {0x09, 0xC7}, {0x0A, 0x0A}, {0x0D, 0x0D}, {0x10, 0x394}, {0x11, 0x5F},
                                         {0x12, 0x3A6}, {0x13, 0x393}, {0x14, 0x39B}, {0x15, 0x3A9},
                                         {0x16, 0x3A0}, {0x17, 0x3A8}, {0x18, 0x3A3}, {0x19, 0x398},
                                         {0x1A, 0x39E}, {0x1B, 0x1B}, {0x1C, 0xC6}, {0x1E, 0xDF},
                                         {0x24, 0xA4}, {0x40, 0xA1}, {0x5B, 0xC4}, {0x5F, 0xA7}, {0x60, 0xBF},
                                         {0x7B, 0xE4}, {0x7F, 0xE0}, {0x41, 'A'}, {0x7A, 'z'}, {0x22, '"'}};
  for (auto [gsm, character] : telling) EXPECT_EQ(KGsmMainTable[gsm].iChar, character) << "GSM code " << gsm;

  // The extension table of 3GPP TS 23.038 (6.2.1.1), the euro sign included.
  const std::pair<int, int> escapes[] = {{0x0A, 0x0C}, {0x14, '^'}, {0x1B, 0x1B}, {0x28, '{'},
                                         {0x29, '}'},  {0x2F, '\\'}, {0x3C, '['},  {0x3D, '~'},
                                         {0x3E, ']'},  {0x40, '|'},  {0x65, 0x20AC}};
  for (int i = 0; i < KGsmEscapeRows; ++i) {
    EXPECT_EQ(KGsmEscapeTable[i].iGsm, escapes[i].first);
    EXPECT_EQ(KGsmEscapeTable[i].iChar, escapes[i].second);
  }
  EXPECT_EQ(KGsmEscapeTable[KGsmEscapeRows].iGsm, -1);
}

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

TEST(GsmAlphabet, EveryLatinCharacterOfTheTablesMapsBackToItsCode) {
  for (int code = 0; code < KGsmMainRows; ++code) {
    WCHAR latin = static_cast<WCHAR>(KGsmMainTable[code].iChar);
    if (latin == u'?' || latin == u'"' || code == KGsmEscape) continue;  // shared or rewritten on purpose
    bool escaped = false;
    bool notFound = false;
    EXPECT_EQ(LatinToGsm(latin, escaped, notFound), code) << "character " << int(latin);
    EXPECT_FALSE(escaped);
    EXPECT_FALSE(notFound);
  }
  for (int i = 0; i < KGsmEscapeRows; ++i) {
    WCHAR latin = static_cast<WCHAR>(KGsmEscapeTable[i].iChar);
    bool escaped = false;
    bool notFound = false;
    EXPECT_EQ(LatinToGsm(latin, escaped, notFound), KGsmEscapeTable[i].iGsm);
    EXPECT_TRUE(escaped);
  }
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
