#include "app/views/kv_find_dialog.h"

#include <commctrl.h>

#include <memory>
#include <string>

#include "app/document/app_globals.h"
#include "app/document/kv_document.h"
#include "app/views/kv_find_text.h"
#include "app/views/kv_modal_scope.h"
#include "app/views/kv_view_host.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/errors.h"
#include "kernel/log.h"
#include "store/messages.h"

namespace {

// Rows asked of the store at a time; more are read as the list nears its end.
const int KFindPage = 50;
// Rows within this many of the end of those read ask for the next page.
const int KFindReadAhead = 10;
// A search starts once typing pauses this long; a query of one or two
// characters (a scan of every message) waits longer, for the next key.
const UINT KFindPause = 250;
const UINT KFindShortPause = 500;
const UINT_PTR KFindTimer = 1;
// The next page, asked for from a paint and read after it.
const UINT KFindReadMore = WM_APP + 1;
// The searcher's thread found a page.
const UINT KFindSearchDone = WM_APP + 2;
// The longest text the box takes: more than a search may hold, so that a
// pasted text too long is refused with its reason rather than cut.
const int KFindBoxLength = KMaxSearchLength * 4;
const size_t KFindRowsKept = 512;

std::u16string Text16(const TDesc16& aText) {
  return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length()));
}

std::u16string Count16(size_t aCount) {
  const std::string count = std::to_string(aCount);
  return std::u16string(count.begin(), count.end());
}

// The date of a message without its time: the row has room for one.
std::u16string DateOnly(const std::u16string& aDateSent) {
  size_t space = aDateSent.rfind(u' ');
  return space != std::u16string::npos && space > 0 ? aDateSent.substr(0, space) : aDateSent;
}

}  // namespace

CKvFindDialog::CKvFindDialog(MKvViewHost& aHost) : iHost(aHost), iMessages(nullptr) {
  SetClassName(u"CKvFindDialog");
}

CKvFindDialog* CKvFindDialog::NewL(MKvViewHost& aHost) { return new CKvFindDialog(aHost); }

CKvFindDialog::~CKvFindDialog() = default;

void CKvFindDialog::InitDialogL() {
  LogMessage(KLogFilePath, u"CKvFindDialog::InitDialogL");
  InitFullScreenDialog();
  CKvDocument* document = iHost.KvDocument();
  iMessages = document != nullptr ? document->MessagesDatabase() : nullptr;
  if (iMessages != nullptr) iSearcher.reset(CKvFindSearcher::NewL(*iMessages, iWindow, KFindSearchDone));
  SendMessageW(Item(KKvIdFindQuery), EM_LIMITTEXT, KFindBoxLength, 0);
  HWND list = Item(KKvIdFindResults);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  // The rows take the screen below the status line.
  RECT client{};
  RECT rows{};
  GetClientRect(iWindow, &client);
  GetWindowRect(list, &rows);
  POINT top{rows.left, rows.top};
  ScreenToClient(iWindow, &top);
  MoveWindow(list, 0, top.y, client.right, client.bottom - top.y, TRUE);
  AddColumns();
  ShowStatus();
  SetFocus(Item(KKvIdFindQuery));
}

void CKvFindDialog::AddColumns() {
  struct TColumn {
    LPCWSTR iTitle;
    int iWidth;
  };
  // The match leads its column; the date has no time, so all three fit.
  const TColumn columns[] = {{u"Name", 52}, {u"Text", 116}, {u"Date", 58}};
  HWND list = Item(KKvIdFindResults);
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = columns[i].iWidth;
    column.pszText = const_cast<LPWSTR>(columns[i].iTitle);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

std::u16string CKvFindDialog::QueryText() const {
  HWND box = Item(KKvIdFindQuery);
  int length = GetWindowTextLengthW(box);
  if (length <= 0) return std::u16string();
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  int read = GetWindowTextW(box, text.data(), length + 1);
  text.resize(read > 0 ? static_cast<size_t>(read) : 0);
  return text;
}

void CKvFindDialog::QueryChanged() {
  const std::u16string text = QueryText();
  bool blank = false;
  // A query too long is said at once; only a search waits for the pause.
  iProblem = KvFindQueryProblem(text, blank);
  if (!iProblem.empty() || blank) {
    KillTimer(iWindow, KFindTimer);
    SearchL();
    return;
  }
  iSearchWaiting = SetTimer(iWindow, KFindTimer, text.size() < 3 ? KFindShortPause : KFindPause, nullptr) != 0;
  if (!iSearchWaiting) SearchL();
  else ShowStatus();
}

void CKvFindDialog::SearchL() {
  KillTimer(iWindow, KFindTimer);
  iSearchWaiting = false;
  const std::u16string text = QueryText();
  bool blank = false;
  iProblem = KvFindQueryProblem(text, blank);
  iQuery = iProblem.empty() && !blank ? text : std::u16string();
  ++iTicket;
  iFound.clear();
  iRows.clear();
  iMayHaveMore = false;
  iSearching = false;
  iError = 0;
  SendMessageW(Item(KKvIdFindResults), LVM_SETITEMCOUNT, 0, 0);
  if (!iQuery.empty()) AskL(0);
  ShowStatus();
}

void CKvFindDialog::ReadMoreL() {
  iMorePosted = false;
  if (!iMayHaveMore || iQuery.empty() || iSearching || iFound.empty()) return;
  AskL(iFound.back());
}

void CKvFindDialog::AskL(CEOID aBefore) {
  LogMessage(KLogFilePath, u"CKvFindDialog::AskL");
  iSearching = true;
  if (iSearcher != nullptr && iSearcher->IsRunning()) {
    iSearcher->Search(iQuery, aBefore, KFindPage, iTicket);
    return;
  }
  TKvFindResult result;
  result.iTicket = iTicket;
  result.iBefore = aBefore;
  if (iMessages == nullptr)
    result.iError = ERROR_NOT_READY;
  else if (!iMessages->SearchL(iQuery, aBefore, KFindPage, result.iFound))
    result.iError = GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
  ShowResultL(result);
}

void CKvFindDialog::ShowResultL(TKvFindResult& aResult) {
  CEOID last = iFound.empty() ? 0 : iFound.back();
  // A page of a query typed over, or not the one after the rows shown.
  if (aResult.iTicket != iTicket || aResult.iBefore != last) return;
  iSearching = false;
  if (aResult.iError != 0) {
    iError = static_cast<int>(aResult.iError);
    LogMessage(KLogFilePath, u"CKvFindDialog::ShowResultL - search failed %1!d!", iError);
    iMayHaveMore = false;
    ShowStatus();
    return;
  }
  LogMessage(KLogFilePath, u"CKvFindDialog::ShowResultL - %1!d! found", static_cast<int>(aResult.iFound.size()));
  iMayHaveMore = static_cast<int>(aResult.iFound.size()) == KFindPage;
  iFound.insert(iFound.end(), aResult.iFound.begin(), aResult.iFound.end());
  // Keeps the rows' selection and place: only their count grows.
  SendMessageW(Item(KKvIdFindResults), LVM_SETITEMCOUNT, iFound.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(Item(KKvIdFindResults), nullptr, FALSE);
  ShowStatus();
}

void CKvFindDialog::ShowStatus() {
  std::u16string status;
  if (!iProblem.empty())
    status = iProblem;
  else if (iSearchWaiting || (iSearching && iFound.empty()))
    status = u"Searching…";
  else if (iQuery.empty())
    status = u"Type a word of a message, a name or a number.";
  else if (iError != 0)
    status = u"The messages cannot be searched (error " + Count16(static_cast<size_t>(iError)) + u").";
  else if (iFound.empty())
    status = u"No messages found.";
  else if (iFound.size() == 1)
    status = u"1 message found.";
  else
    status = Count16(iFound.size()) + (iMayHaveMore ? u" messages found so far." : u" messages found.");
  SetDlgItemTextW(iWindow, KKvIdFindStatus, status.c_str());
}

const CKvFindDialog::TFoundRow& CKvFindDialog::RowL(int aRow) {
  CEOID oid = iFound[static_cast<size_t>(aRow)];
  auto kept = iRows.find(oid);
  if (kept != iRows.end()) return kept->second;
  if (iRows.size() >= KFindRowsKept) iRows.clear();
  TFoundRow row;
  std::unique_ptr<CKveMessagesItem> message(
      iMessages != nullptr ? static_cast<CKveMessagesItem*>(iMessages->ReadItemL(oid)) : nullptr);
  if (message == nullptr) {
    // Deleted since it was found: the row says so rather than go.
    row.iWho = u"(deleted)";
  } else {
    row.iWho = Text16(message->Name().Length() != 0 ? message->Name() : message->Number());
    std::u16string line;
    AppendSingleLine(message->Text(), line);
    row.iText = KvFindSnippet(line, iQuery);
    row.iDate = DateOnly(Text16(message->DateSent()));
    row.iWho = KvFindSnippet(row.iWho, std::u16string());
  }
  return iRows.emplace(oid, std::move(row)).first->second;
}

void CKvFindDialog::AnswerRowL(NMLVDISPINFOW& aInfo) {
  LVITEMW& item = aInfo.item;
  if (item.iItem < 0 || item.iItem >= static_cast<int>(iFound.size())) return;
  if (item.mask & LVIF_PARAM) item.lParam = static_cast<LPARAM>(iFound[static_cast<size_t>(item.iItem)]);
  if (iMayHaveMore && !iMorePosted && item.iItem + KFindReadAhead >= static_cast<int>(iFound.size())) {
    iMorePosted = true;
    PostMessageW(iWindow, KFindReadMore, 0, 0);
  }
  if (!(item.mask & LVIF_TEXT)) return;
  const TFoundRow& row = RowL(item.iItem);
  const std::u16string& text = item.iSubItem == 0 ? row.iWho : item.iSubItem == 1 ? row.iText : row.iDate;
  // The control copies the text before the rows kept can change.
  item.pszText = const_cast<LPWSTR>(text.c_str());
}

void CKvFindDialog::OpenRowL(int aRow) {
  if (aRow < 0 || aRow >= static_cast<int>(iFound.size()) || iMessages == nullptr) return;
  CEOID oid = iFound[static_cast<size_t>(aRow)];
  LogMessage(KLogFilePath, u"CKvFindDialog::OpenRowL 0x%1!x!", oid);
  auto* message = static_cast<CKveMessagesItem*>(iMessages->ReadItemL(oid));
  if (message == nullptr) return;
  iHost.MessageReadL(oid);
  iHost.ComposeMessageL(iWindow, message);
  // The reader may have changed or moved it: read again when painted.
  iRows.erase(oid);
  InvalidateRect(Item(KKvIdFindResults), nullptr, FALSE);
}

LRESULT CKvFindDialog::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  switch (LOWORD(aWParam)) {
    case KKvIdFindQuery:
      if (HIWORD(aWParam) == EN_CHANGE) QueryChanged();
      return 0;
    case KKvCmdOk:
      // Enter while a search waits for the pause searches at once.
      if (iSearchWaiting) {
        SearchL();
        return 0;
      }
      [[fallthrough]];
    case KKvCmdCancel:
      EndFind(LOWORD(aWParam));
      return 0;
    default:
      return KEpocNotHandled;
  }
}

LRESULT CKvFindDialog::HandleNotify(HWND, UINT, WPARAM, LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  if (header == nullptr || header->idFrom != static_cast<UINT_PTR>(KKvIdFindResults)) return KEpocNotHandled;
  switch (header->code) {
    case LVN_GETDISPINFOW:
      AnswerRowL(*reinterpret_cast<NMLVDISPINFOW*>(aLParam));
      return 0;
    case LVN_ITEMACTIVATE:
      // A double tap or Enter on a row, as the folders open theirs.
      OpenRowL(reinterpret_cast<const NMITEMACTIVATE*>(aLParam)->iItem);
      return 0;
    default:
      return KEpocNotHandled;
  }
}

LRESULT CKvFindDialog::HandleEventDefault(HWND, UINT aMessage, WPARAM aWParam, LPARAM) {
  if (aMessage == WM_TIMER && aWParam == KFindTimer) {
    SearchL();
    return 0;
  }
  if (aMessage == KFindReadMore) {
    ReadMoreL();
    return 0;
  }
  if (aMessage == KFindSearchDone) {
    TKvFindResult result;
    if (iSearcher != nullptr && iSearcher->TakeResult(result)) ShowResultL(result);
    return 0;
  }
  // The search thread ends while the window it posts to is still there.
  if (aMessage == WM_DESTROY) iSearcher.reset();
  return KEpocNotHandled;
}

void CKvFindDialog::EndFind(int aResult) {
  KillTimer(iWindow, KFindTimer);
  iSearcher.reset();
  EndDialog(iWindow, aResult);
}

int KvShowFindDialogL(HWND aParent, MKvViewHost& aHost) {
  CKvFindDialog* dialog = CKvFindDialog::NewL(aHost);
  if (dialog == nullptr) return KErrNoMemory;
  TKvModalScope modal;
  return dialog->ExecuteLD(gKvInstance, KKvDlgFind, aParent);
}
