// What the engine does when the AT layer reports: progress texts to the
// user interface window, whose answer carries the user's cancel, and the
// diagnostic lines that describe what arrived.
#include <memory>
#include <string>

#include <kvplatform.h>

#include "engine/engine_text.h"
#include "engine/phone_engine.h"
#include "kernel/log.h"
#include "store/conversation_key.h"
#include "store/home_country.h"

LRESULT CPhoneEng::CountAndNotify(const TText16* aFormat) {
  ++iProgressCounter;
  WCHAR text[KEngineTextLength + 16];
  wsprintfW(text, aFormat, iProgressCounter);
  if (iAction != nullptr) iAction->iText.CopyTruncated(text);
  return NotifyProgress();
}

int CPhoneEng::WiggleCallBack() {
  LogMessage(KLogFilePath, u"CPhoneEng::WiggleCallBack");
  if (iAction != nullptr) iAction->iText.Zero();
  return NotifyProgress() != KActionCancelled ? 1 : 0;
}

void CPhoneEng::CorrectPhoneSettings(const TPhoneSettings& aSettings) {
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings");
  iPhoneSettings = aSettings;
  TZText<KModemIdLength> modemId(iPhoneSettings.ModemId);
  TZText<KWelcomeLength> welcome(iPhoneSettings.Welcome);
  TZText<KImeiLength> imei(iPhoneSettings.IMEI);
  TZText<KSettingsNumberLength> centre(iPhoneSettings.SmsCentreNumber);
  TZText<KSettingsNumberLength> email(iPhoneSettings.EmailSmsNumber);
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - ModemId %1!s!", modemId.Ptr());
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - Welcome %1!s!", welcome.Ptr());
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - IMEI %1!s!", imei.Ptr());
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - WelcomeOn %1!d!", iPhoneSettings.WelcomeOn);
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - BatteryState %1!d!", iPhoneSettings.BatteryState);
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - PowerSource %1!d!", iPhoneSettings.PowerSource);
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - SignalStrength %1!d!", iPhoneSettings.SignalStrength);
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - SmsCentreNumber %1!s!", centre.Ptr());
  LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - EmailSmsNumber %1!s!", email.Ptr());
  for (const TPhoneMemory& memory : iPhoneSettings.MemoryValues) LogMemoryValues(memory);
  if (iAction != nullptr) iAction->iText.Copy(u"Read phone settings");
  if (NotifyProgress() == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::CorrectPhoneSettings - cancelled by user");
}

void CPhoneEng::LogMemoryValues(const TPhoneMemory& aMemory) {
  LogMessage(KLogFilePath, u"LogMemoryValues");
  LogMessage(KLogFilePath, u"LogMemoryValues - MaxNumber %1!d!", aMemory.MaxNumber);
  LogMessage(KLogFilePath, u"LogMemoryValues - MaxName %1!d!", aMemory.MaxName);
  LogMessage(KLogFilePath, u"LogMemoryValues - MemLow %1!d!", aMemory.MemLow);
  LogMessage(KLogFilePath, u"LogMemoryValues - MemHigh %1!d!", aMemory.MemHigh);
}

void CPhoneEng::PhoneDiscovered(const TDesc16& aModemId) {
  TZText<KModemIdLength> modemId(aModemId);
  LogMessage(KLogFilePath, u"CPhoneEng::PhoneDiscovered %1!s!", modemId.Ptr());
  if (iAction == nullptr) return;
  // Appended: the first text of an action, into the block the user
  // interface emptied when it started the action.
  TConstPtr16 discovered(u"Discovered Phone");
  int room = iAction->iText.MaxLength() - iAction->iText.Length();
  iAction->iText.Append(discovered.Left(discovered.Length() < room ? discovered.Length() : room));
  if (NotifyProgress() == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::PhoneDiscovered - cancelled by user");
}

// National numbers are keyed in the SIM's country's plan; a phone that
// tells neither it nor its service centre leaves the country as it was.
void CPhoneEng::HomeNetworkRead(int aCountryCode, const TDesc16& aCentre) {
  const std::string ofSim = CountryOfMobileCountryCode(aCountryCode);
  if (!ofSim.empty()) {
    KeepPhoneCountry(ofSim, u"the SIM");
  } else {
    const std::string ofCentre =
        CountryOfNumber(kvplatform::ToUtf8(std::u16string(aCentre.Ptr(), static_cast<size_t>(aCentre.Length()))));
    if (!ofCentre.empty()) KeepPhoneCountry(ofCentre, u"the service centre number");
  }
  // Before anything is downloaded: what was stored under another country
  // (or none) joins the conversations the phone's messages go to.
  iMessagesDatabase->FollowHomeCountryL();
  iContactsDatabase->FollowHomeCountryL();
}

void CPhoneEng::LogPhoneEntry(const TPhoneBookEntry& aEntry) {
  TZText<KEntryNameLength> name(aEntry.iName);
  TZText<KEntryNumberLength> number(aEntry.iNumber);
  LogMessage(KLogFilePath, u"LogPhoneEntry: Name = %1!s!", name.Ptr());
  LogMessage(KLogFilePath, u"LogPhoneEntry: Number = %1!s!", number.Ptr());
  LogMessage(KLogFilePath, u"LogPhoneEntry: Location = %1!d!", static_cast<int>(aEntry.iLocation));
}

int CPhoneEng::FoundPhoneEntry(const TPhoneBookEntry& aEntry) {
  LogMessage(KLogFilePath, u"CPhoneEng::FoundPhoneEntry");
  LogPhoneEntry(aEntry);
  const TText16* format;
  if (iSynchronising) {
    format = u"Loading Contact %d";
    InsertPlaceHolder(CurrentList(), MakeContactItemL(aEntry));
  } else {
    format = u"Found Contact %d";
    StoreContactL(aEntry);
  }
  if (CountAndNotify(format) == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::FoundPhoneEntry - cancelled by user");
  return 0;
}

void CPhoneEng::EntrySent() {
  LogMessage(KLogFilePath, u"CPhoneEng::EntrySent");
  if (CountAndNotify(u"Uploaded contact %d") == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::EntrySent - cancelled by user");
}

void CPhoneEng::EntryDeleted() {
  LogMessage(KLogFilePath, u"CPhoneEng::EntryDeleted");
  if (CountAndNotify(u"Deleted contact %d") == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::EntryDeleted - cancelled by user");
}

void CPhoneEng::FoundSmsL(CStdSms* aSms, int /*aError*/) {
  LogMessage(KLogFilePath, u"CPhoneEng::FoundSmsL");
  std::unique_ptr<CStdSms> sms(aSms);  // ours from here on
  if (sms) {
    LogSms(*sms);
    // A status report is no message for any folder: it marks a Sent one.
    if (sms->IsStatusReport()) {
      bool applied = ApplyStatusReportL(*sms);
      if (iListen != nullptr) TakeListenedReport(applied);
    } else if (iListen != nullptr) {
      TakeListenedSms(*sms);
    } else {
      // One the user has not read on the phone is told, so that it shows as unread here too.
      int partsMissing = 0;
      CEOID oid = StoreSmsInDatabaseL(*sms, nullptr, &partsMissing);
      if (oid != 0 && sms->iUnreadOnPhone) NotifyStored(oid, partsMissing);
    }
  }
  if (CountAndNotify(u"Found Sms %d") == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::FoundSmsL - cancelled by user");
}

void CPhoneEng::SmsDeletedL() {
  LogMessage(KLogFilePath, u"CPhoneEng::SmsDeletedL");
  if (CountAndNotify(u"Deleted message %d") == KActionCancelled)
    LogMessage(KLogFilePath, u"CPhoneEng::SmsDeletedL - cancelled by user");
}

void CPhoneEng::LogSms(CStdSms& aSms) {
  LogMessage(KLogFilePath, u"LogSms: Sms = 0x%1!x!", &aSms);
  LogMessage(KLogFilePath, u"LogSms: SmsValidity = %1!d!", aSms.SmsValidity());
  TZText<KSmsNumberLength> centre(aSms.SmsCentre().iNumber);
  LogMessage(KLogFilePath, u"LogSms: SmsCentre = %1!s!", centre.Ptr());
  LogMessage(KLogFilePath, u"LogSms: SmsStatus = %1!d!", aSms.SmsStatus());
  const TDesc16& text = aSms.MessageText();
  std::unique_ptr<THeapBuf16> terminated(THeapBuf16::New(text.Length() + 1));
  const TText16* textZ = u"";
  if (terminated) {
    terminated->Copy(text);
    textZ = terminated->PtrZ();
  }
  LogHexDump(KLogFilePath, text.Ptr(), text.Length() * static_cast<int>(sizeof(TText16)),
             u"LogSms: MessageText = %1!s!", textZ);
  SYSTEMTIME time = {};
  WCHAR date[40] = {};
  if (FileTimeToSystemTime(&aSms.DateSent(), &time))
    wsprintfW(date, u"%04d-%02d-%02d %02d:%02d:%02d", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
              time.wSecond);
  LogMessage(KLogFilePath, u"LogSms: DateSent = %1!s!", date);
  LogMessage(KLogFilePath, u"LogSms: HasRecipient = %1!d!", aSms.HasRecipient() ? 1 : 0);
  LogMessage(KLogFilePath, u"LogSms: NumRecipients = %1!d!", aSms.NumRecipients());
  for (int i = 0; i < aSms.NumRecipients(); ++i) {
    TZText<KSmsNumberLength> number(aSms.RecipientNumber(i));
    TZText<KSmsNameLength> name(aSms.RecipientName(i));
    LogMessage(KLogFilePath, u"LogSms: Recipient %1!d! Number = %2!s!", i, number.Ptr());
    LogMessage(KLogFilePath, u"LogSms: Recipient %1!d! Name = %2!s!", i, name.Ptr());
  }
  LogMessage(KLogFilePath, u"LogSms: Done");
}
