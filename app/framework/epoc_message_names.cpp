// Names of window messages and common-control notifications for the
// window procedure's trace; a diagnostic aid, so only the ones this program
// meets are named.
#include <commctrl.h>
#include <windbase.h>

#include "app/framework/epoc_wndproc.h"
#include "engine/engine_action.h"

namespace {

struct TMessageName {
  UINT iCode;
  LPCWSTR iName;
};

// Each entry's name is its identifier, so the table cannot disagree with the headers.
#define KV_WIDE(aText) u##aText
#define KV_NAMED(aCode) {static_cast<UINT>(aCode), KV_WIDE(#aCode)}

const TMessageName KMessageNames[] = {
    KV_NAMED(WM_CREATE), KV_NAMED(WM_DESTROY), KV_NAMED(WM_MOVE),
    KV_NAMED(WM_SIZE), KV_NAMED(WM_ACTIVATE), KV_NAMED(WM_SETFOCUS),
    KV_NAMED(WM_KILLFOCUS), KV_NAMED(WM_ENABLE), KV_NAMED(WM_SETTEXT),
    KV_NAMED(WM_GETTEXT), KV_NAMED(WM_GETTEXTLENGTH), KV_NAMED(WM_PAINT),
    KV_NAMED(WM_CLOSE), KV_NAMED(WM_QUIT), KV_NAMED(WM_ERASEBKGND),
    KV_NAMED(WM_SHOWWINDOW), KV_NAMED(WM_SETTINGCHANGE), KV_NAMED(WM_CANCELMODE),
    KV_NAMED(WM_SETFONT), KV_NAMED(WM_GETFONT), KV_NAMED(WM_WINDOWPOSCHANGING),
    KV_NAMED(WM_WINDOWPOSCHANGED), KV_NAMED(WM_HELP), KV_NAMED(WM_NCCREATE),
    KV_NAMED(WM_NCDESTROY), KV_NAMED(WM_NCPAINT), KV_NAMED(WM_GETDLGCODE),
    KV_NAMED(WM_KEYDOWN), KV_NAMED(WM_KEYUP), KV_NAMED(WM_CHAR),
    KV_NAMED(WM_INITDIALOG), KV_NAMED(WM_COMMAND), KV_NAMED(WM_TIMER),
    KV_NAMED(WM_HSCROLL), KV_NAMED(WM_VSCROLL), KV_NAMED(WM_INITMENUPOPUP),
    KV_NAMED(WM_MENUSELECT), KV_NAMED(WM_ENTERIDLE), KV_NAMED(WM_CTLCOLOREDIT),
    KV_NAMED(WM_CTLCOLORLISTBOX), KV_NAMED(WM_CTLCOLORBTN), KV_NAMED(WM_CTLCOLORDLG),
    KV_NAMED(WM_CTLCOLORSTATIC), KV_NAMED(WM_LBUTTONDOWN), KV_NAMED(WM_LBUTTONUP),
    KV_NAMED(WM_LBUTTONDBLCLK), KV_NAMED(WM_DBNOTIFICATION), KV_NAMED(EKvActionInProgress),
    KV_NAMED(EKvActionComplete),
};

const TMessageName KNotifyNames[] = {
    KV_NAMED(NM_CLICK), KV_NAMED(NM_DBLCLK), KV_NAMED(NM_RCLICK),
    KV_NAMED(NM_SETFOCUS), KV_NAMED(NM_KILLFOCUS), KV_NAMED(NM_CUSTOMDRAW),
    KV_NAMED(LVN_ITEMCHANGING), KV_NAMED(LVN_ITEMCHANGED), KV_NAMED(LVN_COLUMNCLICK),
    KV_NAMED(LVN_BEGINDRAG), KV_NAMED(LVN_ITEMACTIVATE), KV_NAMED(LVN_KEYDOWN),
    KV_NAMED(TVN_SELCHANGINGW), KV_NAMED(TVN_SELCHANGEDW), KV_NAMED(TVN_ITEMEXPANDINGW),
    KV_NAMED(TVN_ITEMEXPANDEDW), KV_NAMED(TCN_SELCHANGE), KV_NAMED(GN_CONTEXTMENU),
};

#undef KV_NAMED
#undef KV_WIDE

template <size_t N>
LPCWSTR Lookup(const TMessageName (&aTable)[N], UINT aCode) {
  for (const TMessageName& entry : aTable)
    if (entry.iCode == aCode) return entry.iName;
  return nullptr;
}

UINT NotifyCode(LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  return header != nullptr ? header->code : 0;
}

}  // namespace

LPCWSTR EpocMessageName(UINT aMessage, LPARAM aLParam) {
  if (aMessage == WM_NOTIFY) return Lookup(KNotifyNames, NotifyCode(aLParam));
  return Lookup(KMessageNames, aMessage);
}

bool EpocIsQuietMessage(UINT aMessage, LPARAM aLParam) {
  switch (aMessage) {
    case WM_SETCURSOR:
    case WM_NCHITTEST:
    case WM_MOUSEMOVE:
    case WM_CAPTURECHANGED:
      return true;
    case WM_NOTIFY: {
      UINT code = NotifyCode(aLParam);
      // A list box asking for a row's line does so for every row it paints.
      return code == LVN_KEYDOWN || code == LVN_BEGINDRAG || code == LVN_ITEMCHANGED || code == LVN_ITEMCHANGING ||
             code == static_cast<UINT>(NM_CUSTOMDRAW) || code == LBN_GETDISPINFOW;
    }
    default:
      return false;
  }
}
