#include "app/views/kv_compose_dialog.h"

#include <aygshell.h>

#include <string>

#include "app/document/app_globals.h"
#include "app/views/kv_view_host.h"
#include "app/document/kv_document.h"
#include "app/views/kv_message_sending.h"
#include "app/views/kv_question.h"
#include "app/views/kv_sms_counter.h"
#include "app/views/kv_text.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

namespace {

// Recipient texts read from the controls: at most 255 characters.
const int KMaxText = 256;

std::u16string WindowText(HWND aWindow) {
  WCHAR text[KMaxText] = {0};
  SendMessageW(aWindow, WM_GETTEXT, KMaxText, reinterpret_cast<LPARAM>(text));
  return text;
}

}  // namespace

CKvCreateNewMessage::CKvCreateNewMessage(CKveMessagesItem** aSlot, MKvViewHost& aHost)
    : iSlot(aSlot), iHost(aHost) {
  SetClassName(u"CKvCreateNewMessage");
}

CKvCreateNewMessage* CKvCreateNewMessage::NewL(CKveMessagesItem** aSlot, MKvViewHost& aHost) {
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::NewL");
  CKvCreateNewMessage* self = new CKvCreateNewMessage(aSlot, aHost);
  if (self == nullptr) return nullptr;
  self->iContacts = gKvDocument->ContactsDatabase();
  self->iMessages = gKvDocument->MessagesDatabase();
  self->iContactIds = new CArrayFixFlat<CEOID>(128);
  return self;
}

CKvCreateNewMessage::~CKvCreateNewMessage() { delete iContactIds; }

void CKvCreateNewMessage::InitDialogL() {
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = iWindow;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN;
  SHInitDialog(&info);
  SendMessageW(Item(KKvIdComposeText), EM_LIMITTEXT, KKvMaxMessageText, 0);
  LoadContactsL();
  CKveMessagesItem* message = *iSlot;
  if (message != nullptr) {
    LayOutText();
    std::u16string text = Text(message->Text());
    SetWindowTextW(Item(KKvIdComposeText), text.c_str());
    std::u16string recipient = Text(message->Name());
    if (recipient.empty()) recipient = Text(message->Number());
    if (!recipient.empty()) SetWindowTextW(Item(KKvIdComposeRecipient), recipient.c_str());
    UpdateCount();
    std::u16string date = Text(message->DateSent());
    SetWindowTextW(Item(KKvIdComposeDate), date.c_str());
    iReceived = message->Folder() == EKvFolderInbox;
    iKept = iReceived || message->Folder() == EKvFolderSent;
    iShownText = KvWholeWindowText(Item(KKvIdComposeText));
    iShownRecipient = WindowText(Item(KKvIdComposeRecipient));
  } else {
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR date[64] = {0};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
    SetWindowTextW(Item(KKvIdComposeDate), date);
  }
  // The first keys go where the user writes next: the recipient while there
  // is none, else the end of the text. Never Send, where Enter would send at once.
  HWND recipient = Item(KKvIdComposeRecipient);
  if (WindowText(recipient).empty()) {
    SetFocus(recipient);
    return;
  }
  HWND text = Item(KKvIdComposeText);
  int end = GetWindowTextLengthW(text);
  SendMessageW(text, EM_SETSEL, end, end);
  SetFocus(text);
}

bool CKvCreateNewMessage::IsTextUnchanged() const {
  return iKept && KvWholeWindowText(Item(KKvIdComposeText)) == iShownText;
}

bool CKvCreateNewMessage::IsRecipientUnchanged() const {
  return iKept && WindowText(Item(KKvIdComposeRecipient)) == iShownRecipient;
}

void CKvCreateNewMessage::LoadContactsL() {
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::LoadContactsL");
  if (iContacts == nullptr || iContactIds == nullptr) return;
  for (CEpocDatabaseItem* item = iContacts->ReadFirstItemL(); item != nullptr; item = iContacts->ReadNextItemL()) {
    CKveContactsItem* contact = static_cast<CKveContactsItem*>(item);
    if (!contact->IsDeleted()) {
      std::u16string name = Text(contact->Name());
      if (SendMessageW(Item(KKvIdComposeRecipient), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())) < 0)
        LogMessageWithError(KLogFilePath, u"CKvCreateNewMessage::LoadContactsL - Failed to addstring");
      iContactIds->AppendL(contact->Oid());
    }
    delete contact;
  }
}

void CKvCreateNewMessage::UpdateCount() {
  SetWindowTextW(Item(KKvIdComposeCount), KvSmsCountText(KvWholeWindowText(Item(KKvIdComposeText))).c_str());
}

bool CKvCreateNewMessage::TextFitsOneLongMessage() {
  return KvTextFitsOneLongMessageL(iWindow, KvWholeWindowText(Item(KKvIdComposeText)));
}

void CKvCreateNewMessage::UpdateScrollBar() {
  HWND text = Item(KKvIdComposeText);
  RECT client;
  GetClientRect(text, &client);
  int lineHeight = HIWORD(GetDialogBaseUnits());
  int visible = lineHeight > 0 ? (client.bottom - client.top) / lineHeight : 0;
  int lines = static_cast<int>(SendMessageW(text, EM_GETLINECOUNT, 0, 0));
  LONG style = GetWindowLongW(text, GWL_STYLE);
  if (lines > visible && (style & WS_VSCROLL) == 0)
    SetWindowLongW(text, GWL_STYLE, style | WS_VSCROLL);
  else if (lines <= visible && (style & WS_VSCROLL) != 0)
    SetWindowLongW(text, GWL_STYLE, style & ~WS_VSCROLL);
  SendMessageW(text, EM_SCROLLCARET, 0, 0);
  UpdateWindow(text);
}

// The text box reaches down to the dialog's bottom, above the input panel.
void CKvCreateNewMessage::LayOutText() {
  SHHandleWMSettingChange(iWindow, static_cast<WPARAM>(-1), 0, nullptr);
  HWND text = Item(KKvIdComposeText);
  RECT box;
  GetWindowRect(text, &box);
  POINT topLeft{box.left, box.top};
  ScreenToClient(iWindow, &topLeft);
  RECT client;
  GetClientRect(iWindow, &client);
  MoveWindow(text, topLeft.x, topLeft.y, box.right - box.left, client.bottom - topLeft.y, TRUE);
  UpdateScrollBar();
}

bool CKvCreateNewMessage::GetDialogResults() {
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::GetDialogResults");
  std::u16string text = KvWholeWindowText(Item(KKvIdComposeText));
  std::u16string name;
  std::u16string number;
  HWND recipient = Item(KKvIdComposeRecipient);
  int selected = static_cast<int>(SendMessageW(recipient, CB_GETCURSEL, 0, 0));
  CKveMessagesItem* message = *iSlot;
  if (selected >= 0) {
    // The list sorts itself: find the contact by the name the entry shows.
    WCHAR shown[KMaxText] = {0};
    SendMessageW(recipient, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(shown));
    for (int i = 0; i < iContactIds->Count(); ++i) {
      CKveContactsItem* contact = static_cast<CKveContactsItem*>(iContacts->ReadItemL((*iContactIds)[i]));
      if (contact == nullptr) continue;
      bool match = Text(contact->Name()) == shown;
      if (match) {
        name = Text(contact->Name()).substr(0, KMaxText - 1);
        number = Text(contact->Number()).substr(0, KMaxText - 1);
      }
      delete contact;
      if (match) break;
    }
  } else {
    std::u16string typed = WindowText(recipient);
    if (message != nullptr && (Text(message->Name()) == typed || Text(message->Number()) == typed)) {
      name = Text(message->Name());
      number = Text(message->Number());
    } else {
      number = typed;
    }
  }
  if (text.empty() && name.empty() && number.empty()) return false;

  // A reply to an Inbox message or a copy of a sent one is a new Outbox
  // message of its own, dated when it is written, never the original's date.
  if (message == nullptr || message->Folder() == EKvFolderInbox || message->Folder() == EKvFolderSent) {
    CKveMessagesItem* made = static_cast<CKveMessagesItem*>(iMessages->NewItemL());
    if (made == nullptr) return false;
    delete message;
    message = made;
    *iSlot = message;
  }
  TConstPtr16 nameText(name.c_str(), static_cast<int>(name.size()));
  TConstPtr16 bodyText(text.c_str(), static_cast<int>(text.size()));
  TConstPtr16 numberText(number.c_str(), static_cast<int>(number.size()));
  message->SetDetailsL(&nameText, &bodyText, &numberText, EKvFolderOutbox);
  return true;
}

void CKvCreateNewMessage::SaveItemInDatabase() { KvStoreMessageL(*iMessages, **iSlot); }

void CKvCreateNewMessage::SendSmsMessage() { KvSendStoredMessageL(iHost, iWindow, *iMessages, **iSlot); }

LRESULT CKvCreateNewMessage::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::HandleCommand");
  int command = LOWORD(aWParam);
  if (command == KKvIdComposeText && HIWORD(aWParam) == EN_UPDATE) {
    UpdateCount();
    UpdateScrollBar();
    return 0;
  }
  // Escape closes as the taskbar's ok does, so a typed text is kept, not lost.
  if (command == KKvCmdCancel) command = KKvCmdOk;
  if (command != KKvCmdOk && command != KKvIdComposeSend) return KEpocNotHandled;
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::HandleCommand %1!d!", command);
  bool unchanged = IsTextUnchanged();
  // Closing a received or sent message only read keeps no copy of it.
  if (command == KKvCmdOk && unchanged && IsRecipientUnchanged()) {
    EndDialog(iWindow, KKvCmdOk);
    return 0;
  }
  if (!TextFitsOneLongMessage()) return 0;
  if (command == KKvIdComposeSend && iReceived && unchanged && !KvAskSendBackL(iWindow)) return 0;
  if (!GetDialogResults()) {
    EndDialog(iWindow, KKvCmdOk);
    return 0;
  }
  SaveItemInDatabase();
  if (command == KKvIdComposeSend) SendSmsMessage();
  EndDialog(iWindow, command);
  return 0;
}

LRESULT CKvCreateNewMessage::HandleNotify(HWND, UINT, WPARAM, LPARAM) {
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::HandleNotify");
  return KEpocNotHandled;
}

LRESULT CKvCreateNewMessage::HandleEventDefault(HWND, UINT aMessage, WPARAM aWParam, LPARAM) {
  LogMessage(KLogFilePath, u"CKvCreateNewMessage::HandleEventDefault");
  if (aMessage == WM_SETTINGCHANGE && aWParam == SPI_SETSIPINFO) {
    LayOutText();
    return 0;
  }
  if (aMessage == WM_ERASEBKGND) return 0;
  return KEpocNotHandled;
}

LRESULT CKvCreateNewMessage::Draw(const RECT& aRect) {
  RECT box;
  GetWindowRect(Item(KKvIdComposeText), &box);
  POINT top{box.left, box.top};
  ScreenToClient(iWindow, &top);
  HDC dc = PaintContext();
  HPEN pen = CreatePen(PS_SOLID, 0, 0);
  HGDIOBJ previous = SelectObject(dc, pen);
  POINT line[2] = {{aRect.left, top.y - 1}, {aRect.right, top.y - 1}};
  if (!Polyline(dc, line, 2)) LogMessageWithError(KLogFilePath, u"CKvCreateNewMessage::Draw - Polyline failed");
  SelectObject(dc, previous);
  DeleteObject(pen);
  return 0;
}
