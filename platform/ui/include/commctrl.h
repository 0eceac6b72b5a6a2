// The common controls: progress bar, tab control, tree view, list view
// (report view). Notifications reach the parent as WM_NOTIFY with an NMHDR
// followed by the control's own structure.
#pragma once

#include <windows.h>

// ---- registration ---------------------------------------------------------------
typedef struct tagINITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_TAB_CLASSES 0x00000008
#define ICC_PROGRESS_CLASS 0x00000020

// Both make sure the control classes are registered.
void InitCommonControls();
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);

// ---- notification codes shared by the controls ------------------------------------------
#define NM_FIRST 0
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RETURN (NM_FIRST - 4)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)
#define NM_CUSTOMDRAW (NM_FIRST - 12)

// NM_CUSTOMDRAW: the list box and the list view ask their parent before a
// paint (CDDS_PREPAINT) and, when it answers CDRF_NOTIFYITEMDRAW, before each
// row (CDDS_ITEMPREPAINT); a parent that selects a font of its own into hdc
// answers CDRF_NEWFONT, and the row is written in it.
#define CDDS_PREPAINT 0x00000001
#define CDDS_ITEM 0x00010000
#define CDDS_ITEMPREPAINT (CDDS_ITEM | CDDS_PREPAINT)
#define CDRF_DODEFAULT 0x00000000
#define CDRF_NEWFONT 0x00000002
#define CDRF_NOTIFYITEMDRAW 0x00000020

typedef struct tagNMCUSTOMDRAWINFO {
  NMHDR hdr;
  DWORD dwDrawStage;
  HDC hdc;
  RECT rc;
  DWORD_PTR dwItemSpec;  // the row
  UINT uItemState;
  LPARAM lItemlParam;  // the row's data; 0 in an owner-data list view
} NMCUSTOMDRAW, *LPNMCUSTOMDRAW;

typedef struct tagNMLVCUSTOMDRAW {
  NMCUSTOMDRAW nmcd;
  COLORREF clrText;
  COLORREF clrTextBk;
  int iSubItem;
} NMLVCUSTOMDRAW, *LPNMLVCUSTOMDRAW;

// ---- progress bar ------------------------------------------------------------------------
#define PROGRESS_CLASSW u"msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSW

#define PBM_SETRANGE (WM_USER + 1)  // lParam: MAKELPARAM(min, max); returns the old range
#define PBM_SETPOS (WM_USER + 2)    // returns the old position
#define PBM_SETSTEP (WM_USER + 4)   // returns the old step
#define PBM_STEPIT (WM_USER + 5)    // wraps to the start past the end; returns the old position
#define PBM_GETPOS (WM_USER + 8)

// ---- tool bar (the Pocket PC menu bar answers these) -------------------------------------
#define TB_HIDEBUTTON (WM_USER + 4)       // wParam: command; lParam: MAKELONG(hide, 0); TRUE when found
#define TB_ISBUTTONHIDDEN (WM_USER + 12)  // wParam: command; nonzero when hidden

// ---- tab control --------------------------------------------------------------------------
#define WC_TABCONTROLW u"SysTabControl32"
#define WC_TABCONTROL WC_TABCONTROLW

#define TCS_BOTTOM 0x0002

#define TCIF_TEXT 0x0001
#define TCIF_IMAGE 0x0002
#define TCIF_PARAM 0x0008

typedef struct tagTCITEMW {
  UINT mask;
  DWORD dwState;
  DWORD dwStateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
} TCITEMW, *LPTCITEMW;
typedef TCITEMW TCITEM;
typedef TCITEMW TC_ITEM;

#define TCM_FIRST 0x1300
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_GETITEMRECT (TCM_FIRST + 10)   // wParam: index; lParam: RECT in client coordinates
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)     // no notification; returns the old selection
#define TCM_ADJUSTRECT (TCM_FIRST + 40)    // wParam FALSE: window -> display area; TRUE: back
#define TCM_INSERTITEMW (TCM_FIRST + 62)   // wParam: index; returns the new index or -1
#define TCM_INSERTITEM TCM_INSERTITEMW

#define TCN_FIRST (0U - 550U)
#define TCN_SELCHANGE (TCN_FIRST - 1)    // -551
#define TCN_SELCHANGING (TCN_FIRST - 2)  // -552; a non-zero answer keeps the old tab

// ---- tree view ----------------------------------------------------------------------------
#define WC_TREEVIEWW u"SysTreeView32"
#define WC_TREEVIEW WC_TREEVIEWW

#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004

struct _TREEITEM;
typedef struct _TREEITEM* HTREEITEM;

#define TVI_ROOT ((HTREEITEM)(ULONG_PTR)-0x10000)
#define TVI_FIRST ((HTREEITEM)(ULONG_PTR)-0x0FFFF)
#define TVI_LAST ((HTREEITEM)(ULONG_PTR)-0x0FFFE)
#define TVI_SORT ((HTREEITEM)(ULONG_PTR)-0x0FFFD)

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040

#define TVIS_SELECTED 0x0002
#define TVIS_DROPHILITED 0x0008
#define TVIS_EXPANDED 0x0020

typedef struct tagTVITEMW {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
} TVITEMW, *LPTVITEMW;
typedef TVITEMW TVITEM;
typedef TVITEMW TV_ITEM;

typedef struct tagTVINSERTSTRUCTW {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMW item;
} TVINSERTSTRUCTW, *LPTVINSERTSTRUCTW;
typedef TVINSERTSTRUCTW TVINSERTSTRUCT;
typedef TVINSERTSTRUCTW TV_INSERTSTRUCT;

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_DROPHILITE 0x0008
#define TVGN_CARET 0x0009

typedef struct tagTVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
} TVHITTESTINFO, *LPTVHITTESTINFO;
typedef TVHITTESTINFO TV_HITTESTINFO;

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200
#define TVHT_TORIGHT 0x0400
#define TVHT_TOLEFT 0x0800

#define TV_FIRST 0x1100
#define TVM_DELETEITEM (TV_FIRST + 1)    // lParam: the item (TVI_ROOT: everything)
#define TVM_EXPAND (TV_FIRST + 2)        // wParam: TVE_*; lParam: the item
#define TVM_GETNEXTITEM (TV_FIRST + 10)  // wParam: TVGN_*; lParam: the item
#define TVM_SELECTITEM (TV_FIRST + 11)   // wParam: TVGN_CARET or TVGN_DROPHILITE; lParam: the item or null
#define TVM_HITTEST (TV_FIRST + 17)      // lParam: TVHITTESTINFO in client coordinates
#define TVM_INSERTITEMW (TV_FIRST + 50)  // lParam: TVINSERTSTRUCTW; returns the item or null
#define TVM_GETITEMW (TV_FIRST + 62)     // lParam: TVITEMW with hItem and mask
#define TVM_INSERTITEM TVM_INSERTITEMW
#define TVM_GETITEM TVM_GETITEMW

#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002

typedef struct tagNMTREEVIEWW {
  NMHDR hdr;
  UINT action;
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
} NMTREEVIEWW, *LPNMTREEVIEWW;
typedef NMTREEVIEWW NMTREEVIEW;
typedef NMTREEVIEWW NM_TREEVIEW;

#define TVN_FIRST (0U - 400U)
#define TVN_SELCHANGINGW (TVN_FIRST - 50)  // a non-zero answer keeps the old selection
#define TVN_SELCHANGEDW (TVN_FIRST - 51)
#define TVN_ITEMEXPANDINGW (TVN_FIRST - 54)
#define TVN_ITEMEXPANDEDW (TVN_FIRST - 55)
#define TVN_SELCHANGING TVN_SELCHANGINGW
#define TVN_SELCHANGED TVN_SELCHANGEDW

// ---- list view (report view) ------------------------------------------------------------------
#define WC_LISTVIEWW u"SysListView32"
#define WC_LISTVIEW WC_LISTVIEWW

#define LVS_ICON 0x0000
#define LVS_REPORT 0x0001
#define LVS_TYPEMASK 0x0003
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_OWNERDATA 0x1000  // the parent keeps the rows; the control keeps count and states

#define LVS_EX_GRIDLINES 0x00000001
#define LVS_EX_FULLROWSELECT 0x00000020

#define LVIF_TEXT 0x0001
#define LVIF_IMAGE 0x0002
#define LVIF_PARAM 0x0004
#define LVIF_STATE 0x0008

#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002

typedef struct tagLVITEMW {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
  int iIndent;
} LVITEMW, *LPLVITEMW;
typedef LVITEMW LVITEM;
typedef LVITEMW LV_ITEM;

#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008

#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002
#define LVCFMT_JUSTIFYMASK 0x0003

typedef struct tagLVCOLUMNW {
  UINT mask;
  int fmt;
  int cx;
  LPWSTR pszText;
  int cchTextMax;
  int iSubItem;
  int iImage;
  int iOrder;
} LVCOLUMNW, *LPLVCOLUMNW;
typedef LVCOLUMNW LVCOLUMN;
typedef LVCOLUMNW LV_COLUMN;

#define LVNI_ALL 0x0000
#define LVNI_FOCUSED 0x0001
#define LVNI_SELECTED 0x0002
#define LVNI_ABOVE 0x0100
#define LVNI_BELOW 0x0200

#define LVFI_PARAM 0x0001

typedef struct tagLVFINDINFOW {
  UINT flags;
  LPCWSTR psz;
  LPARAM lParam;
  POINT pt;
  UINT vkDirection;
} LVFINDINFOW, *LPLVFINDINFOW;
typedef LVFINDINFOW LVFINDINFO;
typedef LVFINDINFOW LV_FINDINFO;

typedef struct tagLVHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem;
  int iSubItem;
} LVHITTESTINFO, *LPLVHITTESTINFO;
typedef LVHITTESTINFO LV_HITTESTINFO;

#define LVHT_NOWHERE 0x0001
#define LVHT_ONITEMICON 0x0002
#define LVHT_ONITEMLABEL 0x0004
#define LVHT_ONITEMSTATEICON 0x0008
#define LVHT_ONITEM (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)
#define LVHT_ABOVE 0x0008
#define LVHT_BELOW 0x0010
#define LVHT_TORIGHT 0x0020
#define LVHT_TOLEFT 0x0040

// Called with both items' lParam and the caller's value; negative, zero or
// positive as the first sorts before, with or after the second.
typedef int(CALLBACK* PFNLVCOMPARE)(LPARAM, LPARAM, LPARAM);

#define LVM_FIRST 0x1000
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)     // wParam: start (-1: from the first); lParam: LVNI_*
#define LVM_HITTEST (LVM_FIRST + 18)         // lParam: LVHITTESTINFO in client coordinates
#define LVM_SETITEMSTATE (LVM_FIRST + 43)    // wParam: index (-1: every item)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)    // lParam: the state bits wanted
#define LVM_SETITEMCOUNT (LVM_FIRST + 47)    // owner data: wParam: the count; lParam: LVSICF_*
#define LVM_SORTITEMS (LVM_FIRST + 48)       // wParam: lParamSort; lParam: PFNLVCOMPARE
#define LVM_GETSELECTEDCOUNT (LVM_FIRST + 50)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)  // wParam: mask (0: all); returns the old styles
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETSELECTIONMARK (LVM_FIRST + 66)
#define LVM_SETSELECTIONMARK (LVM_FIRST + 67)  // lParam: the row (-1: none); returns the old mark
#define LVM_GETITEMW (LVM_FIRST + 75)
#define LVM_SETITEMW (LVM_FIRST + 76)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_FINDITEMW (LVM_FIRST + 83)       // wParam: start (-1: from the first); lParam: LVFINDINFOW
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETITEMTEXTW (LVM_FIRST + 116)
#define LVM_GETITEM LVM_GETITEMW
#define LVM_SETITEM LVM_SETITEMW
#define LVM_INSERTITEM LVM_INSERTITEMW
#define LVM_FINDITEM LVM_FINDITEMW
#define LVM_INSERTCOLUMN LVM_INSERTCOLUMNW
#define LVM_GETITEMTEXT LVM_GETITEMTEXTW
#define LVM_SETITEMTEXT LVM_SETITEMTEXTW

typedef struct tagNMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
} NMLISTVIEW, *LPNMLISTVIEW;
typedef NMLISTVIEW NM_LISTVIEW;

#define LVKF_ALT 0x0001
#define LVKF_CONTROL 0x0002
#define LVKF_SHIFT 0x0004

typedef struct tagNMITEMACTIVATE {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
  UINT uKeyFlags;
} NMITEMACTIVATE, *LPNMITEMACTIVATE;

#define LVN_FIRST (0U - 100U)
#define LVN_ITEMCHANGING (LVN_FIRST - 0)  // a non-zero answer refuses the change
#define LVN_ITEMCHANGED (LVN_FIRST - 1)
#define LVN_COLUMNCLICK (LVN_FIRST - 8)   // iItem -1, iSubItem: the column
#define LVN_BEGINDRAG (LVN_FIRST - 9)
#define LVN_ITEMACTIVATE (LVN_FIRST - 14) // a double tap or Enter on an item
#define LVN_KEYDOWN (LVN_FIRST - 55)
#define LVN_ODCACHEHINT (LVN_FIRST - 13)     // owner data: the rows about to be asked for
#define LVN_ODSTATECHANGED (LVN_FIRST - 15)  // owner data: a range of rows changed state
#define LVN_GETDISPINFOW (LVN_FIRST - 77)    // owner data: the parent fills in a row's fields
#define LVN_ODFINDITEMW (LVN_FIRST - 79)     // owner data: the parent finds a row
#define LVN_GETDISPINFO LVN_GETDISPINFOW
#define LVN_ODFINDITEM LVN_ODFINDITEMW

#define LVSICF_NOINVALIDATEALL 0x00000001
#define LVSICF_NOSCROLL 0x00000002

typedef struct tagLVDISPINFOW {
  NMHDR hdr;
  LVITEMW item;
} NMLVDISPINFOW, *LPNMLVDISPINFOW;
typedef NMLVDISPINFOW NMLVDISPINFO;

typedef struct tagNMLVCACHEHINT {
  NMHDR hdr;
  int iFrom;
  int iTo;
} NMLVCACHEHINT, *LPNMLVCACHEHINT;

typedef struct tagNMLVODSTATECHANGE {
  NMHDR hdr;
  int iFrom;
  int iTo;
  UINT uNewState;
  UINT uOldState;
} NMLVODSTATECHANGE, *LPNMLVODSTATECHANGE;

typedef struct tagNMLVFINDITEMW {
  NMHDR hdr;
  int iStart;
  LVFINDINFOW lvfi;
} NMLVFINDITEMW, *LPNMLVFINDITEMW;
