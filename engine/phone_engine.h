// The engine: carries out one user command at a time on the engine thread,
// through the AT layer it owns, storing what arrives in its own instances of
// the two local stores and reporting back through the action block.
#pragma once

#include <windows.h>

#include "engine/engine_action.h"
#include "engine/ussd_slot.h"
#include "kernel/arrays.h"
#include "kernel/epocbase.h"
#include "phone/mobile_phone.h"
#include "phone/phone_observer.h"
#include "phone/phone_types.h"
#include "store/contacts.h"
#include "store/messages.h"

// The engine's own numbering of the phone books, the same values as the
// contact flags: 1 SIM, 2 phone memory.
enum TKvCurrentStore {
  EKvStoreSim = EKvContactOnSim,
  EKvStorePhoneMemory = EKvContactInPhoneMemory,
};

// One phone book as read from the phone: owned contact items, in ascending
// order of location.
typedef CArrayFixFlat<CKveContactsItem*> CPlaceHolderList;

class CListenState;

// While listening: a line quiet this long gets the phone probed, and a lost
// port is tried again this often.
inline constexpr int KListenQuietMs = 20000;
inline constexpr int KListenRetryMs = 2000;
// While listening, the status is read again at a quiet line this often.
inline constexpr int KListenStatusMs = 5 * 60 * 1000;

class CPhoneEng : public CEpocBase, public MMobilePhoneObserver {
 public:
  // Null when the protocol layer or a store could not be made.
  static CPhoneEng* NewL(HWND aMainUiWnd);
  ~CPhoneEng() override;

  // Commands (the thread message: number, wParam = action block). Results
  // are ignored by the command loop.
  int ProcessSendNow(const MSG& aMessage);
  int ProcessGetAllSmsFromPhone(const MSG& aMessage);
  int ProcessDeleteAllSmsFromPhone(const MSG& aMessage);
  int ProcessSendAllSmsFromOutbox(const MSG& aMessage);
  int ProcessReadPhoneBook(const MSG& aMessage);
  int ProcessUploadPhoneBook(const MSG& aMessage);
  int ProcessDeletePhoneBook(const MSG& aMessage);
  // Listens until cancelled: stores each message the phone announces.
  int ProcessListen(const MSG& aMessage);
  // Reads the phone's status into the action block.
  int ProcessReadStatus(const MSG& aMessage);
  // Sends a USSD code and answers its menus as the window tells.
  int ProcessUssd(const MSG& aMessage);
  // The send queue has messages: the listening wait ends early to send them.
  void SendWanted();
  // A USSD session waits in the slot: the listening wait ends early for it.
  void UssdWanted();

  int InitialiseConnection();
  int GetPhoneSettings();
  void CleanupDatabase();
  // The record written, or 0; aHeld, when given, tells whether the store has
  // the message afterwards (written now or before).
  CEOID StoreSmsInDatabaseL(CStdSms& aSms, bool* aHeld = nullptr, int* aPartsMissing = nullptr);
  void StoreContactL(const TPhoneBookEntry& aEntry);
  // A new contact (the caller's) from a phone book entry of the current store.
  CKveContactsItem* MakeContactItemL(const TPhoneBookEntry& aEntry);

  // Phone book synchronisation.
  int SynchronisePhoneBooks(const MSG& aMessage, bool aReadSettings, void (CPhoneEng::*aChangePhone)());
  void WriteContactsToPhone();
  void DeleteContactsFromPhone();
  void DoWriteContactsToPhone();
  void DoWriteDeletedItemsToPhone();
  void DoWriteEditedItemsToPhone();
  void DoWriteNewItemsToPhone();
  int IsNewContact(CKveContactsItem& aContact);
  int SearchArray(CPlaceHolderList& aList, CKveContactsItem& aContact);
  int FindNextLocation();
  bool IsFreeLocation(int aLocation);
  int UploadContact(CKveContactsItem& aContact, int aLocation);
  int UploadBlank(int aLocation);
  void AppendLocationPlaceHolderToArray(const CKveContactsItem& aContact);
  void DeleteLocationPlaceHolderFromArray(int aLocation);
  void BlankAllEntries(CPlaceHolderList& aList);
  void ResetPlaceHolders();

  // MMobilePhoneObserver
  int WiggleCallBack() override;
  void CorrectPhoneSettings(const TPhoneSettings& aSettings) override;
  void PhoneDiscovered(const TDesc16& aModemId) override;
  void HomeNetworkRead(int aCountryCode, const TDesc16& aCentre) override;
  int FoundPhoneEntry(const TPhoneBookEntry& aEntry) override;
  void OperationStarting() override {}
  void OperationFinished() override {}
  void LineReceived(const TDesc16&, int) override {}
  void DataSending(const TDesc16&) override {}
  void DataSent(const TDesc16&, int) override {}
  void EntrySent() override;
  void EntryDeleted() override;
  int SpareQuery1() override { return 0; }
  int SpareQuery2() override { return 0; }
  int SparePassThrough(int aValue) override { return aValue; }
  void SpareNotice1() override {}
  void SmsPartSent() override;
  void FoundSmsL(CStdSms* aSms, int aError) override;
  void SmsDeletedL() override;
  void SmsSendRetry() override {}
  void SpareNotice2() override {}
  // The reference of the next long message: one more than the last (8-bit,
  // wrapping), kept in the settings so that a restart carries on the count.
  int NextConcatReference() override;
  int NewSmsIndication(const TDesc16& aLine) override;
  // Asks the window (EKvPinRequired).
  int SimPinRequested(int aAttemptsLeft, bool aRefusedBefore, TSimPin& aPin) override;

  // For tests and tools.
  CMobilePhoneBase* Phone() const { return iPhone; }
  const TPhoneSettings& Settings() const { return iPhoneSettings; }
  int CurrentStore() const { return iCurrentStore; }
  // Test hook: how long a quiet line waits before the phone is probed, and
  // how often a lost port is tried again, in milliseconds.
  void SetListenIntervals(int aQuietMs, int aRetryMs) {
    iListenQuietMs = aQuietMs;
    iListenRetryMs = aRetryMs;
  }
  // Test hook: the polling interval in milliseconds, in place of the
  // action's seconds (0: the action's).
  void SetPollInterval(int aPollMs) { iListenPollMs = aPollMs; }
  // How often listening took the phone up again since the engine started.
  int Recoveries() const { return iRecoveries; }
  CPlaceHolderList& PlaceHolders(int aStore) { return aStore == EKvStorePhoneMemory ? *iPhoneMemoryPlaceHolders : *iSimPlaceHolders; }

 private:
  CPhoneEng();
  int ConstructL(HWND aMainUiWnd);

  // The command's block, kept for the observer calls.
  void KeepAction(const MSG& aMessage);
  // Sends EKvActionInProgress with the block's text; the window's answer.
  LRESULT NotifyProgress();
  void NotifyComplete();
  // Replaces the text with the format (one %d) and the incremented counter,
  // then notifies; the window's answer.
  LRESULT CountAndNotify(const TText16* aFormat);
  void ClosePort();
  // A SIM that stopped the connect of this action, said in words in the
  // block; false when the SIM did not stop it.
  bool ReportSimFailure();
  // Ends a failed action with a text and a reason.
  void FailAction(const TText16* aText, const TText16* aReason);
  // The list, range and limits of the current phone book.
  CPlaceHolderList& CurrentList() { return PlaceHolders(iCurrentStore); }
  const TPhoneMemory& CurrentMemory() const;
  bool BelongsToCurrentStore(const CKveContactsItem& aContact) const;
  // Inserts the item (taking it) in location order, behind equal locations.
  void InsertPlaceHolder(CPlaceHolderList& aList, CKveContactsItem* aItem);
  void LogContactsArray(CPlaceHolderList& aList);
  void LogSms(CStdSms& aSms);
  void LogPhoneEntry(const TPhoneBookEntry& aEntry);
  void LogMemoryValues(const TPhoneMemory& aMemory);
  // Listening.
  bool ConnectForListening();
  // Reads the status into the block and tells the window; false when the
  // phone failed meanwhile. Due after each connection, and when the last read
  // is older than the interval.
  bool RefreshStatusWhileListening();
  bool ListenStatusDue() const;
  bool ReconnectForListening();
  bool ReadAnnouncedMessages();
  bool TakeStoredMessages();
  bool DeleteTakenMessages();
  void TakeListenedSms(CStdSms& aSms);
  void NotifyStored(CEOID aOid, int aPartsMissing);
  // Long messages that waited too long for their missing parts are passed
  // on as they are; looked for when a part is stored and when one falls due.
  void PassOnOverdueMessages();
  // How long the next wait for the phone may last, in milliseconds, so that
  // the next long message to fall due is passed on in time.
  int ListenWaitMs() const;
  // Delivery reports. Marks the Sent record the report is about; false when
  // no Sent record has a part with its reference and recipient.
  bool ApplyStatusReportL(const CStdSms& aReport);
  // A report read while listening: its phone copy goes with the messages
  // taken when it was applied.
  void TakeListenedReport(bool aApplied);
  // Sends what the send queue holds; false when the phone went away (what
  // was not sent stays queued).
  bool SendQueuedMessages();
  // Runs the session waiting in the USSD slot and tells the window; false
  // when the phone went away in the middle of it (the session failed).
  bool RunQueuedUssd();
  // One USSD session on an open port, menus answered from aAnswers in
  // order; false when the phone did not answer at all.
  bool RunUssdSession(const std::u16string& aCode, const std::vector<std::u16string>& aAnswers,
                      TKvUssdOutcome& aOutcome);
  // One message on an open port: the phone's reply (KReplyOk when sent).
  int SendOneMessage(CKveMessagesItem& aMessage, bool aReport);

  CKveMessagesDatabase* iMessagesDatabase;
  CKveContactsDatabase* iContactsDatabase;
  CMobilePhoneBase* iPhone;
  CKveMessagesItem* iCurrentMessage;
  TEngineAction* iAction;
  int iProgressCounter;
  int iCurrentStore;
  TPhoneSettings iPhoneSettings;
  int iSynchronising;
  CPlaceHolderList* iSimPlaceHolders;
  CPlaceHolderList* iPhoneMemoryPlaceHolders;
  CListenState* iListen;  // while listening; the action's own
  int iListenQuietMs;
  int iListenRetryMs;
  DWORD iStatusReadAt = 0;  // tick count of the last status read while listening
  bool iStatusWanted = false;  // connected again since the last read
  int iListenPollMs = 0;
  int iRecoveries = 0;
  // Asks a phone that announces nothing for its messages when the interval is up.
  bool PollDue() const;
  // Said when the phone's receiving memory has no room left.
  void TellStoreFull();
  // The phone is reset after this many tries without an answer.
  void ResetAfterTries(int& aTries);
  // The parts of the message being sent, with the references the phone gave,
  // while reports are asked for.
  TKvDeliveryList iSentParts;
  bool iRequestingReports;
  // Entries of this upload not written: not accepted by the phone (an error
  // or no answer), names its character set cannot carry, numbers that are no
  // dial string.
  int iUploadRefused = 0;
  int iUploadNamesNotCarried = 0;
  int iUploadNumbersNotDialable = 0;
  int iUploadNoRoom = 0;  // new contacts for a phone book with no free location
  // The completion text of an upload: "Upload complete." only when every entry was written.
  void SetUploadSummary();
};
