// The messages store: every SMS the handheld knows, downloaded or written
// locally, in the Inbox, Outbox and Sent folders.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kernel/descriptors.h"
#include "store/epoc_database.h"
#include "store/message_delivery.h"

enum TKvFolder {
  EKvFolderInbox = 1,
  EKvFolderOutbox = 2,
  EKvFolderSent = 4,
};

const CEPROPID KMessageNameProp = 0x1001F;
const CEPROPID KMessageTextProp = 0x6001F;
const CEPROPID KMessageNumberProp = 0x2001F;
const CEPROPID KMessageFolderProp = 0x80013;
const CEPROPID KMessageDateProp = 0xB0040;
// A long message's record also keeps which message it is and the parts it
// holds, so that a part arriving later slots into place.
const CEPROPID KMessageConcatReferenceProp = 0xC0013;
const CEPROPID KMessageConcatBitsProp = 0xD0013;
const CEPROPID KMessageConcatTotalProp = 0xE0013;
const CEPROPID KMessagePartsProp = 0xF001F;
// A sent message's delivery, part by part (message_delivery.h); absent in
// records written before reports were asked for, which then have none.
const CEPROPID KMessageDeliveryProp = 0x10001F;
// The zone (minutes east of UTC, two's complement) of the clock that dated
// the message; the date itself is UTC. Absent in records written by an
// earlier version, whose date is the stamp as the network wrote it.
const CEPROPID KMessageZoneProp = 0x110013;
// A long message whose parts are not all in: when its first part was stored
// (absent in earlier records, which then count from the date sent), and
// whether it was passed on as it is, its missing parts marked.
const CEPROPID KMessageWaitingSinceProp = 0x120040;
const CEPROPID KMessagePassedOnProp = 0x130013;
// The conversation the message belongs to (conversation_key.h), made again
// at every write; records of an earlier version are keyed at opening.
const CEPROPID KMessageConversationProp = 0x14001F;
// A received message not opened yet holds its conversation's key here, a
// read one the empty text (as have records of an earlier version, which
// count as read): the volume's index of it gives every conversation's
// unread count without reading a message.
const CEPROPID KMessageUnreadProp = 0x15001F;

// Which part of which long message a received text is. The parts of one
// message share the sender, the reference, its size and the total.
struct TKvMessagePart {
  DWORD iReference;
  DWORD iReferenceBits;  // 8 or 16; 0 for a message in one piece
  DWORD iTotal;
  DWORD iPart;  // from 1
};

const int KDateTextLength = 64;

class CKveMessagesItem : public CEpocDatabaseItem {
 public:
  static CKveMessagesItem* NewL();
  ~CKveMessagesItem() override;

  // Dates the item now (UTC).
  void ConstructL() override;
  void SetL(const CEPROPVAL& aValue) override;
  void SaveProperties(CEPROPVAL* aBuffer) override;
  void Reset() override;
  int PropertyCount() override { return 15 + (HasZone() ? 1 : 0) + (iGatewayMark.empty() ? 0 : 1); }
  int Compare(CEpocDatabaseItem& aOther) override;
  ULONGLONG DuplicateKey() override;

  // Null texts give empty ones; stored as given. The date does not change.
  void SetDetailsL(const TDesc16* aName, const TDesc16* aText, const TDesc16* aNumber, DWORD aFolder);
  void SetNameL(const TDesc16& aName);
  void SetNumberL(const TDesc16& aNumber);
  void SetTextL(const TDesc16& aText);
  // aUtc, dated by a clock aZoneMinutes east of UTC.
  void SetDateSentTime(const FILETIME& aUtc, int aZoneMinutes = 0);
  void SetFolder(DWORD aFolder) { iFolder = aFolder; }

  TConstPtr16 Name() const;
  TConstPtr16 Number() const;
  TConstPtr16 Text() const;
  DWORD Folder() const { return iFolder; }
  // UTC, but for a record of an earlier version (no zone kept): then the
  // stamp as its network wrote it, which is taken as it is.
  const FILETIME& DateSentTime() const { return iDateSent; }
  bool HasZone() const { return iZoneKept; }
  int ZoneMinutes() const { return iZoneMinutes; }
  // False for a message whose phone gave no time (a sent one read back).
  bool HasDate() const { return iDateSent.dwHighDateTime != 0 || iDateSent.dwLowDateTime != 0; }
  // The short date and the time of day in the user's own zone (TZ), made on
  // first use; a record without a zone shows its date as it is, one without
  // a date "unknown".
  TConstPtr16 DateSent();

  // The text on one line, line ends as blanks: for list rows.
  TConstPtr16 SingleLineMessage();
  // The text as sent: line feeds dropped, carriage returns kept.
  TConstPtr16 SmsFormatMessage();

  // Long messages. The record's text is its parts joined in order.
  bool IsLongMessage() const { return iConcatReferenceBits != 0; }
  // Read from a record stored before long messages were kept whole (no
  // long-message properties at all).
  bool IsFromEarlierVersion() const { return iOid != 0 && !iReadLongMessageProperties; }
  // A long message with the same sender, folder, reference, size and total.
  bool IsPartOfSameMessage(const CKveMessagesItem& aMessage, const TKvMessagePart& aPart) const;
  DWORD ConcatTotal() const { return iConcatTotal; }
  // The reference, its size and the total (part 0): which long message the record holds.
  TKvMessagePart LongMessagePart() const { return {iConcatReference, iConcatReferenceBits, iConcatTotal, 0}; }
  // Part aPart's text, when the record holds it.
  bool FindPart(int aPart, TConstPtr16& aText) const;
  int PartsHeld() const;
  // A message in one piece again (its text stays), as a copy made to be sent is.
  void ClearLongMessage();
  // Makes the item a long message holding no part yet.
  void SetLongMessageL(const TKvMessagePart& aPart);
  // Since when the message waits for its missing parts: the time its first
  // part was stored, or for an earlier version's record its date sent.
  FILETIME WaitingSince() const;
  void SetWaitingSince(const FILETIME& aTime) { iWaitingSince = aTime; }
  // Passed on with parts missing, so that it is passed on once.
  bool IsPassedOn() const { return iPassedOn; }
  void SetPassedOn(bool aPassedOn) { iPassedOn = aPassedOn; }

  // Delivery reports. The parts asked for, with the references the phone gave.
  TKvDeliveryList Delivery() const;
  void SetDeliveryL(const TKvDeliveryList& aList);
  void ClearDelivery();
  TKvDeliveryState DeliveryState() const;
  // Takes a report on the part sent with aReference: false when no part has
  // that reference, or the part's state stays (a final state is not undone by
  // a later "still trying").
  bool ApplyReportL(int aReference, int aStatus, const FILETIME& aTime);
  // Puts a part's text in its place; the text becomes the parts joined. The
  // date is the earliest part's held (the first part's once it is in).
  void AddPartL(int aPart, const TDesc16& aText, const FILETIME& aDate, int aZoneMinutes = 0);

  // Not opened yet since it came in (a received message stored by the engine).
  bool IsUnread() const { return iUnread; }
  void SetUnread(bool aUnread) { iUnread = aUnread; }

  // The gateway's mark (message_gateway.h), as stored; empty when none.
  const std::u16string& GatewayMark() const { return iGatewayMark; }
  void SetGatewayMark(std::u16string aMark) { iGatewayMark = std::move(aMark); }

 private:
  CKveMessagesItem();
  void SetDateSentString();
  void DiscardCaches();

  DWORD iFolder;
  FILETIME iDateSent;
  THeapBuf16* iName;
  THeapBuf16* iNumber;
  THeapBuf16* iText;
  TModBuf16<KDateTextLength> iDateText;
  THeapBuf16* iSingleLine;
  THeapBuf16* iSmsText;
  DWORD iConcatReference;
  DWORD iConcatReferenceBits;
  DWORD iConcatTotal;
  THeapBuf16* iParts;
  bool iReadLongMessageProperties;
  THeapBuf16* iDelivery;
  int iZoneMinutes = 0;
  bool iZoneKept = false;  // a new record has one; a record read, when stored with it
  bool iZoneRead = false;
  FILETIME iWaitingSince{};
  bool iPassedOn = false;
  bool iUnread = false;
  std::u16string iFolderOrderKey;  // made by SaveProperties, for its buffer
  std::u16string iStoredText;      // the same, for a text with escapes
  std::u16string iStoredParts;
  std::u16string iConversationKey;  // made by SaveProperties, for its buffer
  std::u16string iGatewayMark;
};

// What a message's line in a list shows. Read from the store it points into
// the store's read buffer, valid until the store's next read: a list of years
// of messages is read without an item made for each.
struct TKvMessageLine {
  CEOID iOid = 0;
  DWORD iFolder = 0;
  TConstPtr16 iName;
  TConstPtr16 iNumber;
  TConstPtr16 iText;
  TKvDeliveryState iDelivery = EKvDeliveryNone;

  // The line of an item, pointing into it.
  static TKvMessageLine Of(const CKveMessagesItem& aMessage);
};

// A message's text on one line, as lists show it (SingleLineMessage), added
// to aLine.
void AppendSingleLine(const TDesc16& aText, std::u16string& aLine);

// One conversation: the messages with one other party (conversation_key.h).
struct TKvConversation {
  std::u16string iKey;
  int iCount = 0;
  CEOID iNewest = 0;  // the message stored last
  int iUnread = 0;    // received and not opened yet
};

// Longest text a search takes.
const int KMaxSearchLength = 256;

class CKveMessagesDatabase : public CEpocDatabase {
 public:
  static CKveMessagesDatabase* NewL(HWND aNotifyWindow, int aReserved);
  ~CKveMessagesDatabase() override;
  CEpocDatabaseItem* CreateItemL() override;

  // Every message by date sent, oldest first (equal dates in the order they
  // were stored), one at a time with a read position of its own, so a long
  // list is written out as it is read: ReadFirstByDateL, then ReadNextByDateL
  // until null. The items are the caller's. The date order is added to the
  // database on first use.
  CKveMessagesItem* ReadFirstByDateL();
  CKveMessagesItem* ReadNextByDateL();
  // False when the date order could not be opened (ReadFirstByDateL then
  // gives null however many messages there are).
  bool DateOrderOpen() const { return iDateDatabase != INVALID_HANDLE_VALUE; }

  // The messages a folder's list shows, in the list's order (by name code
  // unit by code unit, then date sent, then as stored: message_folder_order.h),
  // read by index in an order of all the lists: the folder's rows are
  // [aFirst, aFirst + aCount) of it. False when the order could not be
  // opened. The order is added to the database on first use, and records
  // written without its key (by an earlier version) are keyed then.
  bool FolderRangeL(DWORD aFolder, int& aFirst, int& aCount);
  // The message at aIndex of that order, then the ones after it; null past
  // the end. The items are the caller's.
  CKveMessagesItem* ReadFolderItemL(int aIndex);
  CKveMessagesItem* ReadNextFolderItemL();
  // How many messages were read in that order so far: what a list that
  // reads only the rows it shows keeps small.
  int FolderItemsRead() const { return iFolderItemsRead; }
  // The message's index in that order; -1 when it is not stored.
  int FolderIndexL(CEOID aOid);

  // Every message once as its line, in the order stored (the cheapest), for
  // a list that sorts its lines itself: false past the last.
  bool ReadFirstStoredLineL(TKvMessageLine& aLine) { return ReadStoredLineL(true, aLine); }
  bool ReadNextStoredLineL(TKvMessageLine& aLine) { return ReadStoredLineL(false, aLine); }

  // Stores a received message. A part of a long message joins the record
  // holding that message's other parts, whatever order and download they came
  // in, or starts it; parts stored one a record by the earlier version are
  // taken into it. A message in one piece is written as WriteItemL writes it.
  // The record's identifier; 0 when nothing was stored (a part already held).
  // aPartsMissing, when given, gets how many parts the record still lacks:
  // 0 once the message is whole.
  CEOID WritePartL(CKveMessagesItem& aMessage, const TKvMessagePart& aPart, int* aPartsMissing = nullptr);
  // The long messages still lacking parts that have waited aWait (100 ns
  // units, as FILETIME counts) by aNow: each is marked passed on, its text
  // as it stands (a mark for each missing part), and added to aPassed.
  // aNextDue gets when the next one falls due (0 when none waits).
  void PassOnOverdueL(const FILETIME& aNow, ULONGLONG aWait, std::vector<CEOID>& aPassed, ULONGLONG& aNextDue);
  // Whether the store holds the received message (or this part of it), as
  // WritePartL would find it: what a write that stored nothing tells apart
  // from a failure, before the phone's copy may go.
  bool HoldsL(CKveMessagesItem& aMessage, const TKvMessagePart& aPart);
  // Stores a message the user wrote or sent: a text sent twice, or a received
  // one sent back, is a record of its own each time. The new identifier, or 0.
  CEOID WriteOwnItemL(CKveMessagesItem& aMessage) { return AddItemL(aMessage); }

  // Conversations and search (messages_conversations.cpp), through indexes
  // the volume keeps with every write; a volume without them gets them when
  // the store opens. False when they could not be read.
  // Every conversation, the one with the message stored last first.
  bool ReadConversationsL(std::vector<TKvConversation>& aConversations);
  // The messages of one conversation in the order they were stored.
  bool ConversationMessagesL(const std::u16string& aKey, std::vector<CEOID>& aMessages);
  // The conversation's unread messages become read, in one transaction;
  // aMarked, when given, gets them. False when the store could not be written.
  bool MarkConversationReadL(const std::u16string& aKey, std::vector<CEOID>* aMarked = nullptr);
  // One message read; true also when it was read already.
  bool MarkReadL(CEOID aOid);
  // Every message not opened yet, in the order they were stored, appended;
  // from the unread index, so a store of many read messages costs no more.
  bool UnreadMessagesL(std::vector<CEOID>& aMessages);
  // Messages whose text, name or number hold aQuery, whatever its case and
  // accents, the last stored first: at most aLimit, all stored before
  // aBefore (0: from the last). A query longer than KMaxSearchLength, or of
  // blanks only, fails with ERROR_INVALID_PARAMETER.
  bool SearchL(const std::u16string& aQuery, CEOID aBefore, int aLimit, std::vector<CEOID>& aFound);
  bool IndexesOpen() const { return iIndexesOpen; }
  // Keys again, in one transaction, the messages whose conversation depends
  // on the home country (those from national numbers) when their keys were
  // made in another country; under the same country it reads one value. The
  // store does it when it opens; the program when the country changes while
  // the store is open. False when they could not be keyed again (the next
  // opening tries again).
  bool FollowHomeCountryL();

 protected:
  void RecordKeyedL(CEpocDatabaseItem& aRecord) override;

 private:
  CKveMessagesDatabase();
  bool ReadStoredLineL(bool aFirst, TKvMessageLine& aLine);
  // The parts index (message_parts_index.h): opened on first use, and made
  // from every record when the volume has none (with aMakeWhenMissing).
  bool OpenPartsIndexL(bool aMakeWhenMissing);
  bool MakePartsIndexL();
  void ClosePartsIndex();
  bool IndexPartsRecordL(CEOID aOid, ULONGLONG aKey);
  void UnindexPartsRecordL(CEOID aOid, ULONGLONG aKey);
  struct TPartsEntry {
    CEOID iEntry;
    CEOID iRecord;
    ULONGLONG iKey;
  };
  // The index's entries with the key, added to aEntries; false when the index could not be read.
  bool ReadPartsEntriesL(ULONGLONG aKey, std::vector<TPartsEntry>& aEntries);
  // The records the index names under the keys, in the store's order; false
  // when there is no index to trust (the caller then walks the store).
  bool PartsCandidatesL(const ULONGLONG* aKeys, int aCount, std::vector<std::unique_ptr<CKveMessagesItem>>& aRecords);
  CKveMessagesItem* CopyForPartL(const CKveMessagesItem& aMessage);
  bool OpenFolderOrderL();
  // The conversation and text indexes, made and filled when missing.
  void OpenIndexesL();
  // aShown: set once a step of the first open was reported.
  void OpenIndexesShowingL(bool& aShown);
  // aAllKeyed: every record was keyed now, none kept a key made before.
  bool KeyConversationsL(bool& aShown, bool& aAllKeyed);
  // aShown: set once a step was reported, null when the store is open
  // already (a change then shows no upgrade). aJustKeyed: every key was made
  // at this opening, in the country in effect.
  bool KeyForHomeCountryL(bool* aShown, bool aJustKeyed);
  bool KeyFolderOrderL();
  // The index of the first record sorting after aBound; the count of
  // records when none does, -1 on failure.
  int IndexAfterL(const std::u16string& aBound);

  HANDLE iDateDatabase;
  LPBYTE iDateReadBuffer;
  DWORD iDateReadBufferSize;
  HANDLE iFolderDatabase;  // the folder order, opened on first use
  LPBYTE iFolderReadBuffer;
  DWORD iFolderReadBufferSize;
  int iFolderItemsRead = 0;
  HANDLE iPartsIndex;  // the parts index, opened on first use
  bool iPartsIndexAbsent;  // found missing while keying at opening
  LPBYTE iPartsReadBuffer;
  DWORD iPartsReadBufferSize;
  bool iIndexesOpen = false;
};
