// The AT command layer: sends one command at a time through the
// communicator, cuts the replies into lines, classifies them and reports to
// the engine through MMobilePhoneObserver.
#pragma once

#include "kernel/arrays.h"
#include "kernel/descriptors.h"
#include "kernel/epocbase.h"
#include "phone/phone_observer.h"
#include "phone/phone_status.h"
#include "phone/phone_types.h"
#include "phone/phonebook_names.h"
#include "phone/sim_pin.h"
#include "phone/ussd.h"
#include "serial/communicator.h"
#include "sms/sms_address.h"
#include "sms/std_sms.h"

class CSilenceTimer;

// "+CMTI" and "+CDSI": the phone announcing a stored message or report;
// "+CMT" and "+CDS": a message or status report routed whole, its PDU on the
// next line.
bool IsIndicationLine(const TDesc16& aLine);

// The memories "+CPMS: (...),(...),(...)" offers, a bit mask per parameter
// (ME 1, SM 2, MT 4, ME_P 8, SM_P 16), and how many parameters it described.
void ParseOfferedStores(const TDesc16& aLine, int aOffered[3], int& aGroups);

// Reply codes beside the shared result codes: a final result ends a wait.
inline constexpr int KReplyError = 1;          // "ERROR"
inline constexpr int KReplyOk = 2;             // "OK", or the prompt in state 37
inline constexpr int KReplyIndication = 3;     // "+CMTI" or "+CDSI" while listening
inline constexpr int KReplyNotAnnouncing = 4;  // the phone offers no announcement of new messages
inline constexpr int KReplyCmsError = 1024;    // + the number of "+CMS ERROR"
inline constexpr int KReplyCmeError = 2048;    // + the number of "+CME ERROR"
// The phone answered none of the identity queries.
inline constexpr int KErrNotIdentified = -5;

// What the outstanding command expects.
enum TResponseState {
  EStateIdle = 0,
  EStateIdentity = 2,
  EStateConnect = 3,
  EStateCharsets = 4,  // "AT+CSCS=?"
  EStatePhoneBookSelect = 5,
  EStateBattery = 6,
  EStateImei = 7,
  EStateSignal = 8,
  EStatePhoneBookRead = 9,
  EStateLimitsPhoneMemory = 10,
  EStateLimitsFixedDialling = 11,
  EStateLimitsSim = 12,
  EStateSmsCount = 14,
  EStateSmsStorePhone = 15,
  EStateSmsStoreSim = 16,
  EStateSmsIndex = 17,
  EStateSmsList = 18,
  EStateSmsRead = 19,
  EStateIndications = 20,  // "AT+CNMI=?"
  EStateListening = 21,    // no command out: waiting for the phone to announce
  EStateSmsStores = 22,    // "AT+CPMS=?"
  EStateSmsSelect = 23,    // "AT+CPMS=" with all three memories
  EStateSmsService = 24,   // "AT+CSMS?"
  EStatePhoneBookWrite = 30,
  EStateSmsCentre = 35,
  EStatePduMode = 36,
  EStateSmsLength = 37,
  EStateSmsPdu = 38,
  EStateStatus = 40,  // a status query: its information lines are kept
  EStateSimPin = 41,  // "AT+CPIN?", "AT+CPINR" and the PIN itself
  EStateUssd = 42,    // a USSD string out: its OK and the network's reply
  EStateSubscriber = 43,  // "AT+CIMI": the subscriber identity, never shown
};

// What the log and the observer get for the line of a subscriber identity.
inline constexpr char16_t KMaskedSubscriberLine[] = u"(the SIM's subscriber identity, not shown)";

inline constexpr int KReceiveBufferLength = 2560;
inline constexpr int KLineBufferLength = 512;
inline constexpr int KCommandLength = 512;
inline constexpr int KPhoneCapabilities = 801;

// How long a command waits for the first or next byte of its reply.
inline constexpr int KReplyTimeout = 30000;
// The network may take that long to accept a message once its PDU is handed over.
inline constexpr int KPduReplyTimeout = 180000;

// DeleteAllSms: the status that matches every message, and the store
// number that stands for both stores.
inline constexpr int KSmsAllMessages = 4;
inline constexpr int KSmsBothStores = 2;

class CMobilePhoneBase : public CEpocBase, public MCommunicatorObserver {
 public:
  static CMobilePhoneBase* NewL(MMobilePhoneObserver* aObserver);
  ~CMobilePhoneBase() override;

  virtual int ChangePhoneStore(int aStore);
  virtual int ConstructL();
  virtual int DeleteAllSms(int aStatus, int& aDeleted, int aStores);
  virtual int Capabilities();
  virtual int ReadSms();
  virtual int ReadPhoneSettings();
  virtual int ReadPhoneBook(int aStore);
  virtual int SetSmsCentre(const TSmsAddress& aCentre);
  // The service centre the phone sends through (AT+CSCA?) into aNumber:
  // a dial string of '+' and digits; empty when the phone gave none.
  virtual int ReadSmsCentre(TModDesc16& aNumber);
  virtual int SendSms(CStdSms& aSms, int aAttempts);
  virtual void PhoneSettingsRead(const TPhoneSettings& aSettings);
  virtual void DecodeSmsL(const TDesc16& aPduLine);
  // Null past the last query.
  virtual const TText16* IdentityCommand(int aIndex);
  virtual void SetModemId(const TDesc16& aText);
  virtual void FormatBlankEntry(TModDesc16& aOut, int aLocation);
  virtual void LoadATCommandSetL();
  virtual int HandleOtherResponse(TModDesc16& aLine);
  virtual int HandleCmeError(TModDesc16& aLine);
  virtual int HandleCmsError(TModDesc16& aLine);
  virtual int HandleCmti(TModDesc16& aLine);
  virtual int HandleCnmi(TModDesc16& aLine);
  virtual int HandleCpms(TModDesc16& aLine);
  virtual int HandleCpbr(TModDesc16& aLine);
  virtual int HandleCsca(TModDesc16& aLine);
  virtual int HandleCclk(TModDesc16& aLine);
  virtual int HandleCmgl(TModDesc16& aLine);
  virtual int HandleCmgr(TModDesc16& aLine);
  virtual int HandleCgsn(TModDesc16& aLine);
  virtual int HandleCmgs(TModDesc16& aLine);
  virtual int HandleCbc(TModDesc16& aLine);
  virtual int HandleCsq(TModDesc16& aLine);
  virtual int HandleCscs(TModDesc16& aLine);
  virtual void NotifyOperationStarting();
  virtual void NotifyOperationFinished();
  virtual int ProbePhoneBookStores();
  virtual int SendWakeupString();
  virtual int FormatAndSendSms();
  virtual int DoSendSms(CStdSms& aPart, CStdSms& aWhole, int aPartNumber, int aAttempts, const TSmsAddress& aCentre);
  virtual int SendConnectString();
  virtual void StopWaiting();
  virtual int SendAndWait(int aState, const TDesc16& aCommand);
  virtual int DoSendAndWait(int aState, const TDesc16& aCommand);
  virtual int ProcessPlusResponse(TModDesc16& aLine);
  virtual int ParsePhoneBookEntry(TModDesc16& aLine);
  virtual int ProcessResponse();
  virtual int ProcessLine(const TDesc16& aLine);
  virtual void StripLeadingSpaces(TModDesc16& aText);
  // The fields of a number and of a phone book entry, each text as one quoted
  // argument; KErrNone, or why the entry cannot be written (aOut then unused).
  virtual int FormatNumberField(TModDesc16& aOut, const TDesc16& aNumber);
  virtual int FormatPhoneNumber(TModDesc16& aOut, int aLocation, const TDesc16& aNumber, const TDesc16& aName);
  // Writes one entry and waits for the reply; not used by this program.
  virtual int SendEntry(const TPhoneBookEntry& aEntry);
  virtual int ParseInt(const TDesc16& aLine, int& aPos);
  virtual int ParseIntAt(const TDesc16& aLine, int aPos);
  virtual int EstablishConnection();

  // MCommunicatorObserver
  int ProcessReceivedData(const TDesc8& aData, int aStatus) override;
  void TransmitComplete(const TDesc8& aData, int aResult) override;
  void TransmitStarted(const TDesc8& aData) override;
  int HasCapability8000() override { return (Capabilities() & 0x8000) != 0; }

  // Connects when needed and asks the status queries; a query the phone
  // refuses leaves its fields unknown. 0, or the failure that ended it.
  int ReadPhoneStatus(TPhoneStatus& aStatus);

  // Message stores; aCapacity may be null.
  int CountSms(int& aTotal, int aUsed[2], int aCapacity[2]);
  // Chooses all three memories (read, write, receive) among those
  // "AT+CPMS=?" offers, receiving where most room is (MT: both stores), and
  // learns how this phone spells them ("SM" or "SM_P"). KReplyOk, or the
  // phone's refusal (the memories stay as they were).
  int SelectMessageStores();
  // The receive memory's use and size from the last selection; the size is
  // 0 when the phone did not tell.
  int ReceiveStoreUsed() const { return iReceiveUsed; }
  int ReceiveStoreTotal() const { return iReceiveTotal; }
  bool ReceiveStoreFull() const { return iReceiveTotal > 0 && iReceiveUsed >= iReceiveTotal; }
  // The memory ("ME", "SM") whose listing or read is under way.
  const TDesc16& SmsMemory() const { return iSmsMemory; }

  // Listening. Asks the phone to announce new messages ("+CMTI"), or to route
  // them whole ("+CMT") when it cannot announce them, and status reports,
  // with the values it offers: KReplyOk, or KReplyNotAnnouncing when it offers
  // no usable value or refuses every one.
  int EnableNewMessageIndications();
  // Messages come routed whole ("+CMT"), with no copy on the phone.
  bool RoutesMessages() const { return iRoutesMessages != 0; }
  // Sends "AT+CNMA" for each routed message taken since the last call, when
  // the phone's message service wants them acknowledged ("+CSMS" 1).
  int AcknowledgeRouted();
  // "AT+CFUN=1,1": the phone restarts; its port may go away for a while.
  int ResetModem();
  // Waits with no command out until an announcement arrives
  // (KReplyIndication), the line stays quiet for aQuietMs (KErrTimedOut), or
  // the line fails.
  int WaitForIndication(int aQuietMs);
  // Ends a WaitForIndication under way soon, as a quiet line would.
  void EndListeningWait();
  // Waits aMilliseconds on the scheduler, so that the engine's own messages
  // are still taken.
  void Pause(int aMilliseconds);
  // The message at aIndex of memory aMemory, reported through FoundSmsL.
  int ReadSmsAt(const TDesc16& aMemory, int aIndex);
  int DeleteSmsAt(const TDesc16& aMemory, int aIndex);

  // Phone book writes. The contact record belongs to the local store, which
  // this layer does not depend on: any record with Name(), Number() and
  // Location() will do.
  template <typename TContact>
  int UploadContactsItem(const TContact& aItem, int aMaxName, int aMaxNumber) {
    return UploadContact(aItem.Name(), aItem.Number(), aItem.Location(), aMaxName, aMaxNumber);
  }
  int UploadContact(const TDesc16& aName, const TDesc16& aNumber, int aLocation, int aMaxName, int aMaxNumber);
  int UploadBlank(int aLocation);
  int WaitForPhoneBookWriteToComplete();

  // The SIM at connect: KReplyOk when it is ready (or unlocked with the PIN
  // the observer gave), else why not (KErrSimPukNeeded and the others of
  // phone/sim_pin.h); nothing more is sent then.
  int UnlockSim();
  const TSimPinState& SimPinState() const { return iSim; }
  // What the last UnlockSim since ForgetSimResult gave: 0 when none ran or
  // the SIM was ready, else its error.
  int SimResult() const { return iSim.iLastResult; }
  void ForgetSimResult() { iSim.iLastResult = 0; }

  // USSD. Sends aString (a code, or the answer to a menu) and waits for the
  // network's reply into aReply: KReplyOk; KErrUssdNotCode (nothing sent);
  // KErrUssdTimedOut (cancelled); an error reply.
  int SendUssd(const TDesc16& aString, TUssdReply& aReply);
  // Ends the session of a menu ("AT+CUSD=2").
  int CancelUssd();
  // Test hook: the time the network has to answer, in milliseconds.
  void SetUssdTimeout(int aMilliseconds) { iUssdTimeout = aMilliseconds; }

  // Empties the receive buffer, swallowing replies nobody reads.
  void Discard() { iReceiveBuffer.Zero(); }

  // Test hook: forgets what earlier replies left (receive buffer, list
  // header and index list, count and character-set flags, settings), as a new
  // layer has them. A new layer costs a communicator, whose close waits 200 ms.
  void ForgetReplies() {
    iReceiveBuffer.Zero();
    iSmsListEntry = TSmsListEntry();
    iSmsIndexList->Reset();
    iCounting = 0;
    iStoreReported = 0;
    iStoreUsed = 0;
    iStoreTotal = 0;
    iCharset8859 = 0;
    iCharsetUcs2 = 0;
    iUcs2Offered = 0;
    iNameShape = ENameShapeUnknown;
    iIsEricssonPhone = 0;
    iMessageCounter = 0;
    iRoutedNext = 0;
    iAcksOwed = 0;
    iPhoneSettings = TPhoneSettings();
  }

  // Test hook: the character set as choosing one leaves it (choosing needs a
  // phone that answers), and the habit its names showed so far.
  void SetCharacterSet(int aCharset8859, int aCharsetUcs2, TNameShape aShape) {
    iCharset8859 = aCharset8859;
    iCharsetUcs2 = aCharsetUcs2;
    iNameShape = aShape;
  }
  // Test hook: the silence time-outs in milliseconds (the product keeps
  // KReplyTimeout and KPduReplyTimeout).
  void SetReplyTimeouts(int aReply, int aPdu) {
    iReplyTimeout = aReply;
    iPduReplyTimeout = aPdu;
  }

  // The message reference "+CMGS" gave for the part just sent, -1 when the
  // phone gave none; and that part's number. Valid inside SmsPartSent.
  int LastMessageReference() const { return iLastMessageReference; }
  // The number of the last "+CSCA" reply; empty when it held no plain dial string.
  const TDesc16& LastSmsCentre() const { return iReadCentre; }
  int LastPartSent() const { return iLastPartSent; }
  // The message or report being decoded came routed ("+CMT", "+CDS"), not
  // from the phone's memory: it has no index there.
  bool DecodingRouted() const { return iDecodingRouted != 0; }

  CCommunicator* Communicator() const { return iCommunicator; }
  const TPhoneSettings& PhoneSettings() const { return iPhoneSettings; }
  TPhoneSettings& PhoneSettings() { return iPhoneSettings; }
  int ResponseState() const { return iResponseState; }
  void SetResponseState(int aState) { iResponseState = aState; }
  int Charset8859() const { return iCharset8859; }
  int CharsetUcs2() const { return iCharsetUcs2; }
  TNameShape NameShape() const { return iNameShape; }
  int MessageCounter() const { return iMessageCounter; }
  const TSmsListEntry& SmsListEntry() const { return iSmsListEntry; }
  const TDesc16& ReceiveBuffer() const { return iReceiveBuffer; }
  void SetCounting(int aCounting) { iCounting = aCounting; }
  int StoreReported() const { return iStoreReported; }
  int StoreUsed() const { return iStoreUsed; }
  int StoreTotal() const { return iStoreTotal; }
  int SmsIndexCount() const { return iSmsIndexList->Count(); }
  const TSmsListEntry& SmsIndexEntry(int aIndex) const { return (*iSmsIndexList)[aIndex]; }

  int iIsEricssonPhone;

 protected:
  CMobilePhoneBase(MMobilePhoneObserver* aObserver);

 private:
  // The communicator's SendAndWait (or Wait) under the silence time-out.
  int TimedSendAndWait(const TDesc16& aCommand);
  int TimedWait();
  static int SilenceCallBack(void* aThis);
  // The deletions of one listed store, last entry first.
  int DeletePass(int aStatus, int& aDeleted);
  int ParseLimits(TModDesc16& aLine, int aStore);
  // "+CPIN", "+CPINR" and "^CPIN" lines while the SIM is asked.
  int HandleSimLine(const TDesc16& aLine);
  int QuerySimState();
  int DoUnlockSim();
  void QueryPinAttempts();
  int HandleCusd(const TDesc16& aLine);
  // The OK of "AT+CUSD": the wait ends once the reply is in too.
  int UssdOkSeen();
  // The character set names travel in: UCS2 when offered, else 8859-1 or GSM.
  int SelectCharacterSet();
  // At connect: the SIM's mobile country code, else (a phone that refuses
  // AT+CIMI) its service centre, for the observer's home country.
  int ReadHomeNetwork();
  // A line of the AT+CIMI reply: its country code kept, the rest forgotten.
  void TakeSubscriberLine(const TDesc16& aLine);
  // Whether aLine answers AT+CIMI, not ends it: the identity itself.
  bool IsSubscriberIdentityLine(const TDesc16& aLine) const;
  // The name field of a "+CPBR" line, from its start: quoted, or in UCS2
  // mode also bare hexadecimal up to the next comma.
  void ParseEntryName(TModDesc16& aRest, TModDesc16& aName);
  // The name as it goes into "AT+CPBW": one line, converted and cut to the
  // limit; KErrNameNotCarried when the character set has no code for a character.
  int UploadName(const TDesc16& aName, TModDesc16& aOut);
  int CheckLatin1Name(const TDesc16& aName);
  // In place, to GSM codes with the escape before extension characters.
  int GsmName(TModDesc16& aName);

  MMobilePhoneObserver* iObserver;
  CCommunicator* iCommunicator;
  int iResponseState;
  TModBuf16<KReceiveBufferLength> iReceiveBuffer;
  TModBuf16<KLineBufferLength> iLineBuffer;
  TPhoneSettings iPhoneSettings;
  TSmsListEntry iSmsListEntry;
  int iMaxUploadNumber;
  int iMaxUploadName;
  int iMessageCounter;
  TModBuf16<KCommandLength> iSendBuffer;
  TModBuf16<KCommandLength> iCommandBuffer;
  CArrayFixFlat<TSmsListEntry>* iSmsIndexList;
  int iCounting;
  int iStoreReported;
  int iCharset8859;
  // Names go as hexadecimal UTF-16 ("AT+CSCS="UCS2"" accepted).
  int iCharsetUcs2;
  // "AT+CSCS=?" listed "UCS2".
  int iUcs2Offered;
  // How this phone writes names in UCS2 mode, as its replies showed.
  TNameShape iNameShape;
  // The "+CPMS" counts of the selected store.
  int iStoreUsed;
  int iStoreTotal;
  // Service centre octets at the front of the send buffer.
  int iCentreOctets;
  CSilenceTimer* iSilenceTimer;
  int iReplyTimeout;
  int iPduReplyTimeout;
  TModBuf16<4> iSmsMemory;
  // What "AT+CNMI=?" offered: for each of its five parameters, bit n set
  // when value n is offered.
  int iIndicationValues[5];
  int iLastMessageReference;
  TModBuf16<KSmsNumberLength> iReadCentre;  // from the last +CSCA reply
  int iSubscriberCountryCode = 0;  // from the last AT+CIMI reply; 0 none
  int iLastPartSent;
  // A "+CDS" (ERoutedReport) or "+CMT" (ERoutedMessage) line came: the next
  // line is its PDU.
  enum { ENothingRouted, ERoutedReport, ERoutedMessage };
  int iRoutedNext;
  int iDecodingRouted;
  int iRoutesMessages;
  // "+CSMS" service 1: a routed message is acknowledged ("AT+CNMA").
  int iMessageService;
  int iAcksOwed;
  int HandleCsms(TModDesc16& aLine);
  // "AT+CNMI=" with these five values (a negative one left out); the reply.
  int RequestIndications(const int aValues[5]);
  // The memories "AT+CPMS=?" offered, a bit mask per parameter, and how this
  // phone spells the phone's and the SIM's memory.
  int iOfferedStores[3];
  int iStoreGroups;
  TModBuf16<8> iMemoryNames[2];
  int iReceiveUsed;
  int iReceiveTotal;
  int ParseStoreCounts(const TDesc16& aLine);
  int SelectReadStore(int aState, int aStore);
  // The information lines of the status query under way, one a line.
  TModBuf16<KReceiveBufferLength> iStatusReply;
  // Keeps a line of a status reply; false for a final result or an announcement.
  bool CollectStatusLine(const TDesc16& aLine);
  // One status query; its lines in iStatusReply.
  int StatusQuery(const TText16* aCommand, int aTimeoutMs);
  TSimPinState iSim;
  TUssdWait iUssd;
  int iUssdTimeout = KUssdTimeout;
};
