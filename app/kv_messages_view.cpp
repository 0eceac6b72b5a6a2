#include "app/kv_messages_view.h"

#include <string>

#include "app/app_globals.h"
#include "app/epoc_app_window.h"
#include "app/epoc_list_controls.h"
#include "app/kv_delivery_text.h"
#include "app/kv_appui.h"
#include "app/kv_document.h"
#include "app/kv_store_ids.h"
#include "app/resources/resource_ids.h"
#include "kernel/log.h"
#include "store/messages.h"

namespace {

// List view notifications handled by the view itself.
const int KNotifyColumnClick = -108;
const int KNotifyClick = -2;
// The reader pane's height and the gap above the lists.
const int KReaderHeight = 60;
const int KListTop = 2;

std::u16string Text(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

std::u16string DisplayName(const CKveMessagesItem& aMessage) {
  TConstPtr16 name = aMessage.Name();
  return name.Length() != 0 ? Text(name) : Text(aMessage.Number());
}

// Code units one by one, no case folding; a prefix sorts first.
int CompareTexts(const TDesc16& aLeft, const TDesc16& aRight) {
  int length = aLeft.Length() < aRight.Length() ? aLeft.Length() : aRight.Length();
  for (int i = 0; i < length; ++i)
    if (aLeft[i] != aRight[i]) return aLeft[i] < aRight[i] ? -1 : 1;
  return aLeft.Length() == aRight.Length() ? 0 : (aLeft.Length() < aRight.Length() ? -1 : 1);
}

int CompareTimes(const FILETIME& aLeft, const FILETIME& aRight) {
  if (aLeft.dwHighDateTime != aRight.dwHighDateTime) return aLeft.dwHighDateTime < aRight.dwHighDateTime ? -1 : 1;
  if (aLeft.dwLowDateTime != aRight.dwLowDateTime) return aLeft.dwLowDateTime < aRight.dwLowDateTime ? -1 : 1;
  return 0;
}

int TypeOfFolder(DWORD aFolder) {
  switch (aFolder) {
    case EKvFolderOutbox:
      return EKvViewOutbox;
    case EKvFolderSent:
      return EKvViewSent;
    default:
      return EKvViewInbox;
  }
}

}  // namespace

CKvMessagesView::CKvMessagesView(LPCWSTR aTitle, int aType, CKvAppUi* aAppUi)
    : CKvView(aTitle, aType, aAppUi), iComponents(8) {
  SetClassName(u"CKvMessagesView");
}

CKvMessagesView* CKvMessagesView::NewL(LPCWSTR aTitle, int aType, CKvAppUi* aAppUi) {
  return new CKvMessagesView(aTitle, aType, aAppUi);
}

CKvMessagesView::~CKvMessagesView() {
  delete iListBox;
  delete iListView;
  delete iReader;
  if (iWindow != nullptr && IsWindow(iWindow)) DestroyWindow(iWindow);
}

bool CKvMessagesView::ShowsFolder(DWORD aFolder) const { return TypeOfFolder(aFolder) == iType; }

void CKvMessagesView::DoInitialiseViewL() {
  SetClassName(iType == EKvViewOutbox ? u"CKvMessagesView - Outbox"
               : iType == EKvViewSent ? u"CKvMessagesView - Sent"
                                      : u"CKvMessagesView - Inbox");
  if (CreateEpocApplicationWindow(this, gKvInstance, gKvMainFrameWindow, KKvStrWindowTitle, KKvStrWindowClass) ==
      nullptr)
    return;
  iListBox = CEpocListBox::NewL(this, KKvIdListBox);
  if (iListBox != nullptr) iComponents.AppendL(iListBox);
  iListView = CEpocListView::NewL(this, KKvIdListView);
  if (iListView != nullptr) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_CENTER;
    column.cx = 120;
    column.pszText = const_cast<LPWSTR>(u"Name");
    iListView->InsertColumn(0, column);
    column.cx = 100;
    column.pszText = const_cast<LPWSTR>(u"Date");
    iListView->InsertColumn(1, column);
  }
  iReader = CEpocEditBox::NewL(this, KKvIdReader);
  iMessages = iAppUi->KvDocument()->MessagesDatabase();
  iDatabaseOid = KvDatabaseOid(u"KvMessages");
  LoadMessagesL();
}

void CKvMessagesView::DoMakeVisible(bool aFlag) {
  LogMessage(KLogFilePath, u"CKvMessagesView::DoMakeVisible %1!d!", aFlag ? 1 : 0);
  if (iWindow != nullptr) ShowWindow(iWindow, aFlag ? SW_SHOW : SW_HIDE);
  // Re-read each time, so a toggle in one folder applies to all.
  if (aFlag) iSplitMode = iAppUi->KvDocument()->MessageView();
  if (iListBox != nullptr) iListBox->MakeVisible(aFlag && !iSplitMode);
  if (iListView != nullptr) iListView->MakeVisible(aFlag && iSplitMode);
  if (iReader != nullptr) iReader->MakeVisible(aFlag && iSplitMode);
}

void CKvMessagesView::SizeChangedL() {
  LogMessage(KLogFilePath, u"CKvMessagesView::SizeChangedL()");
  const TEpocRect& r = iRect;
  if (iWindow != nullptr) MoveWindow(iWindow, r.iX, r.iY, r.iWidth, r.iHeight, TRUE);
  if (iListBox != nullptr) iListBox->SetExtentL(TEpocRect{r.iX, KListTop, r.iWidth, r.iHeight});
  if (iListView != nullptr)
    iListView->SetExtentL(TEpocRect{r.iX, KListTop, r.iWidth, r.iHeight - KReaderHeight - KListTop});
  if (iReader != nullptr) iReader->SetExtentL(TEpocRect{r.iX, r.iHeight - KReaderHeight, r.iWidth, KReaderHeight});
}

bool CKvMessagesView::IsOfType(CEOID aDatabaseId) {
  if (iDatabaseOid == 0) iDatabaseOid = KvDatabaseOid(u"KvMessages");
  return iDatabaseOid != 0 && aDatabaseId == iDatabaseOid;
}

int CKvMessagesView::MenuResourceId() const {
  return iType == EKvViewOutbox ? KKvMenuOutbox : iType == EKvViewSent ? KKvMenuSent : KKvMenuInbox;
}

CEpocListControl* CKvMessagesView::GetCurrentListBox() {
  if (iSplitMode) return iListView;
  return iListBox;
}

CKveMessagesItem* CKvMessagesView::ReadMessageL(CEOID aIdentifier) {
  if (iMessages == nullptr) return nullptr;
  return static_cast<CKveMessagesItem*>(iMessages->ReadItemL(aIdentifier));
}

void CKvMessagesView::AddRows(CKveMessagesItem& aMessage, bool aReplace) {
  std::u16string name = DisplayName(aMessage);
  std::u16string line = Text(aMessage.SingleLineMessage());
  std::u16string date = Text(aMessage.DateSent());
  std::u16string listName = name;
  if (aMessage.Folder() == EKvFolderSent) {
    // Sent rows carry the delivery as a mark: before the text in list mode,
    // before the name in split mode.
    std::u16string mark = DeliveryMark(aMessage);
    line = mark + line;
    listName = mark + name;
  }
  LPARAM identifier = static_cast<LPARAM>(aMessage.Oid());
  if (aReplace) {
    iListBox->Replace(identifier, name.c_str(), line.c_str());
    iListView->ReplaceItemIntoViewL(identifier, listName.c_str(), date.c_str());
  } else {
    iListBox->AddL(identifier, name.c_str(), line.c_str());
    iListView->InsertItemIntoViewL(identifier, listName.c_str(), date.c_str());
  }
}

void CKvMessagesView::DeleteRows(CEOID aIdentifier) {
  iListBox->Delete(static_cast<LPARAM>(aIdentifier));
  iListView->Delete(static_cast<LPARAM>(aIdentifier));
}

void CKvMessagesView::LoadMessagesL() {
  LogMessage(KLogFilePath, u"CKvMessagesView::LoadMessagesL");
  if (iMessages == nullptr || iListBox == nullptr || iListView == nullptr) return;
  for (CEpocDatabaseItem* item = iMessages->ReadFirstItemL(); item != nullptr; item = iMessages->ReadNextItemL()) {
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(item);
    if (ShowsFolder(message->Folder())) AddRows(*message, false);
    delete message;
  }
  iListView->SortItems(0, reinterpret_cast<LPARAM>(this), CompareFunc);
}

void CKvMessagesView::UpdateViewL(const CENOTIFICATION& aNotification) {
  if (iListBox == nullptr || iListView == nullptr) return;
  CEOID identifier = aNotification.oid;
  if (aNotification.uType == DB_CEOID_RECORD_DELETED) {
    DeleteRows(identifier);
    return;
  }
  CKveMessagesItem* message = ReadMessageL(identifier);
  if (message == nullptr) return;
  if (!ShowsFolder(message->Folder())) {
    DeleteRows(identifier);  // moved to another folder
  } else if (aNotification.uType == DB_CEOID_CREATED) {
    AddRows(*message, false);
  } else if (aNotification.uType == DB_CEOID_CHANGED) {
    AddRows(*message, true);
    UpdateEditBoxText();
  } else {
    LogMessage(KLogFilePath, u"CKvMessagesView::UpdateViewL - unexpected type %1!d!", aNotification.uType);
  }
  delete message;
}

void CKvMessagesView::UpdateEditBoxText() {
  LogMessage(KLogFilePath, u"CKvMessageView::UpdateEditBoxText");
  int index = iListView != nullptr ? iListView->CurrentIndex() : -1;
  if (index == -1) {
    LogMessage(KLogFilePath, u"CKvMessageView::UpdateEditBoxText - no selection");
    return;
  }
  CEOID identifier = static_cast<CEOID>(iListView->ItemData(index));
  CKveMessagesItem* message = ReadMessageL(identifier);
  if (message == nullptr) {
    LogMessage(KLogFilePath, u"CKvMessageView::UpdateEditBoxText - NULL oid = 0x%1!x!", identifier);
    return;
  }
  std::u16string text = Text(message->Text());
  std::u16string delivery = message->Folder() == EKvFolderSent ? DeliveryLine(*message) : std::u16string();
  if (!delivery.empty()) text = delivery + u"\r\n" + text;
  SendMessageW(iReader->ChildWindow(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  delete message;
}

int CALLBACK CKvMessagesView::CompareFunc(LPARAM aItem1, LPARAM aItem2, LPARAM aView) {
  CKvMessagesView* view = reinterpret_cast<CKvMessagesView*>(aView);
  CKveMessagesItem* first = view->ReadMessageL(static_cast<CEOID>(aItem1));
  CKveMessagesItem* second = view->ReadMessageL(static_cast<CEOID>(aItem2));
  if (first == nullptr) LogMessage(KLogFilePath, u"CompareFunc item1 == NULL oid = 0x%1!x!", aItem1);
  if (second == nullptr) LogMessage(KLogFilePath, u"CompareFunc item2 == NULL oid = 0x%1!x!", aItem2);
  int result = 0;
  if (first == nullptr || second == nullptr) {
    // Rows whose records are gone sort last, among themselves by identifier.
    if (first == nullptr && second == nullptr)
      result = aItem1 < aItem2 ? -1 : (aItem1 > aItem2 ? 1 : 0);
    else
      result = first == nullptr ? 1 : -1;
  } else {
    if (view->iListView->SortColumn() == 0) result = CompareTexts(first->Name(), second->Name());
    if (result == 0) result = CompareTimes(first->DateSentTime(), second->DateSentTime());
    if (result == 0) result = CompareTexts(first->Name(), second->Name());
  }
  delete first;
  delete second;
  return result;
}

int CKvMessagesView::DeleteEntryL(CEOID aIdentifier) {
  if (iMessages != nullptr) iMessages->DeleteItem(aIdentifier);
  return 0;
}

int CKvMessagesView::EditEntryL(CEOID aIdentifier) {
  CKveMessagesItem* message = ReadMessageL(aIdentifier);
  return iAppUi->ComposeMessageL(iWindow, message);
}

int CKvMessagesView::SendEntryL(CEOID aIdentifier) {
  CKveMessagesItem* message = ReadMessageL(aIdentifier);
  iAppUi->SendSmsL(iWindow, message);
  delete message;
  return 0;
}

int CKvMessagesView::NewEntryL() { return iAppUi->ComposeMessageL(iWindow, nullptr); }

void CKvMessagesView::UpdateMenuL(HMENU aMenu) {
  EnableMenuItem(aMenu, KKvCmdForward, MF_BYCOMMAND | MF_GRAYED);
  EnableMenuItem(aMenu, KKvCmdReply, MF_BYCOMMAND | MF_GRAYED);
}

LRESULT CKvMessagesView::HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (LOWORD(aWParam)) {
    case KKvCmdDownloadMessages:
      iAppUi->DownloadMessagesL(iWindow);
      return 0;
    case KKvCmdSendAllMessages:
      iAppUi->SendAllMessagesL(iWindow);
      return 0;
    case KKvCmdDeleteAllMessages:
      iAppUi->DeleteAllMessagesL(iWindow);
      return 0;
    case KKvCmdChangeView: {
      CKvDocument* document = iAppUi->KvDocument();
      document->SetMessageView(iSplitMode ? 0 : 1);
      document->CommitSettingsL();
      MakeVisible(true);
      return 0;
    }
    default:
      return CKvView::HandleCommand(aWindow, aMessage, aWParam, aLParam);
  }
}

LRESULT CKvMessagesView::HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  if (header != nullptr && header->idFrom == static_cast<UINT_PTR>(KKvIdListView)) {
    int code = static_cast<int>(header->code);
    if (code == KNotifyColumnClick) {
      const NMLISTVIEW* click = reinterpret_cast<const NMLISTVIEW*>(aLParam);
      iListView->SortItems(click->iSubItem, reinterpret_cast<LPARAM>(this), CompareFunc);
      return 1;
    }
    if (code == KNotifyClick) {
      UpdateEditBoxText();
      return 1;
    }
  }
  return CKvView::HandleNotify(aWindow, aMessage, aWParam, aLParam);
}
