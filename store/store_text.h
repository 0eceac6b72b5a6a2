// Texts owned by store items: heap buffers whose length counts a terminating
// zero, so they can be handed to the database as they are.
#pragma once

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
