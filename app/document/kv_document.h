// The document: the user's settings (service centre number, diagnostic
// logging, message display mode) kept in the registry, the program's data
// folders, and the user interface thread's own instances of the two stores.
#pragma once

#include <windows.h>

#include <string>

#include "app/document/epoc_application.h"

class CKveContactsDatabase;
class CKveMessagesDatabase;

inline constexpr WCHAR KKvRegistryKey[] = u"Software\\Veltramonic\\Korvanet";
inline constexpr WCHAR KKvDebugLogValue[] = u"DebugLog";
inline constexpr WCHAR KKvSmscValue[] = u"SMSC";
inline constexpr WCHAR KKvMessageViewValue[] = u"MessageView";
inline constexpr WCHAR KKvDeliveryReportsValue[] = u"DeliveryReports";
inline constexpr WCHAR KKvListenValue[] = u"Listen";
// Kept as the opposite of the check box, so that settings without it show notices.
inline constexpr WCHAR KKvQuietArrivalsValue[] = u"QuietArrivals";
// Seconds a long message waits for missing parts; absent or 0: a day.
inline constexpr WCHAR KKvPartsWaitValue[] = u"PartsWaitSeconds";
inline constexpr int KKvDefaultPartsWait = 24 * 60 * 60;
inline constexpr int KKvMaxPartsWait = 30 * 24 * 60 * 60;
// Seconds between two requests for the messages of a phone that announces
// none; absent or 0: half a minute.
inline constexpr WCHAR KKvPollValue[] = u"PollSeconds";
inline constexpr int KKvDefaultPoll = 30;
inline constexpr int KKvMaxPoll = 24 * 60 * 60;
// Tries without an answer after which listening restarts the phone; 0 never.
inline constexpr WCHAR KKvResetAfterValue[] = u"ResetAfterTries";
inline constexpr int KKvMaxResetAfter = 1000;
// The country ("GB") whose national numbers conversations read, when the
// service centre number does not tell.
inline constexpr WCHAR KKvHomeCountryValue[] = u"HomeCountry";

class CKvDocument : public CEpocDocument {
 public:
  // Loads the settings (switching the log as they say) and makes the data folders.
  static CKvDocument* NewL(CEpocApplication* aApplication);
  ~CKvDocument() override;

  // Makes the CKvAppUi (frame and views) on the first call; the same later.
  CEpocBase* CreateAppUiL() override;

  void LoadSettings();
  void CommitSettingsL();

  void SetDoLogging(int aFlag);
  int DoLogging() const { return iDoLogging; }
  // Takes a malloc'ed text (or null), freeing the previous one.
  void SetSmscNumber(LPWSTR aText);
  // The number, or the empty text; never null.
  LPCWSTR SmscNumber() const { return iSmscNumber != nullptr ? iSmscNumber : u""; }
  // The service centre the phone said it uses, read while none is set: only
  // offered in Settings, kept once the user confirms it there.
  const std::u16string& PhoneSmsc() const { return iPhoneSmsc; }
  void SetPhoneSmsc(std::u16string aNumber) { iPhoneSmsc = std::move(aNumber); }
  void SetMessageView(int aView) { iMessageView = aView != 0; }
  bool MessageView() const { return iMessageView; }
  // "Request delivery reports": sent parts ask for a status report.
  void SetRequestReports(bool aOn) { iRequestReports = aOn; }
  bool RequestReports() const { return iRequestReports; }
  // "Listen for messages": on again at the next start when left on.
  void SetListen(bool aOn) { iListen = aOn; }
  bool Listen() const { return iListen; }
  // A notice on the screen for each message that arrives while listening.
  void SetArrivalNotices(bool aOn) { iArrivalNotices = aOn; }
  bool ArrivalNotices() const { return iArrivalNotices; }
  // How long a long message whose parts are not all in waits for them, in
  // seconds, before it is passed on as it is; out of range gives the default.
  void SetPartsWait(int aSeconds) {
    iPartsWait = aSeconds >= 1 && aSeconds <= KKvMaxPartsWait ? aSeconds : KKvDefaultPartsWait;
  }
  int PartsWait() const { return iPartsWait; }
  // How often a phone that announces no messages is asked for them, in seconds.
  void SetPollInterval(int aSeconds) { iPoll = aSeconds >= 1 && aSeconds <= KKvMaxPoll ? aSeconds : KKvDefaultPoll; }
  int PollInterval() const { return iPoll; }
  // After how many tries without an answer listening restarts the phone; 0 never.
  void SetResetAfter(int aTries) { iResetAfter = aTries >= 0 && aTries <= KKvMaxResetAfter ? aTries : 0; }
  int ResetAfter() const { return iResetAfter; }
  // A country code the numbering plans know, or empty.
  void SetHomeCountry(const std::string& aRegion);
  const std::string& HomeCountrySetting() const { return iHomeCountry; }

  // Made on the first request, then kept.
  CKveContactsDatabase* ContactsDatabase();
  CKveMessagesDatabase* MessagesDatabase();

 private:
  CKvDocument();
  void CreateDataFolders();

  CKveContactsDatabase* iContactsDatabase;  // owned
  CKveMessagesDatabase* iMessagesDatabase;  // owned
  LPWSTR iSmscNumber;                       // owned, malloc'ed
  std::u16string iPhoneSmsc;
  int iDoLogging;
  bool iMessageView;
  bool iRequestReports;
  bool iListen;
  bool iArrivalNotices;
  int iPartsWait = KKvDefaultPartsWait;
  int iPoll = KKvDefaultPoll;
  int iResetAfter = 0;
  std::string iHomeCountry;
};
