#include "store/message_parts.h"

namespace {

const TText16 KSeparator = u':';
// "<part>:<length>:" never needs more than this.
const int KMaxEntryHeader = 24;

int MarkLength() {
  int length = 0;
  while (KMissingPartMark[length] != 0) ++length;
  return length;
}

void AppendEntry(THeapPtr16& aDes, int aPart, const TDesc16& aText) {
  aDes.AppendNum(aPart);
  aDes.Append(KSeparator);
  aDes.AppendNum(aText.Length());
  aDes.Append(KSeparator);
  aDes.Append(aText);
}

}  // namespace

bool TMessagePartIterator::ReadNumber(int& aValue) {
  int digits = 0;
  aValue = 0;
  while (iPos < iParts.Length() && iParts[iPos] >= u'0' && iParts[iPos] <= u'9' && digits < 9) {
    aValue = aValue * 10 + (iParts[iPos] - u'0');
    ++iPos;
    ++digits;
  }
  if (digits == 0 || iPos >= iParts.Length() || iParts[iPos] != KSeparator) return false;
  ++iPos;
  return true;
}

bool TMessagePartIterator::Next(int& aPart, TConstPtr16& aText) {
  int length = 0;
  if (iPos >= iParts.Length() || !ReadNumber(aPart) || !ReadNumber(length)) return false;
  if (length > iParts.Length() - iPos) return false;
  aText = iParts.Mid(iPos, length);
  iPos += length;
  return true;
}

bool FindMessagePart(const TDesc16& aParts, int aPart, TConstPtr16& aText) {
  TMessagePartIterator parts(aParts);
  int part = 0;
  TConstPtr16 text;
  while (parts.Next(part, text)) {
    if (part == aPart) {
      aText = text;
      return true;
    }
  }
  return false;
}

THeapBuf16* WithMessagePartL(const TDesc16& aParts, int aPart, const TDesc16& aText) {
  THeapBuf16* result = THeapBuf16::NewL(aParts.Length() + aText.Length() + KMaxEntryHeader + 1);
  if (result == nullptr) return nullptr;
  THeapPtr16 des = result->Des();
  TMessagePartIterator parts(aParts);
  int part = 0;
  TConstPtr16 text;
  bool placed = false;
  while (parts.Next(part, text)) {
    if (!placed && part >= aPart) {
      AppendEntry(des, aPart, aText);
      placed = true;
    }
    if (part != aPart) AppendEntry(des, part, text);
  }
  if (!placed) AppendEntry(des, aPart, aText);
  des.Append(TText16(0));
  return result;
}

THeapBuf16* JoinMessagePartsL(const TDesc16& aParts, int aTotal) {
  const int mark = MarkLength();
  int length = 0;
  for (int part = 1; part <= aTotal; ++part) {
    TConstPtr16 text;
    length += FindMessagePart(aParts, part, text) ? text.Length() : mark;
  }
  THeapBuf16* joined = THeapBuf16::NewL(length + 1);
  if (joined == nullptr) return nullptr;
  THeapPtr16 des = joined->Des();
  for (int part = 1; part <= aTotal; ++part) {
    TConstPtr16 text;
    if (FindMessagePart(aParts, part, text))
      des.Append(text);
    else
      des.Append(KMissingPartMark, mark);
  }
  des.Append(TText16(0));
  return joined;
}
