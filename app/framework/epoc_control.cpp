#include "app/framework/epoc_control.h"

#include "app/document/epoc_application.h"
#include "kernel/hwndmap.h"
#include "kernel/log.h"
#include "kernel/panic.h"
#include "kernel/requests.h"

// Every control starts invisible; its owner shows it once it has an extent.
CEpocControl::CEpocControl() : iFlags(KFlagInvisible) { SetClassName(nullptr); }

CEpocControl::~CEpocControl() {
  LogMessage(KLogFilePath, u"CEpocControl::~CEpocControl");
  if (!OwnsWindow()) return;
  if (ClassName() != nullptr)
    LogMessage(KLogFilePath, u"CEpocControl::~CEpocControl %1!s! = 0x%2!x!", ClassName(), iWindow);
  else
    LogMessage(KLogFilePath, u"CEpocControl::~CEpocControl name NULL - this = 0x%1!x!, Wnd = 0x%2!x!", this,
               iWindow);
  if (CHWndMap* map = EpocWindowMap()) map->RemoveMapping(this, iWindow);
}

LRESULT CEpocControl::HandleNotify(HWND, UINT, WPARAM, LPARAM) { return KEpocNotHandled; }
LRESULT CEpocControl::HandleCommand(HWND, UINT, WPARAM, LPARAM) { return KEpocNotHandled; }
LRESULT CEpocControl::HandleEventDefault(HWND, UINT, WPARAM, LPARAM) { return KEpocNotHandled; }
void CEpocControl::DoMakeVisible(bool) {}
void CEpocControl::SizeChangedL() {}
int CEpocControl::CountComponentControls() const { return 0; }

CEpocControl* CEpocControl::ComponentControl(int) const {
  PanicEpocControl(0);
  return nullptr;
}

LRESULT CEpocControl::Draw(const RECT&) { return 0; }

void CEpocControl::SetWindowL(HWND aWindow) {
  if (ClassName() != nullptr)
    LogMessage(KLogFilePath, u"CEpocControl::SetWindowL %1!s! = 0x%2!x!", ClassName(), aWindow);
  else
    LogMessage(KLogFilePath, u"CEpocControl::SetWindowL name NULL - this = 0x%1!x!, Wnd = 0x%2!x!", this, aWindow);
  if (CHWndMap* map = EpocWindowMap()) map->AddMapping(this, aWindow);
  iWindow = aWindow;
  iFlags |= KFlagOwnWindow;
}

HWND CEpocControl::Window() const {
  if (OwnsWindow()) return iWindow;
  return iParent != nullptr ? iParent->Window() : nullptr;
}

HDC CEpocControl::PaintContext() const {
  if (OwnsWindow()) return iPaintContext;
  return iParent != nullptr ? iParent->PaintContext() : nullptr;
}

void CEpocControl::SetExtentL(const TEpocRect& aRect) {
  LogMessage(KLogFilePath, u"CEpocControl::SetExtentL %1!d! %2!d! %3!d! %4!d!", aRect.iX, aRect.iWidth, aRect.iY,
             aRect.iHeight);
  iRect = aRect;
  SizeChangedL();
}

void CEpocControl::MakeVisible(bool aFlag) {
  if (aFlag)
    iFlags &= ~KFlagInvisible;
  else
    iFlags |= KFlagInvisible;
  if (OwnsWindow()) ShowWindow(iWindow, aFlag ? SW_SHOW : SW_HIDE);
  DoMakeVisible(aFlag);
}

LRESULT CEpocControl::DispatchMessageL(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  if (aMessage == WM_PAINT) return HandleRedraw(aWindow);
  int count = CountComponentControls();
  for (int i = 0; i < count; ++i) {
    CEpocControl* component = ComponentControl(i);
    if (component == nullptr || !component->IsVisible()) continue;
    LRESULT result = component->DispatchMessageL(aWindow, aMessage, aWParam, aLParam);
    if (result >= KEpocDefault) return result;
  }
  if (aMessage == WM_NOTIFY) return HandleNotify(aWindow, aMessage, aWParam, aLParam);
  if (aMessage == WM_COMMAND) return HandleCommand(aWindow, aMessage, aWParam, aLParam);
  return HandleEventDefault(aWindow, aMessage, aWParam, aLParam);
}

LRESULT CEpocControl::HandleRedraw(HWND aWindow) {
  LogMessage(KLogFilePath, u"CEpocControl::HandleRedraw");
  PAINTSTRUCT paint;
  iPaintContext = BeginPaint(aWindow, &paint);
  RECT client;
  GetClientRect(aWindow, &client);
  LRESULT result = Draw(client);
  if (result != KEpocDefault) DrawWindowlessComponents(client);
  EndPaint(aWindow, &paint);
  iPaintContext = nullptr;
  return result;
}

void CEpocControl::DrawWindowlessComponents(const RECT& aRect) {
  int count = CountComponentControls();
  for (int i = 0; i < count; ++i) {
    CEpocControl* component = ComponentControl(i);
    if (component == nullptr || !component->IsVisible() || component->OwnsWindow()) continue;
    component->Draw(aRect);
    component->DrawWindowlessComponents(aRect);
  }
}

CEpocApplication* CEpocAppUi::Application() const {
  return iDocument != nullptr ? iDocument->Application() : nullptr;
}
