// What travels between the user interface and the engine thread: the
// message numbers of commands and notices, and the action block whose
// address every command and notice carries as wParam.
#pragma once

#include <wintypes.h>

#include "kernel/descriptors.h"
#include "phone/phone_status.h"
#include "phone/sim_pin.h"
#include "phone/ussd.h"
#include "serial/port.h"

class CKveMessagesItem;
class TKvSendQueue;
class TKvUssdSlot;

// One block of numbers shared by the user interface, the engine and the
// serial writer thread (10011 is the writer's EKvCommWrite).
enum TKvEngineMessage : UINT {
  EKvSendNow = 10000,
  EKvGetAllSmsFromPhone = 10001,
  EKvDeleteAllSmsFromPhone = 10002,
  EKvSendAllSmsFromOutbox = 10003,
  EKvReadPhoneBook = 10004,
  EKvReadPhoneBookSim = 10005,
  EKvReadPhoneBookPhoneMemory = 10006,
  EKvUploadAllContactsToPhone = 10007,
  EKvDeleteAllContactsFromPhone = 10008,
  EKvActionInProgress = 10009,  // engine to the window in the block
  EKvActionComplete = 10010,    // engine to the window in the block
  EKvShutdownEngine = 10012,
  EKvListen = 10013,
  // Engine to the window in the block, while listening: a received message
  // is stored whole; lParam is its record's identifier.
  EKvMessageStored = 10014,
  // As EKvMessageStored, for a part of a long message whose other parts are
  // not all in yet.
  EKvMessagePartStored = 10015,
  // Engine to the window in the block: a status report was written into a
  // Sent message; lParam is its record's identifier.
  EKvDeliveryReportApplied = 10016,
  // Reads the phone's status into the block's iStatus.
  EKvReadStatus = 10030,
  // Engine to the window in the block, while listening: iStatus was read again.
  EKvStatusUpdated = 10031,
  // Sends the USSD code iUssdCode and reports the network's replies.
  EKvUssd = 10017,
  // Engine to the window in the block: the SIM wants its PIN (attempts left
  // in iPinAttemptsLeft). The window answers 1 with the PIN in iPin, or 0.
  EKvPinRequired = 10018,
  // Engine to the window in the block: the network's reply in iUssdReply is
  // a menu. The window answers 1 with the answer in iUssdAnswer, or 0 to end
  // the session.
  EKvUssdMenu = 10019,
  // User interface to a listening engine: messages wait in the send queue.
  EKvSendWhileListening = 10040,
  // Engine to the window in the block, while listening: a message of the send
  // queue was sent and moved to Sent, or the phone refused it (it stays in
  // the Outbox); lParam is its record's identifier.
  EKvMessageSent = 10041,
  EKvMessageSendFailed = 10042,
  // User interface to a listening engine: a USSD session waits in the slot.
  EKvUssdWhileListening = 10043,
  // Engine to the window in the block, while listening: the slot's USSD
  // session ended; its outcome waits in the slot.
  EKvUssdAnswered = 10044,
};
static_assert(EKvCommWrite == 10011, "the serial writer's message sits inside the engine's block");

// The window's answer to EKvActionInProgress when the user has cancelled.
inline constexpr LRESULT KActionCancelled = -3;

inline constexpr int KEngineTextLength = 64;
inline constexpr int KDefaultPartsWaitSeconds = 24 * 60 * 60;
// A phone that announces no messages is asked for them this often.
inline constexpr int KDefaultPollSeconds = 30;

// Owned by the user interface's engine proxy and lent to the engine for one
// command; the engine never frees it and never keeps it beyond the command.
struct TEngineAction {
  HWND iWindow = nullptr;   // receives EKvActionInProgress and EKvActionComplete
  int iResult = 0;          // 0 success, -2 failure (-3 the user interface's abort)
  LPCWSTR iSmsc = nullptr;  // service centre for EKvSendNow; empty: none configured
  TModBuf16<KEngineTextLength> iText;  // progress or completion text
  TModBuf16<KEngineTextLength> iReason;  // a failure's cause, when known; empty otherwise
  CKveMessagesItem* iMessage = nullptr;  // the message EKvSendNow sends
  bool iDeleteAfterStore = false;        // EKvListen: the phone's copy goes once stored
  // EKvListen: a port that does not open, or a phone that does not answer, at
  // the start is waited for as one lost later is (the phone was there before).
  bool iWaitForPhone = false;
  // EKvListen: how long a long message waits for its missing parts before it
  // is passed on as it is.
  int iPartsWaitSeconds = KDefaultPartsWaitSeconds;
  // EKvListen: how often a phone that announces nothing is asked for its
  // messages, in seconds.
  int iPollSeconds = KDefaultPollSeconds;
  // EKvListen: after this many tries without an answer the phone is reset
  // ("AT+CFUN=1,1"); 0 never.
  int iResetAfterTries = 0;
  // EKvListen, kept by the engine: how often the phone was taken up again
  // after it stopped answering or its port went away.
  int iRecoveries = 0;
  bool iRequestReports = false;          // EKvSendNow: each part asks for a status report
  // EKvListen: messages to send between listening turns (null: none ever).
  TKvSendQueue* iSendQueue = nullptr;
  // EKvListen: a USSD session to run between listening turns (null: none ever).
  TKvUssdSlot* iUssdSlot = nullptr;
  // No service centre is set: the phone's own is read once connected, into
  // iPhoneSmsc (empty when the phone gave none), for the user to confirm.
  bool iReadSmsc = false;
  TModBuf16<KEngineTextLength> iPhoneSmsc;
  // EKvReadStatus, and while listening: the phone's status as last read.
  TPhoneStatus iStatus;
  bool iStatusRead = false;
  // The SIM's PIN, while the window is asked for it: cleared once sent.
  int iPinAttemptsLeft = KSimAttemptsUnknown;
  bool iPinRefusedBefore = false;  // a PIN was refused in this session
  TSimPin iPin;
  // EKvUssd: the code; each reply of the network (menus too) and its status.
  TModBuf16<KUssdCodeLength> iUssdCode;
  TModBuf16<KUssdTextLength> iUssdReply;
  int iUssdStatus = EUssdNone;
  TModBuf16<KUssdCodeLength> iUssdAnswer;
};
