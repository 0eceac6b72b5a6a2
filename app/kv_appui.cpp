#include "app/kv_appui.h"

#include "app/app_engine.h"
#include "app/app_globals.h"
#include "app/kv_compose_dialog.h"
#include "app/kv_document.h"
#include "app/kv_frame.h"
#include "app/kv_progress_dialog.h"
#include "app/kv_settings_dialog.h"
#include "app/kv_view.h"
#include "app/resources/resource_ids.h"
#include "kernel/errors.h"
#include "kernel/log.h"
#include "store/messages.h"

CKvAppUi::CKvAppUi(CKvDocument* aDocument) : CEpocAppUi(aDocument) { SetClassName(u"CKvAppUi"); }

CKvAppUi* CKvAppUi::NewL(CKvDocument* aDocument) {
  LogMessage(KLogFilePath, u"CKvAppUi::NewL");
  CKvAppUi* self = new CKvAppUi(aDocument);
  if (self != nullptr) self->ConstructL();
  return self;
}

void CKvAppUi::ConstructL() {
  iFrame = CKvFrame::NewL(this);
  if (iFrame == nullptr) return;
  iInbox = CKvView::NewL(EKvViewInbox, this);
  iOutbox = CKvView::NewL(EKvViewOutbox, this);
  iContacts = CKvView::NewL(EKvViewContacts, this);
  iSent = CKvView::NewL(EKvViewSent, this);
}

CKvAppUi::~CKvAppUi() {
  iCurrentView = nullptr;
  delete iInbox;
  delete iOutbox;
  delete iSent;
  delete iContacts;
  delete iFrame;
}

CKvDocument* CKvAppUi::KvDocument() const { return static_cast<CKvDocument*>(iDocument); }

void CKvAppUi::ActivateL(int) {
  if (iFrame == nullptr) return;
  iFrame->MakeVisible(true);
  UpdateWindow(iFrame->Window());
  if (iInbox != nullptr) iInbox->SetAsCurrentViewL();
}

CKvView* CKvAppUi::GetView(int aType) const {
  switch (aType) {
    case EKvViewInbox:
      return iInbox;
    case EKvViewOutbox:
      return iOutbox;
    case EKvViewSent:
      return iSent;
    case EKvViewContacts:
      return iContacts;
    default:
      LogMessage(KLogFilePath, u"CKvAppUi::GetView - unknown view %1!d!", aType);
      return nullptr;
  }
}

CKvView* CKvAppUi::ViewForTreeItem(HTREEITEM aItem) const {
  for (CKvView* view : {iInbox, iOutbox, iSent, iContacts})
    if (view != nullptr && view->TreeItem() == aItem) return view;
  return nullptr;
}

void CKvAppUi::UpdateViewsL(const CENOTIFICATION& aNotification) {
  LogMessage(KLogFilePath, u"CKvAppUi::UpdateViewsL");
  for (CKvView* view : {iContacts, iInbox, iOutbox, iSent}) {
    if (view != nullptr && view->IsInitialised() && view->IsOfType(aNotification.oidParent))
      view->UpdateViewL(aNotification);
  }
}

void CKvAppUi::HandleThreadMessage(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CKvAppUi::HandleThreadMessage wParam = 0x%1!x! lParam = 0x%2!x!", aMessage.wParam,
             aMessage.lParam);
}

int CKvAppUi::RunProgressL(HWND aWindow, int aSetterResult, LPCWSTR aTitle) {
  if (aSetterResult != 0) return aSetterResult;
  CKvProgressDialog* dialog = CKvProgressDialog::NewL(aTitle);
  if (dialog == nullptr) return KErrNoMemory;
  return dialog->ExecuteLD(gKvInstance, KKvDlgProgress, aWindow);
}

int CKvAppUi::SendSmsL(HWND aWindow, CKveMessagesItem* aMessage) {
  return RunProgressL(aWindow, gKvAppEngine->SendNow(aMessage), u"Send sms ...");
}

int CKvAppUi::DownloadMessagesL(HWND aWindow) {
  return RunProgressL(aWindow, gKvAppEngine->GetAllSmsFromPhone(), u"Download messages ...");
}

int CKvAppUi::DownloadContactsL(HWND aWindow) {
  return RunProgressL(aWindow, gKvAppEngine->GetAllContactsFromPhone(), u"Download contacts ...");
}

int CKvAppUi::UploadChangesL(HWND aWindow) {
  return RunProgressL(aWindow, gKvAppEngine->GetUploadAllContactsToPhone(), u"Upload changes ...");
}

int CKvAppUi::DeleteAllMessagesL(HWND aWindow) {
  return RunProgressL(aWindow, gKvAppEngine->DeleteAllSmsFromPhone(), u"Delete all messages...");
}

int CKvAppUi::DeleteAllContactsL(HWND aWindow) {
  return RunProgressL(aWindow, gKvAppEngine->DeleteAllContactsFromPhoneL(), u"Delete all contacts...");
}

int CKvAppUi::SendAllMessagesL(HWND aWindow) {
  return RunProgressL(aWindow, gKvAppEngine->SendAllSmsFromOutbox(), u"Send all messages ...");
}

int CKvAppUi::RunSettingsL(HWND aWindow) {
  CKvSettingsDialog* dialog = CKvSettingsDialog::NewL();
  if (dialog == nullptr) return KErrNoMemory;
  return dialog->ExecuteLD(gKvInstance, KKvDlgSettings, aWindow);
}

int CKvAppUi::RunAboutL(HWND aWindow) {
  CKvAboutDialog* dialog = CKvAboutDialog::NewL();
  if (dialog == nullptr) return KErrNoMemory;
  return dialog->ExecuteLD(gKvInstance, KKvDlgAbout, aWindow);
}

int CKvAppUi::ComposeMessageL(HWND aWindow, CKveMessagesItem* aMessage) {
  CKveMessagesItem* slot = aMessage;
  CKvCreateNewMessage* dialog = CKvCreateNewMessage::NewL(&slot);
  int result = dialog != nullptr ? dialog->ExecuteLD(gKvInstance, KKvDlgCompose, aWindow) : KErrNoMemory;
  delete slot;
  return result;
}
