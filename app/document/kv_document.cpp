#include "app/document/kv_document.h"

#include <cstdlib>

#include <kvplatform.h>

#include "app/document/app_globals.h"
#include "kernel/log.h"
#include "kernel/registry.h"
#include "store/conversation_key.h"
#include "store/contacts.h"
#include "store/home_country.h"
#include "store/messages.h"

CKvDocument::CKvDocument() { SetClassName(u"CKvDocument"); }

CKvDocument* CKvDocument::NewL(CEpocApplication* aApplication) {
  CKvDocument* self = new CKvDocument;
  if (self == nullptr) return nullptr;
  self->iApplication = aApplication;
  self->LoadSettings();
  LogMessage(KLogFilePath, u"CKvDocument::NewL - Log Started");
  self->CreateDataFolders();
  return self;
}

CKvDocument::~CKvDocument() {
  delete iContactsDatabase;
  iContactsDatabase = nullptr;
  DeleteAppUi();
  // Last, so that views taken down with the application UI can still reach it.
  delete iMessagesDatabase;
  iMessagesDatabase = nullptr;
  std::free(iSmscNumber);
}

// A folder that exists already (every start after the first) is only logged.
void CKvDocument::CreateDataFolders() {
  if (!CreateDirectoryW(u"\\Program Files", nullptr))
    LogMessageWithError(KLogFilePath, u"CKvDocument::NewL - Program location");
  if (!CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr))
    LogMessageWithError(KLogFilePath, u"CKvDocument::NewL - Program name");
  if (!CreateDirectoryW(u"\\Program Files\\Korvanet\\Data", nullptr))
    LogMessageWithError(KLogFilePath, u"CKvDocument::NewL - Program datadirectory");
}

CEpocBase* CKvDocument::CreateAppUiL() {
  if (iAppUi == nullptr && gKvNewAppUiL != nullptr) iAppUi = gKvNewAppUiL(this);
  return iAppUi;
}

void CKvDocument::LoadSettings() {
  SetDoLogging(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvDebugLogValue));
  SetSmscNumber(CEpocRegistry::GetRegistryString(KKvRegistryKey, KKvSmscValue));
  SetMessageView(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvMessageViewValue));
  // Absent (an earlier version's settings) reads as 0: off.
  SetRequestReports(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvDeliveryReportsValue) != 0);
  SetListen(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvListenValue) != 0);
  SetArrivalNotices(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvQuietArrivalsValue) == 0);
  SetPartsWait(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvPartsWaitValue));
  SetPollInterval(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvPollValue));
  SetResetAfter(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvResetAfterValue));
  LPWSTR home = CEpocRegistry::GetRegistryString(KKvRegistryKey, KKvHomeCountryValue);
  SetHomeCountry(home != nullptr ? kvplatform::ToUtf8(home) : std::string());
  std::free(home);
}

// The stores read national numbers in the plan of the country the phone
// last told (its SIM's), else of the service centre's, else of the one the
// user set.
void CKvDocument::SetHomeCountry(const std::string& aRegion) {
  iHomeCountry = IsKnownCountry(aRegion) ? aRegion : std::string();
  ::SetHomeCountry(ChooseHomeCountry(PhoneCountry(), kvplatform::ToUtf8(SmscNumber()), iHomeCountry));
  // Stores opened already follow now; the others when they open.
  if (iMessagesDatabase != nullptr) iMessagesDatabase->FollowHomeCountryL();
  if (iContactsDatabase != nullptr) iContactsDatabase->FollowHomeCountryL();
}

void CKvDocument::CommitSettingsL() {
  LogMessage(KLogFilePath, u"CKvDocument::CommitSettingsL");
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvDebugLogValue, iDoLogging);
  CEpocRegistry::SaveRegistryString(KKvRegistryKey, KKvSmscValue, SmscNumber());
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvMessageViewValue, iMessageView ? 1 : 0);
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvDeliveryReportsValue, iRequestReports ? 1 : 0);
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvListenValue, iListen ? 1 : 0);
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvQuietArrivalsValue, iArrivalNotices ? 0 : 1);
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvPartsWaitValue, iPartsWait);
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvPollValue, iPoll);
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvResetAfterValue, iResetAfter);
  CEpocRegistry::SaveRegistryString(KKvRegistryKey, KKvHomeCountryValue, kvplatform::FromUtf8(iHomeCountry).c_str());
}

void CKvDocument::SetDoLogging(int aFlag) {
  // Logged before the switch, so switching off leaves its own trace.
  LogMessage(KLogFilePath, u"CKvDocument::SetDoLogging %1!d!", aFlag);
  SetLogging(aFlag);
  iDoLogging = aFlag;
}

void CKvDocument::SetSmscNumber(LPWSTR aText) {
  if (aText != nullptr)
    LogMessage(KLogFilePath, u"CKvDocument::SetSmscNumber %1!s!", aText);
  else
    LogMessage(KLogFilePath, u"CKvDocument::SetSmscNumber NULL");
  if (aText != iSmscNumber) std::free(iSmscNumber);
  iSmscNumber = aText;
}

CKveContactsDatabase* CKvDocument::ContactsDatabase() {
  if (iContactsDatabase == nullptr) iContactsDatabase = CKveContactsDatabase::NewL(gKvMainFrameWindow, 0);
  return iContactsDatabase;
}

CKveMessagesDatabase* CKvDocument::MessagesDatabase() {
  if (iMessagesDatabase == nullptr) iMessagesDatabase = CKveMessagesDatabase::NewL(gKvMainFrameWindow, 0);
  return iMessagesDatabase;
}
