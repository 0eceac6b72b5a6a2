#include "app/framework/epoc_dialog.h"

#include <aygshell.h>

#include "app/framework/epoc_wndproc.h"
#include "kernel/log.h"

int CEpocDialog::ExecuteLD(HINSTANCE aInstance, int aResourceId, HWND aParent) {
  int result = -1;
  HRSRC resource = FindResourceW(aInstance, MAKEINTRESOURCEW(aResourceId), RT_DIALOG);
  HGLOBAL loaded = resource != nullptr ? LoadResource(aInstance, resource) : nullptr;
  const DLGTEMPLATE* dialogTemplate = loaded != nullptr ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
  if (dialogTemplate != nullptr)
    result = static_cast<int>(DialogBoxIndirectParamW(aInstance, dialogTemplate, aParent, EpocDialogWndProc,
                                                      reinterpret_cast<LPARAM>(this)));
  else
    LogMessageWithError(KLogFilePath, u"CEpocDialog::ExecuteLD - no dialog resource %1!d!", aResourceId);
  delete this;
  return result;
}

void CEpocDialog::InitFullScreenDialog() {
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = Window();
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
  SHInitDialog(&info);
}
