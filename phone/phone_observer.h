// How the AT layer reports to the engine.
#pragma once

#include "kernel/descriptors.h"
#include "kernel/errors.h"
#include "phone/sim_pin.h"
#include "phone/phone_types.h"

class CStdSms;

class MMobilePhoneObserver {
 public:
  // A sign of life while replies are processed; the result is ignored.
  virtual int WiggleCallBack() = 0;
  virtual void CorrectPhoneSettings(const TPhoneSettings& aSettings) = 0;
  virtual void PhoneDiscovered(const TDesc16& aModemId) = 0;
  // Nonzero ends the phone book read.
  virtual int FoundPhoneEntry(const TPhoneBookEntry& aEntry) = 0;
  virtual void OperationStarting() = 0;
  virtual void OperationFinished() = 0;
  // Every non-empty reply line (and the whole buffer when a prompt arrives).
  virtual void LineReceived(const TDesc16& aLine, int aReserved) = 0;
  virtual void DataSending(const TDesc16& aText) = 0;
  virtual void DataSent(const TDesc16& aText, int aResult) = 0;
  virtual void EntrySent() = 0;
  virtual void EntryDeleted() = 0;
  // Four slots this layer never calls; they keep the interface's order.
  virtual int SpareQuery1() = 0;
  virtual int SpareQuery2() = 0;
  virtual int SparePassThrough(int aValue) = 0;
  virtual void SpareNotice1() = 0;
  virtual void SmsPartSent() = 0;
  // Takes ownership of aSms.
  virtual void FoundSmsL(CStdSms* aSms, int aError) = 0;
  virtual void SmsDeletedL() = 0;
  virtual void SmsSendRetry() = 0;
  // Another slot this layer never calls.
  virtual void SpareNotice2() = 0;
  virtual int NextConcatReference() = 0;
  // A "+CMTI" line; the result is ignored.
  virtual int NewSmsIndication(const TDesc16& aLine) = 0;
  // The SIM wants its PIN: KErrNone with the PIN in aPin, or KErrCancel.
  // aAttemptsLeft is KSimAttemptsUnknown when the phone does not tell them;
  // aRefusedBefore, that a PIN was refused in this session (and will not be
  // sent again). Observers that cannot ask give none.
  virtual int SimPinRequested(int aAttemptsLeft, bool aRefusedBefore, TSimPin& aPin) {
    (void)aAttemptsLeft;
    (void)aRefusedBefore;
    (void)aPin;
    return KErrCancel;
  }
  // At connect: the SIM's mobile country code (0 when the phone gave none)
  // and, only without it, the phone's service centre (empty when none).
  virtual void HomeNetworkRead(int aCountryCode, const TDesc16& aCentre) {
    (void)aCountryCode;
    (void)aCentre;
  }

 protected:
  ~MMobilePhoneObserver() = default;
};
