// The parts of a long message a record holds, kept in one text property:
// for each part held, in part order, "<part>:<length>:" followed by the
// part's text (<length> characters). One property for all parts means a
// record rewritten without parts (an edit, a copy) loses them, and a part's
// text may hold any character.
#pragma once

#include "kernel/descriptors.h"

// What stands in a long message's text for a part not received yet.
inline constexpr TText16 KMissingPartMark[] = u"[\u2026]";

// Walks the parts held, in the order they are kept.
class TMessagePartIterator {
 public:
  explicit TMessagePartIterator(const TDesc16& aParts) : iParts(aParts) {}
  // The next part; false at the end or where the text is damaged.
  bool Next(int& aPart, TConstPtr16& aText);

 private:
  bool ReadNumber(int& aValue);

  const TDesc16& iParts;
  int iPos = 0;
};

// The text of part aPart in aParts; false when it is not held.
bool FindMessagePart(const TDesc16& aParts, int aPart, TConstPtr16& aText);
// aParts with aPart's text put in its place (replacing one held), zero-terminated.
THeapBuf16* WithMessagePartL(const TDesc16& aParts, int aPart, const TDesc16& aText);
// The parts 1 to aTotal in order, each missing one as KMissingPartMark; zero-terminated.
THeapBuf16* JoinMessagePartsL(const TDesc16& aParts, int aTotal);
