#include "app/views/kv_contacts_view.h"

#include <commctrl.h>

#include <string>

#include "app/document/app_globals.h"
#include "app/framework/epoc_app_window.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_contact_editor.h"
#include "app/document/kv_document.h"
#include "app/views/kv_exchange_actions.h"
#include "app/views/kv_store_ids.h"
#include "app/views/kv_text.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

namespace {

bool StoreDiffers(const CKveContactsItem& aOld, const CKveContactsItem& aNew) {
  return aOld.IsOnSim() != aNew.IsOnSim() || aOld.IsInPhoneMemory() != aNew.IsInPhoneMemory();
}

}  // namespace

CKvContactsView::CKvContactsView(const TKvViewRow& aRow, MKvViewHost& aHost)
    : CKvView(aRow, aHost), iComponents(8) {
  SetClassName(u"CKvContactsView");
}

CKvContactsView* CKvContactsView::NewL(const TKvViewRow& aRow, MKvViewHost& aHost) {
  return new CKvContactsView(aRow, aHost);
}

CKvContactsView::~CKvContactsView() {
  delete iAllList;
  delete iSimList;
  delete iPhoneList;
  delete iEditRecord;
  if (iWindow != nullptr && IsWindow(iWindow)) DestroyWindow(iWindow);
}

void CKvContactsView::DoInitialiseViewL() {
  iContacts = iHost.KvDocument()->ContactsDatabase();
  if (iContacts != nullptr) iEditRecord = static_cast<CKveContactsItem*>(iContacts->NewItemL());
  iDatabaseOid = KvDatabaseOid(u"KvContacts");
  if (CreateEpocApplicationWindow(this, gKvInstance, gKvMainFrameWindow, KKvStrWindowTitle, KKvStrWindowClass) ==
      nullptr)
    return;
  CreateTabControl();
  iAllList = CreateList();
  iSimList = CreateList();
  iPhoneList = CreateList();
  if (iContacts == nullptr) return;
  for (CEpocListBox* list : {iAllList, iSimList, iPhoneList})
    if (list != nullptr) list->BeginFill();
  for (CEpocDatabaseItem* item = iContacts->ReadFirstItemL(); item != nullptr; item = iContacts->ReadNextItemL()) {
    InsertL(*static_cast<CKveContactsItem*>(item));
    delete item;
  }
  for (CEpocListBox* list : {iAllList, iSimList, iPhoneList})
    if (list != nullptr) list->EndFill();
}

void CKvContactsView::CreateTabControl() {
  iTabControl = CreateWindowExW(0, WC_TABCONTROLW, u"", WS_CHILD | WS_BORDER | TCS_BOTTOM, 0, 0, 0, 0, iWindow,
                                nullptr, gKvInstance, nullptr);
  if (iTabControl == nullptr) {
    LogMessageWithError(KLogFilePath, u"CKvContactsView::DoInitialiseViewL Failed to initialise tab control");
    return;
  }
  const WCHAR* titles[] = {u"All", u"Phone", u"Sim"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<LPWSTR>(titles[i]);
    SendMessageW(iTabControl, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&tab));
  }
}

// Each list lies over the tab control's display area, so it goes on top.
CEpocListBox* CKvContactsView::CreateList() {
  CEpocListBox* list = CEpocListBox::NewL(this, KKvIdListBox, true);
  if (list == nullptr) return nullptr;
  SetWindowPos(list->ChildWindow(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  iComponents.AppendL(list);
  return list;
}

void CKvContactsView::DoMakeVisible(bool aFlag) {
  LogMessage(KLogFilePath, u"CKvContactsView::DoMakeVisible %1!d!", aFlag ? 1 : 0);
  int show = aFlag ? SW_SHOW : SW_HIDE;
  if (iWindow != nullptr) ShowWindow(iWindow, show);
  if (iTabControl != nullptr) ShowWindow(iTabControl, show);
  CEpocListControl* current = GetCurrentListBox();
  for (CEpocListBox* list : {iAllList, iPhoneList, iSimList}) {
    if (list == nullptr) continue;
    list->MakeVisible(aFlag && list == current);
  }
}

void CKvContactsView::SizeChangedL() {
  const TEpocRect& r = iRect;
  if (iWindow != nullptr) MoveWindow(iWindow, r.iX, r.iY, r.iWidth, r.iHeight, TRUE);
  if (iTabControl != nullptr) MoveWindow(iTabControl, r.iX, 0, r.iWidth, r.iHeight, TRUE);
  RECT area{r.iX, 0, r.iWidth, r.iHeight};
  if (iTabControl != nullptr) SendMessageW(iTabControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  // The display area as an extent: inside the tab control's border, above its strip.
  TEpocRect extent{area.left, area.top, area.right - area.left, area.bottom - area.top};
  for (CEpocListBox* list : {iAllList, iSimList, iPhoneList})
    if (list != nullptr) list->SetExtentL(extent);
}

bool CKvContactsView::IsOfType(CEOID aDatabaseId) {
  if (iDatabaseOid == 0) iDatabaseOid = KvDatabaseOid(u"KvContacts");
  return iDatabaseOid != 0 && aDatabaseId == iDatabaseOid;
}

CEpocListControl* CKvContactsView::GetCurrentListBox() {
  int tab = static_cast<int>(SendMessageW(iTabControl, TCM_GETCURSEL, 0, 0));
  switch (tab) {
    case ETabAll:
      return iAllList;
    case ETabPhone:
      return iPhoneList;
    case ETabSim:
      return iSimList;
    default:
      LogMessage(KLogFilePath, u"CKvContactsView::GetCurrentListBox - no tab selected %1!d!", tab);
      return nullptr;
  }
}

void CKvContactsView::ShowRows(CKveContactsItem& aContact, bool aReplace) {
  std::u16string name = Text(aContact.Name());
  std::u16string number = Text(aContact.Number());
  LPARAM identifier = static_cast<LPARAM>(aContact.Oid());
  struct {
    CEpocListBox* list;
    bool belongs;
  } lists[] = {{iAllList, true}, {iSimList, aContact.IsOnSim()}, {iPhoneList, aContact.IsInPhoneMemory()}};
  for (auto& entry : lists) {
    if (entry.list == nullptr) continue;
    if (entry.belongs && aReplace)
      entry.list->Replace(identifier, name.c_str(), number.c_str());
    else if (entry.belongs)
      entry.list->AddL(identifier, name.c_str(), number.c_str());
    else if (aReplace)
      entry.list->Delete(identifier);  // moved to the other phone book
  }
}

void CKvContactsView::InsertL(CKveContactsItem& aContact) {
  LogMessage(KLogFilePath, u"CKvContactsView::InsertL");
  if (aContact.IsDeleted()) {
    Delete(aContact.Oid());
    return;
  }
  ShowRows(aContact, false);
}

void CKvContactsView::ReplaceL(CKveContactsItem& aContact) {
  LogMessage(KLogFilePath, u"CKvContactsView::ReplaceL");
  if (aContact.IsDeleted()) {
    Delete(aContact.Oid());
    return;
  }
  ShowRows(aContact, true);
}

void CKvContactsView::Delete(CEOID aIdentifier) {
  LogMessage(KLogFilePath, u"CKvContactsView::Delete");
  for (CEpocListBox* list : {iAllList, iSimList, iPhoneList})
    if (list != nullptr) list->Delete(static_cast<LPARAM>(aIdentifier));
}

void CKvContactsView::UpdateViewL(const CENOTIFICATION& aNotification) {
  LogMessage(KLogFilePath, u"CKvContactsView::UpdateViewL");
  CEOID identifier = aNotification.oid;
  if (aNotification.uType == DB_CEOID_RECORD_DELETED) {
    Delete(identifier);
    return;
  }
  if (iContacts == nullptr) return;
  CKveContactsItem* contact = static_cast<CKveContactsItem*>(iContacts->ReadItemL(identifier));
  if (contact == nullptr) return;
  if (aNotification.uType == DB_CEOID_CREATED)
    InsertL(*contact);
  else if (aNotification.uType == DB_CEOID_CHANGED)
    ReplaceL(*contact);
  else
    LogMessage(KLogFilePath, u"CKvContactsView::UpdateViewL - unexpected type %1!d!", aNotification.uType);
  delete contact;
}

int CKvContactsView::DeleteEntryL(CEOID aIdentifier) {
  if (iContacts != nullptr) iContacts->MarkItemDeletedL(aIdentifier);
  return 0;
}

int CKvContactsView::EditEntryL(CEOID aIdentifier) {
  if (iContacts == nullptr || iEditRecord == nullptr) return 0;
  CKveContactsItem* contact = static_cast<CKveContactsItem*>(iContacts->ReadItemL(aIdentifier));
  if (contact == nullptr) return 0;
  if (KvRunContactEditorL(iWindow, contact, iEditRecord) == 0) {
    iEditRecord->SetOid(contact->Oid());
    iEditRecord->SetLocation(contact->Location());
    // A contact already edited since the last upload keeps its mark, so the
    // store adds no second deleted copy for it.
    if (contact->IsEdited()) iEditRecord->SetEdited(true);
    if (contact->Compare(*iEditRecord) != 0 || StoreDiffers(*contact, *iEditRecord)) {
      // A new name, number or phone book changes the phone: the upload blanks
      // the old entry and writes the contact where it now belongs.
      iContacts->EditItemL(*contact, *iEditRecord);
    } else if (!(contact->OtherDetails() == iEditRecord->OtherDetails())) {
      // The other details live only here; the phone's entry stays as it is.
      iContacts->ReplaceItemL(*iEditRecord);
    }
  }
  delete contact;
  return 0;
}

int CKvContactsView::SendEntryL(CEOID aIdentifier) {
  if (iContacts == nullptr) return 0;
  CKveContactsItem* contact = static_cast<CKveContactsItem*>(iContacts->ReadItemL(aIdentifier));
  if (contact == nullptr) return 0;
  CKveMessagesDatabase* messages = iHost.KvDocument()->MessagesDatabase();
  CKveMessagesItem* message = messages != nullptr ? static_cast<CKveMessagesItem*>(messages->NewItemL()) : nullptr;
  if (message != nullptr) {
    TConstPtr16 empty;
    TConstPtr16 name(contact->Name());
    TConstPtr16 number(contact->Number());
    message->SetDetailsL(&name, &empty, &number, EKvFolderOutbox);
  }
  delete contact;
  if (message != nullptr) iHost.ComposeMessageL(iWindow, message);
  return 0;
}

int CKvContactsView::NewEntryL() {
  if (iContacts == nullptr || iEditRecord == nullptr) return 0;
  if (KvRunContactEditorL(iWindow, nullptr, iEditRecord) == 0) iContacts->WriteItemL(*iEditRecord);
  return 0;
}

void CKvContactsView::UpdateMenuL(HMENU) {}

LRESULT CKvContactsView::HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (LOWORD(aWParam)) {
    case KKvCmdDownloadContacts:
      iHost.DownloadContactsL(iWindow);
      return 0;
    case KKvCmdUploadChanges:
      iHost.UploadChangesL(iWindow);
      return 0;
    case KKvCmdDeleteAllContacts:
      iHost.DeleteAllContactsL(iWindow);
      return 0;
    case KKvCmdNewEntry:
      NewEntryL();
      return 0;
    case KKvCmdImportContacts:
      if (iContacts != nullptr) KvImportContactsL(iWindow, *iContacts);
      return 0;
    case KKvCmdExportContacts:
      if (iContacts != nullptr) KvExportContactsL(iWindow, *iContacts);
      return 0;
    default:
      return CKvView::HandleCommand(aWindow, aMessage, aWParam, aLParam);
  }
}

LRESULT CKvContactsView::HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  if (header != nullptr && header->code == TCN_SELCHANGE) DoMakeVisible(true);
  return CKvView::HandleNotify(aWindow, aMessage, aWParam, aLParam);
}
