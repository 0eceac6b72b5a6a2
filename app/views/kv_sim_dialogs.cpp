#include "app/views/kv_sim_dialogs.h"

#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"
#include "phone/sim_pin.h"
#include "phone/ussd.h"

namespace {

const int KMaxFieldText = 64;

std::u16string FieldText(HWND aDialog, int aId) {
  WCHAR text[KMaxFieldText] = {0};
  int length = static_cast<int>(
      SendDlgItemMessageW(aDialog, aId, WM_GETTEXT, KMaxFieldText, reinterpret_cast<LPARAM>(text)));
  std::u16string out(text, length > 0 ? static_cast<size_t>(length) : 0);
  for (WCHAR& c : text) c = 0;
  return out;
}

// Control characters from the network are shown as spaces; line breaks as the box's own.
std::u16string ShownReply(const std::u16string& aReply) {
  std::u16string out;
  for (char16_t c : aReply) {
    if (c == u'\n') {
      out += u"\r\n";
    } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || (c >= 0x202A && c <= 0x202E) ||
               (c >= 0x2066 && c <= 0x2069)) {
      out += u' ';
    } else {
      out += c;
    }
  }
  return out;
}

bool IsPin(const std::u16string& aText) {
  return IsWellFormedPin(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
}

bool IsUssd(const std::u16string& aText) {
  return IsUssdString(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
}

}  // namespace

std::u16string KvPinPrompt(int aAttemptsLeft, bool aRefusedBefore) {
  std::u16string prompt = aRefusedBefore ? u"The SIM refused the PIN. Enter another." : u"The SIM asks for its PIN.";
  if (aAttemptsLeft >= 0) {
    std::string count = std::to_string(aAttemptsLeft);
    prompt += u" " + std::u16string(count.begin(), count.end()) +
              (aAttemptsLeft == 1 ? u" attempt left." : u" attempts left.");
  }
  return prompt;
}

CKvPinDialog::CKvPinDialog(int aAttemptsLeft, bool aRefusedBefore, std::u16string& aPin)
    : iAttemptsLeft(aAttemptsLeft), iRefusedBefore(aRefusedBefore), iPin(aPin) {
  SetClassName(u"CKvPinDialog");
}

CKvPinDialog* CKvPinDialog::NewL(int aAttemptsLeft, bool aRefusedBefore, std::u16string& aPin) {
  return new CKvPinDialog(aAttemptsLeft, aRefusedBefore, aPin);
}

void CKvPinDialog::ShowPrompt(const std::u16string& aProblem) {
  std::u16string prompt = KvPinPrompt(iAttemptsLeft, iRefusedBefore);
  if (!aProblem.empty()) prompt = aProblem + u" " + prompt;
  SetDlgItemTextW(iWindow, KKvIdPinPrompt, prompt.c_str());
}

void CKvPinDialog::InitDialogL() {
  ShowPrompt(u"");
  SendDlgItemMessageW(iWindow, KKvIdPinField, EM_LIMITTEXT, KSimPinMaxLength, 0);
  SetFocus(GetDlgItem(iWindow, KKvIdPinField));
}

LRESULT CKvPinDialog::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  switch (LOWORD(aWParam)) {
    case KKvCmdOk: {
      std::u16string pin = FieldText(iWindow, KKvIdPinField);
      if (!IsPin(pin)) {
        ShowPrompt(u"A PIN is 4 to 8 digits.");
        return 0;
      }
      iPin = pin;
      for (char16_t& c : pin) c = 0;
      SetDlgItemTextW(iWindow, KKvIdPinField, u"");
      EndDialog(iWindow, KKvCmdOk);
      return 0;
    }
    case KKvCmdCancel:
      SetDlgItemTextW(iWindow, KKvIdPinField, u"");
      EndDialog(iWindow, KKvCmdCancel);
      return 0;
    default:
      return KEpocNotHandled;
  }
}

CKvUssdDialog::CKvUssdDialog(const std::u16string& aReply, bool aMenu, std::u16string& aAnswer)
    : iReply(aReply), iMenu(aMenu), iAnswer(aAnswer) {
  SetClassName(u"CKvUssdDialog");
}

CKvUssdDialog* CKvUssdDialog::NewL(const std::u16string& aReply, bool aMenu, std::u16string& aAnswer) {
  return new CKvUssdDialog(aReply, aMenu, aAnswer);
}

void CKvUssdDialog::InitDialogL() {
  InitFullScreenDialog();
  const bool asksCode = iReply.empty() && !iMenu;
  SetDlgItemTextW(iWindow, KKvIdUssdText,
                  asksCode ? u"A code for the network, such as *100# for the balance." : ShownReply(iReply).c_str());
  SetDlgItemTextW(iWindow, KKvIdUssdPrompt, asksCode ? u"Code:" : iMenu ? u"Answer:" : u"");
  SendDlgItemMessageW(iWindow, KKvIdUssdField, EM_LIMITTEXT, KUssdCodeLength, 0);
  if (!asksCode && !iMenu) ShowWindow(GetDlgItem(iWindow, KKvIdUssdField), SW_HIDE);
  else SetFocus(GetDlgItem(iWindow, KKvIdUssdField));
}

LRESULT CKvUssdDialog::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  switch (LOWORD(aWParam)) {
    case KKvCmdOk: {
      const bool asks = iMenu || iReply.empty();
      if (asks) {
        std::u16string text = FieldText(iWindow, KKvIdUssdField);
        if (!IsUssd(text)) {
          SetDlgItemTextW(iWindow, KKvIdUssdPrompt, u"Only digits, * and #:");
          return 0;
        }
        iAnswer = text;
      }
      EndDialog(iWindow, KKvCmdOk);
      return 0;
    }
    case KKvCmdCancel:
      EndDialog(iWindow, KKvCmdCancel);
      return 0;
    default:
      return KEpocNotHandled;
  }
}
