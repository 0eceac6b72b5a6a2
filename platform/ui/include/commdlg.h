// The common file dialogs: GetOpenFileNameW and GetSaveFileNameW, a modal
// chooser over the device's folders (paths such as "\My Documents\a.vcf").
//
// What is honoured: lpstrFile / nMaxFile (in: a name, perhaps with its folder,
// to start from; out: the chosen path), lpstrFilter with nFilterIndex (in and
// out, from 1), lpstrInitialDir (else "\My Documents"), lpstrTitle (else
// "Open" / "Save As"), lpstrDefExt (appended to a name typed without an
// extension: the chosen filter's own extension when it has one),
// lpstrFileTitle / nMaxFileTitle, nFileOffset / nFileExtension, and the
// flags below. Hooks, templates and custom filters are not supported.
#pragma once

#include "windows.h"

#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004  // there is no read-only box to hide
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000

typedef UINT_PTR(CALLBACK* LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagOFNW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;        // "vCard (*.vcf)\0*.vcf\0All files (*.*)\0*.*\0\0"
  LPWSTR lpstrCustomFilter;   // not supported
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPWSTR lpstrFile;
  DWORD nMaxFile;
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;     // not supported
  LPCWSTR lpTemplateName;     // not supported
} OPENFILENAMEW, *LPOPENFILENAMEW;

// TRUE with the chosen path in lpstrFile; FALSE when the user cancelled
// (CommDlgExtendedError 0) or the call failed (its code below).
BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn);
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn);
// Why the calling thread's last file dialog returned FALSE; 0 for a cancel.
DWORD CommDlgExtendedError();

#define CDERR_STRUCTSIZE 0x0001
#define CDERR_INITIALIZATION 0x0002
#define FNERR_INVALIDFILENAME 0x3002
// lpstrFile cannot hold the chosen path; its first character holds the size needed.
#define FNERR_BUFFERTOOSMALL 0x3003
