// The text of a Find row: the match near its start whatever the script, cut
// whole characters only, and nothing in it that steers the row; and the
// queries the dialog refuses.
#include <gtest/gtest.h>

#include <string>

#include "app/views/kv_find_text.h"
#include "store/messages.h"

namespace {

TEST(FindText, TheMatchLeadsTheRowWithFewCharactersBeforeItAndWholeCharactersOnly) {
  // Latin: five characters before the match, from the word after a blank.
  EXPECT_EQ(KvFindSnippet(u"It was a long day and then the zebra came", u"ZEBRA"), u"…the zebra came");
  // Matched without the accent typed; the text keeps its own.
  EXPECT_EQ(KvFindSnippet(u"Un grand café noir, s'il vous plaît", u"cafe"), u"…rand café noir, s'il vous plaît");
  // Chinese characters take twice the room: two of them before the match.
  EXPECT_EQ(KvFindSnippet(u"今天下午我们明天见面", u"明天"), u"…我们明天见面");
  // An emoji (two units) before the match is kept or left whole.
  std::u16string emoji = u"ab\U0001F600cdefghi match";
  std::u16string row = KvFindSnippet(emoji, u"match");
  EXPECT_EQ(row, u"…fghi match");
  EXPECT_EQ(KvFindSnippet(u"x\U0001F600abc match", u"match"), u"…abc match");
  EXPECT_EQ(KvFindSnippet(u"\U0001F600ab match", u"match"), u"\U0001F600ab match");
  // The start of the text when the match is not in it (the name held it).
  EXPECT_EQ(KvFindSnippet(u"Short text", u"alice"), u"Short text");
  // A long text is cut after the row's room, not inside a pair.
  std::u16string longText(63, u'a');
  longText += u"\U0001F600tail";
  EXPECT_EQ(KvFindSnippet(longText, u"zzz"), std::u16string(63, u'a') + u"…");
  // Controls and direction overrides show as spaces.
  EXPECT_EQ(KvFindSnippet(u"a\u202Eb\x1B[2Jc\u2066d", u"b"), u"a b [2Jc d");
}

TEST(FindText, AQueryTooLongIsRefusedAndBlanksAreNothingToSearchFor) {
  bool blank = true;
  EXPECT_EQ(KvFindQueryProblem(u"train", blank), u"");
  EXPECT_FALSE(blank);
  EXPECT_EQ(KvFindQueryProblem(std::u16string(KMaxSearchLength, u'x'), blank), u"");
  EXPECT_EQ(KvFindQueryProblem(std::u16string(KMaxSearchLength + 1, u'x'), blank),
            u"Too long to search for: at most 256 characters.");
  EXPECT_EQ(KvFindQueryProblem(u"  \t ", blank), u"");
  EXPECT_TRUE(blank);
  EXPECT_EQ(KvFindQueryProblem(u"", blank), u"");
  EXPECT_TRUE(blank);
}

}  // namespace
