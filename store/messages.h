// The messages store: every SMS the handheld knows, downloaded or written
// locally, in the Inbox, Outbox and Sent folders.
#pragma once

#include "kernel/descriptors.h"
#include "store/epoc_database.h"

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
  int PropertyCount() override { return 5; }
  int Compare(CEpocDatabaseItem& aOther) override;

  // Null texts give empty ones; stored as given. The date does not change.
  void SetDetailsL(const TDesc16* aName, const TDesc16* aText, const TDesc16* aNumber, DWORD aFolder);
  void SetNameL(const TDesc16& aName);
  void SetNumberL(const TDesc16& aNumber);
  void SetTextL(const TDesc16& aText);
  void SetDateSentTime(const FILETIME& aTime) { iDateSent = aTime; }
  void SetFolder(DWORD aFolder) { iFolder = aFolder; }

  TConstPtr16 Name() const;
  TConstPtr16 Number() const;
  TConstPtr16 Text() const;
  DWORD Folder() const { return iFolder; }
  const FILETIME& DateSentTime() const { return iDateSent; }
  // The short date and the time of day (UTC), made on first use.
  TConstPtr16 DateSent();

  // The text on one line, line ends as blanks: for list rows.
  TConstPtr16 SingleLineMessage();
  // The text as sent: line feeds dropped, carriage returns kept.
  TConstPtr16 SmsFormatMessage();

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
};

class CKveMessagesDatabase : public CEpocDatabase {
 public:
  static CKveMessagesDatabase* NewL(HWND aNotifyWindow, int aReserved);
  CEpocDatabaseItem* CreateItemL() override;

 private:
  CKveMessagesDatabase();
};
