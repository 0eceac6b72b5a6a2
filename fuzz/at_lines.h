// How the AT targets follow the stream they hand to the phone layer: the
// lines it reports must be the text between line ends, in order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_util.h"
#include "phone/mobile_phone.h"

struct TLine {
  std::u16string iText;
  bool iPrompt;  // the whole buffer, handed over with a prompt
};

inline constexpr int KMaxReplyNumber = 0xFFFF;

// 0, or a code that ends the wait for a reply.
inline bool IsReplyCode(int aResult) {
  return aResult == 0 || aResult == KReplyError || aResult == KReplyOk ||
         (aResult >= KReplyCmsError && aResult <= KReplyCmsError + KMaxReplyNumber) ||
         (aResult >= KReplyCmeError && aResult <= KReplyCmeError + KMaxReplyNumber);
}

inline bool IsLineEnd(char16_t aChar) { return aChar == 13 || aChar == 10; }

// Follows the stream handed over: where the next line may start, and
// whether the text before it may hold the cut-off end of a long line.
struct TCursor {
  size_t iPos = 0;
  bool iAfterLongLine = false;
};

// Where the next line starts: after the cut-off rest of a long line, if
// any, and the line ends that follow.
inline size_t NextLineStart(const std::u16string& aFed, const TCursor& aCursor) {
  size_t i = aCursor.iPos;
  if (aCursor.iAfterLongLine)
    while (i < aFed.size() && aFed[i] != 13) ++i;
  while (i < aFed.size() && IsLineEnd(aFed[i])) ++i;
  return i;
}

// aLines from aFirst on are those reported for the last block: each must be
// the next text of aFed (what the layer accepted so far) before aConsumedEnd.
inline void CheckNewLines(const std::vector<TLine>& aLines, size_t aFirst, const std::u16string& aFed,
                          size_t aConsumedEnd, TCursor& aCursor, int aState) {
  for (size_t n = aFirst; n < aLines.size(); ++n) {
    const TLine& line = aLines[n];
    const std::string shown = Printable(line.iText.substr(0, 80));
    const size_t start = NextLineStart(aFed, aCursor);
    FUZZ_CHECK(!line.iText.empty(), "empty line reported");
    if (line.iPrompt) {
      // The prompt hands over the whole buffer: the rest of the stream.
      FUZZ_CHECK(aState == EStateSmsLength, "prompt in state %d", aState);
      FUZZ_CHECK(line.iText[0] == u'>');
      FUZZ_CHECK(line.iText.size() <= static_cast<size_t>(KReceiveBufferLength));
      FUZZ_CHECK(start + line.iText.size() == aFed.size() && aFed.compare(start, line.iText.size(), line.iText) == 0,
                 "prompt \"%s\" is not the rest of the stream", shown.c_str());
      aCursor.iPos = aFed.size();
      aCursor.iAfterLongLine = false;
      continue;
    }
    FUZZ_CHECK(aState != EStateSmsLength || line.iText[0] != u'>', "prompt reported as a line");
    FUZZ_CHECK(line.iText.size() <= static_cast<size_t>(KLineBufferLength), "line of %zu", line.iText.size());
    FUZZ_CHECK(start + line.iText.size() <= aConsumedEnd && aFed.compare(start, line.iText.size(), line.iText) == 0,
               "line \"%s\" is not the next text handed over", shown.c_str());
    const size_t end = start + line.iText.size();
    // Its first 512 characters, or all of it up to the carriage return.
    if (line.iText.size() < static_cast<size_t>(KLineBufferLength))
      FUZZ_CHECK(end < aFed.size() && aFed[end] == 13, "line \"%s\" not ended by a carriage return", shown.c_str());
    else
      FUZZ_CHECK(aFed.find(u'\r', start) != std::u16string::npos, "long line cut before its end arrived");
    aCursor.iPos = end;
    aCursor.iAfterLongLine = line.iText.size() == static_cast<size_t>(KLineBufferLength);
  }
}
