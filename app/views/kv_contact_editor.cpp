#include "app/views/kv_contact_editor.h"

#include <aygshell.h>

#include "app/document/app_globals.h"
#include "app/views/kv_modal_scope.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/errors.h"
#include "kernel/log.h"
#include "phone/phonebook_names.h"
#include "store/contacts.h"

namespace {

// Texts read from the boxes: 63 characters for name and number, 255 for
// the other details.
const int KMaxShortText = 64;
const int KMaxDetails = 256;

// The phone books' entries cannot hold more; the boxes stop the typing there.
void LimitText(HWND aDialog, int aId, int aLimit) {
  SendDlgItemMessageW(aDialog, aId, EM_LIMITTEXT, static_cast<WPARAM>(aLimit - 1), 0);
}

void SetText(HWND aDialog, int aId, const TDesc16& aText) {
  WCHAR text[KMaxDetails] = {0};
  int length = aText.Length() < KMaxDetails - 1 ? aText.Length() : KMaxDetails - 1;
  for (int i = 0; i < length; ++i) text[i] = aText[i];
  SetDlgItemTextW(aDialog, aId, text);
}

void InitEditor(HWND aDialog, const CKveContactsItem* aContact) {
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = aDialog;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN;
  SHInitDialog(&info);
  LimitText(aDialog, KKvIdContactName, KMaxShortText);
  LimitText(aDialog, KKvIdContactNumber, KMaxShortText);
  LimitText(aDialog, KKvIdContactDetails, KMaxDetails);
  SendDlgItemMessageW(aDialog, KKvIdContactStore, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Phone"));
  SendDlgItemMessageW(aDialog, KKvIdContactStore, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Sim"));
  SendDlgItemMessageW(aDialog, KKvIdContactStore, CB_SETCURSEL, EKvStoreOnSim, 0);
  if (aContact == nullptr) return;
  // The resource's caption is for a new contact.
  SetWindowTextW(aDialog, u"Edit Contact");
  SetText(aDialog, KKvIdContactName, aContact->Name());
  SetText(aDialog, KKvIdContactNumber, aContact->Number());
  SetText(aDialog, KKvIdContactDetails, aContact->OtherDetails());
  if (aContact->IsInPhoneMemory())
    SendDlgItemMessageW(aDialog, KKvIdContactStore, CB_SETCURSEL, EKvStoreOnPhone, 0);
}

// The other details reach down to the bottom of the dialog, above the
// input panel when it is up.
void StretchDetails(HWND aDialog) {
  HWND details = GetDlgItem(aDialog, KKvIdContactDetails);
  RECT box;
  GetWindowRect(details, &box);
  POINT topLeft{box.left, box.top};
  ScreenToClient(aDialog, &topLeft);
  RECT client;
  GetClientRect(aDialog, &client);
  MoveWindow(details, topLeft.x, topLeft.y, box.right - box.left, client.bottom - topLeft.y, TRUE);
}

// The record the editor running now confirms into: the editor is modal, so
// there is one at a time.
CKveContactsItem* gEditRecord = nullptr;

// Fills the edit record from the boxes: 0, or the error that keeps the
// editor open with what was typed.
int SaveInto(CKveContactsItem* aRecord, const TDesc16& aName, const TDesc16& aNumber, const TDesc16& aDetails,
             int aStore) {
  if (aRecord == nullptr) return KErrGeneral;
  // The record is reused: the phone book and marks of an earlier contact
  // must not carry over to this one.
  aRecord->Reset();
  aRecord->SetDetailsL(&aName, &aNumber, &aDetails);
  if (aStore == EKvStoreOnSim)
    aRecord->SetOnSim();
  else if (aStore == EKvStoreOnPhone)
    aRecord->SetInPhoneMemory();
  // A text that could not be copied leaves the record short of it.
  if (!(aRecord->Name() == aName) || !(aRecord->Number() == aNumber) || !(aRecord->OtherDetails() == aDetails))
    return KErrNoMemory;
  return KErrNone;
}

// Done: a contact needs a name or a number to be saved; with neither the
// editor ends and saves nothing, since it has no cancel button.
void Confirm(HWND aDialog) {
  WCHAR name[KMaxShortText] = {0};
  WCHAR number[KMaxShortText] = {0};
  WCHAR details[KMaxDetails] = {0};
  GetDlgItemTextW(aDialog, KKvIdContactName, name, KMaxShortText);
  GetDlgItemTextW(aDialog, KKvIdContactNumber, number, KMaxShortText);
  GetDlgItemTextW(aDialog, KKvIdContactDetails, details, KMaxDetails);
  int store = static_cast<int>(SendDlgItemMessageW(aDialog, KKvIdContactStore, CB_GETCURSEL, 0, 0));
  // A pasted line break would reach the phone's line with the name.
  name[MakeOneLine(name, TConstPtr16(name).Length())] = 0;
  TConstPtr16 nameText(name);
  TConstPtr16 numberText(number);
  TConstPtr16 detailsText(details);
  if (nameText.Length() == 0 && numberText.Length() == 0) {
    EndDialog(aDialog, KKvContactEditorEmpty);
    return;
  }
  int error = SaveInto(gEditRecord, nameText, numberText, detailsText, store);
  if (error != KErrNone) {
    LogMessage(KLogFilePath, u"NewContact - Failed to save contact %1!d!", error);
    return;
  }
  EndDialog(aDialog, 0);
}

}  // namespace

INT_PTR CALLBACK KvContactEditorProc(HWND aDialog, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (aMessage) {
    case WM_INITDIALOG:
      InitEditor(aDialog, reinterpret_cast<const CKveContactsItem*>(aLParam));
      return TRUE;  // the name box takes the focus
    case WM_SETTINGCHANGE:
      if (aWParam != SPI_SETSIPINFO) return 0;
      SHHandleWMSettingChange(aDialog, aWParam, aLParam, nullptr);
      StretchDetails(aDialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(aWParam) != KKvCmdOk) return 0;
      Confirm(aDialog);
      return TRUE;
    default:
      return 0;
  }
}

int KvRunContactEditorL(HWND aParent, CKveContactsItem* aContact, CKveContactsItem* aEditRecord) {
  HRSRC resource = FindResourceW(gKvInstance, MAKEINTRESOURCEW(KKvDlgContactEditor), RT_DIALOG);
  HGLOBAL loaded = resource != nullptr ? LoadResource(gKvInstance, resource) : nullptr;
  const DLGTEMPLATE* dialogTemplate = loaded != nullptr ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
  if (dialogTemplate == nullptr) {
    LogMessageWithError(KLogFilePath, u"KvRunContactEditorL - no dialog resource %1!d!", KKvDlgContactEditor);
    return -1;
  }
  CKveContactsItem* outer = gEditRecord;
  gEditRecord = aEditRecord;
  TKvModalScope modal;
  int result = static_cast<int>(DialogBoxIndirectParamW(gKvInstance, dialogTemplate, aParent, KvContactEditorProc,
                                                        reinterpret_cast<LPARAM>(aContact)));
  gEditRecord = outer;
  return result;
}
