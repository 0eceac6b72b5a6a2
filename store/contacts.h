// The contacts store: the handheld's copy of the phone books, with marks for
// the local changes still to be uploaded.
#pragma once

#include <string>

#include "store/epoc_database.h"
#include "kernel/descriptors.h"

enum TKvContactFlags {
  EKvContactOnSim = 1,
  EKvContactInPhoneMemory = 2,
  EKvContactDeleted = 4,
  EKvContactEdited = 8,
};

const CEPROPID KContactNameProp = 0x1001F;
const CEPROPID KContactNumberProp = 0x2001F;
const CEPROPID KContactOtherDetailsProp = 0x5001F;
const CEPROPID KContactFlagsProp = 0x80013;
const CEPROPID KContactLocationProp = 0xA0013;
// The number's conversation key (store/conversation_key.h), made at each
// write: a conversation finds its contact's name with one index lookup.
const CEPROPID KContactConversationProp = 0xB001F;

class CKveContactsItem : public CEpocDatabaseItem {
 public:
  static CKveContactsItem* NewL();
  ~CKveContactsItem() override;

  void ConstructL() override {}
  void SetL(const CEPROPVAL& aValue) override;
  void SaveProperties(CEPROPVAL* aBuffer) override;
  void Reset() override;
  int PropertyCount() override { return 6; }
  int Compare(CEpocDatabaseItem& aOther) override;
  ULONGLONG DuplicateKey() override;

  // Null arguments give empty texts; stored as given, without line-end changes.
  void SetDetailsL(const TDesc16* aName, const TDesc16* aNumber, const TDesc16* aOtherDetails);
  void SetNameL(const TDesc16& aName);
  void SetNumberL(const TDesc16& aNumber);
  void SetOtherDetailsL(const TDesc16& aOtherDetails);

  TConstPtr16 Name() const;
  TConstPtr16 Number() const;
  TConstPtr16 OtherDetails() const;
  int Location() const { return iLocation; }
  void SetLocation(int aLocation) { iLocation = aLocation; }
  DWORD Flags() const { return iFlags; }

  bool IsOnSim() const { return iFlags & EKvContactOnSim; }
  bool IsInPhoneMemory() const { return iFlags & EKvContactInPhoneMemory; }
  bool IsDeleted() const { return iFlags & EKvContactDeleted; }
  bool IsEdited() const { return iFlags & EKvContactEdited; }
  void SetOnSim() { iFlags |= EKvContactOnSim; }
  void SetInPhoneMemory() { iFlags |= EKvContactInPhoneMemory; }
  void MarkDeleted();
  void SetEdited(bool aOn);

  void LogItem();

 private:
  CKveContactsItem();

  int iLocation;
  THeapBuf16* iName;
  THeapBuf16* iNumber;
  THeapBuf16* iOtherDetails;
  DWORD iFlags;
  std::u16string iConversationKey;  // made by SaveProperties, for its buffer
  std::u16string iStoredDetails;    // the same, for details with escapes
};

class CKveContactsDatabase : public CEpocDatabase {
 public:
  static CKveContactsDatabase* NewL(HWND aNotifyWindow, int aReserved);

  CEpocDatabaseItem* CreateItemL() override;

  // The first contact in sort order with exactly this number; the caller's.
  CKveContactsItem* LookupNumberL(const TDesc16& aNumber);
  // Stores an entry read from a phone book unless a contact stands for it:
  // an equal one, or one in the same book at the same location with the same
  // number whose name starts with the entry's (the phone cut it when it was
  // written there). The new identifier, or 0.
  CEOID WritePhoneEntryL(CKveContactsItem& aEntry);
  void MarkItemDeletedL(CEOID aOid);
  // Stores the user's edit of aOld as aNew; see the rules in the source.
  CEOID EditItemL(CKveContactsItem& aOld, CKveContactsItem& aNew);
  void LogDataToFile();
  // The name of the contact with the number a conversation (by its key) is
  // with: the first in name order, deleted contacts aside; empty when none.
  std::u16string NameOfConversationL(const std::u16string& aKey);
  // Keys again, in one transaction, the contacts whose conversation depends
  // on the home country when their keys were made in another one; under the
  // same country it reads one value. Done at opening, and by the program when
  // the country changes. False when they could not be keyed again.
  bool FollowHomeCountryL();
  ~CKveContactsDatabase() override;

 private:
  CKveContactsDatabase();
  // Whether a contact in the entry's book at its location, with its number,
  // has a name the entry's is the start of.
  bool HoldsEntryWithNameCutL(CKveContactsItem& aEntry);
  static bool HasNameCutTo(CKveContactsItem& aContact, CKveContactsItem& aEntry);
  // The index of contacts by conversation key, and the keys of contacts an
  // earlier version wrote without one.
  void OpenConversationIndexL();
  bool KeyContactsL();

  // The same database in the order of the location, opened at the first
  // phone book entry: the contacts at one place are found with one seek.
  HANDLE iLocationOrder = INVALID_HANDLE_VALUE;
  LPBYTE iLocationReadBuffer = nullptr;
  DWORD iLocationReadBufferSize = 0;
  bool iLocationOrderTried = false;
  bool iConversationIndexOpen = false;
};
