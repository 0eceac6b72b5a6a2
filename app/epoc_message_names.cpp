// Names of window messages and common-control notifications for the
// window procedure's trace; a diagnostic aid, so only the ones this program
// meets are named.
#include "app/epoc_wndproc.h"

namespace {

struct TMessageName {
  int iCode;
  LPCWSTR iName;
};

const TMessageName KMessageNames[] = {
    {0x0001, u"WM_CREATE"},        {0x0002, u"WM_DESTROY"},        {0x0003, u"WM_MOVE"},
    {0x0005, u"WM_SIZE"},          {0x0006, u"WM_ACTIVATE"},       {0x0007, u"WM_SETFOCUS"},
    {0x0008, u"WM_KILLFOCUS"},     {0x000A, u"WM_ENABLE"},         {0x000C, u"WM_SETTEXT"},
    {0x000D, u"WM_GETTEXT"},       {0x000E, u"WM_GETTEXTLENGTH"},  {0x000F, u"WM_PAINT"},
    {0x0010, u"WM_CLOSE"},         {0x0012, u"WM_QUIT"},           {0x0014, u"WM_ERASEBKGND"},
    {0x0018, u"WM_SHOWWINDOW"},    {0x001A, u"WM_SETTINGCHANGE"},  {0x001F, u"WM_CANCELMODE"},
    {0x0030, u"WM_SETFONT"},       {0x0031, u"WM_GETFONT"},        {0x0046, u"WM_WINDOWPOSCHANGING"},
    {0x0047, u"WM_WINDOWPOSCHANGED"}, {0x0053, u"WM_HELP"},        {0x0081, u"WM_NCCREATE"},
    {0x0082, u"WM_NCDESTROY"},     {0x0085, u"WM_NCPAINT"},        {0x0087, u"WM_GETDLGCODE"},
    {0x0100, u"WM_KEYDOWN"},       {0x0101, u"WM_KEYUP"},          {0x0102, u"WM_CHAR"},
    {0x0110, u"WM_INITDIALOG"},    {0x0111, u"WM_COMMAND"},        {0x0113, u"WM_TIMER"},
    {0x0114, u"WM_HSCROLL"},       {0x0115, u"WM_VSCROLL"},        {0x0117, u"WM_INITMENUPOPUP"},
    {0x011F, u"WM_MENUSELECT"},    {0x0121, u"WM_ENTERIDLE"},      {0x0133, u"WM_CTLCOLOREDIT"},
    {0x0134, u"WM_CTLCOLORLISTBOX"}, {0x0135, u"WM_CTLCOLORBTN"},  {0x0136, u"WM_CTLCOLORDLG"},
    {0x0138, u"WM_CTLCOLORSTATIC"}, {0x0201, u"WM_LBUTTONDOWN"},   {0x0202, u"WM_LBUTTONUP"},
    {0x0203, u"WM_LBUTTONDBLCLK"}, {0x03FD, u"WM_DBNOTIFICATION"}, {0x2719, u"EKvActionInProgress"},
    {0x271A, u"EKvActionComplete"},
};

const TMessageName KNotifyNames[] = {
    {-2, u"NM_CLICK"},
    {-3, u"NM_DBLCLK"},
    {-5, u"NM_RCLICK"},
    {-7, u"NM_SETFOCUS"},
    {-8, u"NM_KILLFOCUS"},
    {-12, u"NM_CUSTOMDRAW"},
    {-100, u"LVN_ITEMCHANGING"},
    {-101, u"LVN_ITEMCHANGED"},
    {-108, u"LVN_COLUMNCLICK"},
    {-109, u"LVN_BEGINDRAG"},
    {-114, u"LVN_ITEMACTIVATE"},
    {-155, u"LVN_KEYDOWN"},
    {-401, u"TVN_SELCHANGINGW"},
    {-402, u"TVN_SELCHANGEDW"},
    {-405, u"TVN_ITEMEXPANDINGW"},
    {-406, u"TVN_ITEMEXPANDEDW"},
    {-551, u"TCN_SELCHANGE"},
    {1000, u"GN_CONTEXTMENU"},
};

template <size_t N>
LPCWSTR Lookup(const TMessageName (&aTable)[N], int aCode) {
  for (const TMessageName& entry : aTable)
    if (entry.iCode == aCode) return entry.iName;
  return nullptr;
}

int NotifyCode(LPARAM aLParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(aLParam);
  return header != nullptr ? static_cast<int>(header->code) : 0;
}

}  // namespace

LPCWSTR EpocMessageName(UINT aMessage, LPARAM aLParam) {
  if (aMessage == WM_NOTIFY) return Lookup(KNotifyNames, NotifyCode(aLParam));
  return Lookup(KMessageNames, static_cast<int>(aMessage));
}

bool EpocIsQuietMessage(UINT aMessage, LPARAM aLParam) {
  switch (aMessage) {
    case 32:   // WM_SETCURSOR
    case 132:  // WM_NCHITTEST
    case 512:  // WM_MOUSEMOVE
    case 533:  // WM_CAPTURECHANGED
      return true;
    case WM_NOTIFY: {
      int code = NotifyCode(aLParam);
      return code == -155 || code == -109 || code == -101 || code == -100 || code == -12;
    }
    default:
      return false;
  }
}
