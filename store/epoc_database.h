// The record database both local stores build on: one property database on
// the device's database volume, records turned into items and back, and a
// notice to a window after every change.
#pragma once

#include <windbase.h>

#include "kernel/descriptors.h"
#include "kernel/epocbase.h"

// The volume both stores live on.
inline constexpr WCHAR KDatabaseVolume[] = u"\\Program Files\\Korvanet\\Data\\Database";

// A record as an object: each store's items implement this.
class CEpocDatabaseItem : public CEpocBase {
 public:
  ~CEpocDatabaseItem() override;
  virtual void ConstructL() = 0;
  virtual void SetL(const CEPROPVAL& aValue) = 0;
  // Fills PropertyCount() values in the item's fixed order. Texts point into
  // the item, which must outlive the buffer's use.
  virtual void SaveProperties(CEPROPVAL* aBuffer) = 0;
  virtual void Reset() = 0;
  virtual int PropertyCount() = 0;
  // 0 when both items count as the same record, 1 otherwise.
  virtual int Compare(CEpocDatabaseItem& aOther) = 0;
  // The key of exactly what Compare looks at (TDuplicateKey): items that
  // compare equal have equal keys.
  virtual ULONGLONG DuplicateKey() = 0;

  CEOID Oid() const { return iOid; }
  void SetOid(CEOID aOid) { iOid = aOid; }

 protected:
  CEpocDatabaseItem() = default;

  CEOID iOid;
};

class CEpocDatabase : public CEpocBase {
 public:
  ~CEpocDatabase() override;
  // A new, empty item of the store's type.
  virtual CEpocDatabaseItem* CreateItemL() = 0;
  virtual HWND NotificationWindow() const { return iNotifyWindow; }
  // False when the store's file could not be opened (damaged, unreadable):
  // every read then finds nothing, which must not pass for an empty store.
  bool IsOpen() const { return iDatabase != INVALID_HANDLE_VALUE; }

  // Items returned are the caller's; null when there is none.
  CEpocDatabaseItem* ReadItemL(int aIndex);
  CEpocDatabaseItem* ReadItemL(CEOID aOid);
  // How many records were read by identifier through this handle: what
  // reacting to the store's notices costs its reader.
  int ReadsByIdentifier() const { return iReadsByIdentifier; }
  CEpocDatabaseItem* ReadFirstItemL() { return ReadItemL(0); }
  CEpocDatabaseItem* ReadNextItemL();
  // The order of two values of the text property the database is read in
  // (ReadFirstItemL onwards): below 0, 0 or above 0. Records with values
  // that compare equal follow one another in the order they are stored.
  static int CompareSortTexts(const TDesc16& aOne, const TDesc16& aOther);
  CEpocDatabaseItem* NewItemL();

  // Adds the item unless an equal record exists; the new identifier, or 0.
  CEOID WriteItemL(CEpocDatabaseItem& aItem);
  // Overwrites the record named by the item's identifier.
  CEOID ReplaceItemL(CEpocDatabaseItem& aItem);
  void DeleteItem(CEOID aOid);
  // Index in sort order of the first record equal to the item, -1 for none.
  // Moves the read position.
  int FindItem(CEpocDatabaseItem& aItem);
  // The identifier of a record equal to the item, 0 for none: one lookup in
  // the duplicate index, which leaves the read position where it was.
  CEOID FindEqualItemL(CEpocDatabaseItem& aItem);
  // Reads the current record into the read buffer and moves on: 0, or
  // KErrEof at the end, or KErrGeneral.
  int CacheDatabaseData(CEOID& aOid, int& aCount);

 protected:
  CEpocDatabase();
  void BaseConstructL(LPCWSTR aName, CEPROPID aSortProperty, HWND aNotifyWindow);
  // A handle reading the database in the order of aProperty, the sort order
  // added first when the database lacks it (its records placed in the same
  // step; aMakingLine is logged then). INVALID_HANDLE_VALUE on failure.
  HANDLE OpenOrderL(CEPROPID aProperty, DWORD aFlags, LPCWSTR aMakingLine);
  // Reads the handle's current record into a new item and moves on; null at
  // the end. The buffer grows as needed and is the caller's to free.
  CEpocDatabaseItem* ReadItemFromL(HANDLE aHandle, LPBYTE& aBuffer, DWORD& aSize);
  // Every record once, in the order they are stored (their identifiers'),
  // which costs the least: for a reader that puts them in its own order.
  // Where that order cannot be had, in the sort order: records whose sort
  // values compare equal still come in the order they are stored. The
  // record's properties as read, in a buffer of the database's that the
  // next read reuses; null at the end.
  const CEPROPVAL* ReadStoredPropertiesL(bool aFirst, CEOID& aOid, int& aCount);
  // WriteItemL without the duplicate test, for stores whose own rule decides.
  CEOID AddItemL(CEpocDatabaseItem& aItem);
  // The record with the identifier, and its index in the sort order when
  // asked; null, and nothing logged, when the database has no such record.
  CEpocDatabaseItem* ReadRecordL(CEOID aOid, DWORD* aIndex);
  // A record written without the duplicate key (by an earlier version) has
  // just been keyed at opening: stores with indexes of their own add it there.
  virtual void RecordKeyedL(CEpocDatabaseItem& /*aRecord*/) {}
  CEGUID& VolumeId() { return iVolume; }
  CEOID DatabaseOid() const { return iDatabaseOid; }
  // Tells the store's window of a change to a record (when it has a window).
  void Notify(UINT aType, CEOID aOid);

 private:
  // A zeroed buffer holding the item's properties and its duplicate key;
  // null without memory.
  CEPROPVAL* SavedPropertiesL(CEpocDatabaseItem& aItem, int& aCount);
  // A new item holding the properties read, the duplicate key left out (it
  // goes to aKey, and aHasKey tells whether the record had one).
  CEpocDatabaseItem* ItemFromPropertiesL(CEOID aOid, const CEPROPVAL* aValues, int aCount, bool& aHasKey,
                                         ULONGLONG& aKey);
  // Reads the current record in the duplicate key's order and moves on.
  CEpocDatabaseItem* ReadIndexedItemL(bool& aHasKey, ULONGLONG& aKey);
  CEpocDatabaseItem* ReadItemFromL(HANDLE aHandle, LPBYTE& aBuffer, DWORD& aSize, bool& aHasKey, ULONGLONG& aKey);
  // Opens the duplicate index, making it when the database has none (a
  // volume of an earlier version) and keying records written without one.
  void OpenDuplicateIndexL();
  bool KeyUnkeyedRecordsL();
  void CloseDuplicateIndex();
  // Puts the index on the first record with the key: 1; none has it: 0; no
  // usable index: -1.
  int SeekKey(ULONGLONG aKey);
  // The next record with the key that equals the item; 0 past the last one.
  CEOID NextEqualOfKeyL(CEpocDatabaseItem& aItem, ULONGLONG aKey);
  // The walk through every record that the index replaces; kept for a
  // database whose index could not be made.
  CEOID FindEqualItemByWalkL(CEpocDatabaseItem& aItem, int* aIndex);

  HWND iNotifyWindow;
  HANDLE iDatabase;
  CEGUID iVolume;
  CEOID iDatabaseOid;
  LPBYTE iReadBuffer;
  CENOTIFICATION* iNotification;
  int iReadBufferSize;
  int iReadsByIdentifier;
  // The same database in the order of the duplicate key; invalid when the
  // index could not be made, and then every search walks the records.
  HANDLE iKeyDatabase;
  LPBYTE iKeyReadBuffer;
  DWORD iKeyReadBufferSize;
  // The same database in the order its records are stored; opened when first read.
  HANDLE iStoredOrder;
  LPBYTE iStoredReadBuffer;
  DWORD iStoredReadBufferSize;
};
