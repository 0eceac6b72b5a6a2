#include "app/views/kv_question.h"

#include "app/views/kv_modal_scope.h"
#include "kernel/log.h"

int KvShowBoxL(HWND aWindow, LPCWSTR aCaption, const std::u16string& aText, UINT aType) {
  TKvModalScope modal;
  LogMessage(KLogFilePath, u"KvShowBoxL - MessageBox: %1!s!", aCaption);
  int answer = MessageBoxW(aWindow, aText.c_str(), aCaption, aType);
  LogMessage(KLogFilePath, u"KvShowBoxL - MessageBox answered %1!d!", answer);
  return answer;
}

bool KvAskL(HWND aWindow, LPCWSTR aCaption, const std::u16string& aQuestion) {
  return KvShowBoxL(aWindow, aCaption, aQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool KvAskSendBackL(HWND aWindow) { return KvAskL(aWindow, u"Send", u"This is the received text, unchanged. Send it?"); }
