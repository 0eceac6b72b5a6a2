// Texts owned by store items: heap buffers whose length counts a terminating
// zero, so they can be handed to the database as they are.
#pragma once

#include <string>

#include "kernel/descriptors.h"

// The line end characters a stored text may hold.
const TText16 KCr = 13;
const TText16 KLf = 10;

// Lone CRs and lone LFs in the text: each becomes a CR LF pair when copied.
int CountCarriageReturns(const TDesc16& aSource);
// Replaces aTarget with aSource, every line end made CR LF, zero-terminated.
void CopyWithCrLfL(THeapBuf16*& aTarget, const TDesc16& aSource);
// Replaces aTarget with aText as it is plus a terminating zero; null gives the empty text.
void CopyTextL(THeapBuf16*& aTarget, const TText16* aText);
void CopyTextL(THeapBuf16*& aTarget, const TDesc16* aText);
void FreeText(THeapBuf16*& aText);
// The text without its terminator; empty when there is none.
TConstPtr16 TextView(const THeapBuf16* aText);
// The zero-terminated text for a property value; "" when there is none.
LPWSTR TextForProperty(THeapBuf16* aText);

// A message's text may hold U+0000, which would end a property value. Such
// a text is stored with U+FFFF as an escape: U+FFFF U+2400 for U+0000 and
// U+FFFF U+FFFF for U+FFFF itself; a U+FFFF followed by anything else (only
// an earlier version can have written one) stands for itself.
// The property value for aText: its own buffer when it needs no escape, else
// aEscaped, which must live until the value is written.
LPWSTR EscapedTextForProperty(THeapBuf16* aText, std::u16string& aEscaped);
// CopyTextL for a value written by EscapedTextForProperty.
void CopyEscapedTextL(THeapBuf16*& aTarget, const TText16* aText);
