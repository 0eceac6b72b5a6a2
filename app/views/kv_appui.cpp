#include "app/views/kv_appui.h"

#include "app/framework/epoc_list_controls.h"

#include "app/document/app_engine.h"
#include "app/document/app_globals.h"
#include "app/views/kv_compose_dialog.h"
#include "app/document/kv_document.h"
#include "app/document/kv_status_text.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_listener.h"
#include "app/views/kv_modal_scope.h"
#include "app/views/kv_notice_bubble.h"
#include "app/views/kv_store_ids.h"
#include "app/views/kv_store_upgrade_notice.h"
#include "app/views/kv_progress_dialog.h"
#include "app/views/kv_question.h"
#include "app/views/kv_settings_dialog.h"
#include "app/views/kv_sim_dialogs.h"
#include "app/views/kv_view.h"
#include "app/views/kv_view_table.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/errors.h"
#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

#include <string>

namespace {

// The contacts the last download found on the phone, still kept here.
int ContactsOnPhoneL(CKveContactsDatabase* aContacts) {
  int count = 0;
  if (aContacts == nullptr) return count;
  for (CEpocDatabaseItem* item = aContacts->ReadFirstItemL(); item != nullptr; item = aContacts->ReadNextItemL()) {
    const CKveContactsItem* contact = static_cast<CKveContactsItem*>(item);
    if (!contact->IsDeleted() && (contact->IsOnSim() || contact->IsInPhoneMemory())) ++count;
    delete item;
  }
  return count;
}

}  // namespace

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
  for (const TKvViewRow& row : KvViewTable()) {
    CKvView* view = CKvView::NewL(row, *this);
    if (view != nullptr) view->SetTreeItem(iFrame->AddFolder(view->Title()));
    iViews.push_back(view);
  }
  iListener = CKvListener::NewL(this);
  iNotice = CKvNoticeBubble::NewL(iFrame->Window());
  KvShowStoreUpgrades(iNotice);
}

CKvAppUi::~CKvAppUi() {
  // First: the engine may still send to the frame while listening ends.
  delete iListener;
  iListener = nullptr;
  KvStopShowingStoreUpgrades();
  delete iNotice;
  iCurrentView = nullptr;
  for (CKvView* view : iViews) delete view;
  delete iFrame;
}

CKvDocument* CKvAppUi::KvDocument() const { return static_cast<CKvDocument*>(iDocument); }

void CKvAppUi::ActivateL(int) {
  if (iFrame == nullptr) return;
  iFrame->MakeVisible(true);
  UpdateWindow(iFrame->Window());
  // Before the Inbox's first paint, so that its rows and title show them.
  LoadUnreadL();
  if (CKvView* inbox = GetView(EKvViewInbox)) inbox->SetAsCurrentViewL();
  iFrame->ResetTitle();
  ShowUnopenedStoresL();
}

// A store whose file could not be opened lists nothing: said, so that it is
// never taken for an empty one.
void CKvAppUi::ShowUnopenedStoresL() {
  CKveMessagesDatabase* messages = KvDocument()->MessagesDatabase();
  CKveContactsDatabase* contacts = KvDocument()->ContactsDatabase();
  const bool messagesOpen = messages != nullptr && messages->IsOpen();
  const bool contactsOpen = contacts != nullptr && contacts->IsOpen();
  if ((messagesOpen && contactsOpen) || iNotice == nullptr) return;
  LogMessage(KLogFilePath, u"CKvAppUi::ShowUnopenedStoresL - messages open %1!d!, contacts open %2!d!",
             messagesOpen ? 1 : 0, contactsOpen ? 1 : 0);
  iNotice->ShowL(u"The data cannot be opened",
                 u"Its file is unreadable or damaged: the lists stay empty and nothing new is kept. "
                 u"korvanet-cli restore puts back a backup.");
}

CKvView* CKvAppUi::GetView(int aType) const {
  for (CKvView* view : iViews)
    if (view != nullptr && view->Type() == aType) return view;
  LogMessage(KLogFilePath, u"CKvAppUi::GetView - unknown view %1!d!", aType);
  return nullptr;
}

bool CKvAppUi::ShowViewForCommandL(int aCommand) {
  std::span<const TKvViewRow> rows = KvViewTable();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].iCommand != aCommand) continue;
    if (iViews[i] != nullptr) iViews[i]->SetAsCurrentViewL();
    return true;
  }
  return false;
}

LPCWSTR CKvAppUi::CurrentTitle() const { return iCurrentView != nullptr ? iCurrentView->Title() : nullptr; }

HTREEITEM CKvAppUi::CurrentFolder() const { return iCurrentView != nullptr ? iCurrentView->TreeItem() : nullptr; }

bool CKvAppUi::ShowFolderL(HTREEITEM aItem) {
  for (CKvView* view : iViews) {
    if (view == nullptr || view->TreeItem() != aItem) continue;
    view->SetAsCurrentViewL();
    return true;
  }
  return false;
}

void CKvAppUi::UpdateViewsL(const CENOTIFICATION& aNotification) {
  LogMessage(KLogFilePath, u"CKvAppUi::UpdateViewsL");
  iNoticedMessage.reset();
  if (aNotification.uType == DB_CEOID_RECORD_DELETED)
    ForgetUnread(aNotification.oid);
  else if (IsMessagesDatabase(aNotification.oidParent))
    FollowUnreadMarkL(aNotification.oid);
  for (CKvView* view : iViews) {
    if (view != nullptr && view->IsInitialised() && view->IsOfType(aNotification.oidParent))
      view->UpdateViewL(aNotification);
  }
}

CKveMessagesItem* CKvAppUi::NoticedMessageL(CEOID aIdentifier) {
  if (iNoticedMessage && iNoticedMessage->Oid() == aIdentifier) return iNoticedMessage.get();
  CKveMessagesDatabase* store = KvDocument()->MessagesDatabase();
  iNoticedMessage.reset(store != nullptr ? static_cast<CKveMessagesItem*>(store->ReadItemL(aIdentifier)) : nullptr);
  return iNoticedMessage.get();
}

void CKvAppUi::HandleThreadMessage(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CKvAppUi::HandleThreadMessage wParam = 0x%1!x! lParam = 0x%2!x!", aMessage.wParam,
             aMessage.lParam);
}

int CKvAppUi::RunActionL(HWND aWindow, const std::function<int(CKvAppEngine&)>& aSetter, LPCWSTR aTitle) {
  if (iListener != nullptr) iListener->PauseL();
  int result = aSetter(*gKvAppEngine);
  if (result == 0) {
    CKvProgressDialog* dialog = CKvProgressDialog::NewL(aTitle);
    TKvModalScope modal;
    result = dialog != nullptr ? dialog->ExecuteLD(gKvInstance, KKvDlgProgress, aWindow) : KErrNoMemory;
  }
  if (iListener != nullptr) iListener->ResumeL();
  return result;
}

int CKvAppUi::SendSmsL(HWND aWindow, CKveMessagesItem* aMessage) {
  return RunActionL(aWindow, [aMessage](CKvAppEngine& aEngine) { return aEngine.SendNow(aMessage); }, u"Send sms ...");
}

int CKvAppUi::DownloadMessagesL(HWND aWindow) {
  return RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.GetAllSmsFromPhone(); },
                    u"Download messages ...");
}

int CKvAppUi::ShowPhoneStatusL(HWND aWindow) {
  int result = RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.ReadStatus(); }, u"Phone status ...");
  auto* engine = dynamic_cast<CKvAppEngineImpl*>(gKvAppEngine);
  if (result != 0 || engine == nullptr || !engine->Action().iStatusRead) return result;
  std::u16string text = KvPhoneStatusText(engine->Action().iStatus);
  MessageBoxW(aWindow, text.c_str(), u"Phone status", MB_OK | MB_ICONINFORMATION);
  return 0;
}

int CKvAppUi::DownloadContactsL(HWND aWindow) {
  return RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.GetAllContactsFromPhone(); },
                    u"Download contacts ...");
}

int CKvAppUi::UploadChangesL(HWND aWindow) {
  return RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.GetUploadAllContactsToPhone(); },
                    u"Upload changes ...");
}

int CKvAppUi::DeleteAllMessagesL(HWND aWindow) {
  // The phone's messages are not counted before they go: only a download reads them.
  if (!KvAskL(aWindow, u"Delete all messages",
              u"Delete all messages on the phone, in the SIM and the phone memory? "
              u"The copies kept here stay. This cannot be undone."))
    return KErrCancel;
  return RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.DeleteAllSmsFromPhone(); },
                    u"Delete all messages...");
}

int CKvAppUi::DeleteAllContactsL(HWND aWindow) {
  std::u16string question = u"Delete all contacts on the phone, in the SIM and the phone memory?";
  int count = ContactsOnPhoneL(KvDocument()->ContactsDatabase());
  if (count > 0) {
    WCHAR found[64] = {0};
    LPCWSTR format =
        count == 1 ? u" The last download found %d contact there." : u" The last download found %d contacts there.";
    wsprintfW(found, format, count);
    question += found;
  }
  question += u" This cannot be undone.";
  if (!KvAskL(aWindow, u"Delete all contacts", question)) return KErrCancel;
  return RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.DeleteAllContactsFromPhoneL(); },
                    u"Delete all contacts...");
}

int CKvAppUi::SendAllMessagesL(HWND aWindow) {
  return RunActionL(aWindow, [](CKvAppEngine& aEngine) { return aEngine.SendAllSmsFromOutbox(); },
                    u"Send all messages ...");
}

int CKvAppUi::RunSettingsL(HWND aWindow) {
  CKvSettingsDialog* dialog = CKvSettingsDialog::NewL();
  if (dialog == nullptr) return KErrNoMemory;
  TKvModalScope modal;
  return dialog->ExecuteLD(gKvInstance, KKvDlgSettings, aWindow);
}

int CKvAppUi::RunUssdL(HWND aWindow) {
  std::u16string code;
  CKvUssdDialog* ask = CKvUssdDialog::NewL(u"", false, code);
  if (ask == nullptr) return KErrNoMemory;
  if (ask->ExecuteLD(gKvInstance, KKvDlgUssd, aWindow) != KKvCmdOk) return KErrCancel;
  int result = RunActionL(
      aWindow,
      [&code](CKvAppEngine& aEngine) {
        return aEngine.Ussd(TConstPtr16(code.data(), static_cast<int>(code.size())));
      },
      u"USSD ...");
  auto* engine = dynamic_cast<CKvAppEngineImpl*>(gKvAppEngine);
  if (result != KErrNone || engine == nullptr) return result;
  // The last reply, whole: the progress dialog's line is too short for it.
  const TEngineAction& action = engine->Action();
  std::u16string reply(action.iUssdReply.Ptr(), action.iUssdReply.Length());
  std::u16string none;
  CKvUssdDialog* shown = CKvUssdDialog::NewL(reply.empty() ? u"The network's reply holds no text." : reply, false, none);
  if (shown != nullptr) shown->ExecuteLD(gKvInstance, KKvDlgUssd, aWindow);
  return result;
}

int CKvAppUi::RunAboutL(HWND aWindow) {
  CKvAboutDialog* dialog = CKvAboutDialog::NewL();
  if (dialog == nullptr) return KErrNoMemory;
  TKvModalScope modal;
  return dialog->ExecuteLD(gKvInstance, KKvDlgAbout, aWindow);
}

int CKvAppUi::ComposeMessageL(HWND aWindow, CKveMessagesItem* aMessage) {
  CKveMessagesItem* slot = aMessage;
  CKvCreateNewMessage* dialog = CKvCreateNewMessage::NewL(&slot, *this);
  TKvModalScope modal;
  int result = dialog != nullptr ? dialog->ExecuteLD(gKvInstance, KKvDlgCompose, aWindow) : KErrNoMemory;
  delete slot;
  return result;
}

void CKvAppUi::StartListeningIfOnL() {
  if (KvDocument()->Listen() && iListener != nullptr) {
    LogMessage(KLogFilePath, u"CKvAppUi::StartListeningIfOnL - listening was left on");
    iListener->StartL();
  }
}

bool CKvAppUi::IsListening() const { return iListener != nullptr && iListener->IsOn(); }

void CKvAppUi::ToggleListeningL() {
  if (iListener == nullptr) return;
  bool on = !iListener->IsOn();
  LogMessage(KLogFilePath, u"CKvAppUi::ToggleListeningL %1!d!", on ? 1 : 0);
  KvDocument()->SetListen(on);
  KvDocument()->CommitSettingsL();
  if (on)
    iListener->StartL();
  else
    iListener->Stop();
}

void CKvAppUi::ListeningChanged() {
  if (iFrame != nullptr) iFrame->ShowListening(IsListening());
}

void CKvAppUi::ListeningEndedL(LPCWSTR aReason) {
  if (iNotice != nullptr) iNotice->ShowL(u"Listening ended", aReason);
}

void CKvAppUi::MessageArrivedL(CEOID aIdentifier) {
  LogMessage(KLogFilePath, u"CKvAppUi::MessageArrivedL 0x%1!x!", aIdentifier);
  if (!KvDocument()->ArrivalNotices() || iNotice == nullptr) return;
  // The views have read it for the store's notice just before.
  CKveMessagesItem* message = NoticedMessageL(aIdentifier);
  if (message == nullptr) return;
  TConstPtr16 from = message->Name().Length() != 0 ? message->Name() : message->Number();
  std::u16string heading = u"Message from " + std::u16string(from.Ptr(), from.Length());
  TConstPtr16 text = message->SingleLineMessage();
  iNotice->ShowL(heading.c_str(), std::u16string(text.Ptr(), text.Length()).c_str());
}

void CKvAppUi::MarkUnread(CEOID aIdentifier) {
  if (iUnread.insert(aIdentifier).second) UnreadChanged();
}

void CKvAppUi::LoadUnreadL() {
  CKveMessagesDatabase* store = KvDocument()->MessagesDatabase();
  std::vector<CEOID> unread;
  if (store == nullptr || !store->IsOpen() || !store->UnreadMessagesL(unread)) {
    LogMessageWithError(KLogFilePath, u"CKvAppUi::LoadUnreadL - the unread messages could not be read");
    return;
  }
  LogMessage(KLogFilePath, u"CKvAppUi::LoadUnreadL - %1!d! unread", static_cast<int>(unread.size()));
  iUnread.insert(unread.begin(), unread.end());
  UnreadChanged();
}

bool CKvAppUi::IsMessagesDatabase(CEOID aDatabase) {
  if (iMessagesOid == 0) iMessagesOid = KvDatabaseOid(u"KvMessages");
  return iMessagesOid != 0 && aDatabase == iMessagesOid;
}

void CKvAppUi::FollowUnreadMarkL(CEOID aIdentifier) {
  // The views read the record for this notice too: one read for all.
  CKveMessagesItem* message = NoticedMessageL(aIdentifier);
  if (message == nullptr) return;
  if (message->IsUnread())
    MarkUnread(aIdentifier);
  else
    ForgetUnread(aIdentifier);
}

void CKvAppUi::MessageReadL(CEOID aIdentifier) {
  // Also in the store, whose conversations count the unread across runs.
  CKveMessagesDatabase* store = KvDocument()->MessagesDatabase();
  if (store != nullptr) store->MarkReadL(aIdentifier);
  ForgetUnread(aIdentifier);
}

void CKvAppUi::ForgetUnread(CEOID aIdentifier) {
  if (iUnread.erase(aIdentifier) != 0) UnreadChanged();
}

void CKvAppUi::MessagesMarkedRead(const std::vector<CEOID>& aIdentifiers) {
  size_t forgotten = 0;
  for (CEOID identifier : aIdentifiers) forgotten += iUnread.erase(identifier);
  if (forgotten != 0) UnreadChanged();
}

void CKvAppUi::UnreadChanged() {
  CKvView* inbox = GetView(EKvViewInbox);
  if (inbox == nullptr) return;
  if (iUnread.empty())
    wsprintfW(iInboxTitle, u"Inbox");
  else
    wsprintfW(iInboxTitle, u"Inbox (%d)", static_cast<int>(iUnread.size()));
  inbox->SetTitle(iInboxTitle);
  if (iCurrentView == inbox && iFrame != nullptr && !iFrame->IsTreeShown()) iFrame->ResetTitle();
  for (CKvView* view : iViews) {
    CEpocListControl* list = view != nullptr && view->IsInitialised() ? view->GetCurrentListBox() : nullptr;
    if (list != nullptr && list->ChildWindow() != nullptr) InvalidateRect(list->ChildWindow(), nullptr, FALSE);
  }
}

bool CKvAppUi::IsUnread(CEOID aIdentifier) const { return iUnread.contains(aIdentifier); }
