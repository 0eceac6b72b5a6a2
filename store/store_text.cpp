#include "store/store_text.h"

#include "kernel/log.h"
#include "kernel/panic.h"

namespace {

TText16 KEmptyText[1] = {0};

// A heap buffer holding aLength characters from aData and a zero after them.
THeapBuf16* NewTerminatedL(const TText16* aData, int aLength) {
  THeapBuf16* text = THeapBuf16::NewL(aLength + 1);
  if (text == nullptr) return nullptr;
  THeapPtr16 des = text->Des();
  des.Copy(aData, aLength);
  des.Append(TText16(0));
  return text;
}

}  // namespace

int CountCarriageReturns(const TDesc16& aSource) {
  int count = 0;
  int length = aSource.Length();
  for (int i = 0; i < length; ++i) {
    if (aSource[i] == KCr && (i + 1 >= length || aSource[i + 1] != KLf)) ++count;
    if (aSource[i] == KLf && (i == 0 || aSource[i - 1] != KCr)) ++count;
  }
  LogMessage(KLogFilePath, u"CountCarriageReturns = %1!d!", count);
  return count;
}

void CopyWithCrLfL(THeapBuf16*& aTarget, const TDesc16& aSource) {
  FreeText(aTarget);
  int length = aSource.Length();
  int count = CountCarriageReturns(aSource);
  THeapBuf16* text = THeapBuf16::NewL(length + count + 1);
  if (text == nullptr) return;
  THeapPtr16 des = text->Des();
  for (int i = 0; i < length; ++i) {
    TText16 c = aSource[i];
    if (c == KCr && i + 1 < length && aSource[i + 1] == KLf) {
      des.Append(KCr);
      des.Append(KLf);
      ++i;
    } else if (c == KCr || c == KLf) {
      des.Append(KCr);
      des.Append(KLf);
    } else {
      des.Append(c);
    }
  }
  // A source that brings its own terminator keeps it as the result's.
  if (length == 0 || aSource[length - 1] != 0) des.Append(TText16(0));
  aTarget = text;
}

void CopyTextL(THeapBuf16*& aTarget, const TText16* aText) {
  FreeText(aTarget);
  int length = 0;
  while (aText != nullptr && aText[length] != 0) ++length;
  aTarget = NewTerminatedL(aText ? aText : KEmptyText, length);
}

void CopyTextL(THeapBuf16*& aTarget, const TDesc16* aText) {
  FreeText(aTarget);
  aTarget = aText ? NewTerminatedL(aText->Ptr(), aText->Length()) : NewTerminatedL(KEmptyText, 0);
}

void FreeText(THeapBuf16*& aText) {
  delete aText;
  aText = nullptr;
}

TConstPtr16 TextView(const THeapBuf16* aText) {
  if (aText == nullptr || aText->Length() == 0) return TConstPtr16();
  int length = aText->Length();
  if ((*aText)[length - 1] == 0) --length;
  return TConstPtr16(aText->Ptr(), length);
}

LPWSTR TextForProperty(THeapBuf16* aText) {
  if (aText == nullptr || aText->Length() == 0) return KEmptyText;
  // Stored texts keep their zero inside their length; one that lost it gets
  // it back (giving up its last character only when it is full).
  if ((*aText)[aText->Length() - 1] == 0) return const_cast<LPWSTR>(aText->Ptr());
  return aText->Des().PtrZ();
}

namespace {

const TText16 KEscape = 0xFFFF;
const TText16 KEscapedZero = 0x2400;

}  // namespace

LPWSTR EscapedTextForProperty(THeapBuf16* aText, std::u16string& aEscaped) {
  TConstPtr16 text = TextView(aText);
  bool plain = true;
  for (int i = 0; i < text.Length() && plain; ++i) plain = text[i] != 0 && text[i] != KEscape;
  if (plain) return TextForProperty(aText);
  aEscaped.clear();
  aEscaped.reserve(static_cast<size_t>(text.Length()) + 8);
  for (int i = 0; i < text.Length(); ++i) {
    if (text[i] == 0) {
      aEscaped += KEscape;
      aEscaped += KEscapedZero;
    } else if (text[i] == KEscape) {
      aEscaped += KEscape;
      aEscaped += KEscape;
    } else {
      aEscaped += text[i];
    }
  }
  return aEscaped.data();
}

void CopyEscapedTextL(THeapBuf16*& aTarget, const TText16* aText) {
  CopyTextL(aTarget, aText);
  if (aTarget == nullptr) return;
  THeapPtr16 des = aTarget->Des();
  TText16* out = des.Ptr();
  const int length = des.Length();
  int kept = 0;
  for (int i = 0; i < length; ++i) {
    TText16 c = out[i];
    if (c == KEscape && i + 1 < length - 1 && (out[i + 1] == KEscapedZero || out[i + 1] == KEscape)) {
      c = out[i + 1] == KEscapedZero ? 0 : KEscape;
      ++i;
    }
    out[kept++] = c;
  }
  des.SetLength(kept);
}
