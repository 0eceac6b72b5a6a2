#include "app/views/kv_question.h"

bool KvAskL(HWND aWindow, LPCWSTR aCaption, const std::u16string& aQuestion) {
  return MessageBoxW(aWindow, aQuestion.c_str(), aCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool KvAskSendBackL(HWND aWindow) { return KvAskL(aWindow, u"Send", u"This is the received text, unchanged. Send it?"); }
