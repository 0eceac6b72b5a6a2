#include "app/views/kv_frame.h"

#include <aygshell.h>

#include "app/document/app_globals.h"
#include "app/framework/epoc_app_window.h"
#include "app/framework/epoc_wndproc.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"

namespace {

const int KTreeWidth = 200;
const int KTreeHeight = 130;
// Hit flags the folder tree reacts to.
const UINT KHitOutside = TVHT_ABOVE | TVHT_BELOW | TVHT_TORIGHT | TVHT_TOLEFT;
const UINT KHitOnItem = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
// The antenna: the last of the menu bar's 16-pixel images, in a 24-pixel
// square at the band's right end.
const int KImageSize = 16;
const int KAntennaImage = 3;
const int KAntennaBox = 24;

}  // namespace

CKvFrame::CKvFrame(MKvFrameHost* aHost) : iHost(aHost), iComponents(8) { SetClassName(u"CKvFrame"); }

CKvFrame* CKvFrame::NewL(MKvFrameHost* aHost) {
  LogMessage(KLogFilePath, u"CKvFrame::NewL");
  CKvFrame* self = new CKvFrame(aHost);
  if (self != nullptr) self->ConstructL();
  return self;
}

void CKvFrame::ConstructL() {
  RegisterWindowClass();
  HWND window = CreateEpocApplicationWindow(this, gKvInstance, nullptr, KKvStrWindowTitle, KKvStrWindowClass);
  if (window == nullptr) return;
  gKvMainFrameWindow = window;
  CreateChildWindows();
  if (!SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON))
    LogMessageWithError(KLogFilePath, u"CKvFrame::NewL - error attempting SHFullScreen");
  RECT client;
  GetClientRect(window, &client);
  SetExtentL(TEpocRect{client.left, client.top, client.right - client.left, client.bottom - client.top});
  MakeVisible(true);
}

CKvFrame::~CKvFrame() {
  if (iMenuBar != nullptr) DestroyWindow(iMenuBar);
  if (iWindow != nullptr) {
    if (gKvMainFrameWindow == iWindow) gKvMainFrameWindow = nullptr;
    DestroyWindow(iWindow);
  }
  if (iBackgroundBrush != nullptr) DeleteObject(iBackgroundBrush);
  if (iImages != nullptr) DeleteObject(iImages);
}

void CKvFrame::RegisterWindowClass() {
  WCHAR className[128];
  LoadStringW(gKvInstance, KKvStrWindowClass, className, 128);
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = EpocMainWndProc;
  windowClass.hInstance = gKvInstance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);
}

void CKvFrame::CreateChildWindows() {
  iBackgroundColour = GetSysColor(COLOR_BTNFACE);
  iBackgroundBrush = CreateSolidBrush(iBackgroundColour);
  LPCWSTR current = iHost->CurrentTitle();
  iTitleButton = CreateWindowExW(0, u"Button", current != nullptr ? current : u"Inbox", WS_CHILD, 0, 0, 0, 0,
                                 iWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(KKvIdTitleButton)),
                                 gKvInstance, nullptr);
  // The views are top-level windows above the frame, so the tree that
  // opens over them is one too, owned by the frame (which gets its notices).
  // It carries the program's title for the taskbar while it is active.
  WCHAR title[128] = {0};
  LoadStringW(gKvInstance, KKvStrWindowTitle, title, 128);
  iTree = CreateWindowExW(0, WC_TREEVIEWW, title, WS_POPUP | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                          0, 0, 0, 0, iWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(KKvIdFolderTree)),
                          gKvInstance, nullptr);
  TVINSERTSTRUCTW insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  insert.item.pszText = const_cast<LPWSTR>(u"Folders");
  insert.item.cChildren = 1;
  iTreeRoot = reinterpret_cast<HTREEITEM>(SendMessageW(iTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM CKvFrame::AddFolder(LPCWSTR aText) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = iTreeRoot;
  insert.hInsertAfter = TVI_SORT;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<LPWSTR>(aText);
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(iTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  SendMessageW(iTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(iTreeRoot));
  return item;
}

void CKvFrame::SizeChangedL() {
  MoveWindow(iTitleButton, 0, 0, KTitleButtonWidth, KTitleBandHeight, TRUE);
  POINT origin{0, KTitleBandHeight};
  ClientToScreen(iWindow, &origin);
  MoveWindow(iTree, origin.x, origin.y, KTreeWidth, KTreeHeight, TRUE);
}

void CKvFrame::DoMakeVisible(bool aFlag) { ShowWindow(iTitleButton, aFlag ? SW_SHOW : SW_HIDE); }

LRESULT CKvFrame::Draw(const RECT& aRect) {
  LogMessage(KLogFilePath, u"CKvFrame::Draw");
  RECT band = {KTitleButtonWidth, aRect.top, aRect.right, aRect.top + KTitleBandHeight};
  FillRect(PaintContext(), &band, iBackgroundBrush);
  if (iListeningShown) DrawListening(PaintContext());
  return 0;
}

RECT CKvFrame::ListeningRect() const {
  RECT client{};
  GetClientRect(iWindow, &client);
  int top = (KTitleBandHeight - KAntennaBox) / 2;
  return RECT{client.right - KAntennaBox - 2, top, client.right - 2, top + KAntennaBox};
}

void CKvFrame::DrawListening(HDC aDc) const {
  if (iImages == nullptr) return;
  HDC images = CreateCompatibleDC(aDc);
  if (images == nullptr) return;
  HGDIOBJ old = SelectObject(images, iImages);
  RECT box = ListeningRect();
  int offset = (KAntennaBox - KImageSize) / 2;
  BitBlt(aDc, box.left + offset, box.top + offset, KImageSize, KImageSize, images, KAntennaImage * KImageSize, 0,
         SRCCOPY);
  SelectObject(images, old);
  DeleteDC(images);
}

// Views are top-level windows, so their area is in screen coordinates:
// below the title band, above the menu bar.
TEpocRect CKvFrame::ViewArea() const {
  RECT client{};
  GetClientRect(iWindow, &client);
  POINT origin{client.left, client.top};
  ClientToScreen(iWindow, &origin);
  return TEpocRect{origin.x, origin.y + KTitleBandHeight, client.right - client.left,
                   client.bottom - client.top - 2 * KTitleBandHeight};
}

void CKvFrame::CreateRpCommandBar(HWND aWindow, int aMenuId) {
  if (iMenuBar != nullptr) DestroyWindow(iMenuBar);
  iMenuBar = nullptr;
  SHMENUBARINFO info{};
  info.cbSize = 32;
  info.hwndParent = aWindow;
  info.dwFlags = 0;
  info.nToolBarId = aMenuId;
  info.hInstRes = gKvInstance;
  info.nBmpId = KKvBitmapMenuBar;
  info.cBmpImages = KKvMenuBarImages;
  if (!SHCreateMenuBar(&info)) {
    LogMessageWithError(KLogFilePath, u"CreateRpCommandBar - Create menubar failed");
    return;
  }
  iMenuBar = info.hwndMB;
}

void CKvFrame::ShowListening(bool aOn) {
  iListeningShown = aOn;
  if (aOn && iImages == nullptr)
    iImages = LoadBitmapW(gKvInstance, MAKEINTRESOURCEW(KKvBitmapMenuBar));
  RECT box = ListeningRect();
  InvalidateRect(iWindow, &box, TRUE);
}

void CKvFrame::ResetTitle() {
  LPCWSTR current = iHost->CurrentTitle();
  if (current != nullptr) SetWindowTextW(iTitleButton, current);
}

void CKvFrame::ShowTree() {
  SendMessageW(iTree, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(iHost->CurrentFolder()));
  ShowWindow(iTree, SW_SHOW);
  BringWindowToTop(iTree);
  SetWindowTextW(iTitleButton, u"Show");
  iTreeShown = true;
}

void CKvFrame::HideTree() {
  ShowWindow(iTree, SW_HIDE);
  ResetTitle();
  iTreeShown = false;
}

bool CKvFrame::HandleTreeKey(const MSG& aMessage) {
  if (!iTreeShown || aMessage.message != WM_KEYDOWN || aMessage.wParam != VK_ESCAPE) return false;
  HideTree();
  return true;
}

LRESULT CKvFrame::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  if (LOWORD(aWParam) != KKvIdTitleButton) return KEpocNotHandled;
  if (!iTreeShown && iHost->CurrentTitle() != nullptr)
    ShowTree();
  else
    HideTree();
  return 0;
}

LRESULT CKvFrame::HandleTreeClick() {
  DWORD position = GetMessagePos();
  TVHITTESTINFO hit{};
  hit.pt.x = static_cast<SHORT>(LOWORD(position));
  hit.pt.y = static_cast<SHORT>(HIWORD(position));
  ScreenToClient(iTree, &hit.pt);
  SendMessageW(iTree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if ((hit.flags & KHitOutside) != 0) {
    HideTree();
    return 0;
  }
  if ((hit.flags & KHitOnItem) != 0) {
    if (!iHost->ShowFolderL(hit.hItem)) return 0;  // "Folders" itself: the tree stays open
    HideTree();
    return 0;
  }
  return KEpocNotHandled;
}

bool CKvFrame::StylusOnTitleButton() const {
  DWORD position = GetMessagePos();
  POINT point{static_cast<SHORT>(LOWORD(position)), static_cast<SHORT>(HIWORD(position))};
  RECT button{};
  GetWindowRect(iTitleButton, &button);
  return PtInRect(&button, point) != FALSE;
}

LRESULT CKvFrame::HandleNotify(HWND, UINT, WPARAM, LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  if (header == nullptr) return KEpocNotHandled;
  int code = static_cast<int>(header->code);
  if (code == NM_SETFOCUS && header->hwndFrom != iTree) {
    HideTree();
    return 0;
  }
  if (code == NM_CLICK) return HandleTreeClick();
  // The tree is a window of its own above the views, so a tap elsewhere
  // shows as its losing the focus; a tap on the title button toggles it
  // there instead.
  if (code == NM_KILLFOCUS && header->hwndFrom == iTree && iTreeShown && !StylusOnTitleButton()) {
    HideTree();
    return 0;
  }
  return KEpocNotHandled;
}

LRESULT CKvFrame::HandleEventDefault(HWND, UINT aMessage, WPARAM, LPARAM aLParam) {
  switch (aMessage) {
    case WM_LBUTTONDOWN: {
      POINT tap{static_cast<SHORT>(LOWORD(aLParam)), static_cast<SHORT>(HIWORD(aLParam))};
      RECT box = ListeningRect();
      if (!iListeningShown || !PtInRect(&box, tap)) return KEpocNotHandled;
      iHost->ToggleListeningL();
      return 0;
    }
    case WM_DBNOTIFICATION:
      iHost->UpdateViewsL(*reinterpret_cast<const CENOTIFICATION*>(aLParam));
      return 0;
    case WM_CANCELMODE:
      if (!iTreeShown) return KEpocDefault;
      HideTree();
      return 0;
    case WM_ERASEBKGND:
      return 0;
    default:
      return KEpocNotHandled;
  }
}
