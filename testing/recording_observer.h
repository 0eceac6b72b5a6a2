// An engine stand-in for the tests: records what the AT layer reports.
#pragma once

#include <string>
#include <vector>

#include "phone/phone_observer.h"
#include "sms/std_sms.h"

inline std::u16string Text(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }
inline std::string Narrow(const std::u16string& aText) { return std::string(aText.begin(), aText.end()); }

struct TFoundSms {
  std::u16string iText;
  std::u16string iSender;
  int iStatus;
};

class TRecordingObserver : public MMobilePhoneObserver {
 public:
  ~TRecordingObserver() = default;

  int WiggleCallBack() override { return ++iWiggles, 1; }
  void CorrectPhoneSettings(const TPhoneSettings& aSettings) override {
    iSettings = aSettings;
    ++iSettingsReports;
  }
  void PhoneDiscovered(const TDesc16& aModemId) override { iDiscovered.push_back(Text(aModemId)); }
  int FoundPhoneEntry(const TPhoneBookEntry& aEntry) override {
    iEntries.push_back(aEntry);
    return iEntryAnswer;
  }
  void OperationStarting() override { ++iStarting; }
  void OperationFinished() override { ++iFinished; }
  void LineReceived(const TDesc16& aLine, int) override { iLines.push_back(Narrow(Text(aLine))); }
  void DataSending(const TDesc16& aText) override { iSending.push_back(Narrow(Text(aText))); }
  void DataSent(const TDesc16&, int aResult) override { iSentResults.push_back(aResult); }
  void EntrySent() override { ++iEntriesSent; }
  void EntryDeleted() override { ++iEntriesDeleted; }
  int SpareQuery1() override { return 0; }
  int SpareQuery2() override { return 0; }
  int SparePassThrough(int aValue) override { return aValue; }
  void SpareNotice1() override {}
  void SmsPartSent() override { ++iPartsSent; }
  void FoundSmsL(CStdSms* aSms, int) override {
    iSms.push_back({Text(aSms->MessageText()), Text(aSms->RecipientNumber(0)), aSms->SmsStatus()});
    delete aSms;
  }
  void SmsDeletedL() override { ++iDeletedNotices; }
  void SmsSendRetry() override { ++iRetries; }
  void SpareNotice2() override {}
  int NextConcatReference() override { return iConcatReference; }
  int NewSmsIndication(const TDesc16& aLine) override {
    iIndications.push_back(Narrow(Text(aLine)));
    return 0;
  }

  // Gives the next of iPins, or KErrCancel when none is left.
  int SimPinRequested(int aAttemptsLeft, bool aRefusedBefore, TSimPin& aPin) override {
    iPinAsks.push_back({aAttemptsLeft, aRefusedBefore});
    if (iPins.empty()) return KErrCancel;
    aPin.Copy(iPins.front().data(), static_cast<int>(iPins.front().size()));
    iPins.erase(iPins.begin());
    return KErrNone;
  }
  void HomeNetworkRead(int aCountryCode, const TDesc16& aCentre) override {
    iHomeNetworks.push_back({aCountryCode, Narrow(Text(aCentre))});
  }
  struct THomeNetwork {
    int iCountryCode;
    std::string iCentre;
    bool operator==(const THomeNetwork&) const = default;
  };
  std::vector<THomeNetwork> iHomeNetworks;
  struct TPinAsk {
    int iAttemptsLeft;
    bool iRefusedBefore;
  };
  std::vector<std::u16string> iPins;
  std::vector<TPinAsk> iPinAsks;

  int iWiggles = 0, iSettingsReports = 0, iStarting = 0, iFinished = 0;
  int iEntriesSent = 0, iEntriesDeleted = 0, iPartsSent = 0, iDeletedNotices = 0, iRetries = 0;
  int iEntryAnswer = 0;
  int iConcatReference = 0;
  TPhoneSettings iSettings;
  std::vector<std::u16string> iDiscovered;
  std::vector<TPhoneBookEntry> iEntries;
  std::vector<std::string> iLines, iSending, iIndications;
  std::vector<int> iSentResults;
  std::vector<TFoundSms> iSms;
};
