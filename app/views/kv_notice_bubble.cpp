#include "app/views/kv_notice_bubble.h"

#include "app/document/app_globals.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/hwndmap.h"
#include "kernel/log.h"
#include "kernel/requests.h"

namespace {

// Just above the menu bar, so that the Inbox's title and its newest rows
// stay in sight.
const int KLeft = 3;
const int KWidth = 234;
const int KHeight = 62;
const int KMenuBarHeight = 26;
const int KGap = 4;
const int KMargin = 5;
const int KHeadingHeight = 16;
const UINT_PTR KHideTimer = 1;
const COLORREF KBackground = RGB(255, 255, 225);
const UINT KTextFormat = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
// A longer notice grows upwards as far as this, and is cut short beyond.
const int KMaxHeight = 200;

}  // namespace

CKvNoticeBubble::CKvNoticeBubble() { SetClassName(u"CKvNoticeBubble"); }

CKvNoticeBubble* CKvNoticeBubble::NewL(HWND aOwner) {
  CKvNoticeBubble* self = new CKvNoticeBubble;
  if (self != nullptr) self->ConstructL(aOwner);
  return self;
}

void CKvNoticeBubble::ConstructL(HWND aOwner) {
  WCHAR className[128] = {0};
  LoadStringW(gKvInstance, KKvStrWindowClass, className, 128);
  CHWndMap* map = EpocWindowMap();
  if (map != nullptr) map->SetPendingControl(this);
  // No title: the single-instance test looks for the frame by its title.
  int top = GetSystemMetrics(SM_CYSCREEN) - KMenuBarHeight - KGap - KHeight;
  HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, className, u"", WS_POPUP | WS_BORDER, KLeft, top,
                                KWidth, KHeight, aOwner, nullptr, gKvInstance, nullptr);
  if (window != nullptr)
    SetWindowL(window);
  else
    LogMessageWithError(KLogFilePath, u"CKvNoticeBubble::ConstructL - no window");
  if (map != nullptr) map->SetPendingControl(nullptr);
  LOGFONTW font{};
  font.lfHeight = -11;
  font.lfWeight = FW_BOLD;
  iHeadingFont = CreateFontIndirectW(&font);
}

CKvNoticeBubble::~CKvNoticeBubble() {
  if (iWindow != nullptr) {
    KillTimer(iWindow, KHideTimer);
    DestroyWindow(iWindow);
  }
  if (iHeadingFont != nullptr) DeleteObject(iHeadingFont);
}

void CKvNoticeBubble::ShowL(LPCWSTR aHeading, LPCWSTR aText) {
  if (iWindow == nullptr) return;
  iHeading = aHeading;
  iText = aText;
  iShown = true;
  SetTimer(iWindow, KHideTimer, KShownMs, nullptr);
  InvalidateRect(iWindow, nullptr, TRUE);
  // Every line of the text in sight: the bubble grows upwards from its
  // place above the menu bar.
  int height = HeightFor(iText);
  int top = GetSystemMetrics(SM_CYSCREEN) - KMenuBarHeight - KGap - height;
  SetWindowPos(iWindow, HWND_TOPMOST, KLeft, top, KWidth, height, SWP_NOACTIVATE);
  ShowWindow(iWindow, SW_SHOWNA);
}

int CKvNoticeBubble::HeightFor(const std::u16string& aText) const {
  RECT window{}, client{};
  GetWindowRect(iWindow, &window);
  GetClientRect(iWindow, &client);
  int frame = (window.bottom - window.top) - (client.bottom - client.top);
  RECT text{0, 0, KWidth - ((window.right - window.left) - client.right) - 2 * KMargin, 0};
  HDC dc = GetDC(iWindow);
  if (dc == nullptr) return KHeight;
  DrawTextW(dc, aText.c_str(), -1, &text, KTextFormat | DT_CALCRECT);
  ReleaseDC(iWindow, dc);
  int height = frame + 4 + KHeadingHeight + 2 + (text.bottom - text.top) + 4;
  return height < KHeight ? KHeight : height > KMaxHeight ? KMaxHeight : height;
}

void CKvNoticeBubble::Hide() {
  if (iWindow == nullptr || !iShown) return;
  iShown = false;
  KillTimer(iWindow, KHideTimer);
  ShowWindow(iWindow, SW_HIDE);
}

LRESULT CKvNoticeBubble::Draw(const RECT& aRect) {
  HDC dc = PaintContext();
  HBRUSH background = CreateSolidBrush(KBackground);
  FillRect(dc, &aRect, background);
  DeleteObject(background);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT heading{aRect.left + KMargin, aRect.top + 4, aRect.right - KMargin, aRect.top + 4 + KHeadingHeight};
  HGDIOBJ oldFont = iHeadingFont != nullptr ? SelectObject(dc, iHeadingFont) : nullptr;
  DrawTextW(dc, iHeading.c_str(), -1, &heading, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  RECT text{aRect.left + KMargin, heading.bottom + 2, aRect.right - KMargin, aRect.bottom - 4};
  DrawTextW(dc, iText.c_str(), -1, &text, KTextFormat | DT_END_ELLIPSIS);
  return 0;
}

LRESULT CKvNoticeBubble::HandleEventDefault(HWND, UINT aMessage, WPARAM aWParam, LPARAM) {
  switch (aMessage) {
    case WM_TIMER:
      if (aWParam != KHideTimer) return KEpocNotHandled;
      Hide();
      return 0;
    case WM_LBUTTONDOWN:
      Hide();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return KEpocNotHandled;
  }
}
