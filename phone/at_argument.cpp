#include "phone/at_argument.h"

#include "kernel/errors.h"

namespace {

bool EscapedOnLine(TText16 aUnit) { return aUnit < 0x20 || aUnit == 0x7F || aUnit == u'"' || aUnit == u'\\'; }

bool IsSeparator(TText16 aChar) {
  return aChar == u' ' || aChar == u'-' || aChar == u'.' || aChar == u'(' || aChar == u')' || aChar == u'/';
}

bool IsDialCharacter(TText16 aChar) {
  return (aChar >= u'0' && aChar <= u'9') || aChar == u'*' || aChar == u'#' || aChar == u'p' || aChar == u'P' ||
         aChar == u'w' || aChar == u'W';
}

}  // namespace

int AppendQuotedArgument(TModDesc16& aOut, const TDesc16& aText) {
  int needed = 2;
  for (int i = 0; i < aText.Length(); ++i) {
    if (aText[i] > 0xFF) return KErrNameNotCarried;
    needed += EscapedOnLine(aText[i]) ? 3 : 1;
  }
  if (aOut.Length() + needed > aOut.MaxLength()) return KErrOverflow;
  static const char16_t KDigits[] = u"0123456789ABCDEF";
  aOut.Append(u'"');
  for (int i = 0; i < aText.Length(); ++i) {
    TText16 unit = aText[i];
    if (EscapedOnLine(unit)) {
      aOut.Append(u'\\');
      aOut.Append(KDigits[unit >> 4]);
      aOut.Append(KDigits[unit & 0xF]);
    } else {
      aOut.Append(unit);
    }
  }
  aOut.Append(u'"');
  return KErrNone;
}

int AppendDialString(TModDesc16& aOut, const TDesc16& aNumber, int aMax) {
  int kept = 0;
  for (int i = 0; i < aNumber.Length(); ++i) {
    TText16 c = aNumber[i];
    bool leadingPlus = c == u'+' && kept == 0;
    if (!leadingPlus && !IsDialCharacter(c) && !IsSeparator(c)) return KErrNumberNotDialable;
    if (!IsSeparator(c)) ++kept;
  }
  if (aMax > aOut.MaxLength() - aOut.Length()) aMax = aOut.MaxLength() - aOut.Length();
  for (int i = 0, written = 0; i < aNumber.Length() && written < aMax; ++i) {
    if (IsSeparator(aNumber[i])) continue;
    aOut.Append(aNumber[i]);
    ++written;
  }
  return KErrNone;
}
