// The Pocket PC shell: menu bar, full-screen dialogs, activation and the
// input panel.
#pragma once

#include <windows.h>

// ---- menu bar ------------------------------------------------------------------------------
// A menu bar is described by an RCDATA resource of WORDs with the bar's
// identifier: the menu identifier, the button count, then per button: image
// (I_IMAGENONE for a text button), command, state, style, string identifier
// (caption, or tool tip of an image button), 0, pop-up index of the menu of
// the same identifier (NOMENU for none).
#define I_IMAGENONE (-2)
#define NOMENU 0xFFFF
#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTATE_HIDDEN 0x08
#define TBSTYLE_BUTTON 0x0000
#define TBSTYLE_SEP 0x0001
#define TBSTYLE_CHECK 0x0002
#define TBSTYLE_GROUP 0x0004
#define TBSTYLE_DROPDOWN 0x0008
#define TBSTYLE_AUTOSIZE 0x0010

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

typedef struct tagSHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;
  COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// The bar sits at the bottom of the screen, above nothing: this many pixels.
#define KV_MENU_BAR_HEIGHT 26

BOOL SHCreateMenuBar(SHMENUBARINFO* info);

// ---- full-screen dialogs -----------------------------------------------------------------------
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

typedef struct tagSHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

BOOL SHInitDialog(PSHINITDLGINFO info);

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

BOOL SHFullScreen(HWND window, DWORD state);

// ---- activation and the input panel ------------------------------------------------------------
typedef struct {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

#define SHA_INPUTDIALOG 0x00000001

// WM_SETTINGCHANGE's wParam when the input panel was shown or hidden.
#define SPI_SETSIPINFO 224
#define SPI_GETSIPINFO 225

#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004

typedef struct {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;
  RECT rcSipRect;
  DWORD dwImDataSize;
  void* pvImData;
} SIPINFO, *PSIPINFO;

typedef enum { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG } SIPSTATE;

// Keeps the focus and the input panel across activation; call on WM_ACTIVATE.
BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
// Fits a full-screen window above the input panel; call on WM_SETTINGCHANGE.
BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);
// Shows (SIPF_ON) or hides (SIPF_OFF) the input panel; every top-level
// window is told with WM_SETTINGCHANGE (SPI_SETSIPINFO) when it changes.
BOOL SipShowIM(DWORD flags);
BOOL SipGetInfo(SIPINFO* info);
BOOL SHSipPreference(HWND window, SIPSTATE state);
