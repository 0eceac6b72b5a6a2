#include "app/views/kv_conversations_view.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "app/document/app_globals.h"
#include "app/document/kv_document.h"
#include "app/document/kv_message_limits.h"
#include "app/framework/epoc_app_window.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_bold_row.h"
#include "app/views/kv_conversation_drafts.h"
#include "app/views/kv_conversation_thread.h"
#include "app/views/kv_exchange_actions.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_message_sending.h"
#include "app/views/kv_question.h"
#include "app/views/kv_sms_counter.h"
#include "app/views/kv_store_ids.h"
#include "app/views/kv_text.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"
#include "store/contacts.h"
#include "store/conversation_key.h"

namespace {

// The reply box's height, the counter's line above it and Send's width.
const int KReplyBoxHeight = 44;
const int KReplyCountHeight = 14;
const int KReplySendWidth = 48;
const int KReplyGap = 2;
// How many rows' texts are kept before the cache starts afresh.
const size_t KConversationRowsKept = 256;
// How much of the last message a row starts with.
const size_t KConversationLineLength = 80;

// The day of a date as the messages show it ("07/12/2026 19:05"): the
// time alone when it is today's.
std::u16string ConversationDay(const std::u16string& aDate) {
  const size_t space = aDate.rfind(u' ');
  if (space == std::u16string::npos) return aDate;
  SYSTEMTIME now;
  GetLocalTime(&now);
  WCHAR today[64] = {0};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, today, 64);
  return aDate.compare(0, space, today) == 0 ? aDate.substr(space + 1) : aDate.substr(0, space);
}

std::unique_ptr<CKveMessagesItem> ReadConversationMessage(CKveMessagesDatabase* aStore, CEOID aOid) {
  if (aStore == nullptr || aOid == 0) return nullptr;
  return std::unique_ptr<CKveMessagesItem>(static_cast<CKveMessagesItem*>(aStore->ReadItemL(aOid)));
}

std::u16string ConversationOf(const CKveMessagesItem& aMessage) { return ConversationKey(aMessage.Number(), aMessage.Name()); }

}  // namespace

CKvConversationsView::CKvConversationsView(const TKvViewRow& aRow, MKvViewHost& aHost)
    : CKvView(aRow, aHost), iComponents(4) {
  SetClassName(u"CKvConversationsView");
}

CKvConversationsView* CKvConversationsView::NewL(const TKvViewRow& aRow, MKvViewHost& aHost) {
  return new CKvConversationsView(aRow, aHost);
}

CKvConversationsView::~CKvConversationsView() {
  // A reply typed when the program ends is kept as a draft too.
  if (IsConversationOpen() && iReply != nullptr && IsWindow(iReply)) KeepDraftL();
  delete iList;
  delete iThread;
  if (iBoldFont != nullptr) DeleteObject(iBoldFont);
  if (iWindow != nullptr && IsWindow(iWindow)) DestroyWindow(iWindow);
}

void CKvConversationsView::DoInitialiseViewL() {
  if (CreateEpocApplicationWindow(this, gKvInstance, gKvMainFrameWindow, KKvStrWindowTitle, KKvStrWindowClass) ==
      nullptr)
    return;
  iMessages = iHost.KvDocument()->MessagesDatabase();
  iDatabaseOid = KvDatabaseOid(u"KvMessages");
  iList = CEpocListView::NewL(this, KKvIdListView, true);
  if (iList != nullptr) {
    iComponents.AppendL(iList);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 104;
    column.pszText = const_cast<LPWSTR>(u"Name");
    iList->InsertColumn(0, column);
    column.cx = 120;
    column.pszText = const_cast<LPWSTR>(u"Last message");
    iList->InsertColumn(1, column);
  }
  iThread = CKvConversationThread::NewL(this, iMessages);
  if (iThread != nullptr) iComponents.AppendL(iThread);
  CreateReplyControls();
  LoadConversationsL();
}

void CKvConversationsView::CreateReplyControls() {
  iReply = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 0,
                           0, iWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(KKvIdReplyText)), gKvInstance,
                           nullptr);
  iCount = CreateWindowExW(0, u"STATIC", u"0", WS_CHILD | SS_RIGHT, 0, 0, 0, 0, iWindow,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(KKvIdReplyCount)), gKvInstance, nullptr);
  iSend = CreateWindowExW(0, u"BUTTON", u"Send", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, iWindow,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(KKvIdReplySend)), gKvInstance, nullptr);
  if (iReply == nullptr || iCount == nullptr || iSend == nullptr)
    LogMessageWithError(KLogFilePath, u"CKvConversationsView::CreateReplyControls - Failed");
  if (iReply != nullptr) SendMessageW(iReply, EM_LIMITTEXT, KKvMaxMessageText, 0);
}

void CKvConversationsView::LoadConversationsL() {
  iConversations.clear();
  iShown.clear();
  iStale = false;
  if (iMessages == nullptr || !iMessages->ReadConversationsL(iConversations))
    LogMessage(KLogFilePath, u"CKvConversationsView::LoadConversationsL - no conversations read");
  if (iList != nullptr) {
    // The row and the selection stay on their place, as counts change under them.
    iList->SetItemCount(static_cast<int>(iConversations.size()));
    InvalidateRect(iList->ChildWindow(), nullptr, FALSE);
  }
}

std::u16string CKvConversationsView::TitleOfL(const std::u16string& aKey, const CKveMessagesItem& aNewest) {
  // One lookup in the contacts' index by conversation key: a contact saved
  // in another form of the number titles the conversation too.
  CKveContactsDatabase* contacts = iHost.KvDocument()->ContactsDatabase();
  if (contacts != nullptr) {
    std::u16string name = contacts->NameOfConversationL(aKey);
    if (!name.empty()) return name;
  }
  return Text(aNewest.Name().Length() != 0 ? aNewest.Name() : aNewest.Number());
}

const CKvConversationsView::TShownRow& CKvConversationsView::ShownRowL(int aRow) {
  const TKvConversation& conversation = iConversations[static_cast<size_t>(aRow)];
  auto found = iShown.find(conversation.iKey);
  if (found != iShown.end()) return found->second;
  if (iShown.size() >= KConversationRowsKept) iShown.clear();
  TShownRow shown;
  std::unique_ptr<CKveMessagesItem> newest = ReadConversationMessage(iMessages, conversation.iNewest);
  if (newest != nullptr) {
    shown.iTitle = TitleOfL(conversation.iKey, *newest);
    std::u16string text;
    AppendSingleLine(newest->Text(), text);
    if (text.size() > KConversationLineLength) text.resize(KConversationLineLength);
    shown.iLine = ConversationDay(Text(newest->DateSent())) + u"  " + text;
  }
  if (shown.iTitle.empty()) shown.iTitle = conversation.iKey;
  if (conversation.iUnread > 0) {
    WCHAR count[16];
    wsprintfW(count, u" (%d)", conversation.iUnread);
    shown.iTitle += count;
  }
  return iShown.emplace(conversation.iKey, std::move(shown)).first->second;
}

std::u16string CKvConversationsView::RowTitleL(int aRow) {
  if (aRow < 0 || aRow >= static_cast<int>(iConversations.size())) return std::u16string();
  return ShownRowL(aRow).iTitle;
}

std::u16string CKvConversationsView::RowLineL(int aRow) {
  if (aRow < 0 || aRow >= static_cast<int>(iConversations.size())) return std::u16string();
  return ShownRowL(aRow).iLine;
}

void CKvConversationsView::AnswerRowL(NMLVDISPINFOW& aInfo) {
  LVITEMW& item = aInfo.item;
  if (item.iItem < 0 || item.iItem >= static_cast<int>(iConversations.size())) return;
  if (item.mask & LVIF_PARAM) item.lParam = static_cast<LPARAM>(item.iItem) + 1;
  if (!(item.mask & LVIF_TEXT)) return;
  const TShownRow& shown = ShownRowL(item.iItem);
  // The control copies the text before the cache can change.
  item.pszText = const_cast<LPWSTR>(item.iSubItem == 0 ? shown.iTitle.c_str() : shown.iLine.c_str());
}

LRESULT CKvConversationsView::CustomDrawRow(const NMCUSTOMDRAW& aDraw) {
  if (aDraw.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (aDraw.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const int row = static_cast<int>(aDraw.dwItemSpec);
  if (row < 0 || row >= static_cast<int>(iConversations.size()) || iConversations[static_cast<size_t>(row)].iUnread == 0)
    return CDRF_DODEFAULT;
  return KvSelectBoldRowFont(aDraw.hdc, iBoldFont);
}

void CKvConversationsView::OpenConversationL(int aRow) {
  if (aRow < 0 || aRow >= static_cast<int>(iConversations.size()) || iThread == nullptr) return;
  if (IsConversationOpen()) KeepDraftL();
  const TKvConversation conversation = iConversations[static_cast<size_t>(aRow)];
  LogMessage(KLogFilePath, u"CKvConversationsView::OpenConversationL %1!d! messages", conversation.iCount);
  std::vector<CEOID> messages;
  if (iMessages == nullptr || !iMessages->ConversationMessagesL(conversation.iKey, messages)) {
    LogMessageWithError(KLogFilePath, u"CKvConversationsView::OpenConversationL - Failed to read the conversation");
    return;
  }
  std::unique_ptr<CKveMessagesItem> newest = ReadConversationMessage(iMessages, conversation.iNewest);
  iOpenKey = conversation.iKey;
  iOpenTitle = ShownRowL(aRow).iTitle;
  // The unread count is the list's; the title names the party only.
  if (newest != nullptr) iOpenTitle = TitleOfL(conversation.iKey, *newest);
  iReplyName = newest != nullptr ? Text(newest->Name()) : std::u16string();
  iReplyNumber = newest != nullptr ? Text(newest->Number()) : std::u16string();
  iThread->SetMessagesL(std::move(messages));
  const std::u16string draft = KvReadDraftL(iOpenKey);
  SetWindowTextW(iReply, draft.c_str());
  SendMessageW(iReply, EM_SETSEL, draft.size(), draft.size());
  UpdateCount();
  SetTitle(iOpenTitle.c_str());
  iHost.Frame()->ResetTitle();
  ShowMode();
  SetFocus(iReply);
  // Painted first; marking read may write many records.
  UpdateWindow(iWindow);
  MarkOpenReadL();
}

void CKvConversationsView::MarkOpenReadL() {
  std::vector<CEOID> marked;
  if (iMessages == nullptr || !iMessages->MarkConversationReadL(iOpenKey, &marked)) return;
  iHost.MessagesMarkedRead(marked);
  if (!marked.empty()) iStale = true;
}

void CKvConversationsView::KeepDraftL() {
  if (iOpenKey.empty() || iReply == nullptr) return;
  const std::u16string text = KvWholeWindowText(iReply);
  if (text != KvReadDraftL(iOpenKey)) KvWriteDraftL(iOpenKey, text);
}

void CKvConversationsView::ShowListL() {
  if (IsConversationOpen()) KeepDraftL();
  iOpenKey.clear();
  SetTitle(u"Conversations");
  if (iHost.CurrentView() == this) iHost.Frame()->ResetTitle();
  if (iStale) LoadConversationsL();
  ShowMode();
}

void CKvConversationsView::ShowMode() {
  const bool shown = IsVisible();
  const bool open = IsConversationOpen();
  if (iList != nullptr) iList->MakeVisible(shown && !open);
  if (iThread != nullptr) iThread->MakeVisible(shown && open);
  for (HWND control : {iReply, iCount, iSend})
    if (control != nullptr) ShowWindow(control, shown && open ? SW_SHOW : SW_HIDE);
  if (iWindow != nullptr) InvalidateRect(iWindow, nullptr, TRUE);
}

void CKvConversationsView::UpdateCount() {
  if (iReply == nullptr || iCount == nullptr) return;
  const std::u16string text = KvWholeWindowText(iReply);
  SetWindowTextW(iCount, KvSmsCountText(text).c_str());
  EnableWindow(iSend, text.empty() ? FALSE : TRUE);
}

void CKvConversationsView::SendReplyL() {
  if (!IsConversationOpen() || iMessages == nullptr) return;
  const std::u16string text = KvWholeWindowText(iReply);
  if (text.empty() || !KvTextFitsOneLongMessageL(iWindow, text)) return;
  std::unique_ptr<CKveMessagesItem> reply(static_cast<CKveMessagesItem*>(iMessages->NewItemL()));
  if (reply == nullptr) return;
  TConstPtr16 name(iReplyName.c_str(), static_cast<int>(iReplyName.size()));
  TConstPtr16 body(text.c_str(), static_cast<int>(text.size()));
  TConstPtr16 number(iReplyNumber.c_str(), static_cast<int>(iReplyNumber.size()));
  reply->SetDetailsL(&name, &body, &number, EKvFolderOutbox);
  // In the Outbox before it goes: a send that fails keeps it there.
  if (!KvStoreMessageL(*iMessages, *reply)) return;
  SetWindowTextW(iReply, u"");
  KvWriteDraftL(iOpenKey, u"");
  UpdateCount();
  KvSendStoredMessageL(iHost, iWindow, *iMessages, *reply);
  SetFocus(iReply);
}

void CKvConversationsView::DoMakeVisible(bool aFlag) {
  LogMessage(KLogFilePath, u"CKvConversationsView::DoMakeVisible %1!d!", aFlag ? 1 : 0);
  if (iWindow != nullptr) ShowWindow(iWindow, aFlag ? SW_SHOW : SW_HIDE);
  // Left for another view: the list again next time, the reply kept.
  if (!aFlag && IsConversationOpen()) {
    ShowListL();
    return;
  }
  if (aFlag && iStale) LoadConversationsL();
  ShowMode();
}

void CKvConversationsView::SizeChangedL() {
  const TEpocRect& r = iRect;
  if (iWindow != nullptr) MoveWindow(iWindow, r.iX, r.iY, r.iWidth, r.iHeight, TRUE);
  LayOut();
}

void CKvConversationsView::LayOut() {
  const TEpocRect& r = iRect;
  if (iList != nullptr) iList->SetExtentL(TEpocRect{0, 0, r.iWidth, r.iHeight});
  const int replyTop = r.iHeight - KReplyBoxHeight - KReplyGap;
  const int countTop = replyTop - KReplyCountHeight - KReplyGap;
  if (iThread != nullptr) iThread->SetExtentL(TEpocRect{0, 0, r.iWidth, countTop});
  if (iCount != nullptr) MoveWindow(iCount, KReplyGap, countTop, r.iWidth - 2 * KReplyGap, KReplyCountHeight, TRUE);
  if (iReply != nullptr) MoveWindow(iReply, KReplyGap, replyTop, r.iWidth - KReplySendWidth - 3 * KReplyGap, KReplyBoxHeight, TRUE);
  if (iSend != nullptr) MoveWindow(iSend, r.iWidth - KReplySendWidth - KReplyGap, replyTop, KReplySendWidth, KReplyBoxHeight, TRUE);
}

LRESULT CKvConversationsView::Draw(const RECT& aRect) {
  if (!IsConversationOpen()) return KEpocDefault;
  // The band of the counter, under the messages.
  HDC dc = PaintContext();
  RECT band{aRect.left, iThread != nullptr ? iThread->Extent().iHeight : 0, aRect.right, aRect.bottom};
  FillRect(dc, &band, GetSysColorBrush(COLOR_WINDOW));
  HPEN pen = CreatePen(PS_SOLID, 0, RGB(160, 160, 160));
  HGDIOBJ previous = SelectObject(dc, pen);
  POINT line[2] = {{band.left, band.top}, {band.right, band.top}};
  Polyline(dc, line, 2);
  SelectObject(dc, previous);
  DeleteObject(pen);
  return 0;
}

bool CKvConversationsView::IsOfType(CEOID aDatabaseId) {
  if (iDatabaseOid == 0) iDatabaseOid = KvDatabaseOid(u"KvMessages");
  return iDatabaseOid != 0 && aDatabaseId == iDatabaseOid;
}

void CKvConversationsView::UpdateViewL(const CENOTIFICATION& aNotification) {
  const CEOID identifier = aNotification.oid;
  const bool current = iHost.CurrentView() == this;
  if (aNotification.uType == DB_CEOID_RECORD_DELETED) {
    if (IsConversationOpen() && iThread != nullptr) iThread->MessageDeleted(identifier);
  } else if (IsConversationOpen() && iThread != nullptr) {
    CKveMessagesItem* message = iHost.NoticedMessageL(identifier);
    if (message != nullptr) {
      const bool belongs = ConversationOf(*message) == iOpenKey;
      iThread->MessageChangedL(identifier, belongs);
      // Come in while the conversation is in front: read where it shows.
      if (belongs && current && message->IsUnread()) {
        if (iMessages->MarkReadL(identifier)) iHost.MessagesMarkedRead({identifier});
      }
    }
  }
  // The rows are read again when the list next shows, once however many notices came.
  iStale = true;
  if (current && !IsConversationOpen()) LoadConversationsL();
}

CEpocListControl* CKvConversationsView::GetCurrentListBox() { return IsConversationOpen() ? nullptr : iList; }

int CKvConversationsView::DeleteEntryL(CEOID) { return 0; }

int CKvConversationsView::EditEntryL(CEOID aIdentifier) {
  OpenConversationL(static_cast<int>(aIdentifier) - 1);
  return 0;
}

int CKvConversationsView::SendEntryL(CEOID aIdentifier) { return EditEntryL(aIdentifier); }

int CKvConversationsView::NewEntryL() { return iHost.ComposeMessageL(iWindow, nullptr); }

void CKvConversationsView::UpdateMenuL(HMENU aMenu) {
  const bool open = IsConversationOpen();
  EnableMenuItem(aMenu, KKvCmdEdit, MF_BYCOMMAND | (open || iConversations.empty() ? MF_GRAYED : MF_ENABLED));
  EnableMenuItem(aMenu, KKvCmdAllConversations, MF_BYCOMMAND | (open ? MF_ENABLED : MF_GRAYED));
}

LRESULT CKvConversationsView::HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  const int command = LOWORD(aWParam);
  switch (command) {
    case KKvIdReplyText:
      if (HIWORD(aWParam) == EN_UPDATE || HIWORD(aWParam) == EN_CHANGE) UpdateCount();
      return 0;
    case KKvIdReplySend:
      if (HIWORD(aWParam) == BN_CLICKED) SendReplyL();
      return 0;
    case KKvCmdAllConversations:
      ShowListL();
      return 0;
    case KKvCmdCancel:
      if (!IsConversationOpen()) return KEpocNotHandled;
      ShowListL();
      return 0;
    case KKvCmdConversations:
      // From an open conversation, the View menu's row leads back to the list.
      if (IsConversationOpen()) ShowListL();
      break;
    case KKvCmdDownloadMessages:
      iHost.DownloadMessagesL(iWindow);
      return 0;
    case KKvCmdDeleteAllMessages:
      iHost.DeleteAllMessagesL(iWindow);
      return 0;
    case KKvCmdExportMessages:
      if (iMessages != nullptr) KvExportMessagesL(iWindow, *iMessages);
      return 0;
    default:
      break;
  }
  return CKvView::HandleCommand(aWindow, aMessage, aWParam, aLParam);
}

LRESULT CKvConversationsView::HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  if (header != nullptr && header->idFrom == static_cast<UINT_PTR>(KKvIdListView)) {
    if (header->code == static_cast<UINT>(NM_CUSTOMDRAW))
      return CustomDrawRow(*reinterpret_cast<const NMCUSTOMDRAW*>(aLParam));
    if (header->code == LVN_GETDISPINFOW) {
      AnswerRowL(*reinterpret_cast<NMLVDISPINFOW*>(aLParam));
      return 0;
    }
    if (header->code == LVN_COLUMNCLICK) return 1;  // the order is the conversations' own
    // One tap opens, as a row of a phone's messages does.
    if (header->code == static_cast<UINT>(NM_CLICK)) {
      const NMITEMACTIVATE* tap = reinterpret_cast<const NMITEMACTIVATE*>(aLParam);
      if (tap->iItem >= 0) OpenConversationL(tap->iItem);
      return 1;
    }
  }
  return CKvView::HandleNotify(aWindow, aMessage, aWParam, aLParam);
}
