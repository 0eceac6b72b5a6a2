// Outside texts inside a command line: nothing in them ends the quoted
// string or the command, and a number carries only dial characters.
#include <string>

#include <gtest/gtest.h>

#include "kernel/errors.h"
#include "phone/at_argument.h"
#include "phone/phonebook_names.h"

using namespace std::string_literals;

namespace {

std::u16string AsString(const TDesc16& aText) { return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())); }
TConstPtr16 Span(const std::u16string& aText) { return TConstPtr16(aText.data(), static_cast<int>(aText.size())); }

TEST(AtArgument, QuotedTextNeverEndsTheStringOrTheLine) {
  TModBuf16<128> out(u"AT+CPBW=1,");
  const std::u16string hostile = u"Eve\r\nAT+CPBW=1\"\\;\x1B\x1A\x00\x7F\u00FF"s;
  ASSERT_EQ(AppendQuotedArgument(out, Span(hostile)), KErrNone);
  EXPECT_EQ(AsString(out), u"AT+CPBW=1,\"Eve\\0D\\0AAT+CPBW=1\\22\\5C;\\1B\\1A\\00\\7F\u00FF\"");
  // Between the opening and the closing quote: no quote, no control byte.
  std::u16string inside = AsString(out).substr(11, out.Length() - 12);
  for (char16_t c : inside) {
    EXPECT_NE(c, u'"');
    EXPECT_GE(c, 0x20);
  }

  // A code unit without a byte, or no room: refused, the buffer as it was.
  TModBuf16<16> small(u"AT+X=");
  EXPECT_EQ(AppendQuotedArgument(small, Span(u"\u0416")), KErrNameNotCarried);
  EXPECT_EQ(AppendQuotedArgument(small, Span(u"0123456789")), KErrOverflow);
  EXPECT_EQ(AsString(small), u"AT+X=");
  EXPECT_EQ(AppendQuotedArgument(small, Span(u"012345678")), KErrNone);
  EXPECT_EQ(AsString(small), u"AT+X=\"012345678\"");
}

TEST(AtArgument, NumbersCarryOnlyDialCharacters) {
  TModBuf16<64> out;
  EXPECT_EQ(AppendDialString(out, Span(u"+44 (0) 7700-900.123/4"), 64), KErrNone);
  EXPECT_EQ(AsString(out), u"+4407700900123" u"4");
  out.Zero();
  EXPECT_EQ(AppendDialString(out, Span(u"*31#0161p2w3"), 64), KErrNone);
  EXPECT_EQ(AsString(out), u"*31#0161p2w3");
  out.Zero();
  EXPECT_EQ(AppendDialString(out, Span(u"+447700900123"), 5), KErrNone);
  EXPECT_EQ(AsString(out), u"+4477");
  for (const std::u16string bad : {u"555\"", u"555\r\nATD1", u"1+2", u"555;H", u"CALL-ME", u"5\u0665"}) {
    out.Copy(u"x");
    EXPECT_EQ(AppendDialString(out, Span(bad), 64), KErrNumberNotDialable) << bad.size();
    EXPECT_EQ(AsString(out), u"x");
  }
}

TEST(AtArgument, ANameIsOneLine) {
  std::u16string name = u"Eve\r\nAT\tx\x1B\u0085y\u2028z\u2029 \u00E9\n\r";
  name.resize(static_cast<size_t>(MakeOneLine(name.data(), static_cast<int>(name.size()))));
  EXPECT_EQ(name, u"Eve AT x  y z  \u00E9  ");
}

}  // namespace
