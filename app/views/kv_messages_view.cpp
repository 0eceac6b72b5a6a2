#include "app/views/kv_messages_view.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/document/app_globals.h"
#include "app/framework/epoc_app_window.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_bold_row.h"
#include "app/views/kv_delivery_text.h"
#include "app/document/kv_document.h"
#include "app/views/kv_exchange_actions.h"
#include "app/views/kv_folder_rows.h"
#include "app/views/kv_message_rows.h"
#include "app/views/kv_message_sending.h"
#include "app/views/kv_store_ids.h"
#include "app/views/kv_text.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"
#include "store/messages.h"

namespace {

// How many painted rows' texts are kept before the cache starts afresh.
const size_t KShownRowsKept = 512;
// The reader pane's height and the gap above the lists.
const int KReaderHeight = 60;
const int KListTop = 2;

// The name, or the number when there is none.
TConstPtr16 DisplayName(const TKvMessageLine& aLine) { return aLine.iName.Length() != 0 ? aLine.iName : aLine.iNumber; }

// A record of an unknown folder shows in the Inbox.
DWORD FolderShown(DWORD aFolder) {
  return aFolder == EKvFolderOutbox || aFolder == EKvFolderSent ? aFolder : static_cast<DWORD>(EKvFolderInbox);
}

}  // namespace

CKvMessagesView::CKvMessagesView(const TKvViewRow& aRow, MKvViewHost& aHost, DWORD aFolder)
    : CKvView(aRow, aHost), iComponents(8), iFolder(FolderShown(aFolder)) {
  SetClassName(u"CKvMessagesView");
}

CKvMessagesView* CKvMessagesView::NewL(const TKvViewRow& aRow, MKvViewHost& aHost, DWORD aFolder) {
  return new CKvMessagesView(aRow, aHost, aFolder);
}

CKvMessagesView::~CKvMessagesView() {
  delete iRows;
  delete iFolderRows;
  delete iListBox;
  delete iListView;
  delete iReader;
  if (iBoldFont != nullptr) DeleteObject(iBoldFont);
  if (iWindow != nullptr && IsWindow(iWindow)) DestroyWindow(iWindow);
}

bool CKvMessagesView::ShowsFolder(DWORD aFolder) const { return FolderShown(aFolder) == iFolder; }

void CKvMessagesView::DoInitialiseViewL() {
  SetClassName(iFolder == EKvFolderOutbox ? u"CKvMessagesView - Outbox"
               : iFolder == EKvFolderSent ? u"CKvMessagesView - Sent"
                                          : u"CKvMessagesView - Inbox");
  if (CreateEpocApplicationWindow(this, gKvInstance, gKvMainFrameWindow, KKvStrWindowTitle, KKvStrWindowClass) ==
      nullptr)
    return;
  iListBox = CEpocListBox::NewL(this, KKvIdListBox, true);
  if (iListBox != nullptr) iComponents.AppendL(iListBox);
  iListView = CEpocListView::NewL(this, KKvIdListView, true);
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
  iMessages = iHost.KvDocument()->MessagesDatabase();
  iFolderRows = CKvFolderRows::NewL(iMessages, iFolder);
  iDatabaseOid = KvDatabaseOid(u"KvMessages");
  LoadMessagesL();
}

void CKvMessagesView::DoMakeVisible(bool aFlag) {
  LogMessage(KLogFilePath, u"CKvMessagesView::DoMakeVisible %1!d!", aFlag ? 1 : 0);
  if (iWindow != nullptr) ShowWindow(iWindow, aFlag ? SW_SHOW : SW_HIDE);
  // Re-read each time, so a toggle in one folder applies to all.
  if (aFlag) iSplitMode = iHost.KvDocument()->MessageView();
  if (aFlag && !iSplitMode && !iListBoxFilled) FillListBoxL();
  if (aFlag && iSplitMode && !iListViewLoaded && iFolderRows != nullptr) LoadListViewL();
  if (aFlag && iRowsStale) ResyncRowsL();
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

CEpocListControl* CKvMessagesView::GetCurrentListBox() {
  if (iSplitMode) return iListView;
  return iListBox;
}

CKveMessagesItem* CKvMessagesView::ReadMessageL(CEOID aIdentifier) {
  if (iMessages == nullptr) return nullptr;
  return static_cast<CKveMessagesItem*>(iMessages->ReadItemL(aIdentifier));
}

void CKvMessagesView::AddListBoxRow(const TKvMessageLine& aLine, bool aReplace) {
  // Sent rows carry the delivery as a mark: before the text in list mode,
  // before the name in split mode (ShownRowL).
  iLineText.clear();
  if (aLine.iFolder == EKvFolderSent) iLineText.append(DeliveryMark(aLine.iDelivery));
  AppendSingleLine(aLine.iText, iLineText);
  LPARAM identifier = static_cast<LPARAM>(aLine.iOid);
  if (aReplace)
    iListBox->Replace(identifier, View(DisplayName(aLine)), iLineText);
  else
    iListBox->AddL(identifier, View(DisplayName(aLine)), iLineText);
}

void CKvMessagesView::AddRows(CKveMessagesItem& aMessage, bool aReplace) {
  if (iListBoxFilled) AddListBoxRow(TKvMessageLine::Of(aMessage), aReplace);
  if (!iListViewLoaded) return;  // it reads the store as it is when it first shows
  iShown.erase(aMessage.Oid());
  if (iRows != nullptr) {
    int row = aReplace ? iRows->IndexOf(aMessage.Oid()) : -1;
    if (row >= 0) {
      // A changed message keeps its place until the next sort.
      iRows->ReplaceAt(row, KvMessageRowOf(aMessage));
      InvalidateRect(iListView->ChildWindow(), nullptr, FALSE);
    } else {
      // New rows go in at the top until the next sort.
      iRows->InsertAt(0, KvMessageRowOf(aMessage));
      iListView->InsertRowAt(0);
    }
    return;
  }
  if (!aReplace) {
    iFolderRows->InsertAtTop(aMessage.Oid());
    iListView->InsertRowAt(0);
  } else {
    // Changed in place, or moved here from another folder: its row is
    // where the store's order puts it now.
    iFolderRows->Forget();
    ResyncRowsL();
  }
}

void CKvMessagesView::DeleteRows(CEOID aIdentifier) {
  // Sent, deleted or moved away: its text must not stay in the reader.
  if (aIdentifier == iReaderOid) ShowInReaderL(0);
  if (iListBoxFilled) iListBox->Delete(static_cast<LPARAM>(aIdentifier));
  if (!iListViewLoaded) return;
  iShown.erase(aIdentifier);
  if (iRows != nullptr) {
    int row = iRows->IndexOf(aIdentifier);
    if (row < 0) return;
    iRows->RemoveAt(row);
    iListView->DeleteRowAt(row);
    return;
  }
  int row = iFolderRows->KnownRowOf(aIdentifier);
  if (row >= 0) {
    iFolderRows->Removed(row);
    iListView->DeleteRowAt(row);
  } else {
    // A row never read, or another folder's message: the folder's place in
    // the store's order may have moved either way.
    iFolderRows->Forget();
    ResyncRowsL();
  }
}

void CKvMessagesView::ResyncRowsL() {
  if (iWindow == nullptr || !IsWindowVisible(iWindow)) {
    iRowsStale = true;
    return;
  }
  iRowsStale = false;
  int count = RowCount();
  if (count != static_cast<int>(SendMessageW(iListView->ChildWindow(), LVM_GETITEMCOUNT, 0, 0)))
    iListView->SetItemCount(count);
  iShown.clear();
  InvalidateRect(iListView->ChildWindow(), nullptr, FALSE);
}

int CKvMessagesView::RowCount() { return iRows != nullptr ? iRows->Count() : iFolderRows->Count(); }

CEOID CKvMessagesView::OidOfRow(int aRow) {
  return iRows != nullptr ? iRows->OidAt(aRow) : iFolderRows->OidAt(aRow);
}

void CKvMessagesView::LoadMessagesL() {
  LogMessage(KLogFilePath, u"CKvMessagesView::LoadMessagesL");
  if (iMessages == nullptr || iListBox == nullptr || iListView == nullptr || iFolderRows == nullptr) return;
  // Each list is filled when it first shows: the list box costs a measured,
  // sorted line per message, the list view counting the folder's rows.
  if (iHost.KvDocument()->MessageView())
    LoadListViewL();
  else
    FillListBoxL();
}

void CKvMessagesView::LoadListViewL() {
  iListViewLoaded = true;
  // Without the store's folder order the rows are read and sorted here.
  if (!iFolderRows->LoadL()) LoadAllRowsL();
  iListView->SetItemCount(RowCount());
  iListView->ShowSorted(0, nullptr, 0, -1);
}

void CKvMessagesView::LoadAllRowsL() {
  CKvMessageRows* rows = CKvMessageRows::NewL();
  if (rows == nullptr) return;
  int first = 0, count = 0;
  if (iMessages->FolderRangeL(iFolder, first, count)) {
    // In the order shown: the rows at the top, then the store's order.
    const std::vector<CEOID>& top = iFolderRows->TopRows();
    for (CEOID identifier : top) {
      if (CKveMessagesItem* message = ReadMessageL(identifier)) {
        rows->Append(KvMessageRowOf(*message));
        delete message;
      }
    }
    CKveMessagesItem* message = count > 0 ? iMessages->ReadFolderItemL(first) : nullptr;
    for (int read = 0; message != nullptr; ++read) {
      if (std::find(top.begin(), top.end(), message->Oid()) == top.end()) rows->Append(KvMessageRowOf(*message));
      delete message;
      message = read + 1 < count ? iMessages->ReadNextFolderItemL() : nullptr;
    }
  } else {
    for (CEpocDatabaseItem* item = iMessages->ReadFirstItemL(); item != nullptr; item = iMessages->ReadNextItemL()) {
      CKveMessagesItem* message = static_cast<CKveMessagesItem*>(item);
      if (ShowsFolder(message->Folder())) rows->Append(KvMessageRowOf(*message));
      delete message;
    }
    rows->Sort(0);
  }
  delete iRows;
  iRows = rows;
}

void CKvMessagesView::FillListBoxL() {
  if (iMessages == nullptr || iListBox == nullptr) return;
  iListBoxFilled = true;
  // Read in the order that costs least, then shown at once; equal lines are
  // put in the store's order, as reading in that order would have left them.
  iListBox->BeginFill();
  TKvMessageLine line;
  for (bool read = iMessages->ReadFirstStoredLineL(line); read; read = iMessages->ReadNextStoredLineL(line))
    if (ShowsFolder(line.iFolder)) AddListBoxRow(line, false);
  iListBox->EndFill([this](std::vector<LPARAM>& aRows) { PutInStoreOrderL(aRows); });
}

// Rows come in the order stored, which is the store's order among rows of
// one name; so only the names are compared, as the store compares them.
void CKvMessagesView::PutInStoreOrderL(std::vector<LPARAM>& aRows) {
  std::vector<std::pair<LPARAM, std::u16string>> named;
  named.reserve(aRows.size());
  for (LPARAM row : aRows) {
    CKveMessagesItem* message = ReadMessageL(static_cast<CEOID>(row));
    named.emplace_back(row, message != nullptr ? Text(message->Name()) : std::u16string());
    delete message;
  }
  std::stable_sort(named.begin(), named.end(), [](const auto& aOne, const auto& aOther) {
    return CEpocDatabase::CompareSortTexts(TConstPtr16(aOne.second.c_str(), static_cast<int>(aOne.second.size())),
                                           TConstPtr16(aOther.second.c_str(), static_cast<int>(aOther.second.size()))) < 0;
  });
  for (size_t i = 0; i < named.size(); ++i) aRows[i] = named[i].first;
}

const CKvMessagesView::TShownRow& CKvMessagesView::ShownRowL(CEOID aIdentifier) {
  auto found = iShown.find(aIdentifier);
  if (found != iShown.end()) return found->second;
  if (iShown.size() >= KShownRowsKept) iShown.clear();
  TShownRow shown;
  // A record gone meanwhile shows as an empty row until its notice removes it.
  if (CKveMessagesItem* message = ReadMessageL(aIdentifier)) {
    TKvMessageLine line = TKvMessageLine::Of(*message);
    shown.iName = Text(DisplayName(line));
    if (line.iFolder == EKvFolderSent) shown.iName = DeliveryMark(line.iDelivery) + shown.iName;
    shown.iDate = Text(message->DateSent());
    delete message;
  }
  return iShown.emplace(aIdentifier, std::move(shown)).first->second;
}

void CKvMessagesView::CacheRowsL(int aFirst, int aLast) {
  if (aLast - aFirst + 1 + iShown.size() > KShownRowsKept) iShown.clear();
  if (iRows == nullptr) iFolderRows->ReadRowsL(aFirst, aLast);
  for (int row = aFirst; row <= aLast && row < RowCount(); ++row) ShownRowL(OidOfRow(row));
}

void CKvMessagesView::AnswerRowL(NMLVDISPINFOW& aInfo) {
  LVITEMW& item = aInfo.item;
  CEOID identifier = OidOfRow(item.iItem);
  if (item.mask & LVIF_PARAM) item.lParam = static_cast<LPARAM>(identifier);
  if (!(item.mask & LVIF_TEXT) || identifier == 0) return;
  const TShownRow& shown = ShownRowL(identifier);
  // The control copies the text before the cache can change.
  item.pszText = const_cast<LPWSTR>(item.iSubItem == 0 ? shown.iName.c_str() : shown.iDate.c_str());
}

LRESULT CKvMessagesView::CustomDrawRow(const NMCUSTOMDRAW& aDraw) {
  if (aDraw.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (aDraw.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  bool listView = aDraw.hdr.idFrom == static_cast<UINT_PTR>(KKvIdListView);
  // The owner-data list view names only the row; the list box gives its data.
  int row = static_cast<int>(aDraw.dwItemSpec);
  CEOID identifier = listView ? (row < RowCount() ? OidOfRow(row) : 0) : static_cast<CEOID>(aDraw.lItemlParam);
  if (identifier == 0 || !iHost.IsUnread(identifier)) return CDRF_DODEFAULT;
  return KvSelectBoldRowFont(aDraw.hdc, iBoldFont);
}

void CKvMessagesView::SortRowsL(int aColumn) {
  // The selection and the mark stay on their messages in the new order.
  HWND list = iListView->ChildWindow();
  std::vector<CEOID> selected;
  for (int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
       row >= 0; row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)))
    selected.push_back(OidOfRow(row));
  CEOID mark = OidOfRow(iListView->CurrentIndex());
  std::vector<int> rows;
  int markRow = -1;
  if (iRows == nullptr && aColumn == 0) {
    // The store's order is the Name order: the rows at the top join it.
    iFolderRows->LoadL();
    for (CEOID identifier : selected) {
      int row = iFolderRows->StoredRowOf(identifier);
      if (row >= 0) rows.push_back(row);
    }
    if (mark != 0) markRow = iFolderRows->StoredRowOf(mark);
  } else {
    if (iRows == nullptr) LoadAllRowsL();
    if (iRows == nullptr) return;
    iRows->Sort(aColumn);
    if (!selected.empty() || mark != 0) {
      std::unordered_map<CEOID, int> where;
      for (int row = 0; row < iRows->Count(); ++row) where.emplace(iRows->OidAt(row), row);
      for (CEOID identifier : selected) rows.push_back(where[identifier]);
      if (mark != 0) markRow = where[mark];
    }
  }
  if (RowCount() != static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))) iListView->SetItemCount(RowCount());
  iShown.clear();
  iListView->ShowSorted(aColumn, rows.data(), static_cast<int>(rows.size()), markRow);
}

void CKvMessagesView::UpdateViewL(const CENOTIFICATION& aNotification) {
  if (iListBox == nullptr || iListView == nullptr || iFolderRows == nullptr) return;
  CEOID identifier = aNotification.oid;
  if (aNotification.uType == DB_CEOID_RECORD_DELETED) {
    DeleteRows(identifier);
    return;
  }
  // Read once for every view the notice reaches; the host keeps it.
  CKveMessagesItem* message = iHost.NoticedMessageL(identifier);
  if (message == nullptr) return;
  if (!ShowsFolder(message->Folder())) {
    DeleteRows(identifier);  // moved to another folder, or another folder's
  } else if (aNotification.uType == DB_CEOID_CREATED) {
    AddRows(*message, false);
  } else if (aNotification.uType == DB_CEOID_CHANGED) {
    AddRows(*message, true);
    UpdateEditBoxText();
  } else {
    LogMessage(KLogFilePath, u"CKvMessagesView::UpdateViewL - unexpected type %1!d!", aNotification.uType);
  }
}

void CKvMessagesView::UpdateEditBoxText() {
  int index = iListView != nullptr ? iListView->CurrentIndex() : -1;
  ShowInReaderL(index >= 0 && index < RowCount() ? OidOfRow(index) : 0);
}

void CKvMessagesView::ShowInReaderL(CEOID aIdentifier) {
  if (iReader == nullptr) return;
  CKveMessagesItem* message = aIdentifier != 0 ? ReadMessageL(aIdentifier) : nullptr;
  if (aIdentifier != 0 && message == nullptr)
    LogMessage(KLogFilePath, u"CKvMessageView::ShowInReaderL - no message 0x%1!x!", aIdentifier);
  std::u16string text;
  if (message != nullptr) {
    text = Text(message->Text());
    std::u16string delivery = message->Folder() == EKvFolderSent ? DeliveryLine(*message) : std::u16string();
    if (!delivery.empty()) text = delivery + u"\r\n" + text;
  }
  iReaderOid = message != nullptr ? aIdentifier : 0;
  SendMessageW(iReader->ChildWindow(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  delete message;
  if (iReaderOid != 0) iHost.MessageReadL(iReaderOid);
}

int CALLBACK CKvMessagesView::CompareFunc(LPARAM aItem1, LPARAM aItem2, LPARAM aView) {
  // The same order as the rows' own sort, taken from the records.
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
    result = KvCompareMessageRows(KvMessageRowOf(*first), KvMessageRowOf(*second), view->iListView->SortColumn());
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
  iHost.MessageReadL(aIdentifier);
  return iHost.ComposeMessageL(iWindow, message);
}

int CKvMessagesView::SendEntryL(CEOID aIdentifier) {
  std::unique_ptr<CKveMessagesItem> message(ReadMessageL(aIdentifier));
  if (message == nullptr || iMessages == nullptr) return 0;
  // Sent again, a sent message goes as a new one, so that the first send
  // keeps its record and date; an Outbox one moves to Sent once it went.
  if (message->Folder() == EKvFolderSent) {
    std::unique_ptr<CKveMessagesItem> copy(static_cast<CKveMessagesItem*>(iMessages->NewItemL()));
    if (copy == nullptr) return 0;
    TConstPtr16 name = message->Name(), text = message->Text(), number = message->Number();
    copy->SetDetailsL(&name, &text, &number, EKvFolderOutbox);
    if (!KvStoreMessageL(*iMessages, *copy)) return 0;
    message = std::move(copy);
  }
  KvSendStoredMessageL(iHost, iWindow, *iMessages, *message);
  return 0;
}

int CKvMessagesView::NewEntryL() { return iHost.ComposeMessageL(iWindow, nullptr); }

void CKvMessagesView::UpdateMenuL(HMENU aMenu) {
  EnableMenuItem(aMenu, KKvCmdForward, MF_BYCOMMAND | MF_GRAYED);
  EnableMenuItem(aMenu, KKvCmdReply, MF_BYCOMMAND | MF_GRAYED);
}

LRESULT CKvMessagesView::HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (LOWORD(aWParam)) {
    case KKvCmdDownloadMessages:
      iHost.DownloadMessagesL(iWindow);
      return 0;
    case KKvCmdSendAllMessages:
      iHost.SendAllMessagesL(iWindow);
      return 0;
    case KKvCmdDeleteAllMessages:
      iHost.DeleteAllMessagesL(iWindow);
      return 0;
    case KKvCmdExportMessages:
      if (iMessages != nullptr) KvExportMessagesL(iWindow, *iMessages);
      return 0;
    case KKvCmdChangeView: {
      CKvDocument* document = iHost.KvDocument();
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
  if (header != nullptr && header->code == static_cast<UINT>(NM_CUSTOMDRAW) &&
      (header->idFrom == static_cast<UINT_PTR>(KKvIdListView) || header->idFrom == static_cast<UINT_PTR>(KKvIdListBox)))
    return CustomDrawRow(*reinterpret_cast<const NMCUSTOMDRAW*>(aLParam));
  if (header != nullptr && header->idFrom == static_cast<UINT_PTR>(KKvIdListView)) {
    int code = static_cast<int>(header->code);
    if (header->code == LVN_COLUMNCLICK) {
      const NMLISTVIEW* click = reinterpret_cast<const NMLISTVIEW*>(aLParam);
      SortRowsL(click->iSubItem);
      return 1;
    }
    if (header->code == LVN_GETDISPINFOW) {
      AnswerRowL(*reinterpret_cast<NMLVDISPINFOW*>(aLParam));
      return 0;
    }
    if (header->code == LVN_ODCACHEHINT) {
      const NMLVCACHEHINT* hint = reinterpret_cast<const NMLVCACHEHINT*>(aLParam);
      CacheRowsL(hint->iFrom, hint->iTo);
      return 0;
    }

    if (code == NM_CLICK) {
      UpdateEditBoxText();
      return 1;
    }
    // A row made current by any means (a tap and hold, the keys) shows in
    // the reader, not only a tap's.
    if (header->code == LVN_ITEMCHANGED) {
      const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(aLParam);
      bool nowFocused = (change->uNewState & ~change->uOldState & LVIS_FOCUSED) != 0;
      if (change->iItem >= 0 && change->iItem < RowCount() && nowFocused) ShowInReaderL(OidOfRow(change->iItem));
      return 0;
    }
  }
  return CKvView::HandleNotify(aWindow, aMessage, aWParam, aLParam);
}
