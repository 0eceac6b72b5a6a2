// The parts index: for each record a later part of a long message may join
// (a long message's, or a record of one part written by the earlier
// version), a key of exactly the fields WritePartL compares beside the
// record's identifier, kept in a database of its own on the volume (the
// messages database has no sort order left for it). A part then finds its
// message's records with one lookup instead of a walk through the store.
// Entries only name candidates: each record is read and tested as the walk
// tested it, and an entry whose record is gone or has changed is dropped.
#pragma once

#include <windbase.h>

#include "kernel/descriptors.h"

struct TKvMessagePart;
class CKveMessagesItem;

inline constexpr WCHAR KPartsIndexName[] = u"KvMessageParts";
// An entry's two properties; the database sorts by the key.
const CEPROPID KPartsIndexKeyProp = 0x10040;     // number 1, FILETIME
const CEPROPID KPartsIndexRecordProp = 0x20013;  // number 2, UI4

// The key of a long message's record: what IsPartOfSameMessage compares.
ULONGLONG LongMessageKey(DWORD aFolder, const TDesc16& aNumber, const TKvMessagePart& aPart);
// The key of an earlier version's record of one part: folder, sender and text.
ULONGLONG EarlierPartKey(DWORD aFolder, const TDesc16& aNumber, const TDesc16& aText);
// The key a stored record is found by; false for a record no part joins.
bool PartsKeyOf(const CKveMessagesItem& aRecord, ULONGLONG& aKey);
