// A modal dialog from a dialog resource, run with the framework's dialog
// procedure so that its messages reach this control.
#pragma once

#include <windows.h>

#include "app/framework/epoc_control.h"

class CEpocDialog : public CEpocControl {
 public:
  virtual void InitDialogL() {}

  // Runs the dialog resource modally over the parent, then deletes this
  // object; returns the dialog's result (-1 when it could not be shown).
  int ExecuteLD(HINSTANCE aInstance, int aResourceId, HWND aParent);

 protected:
  CEpocDialog() { SetClassName(u"CEpocDialog"); }
  // Full screen with a done button and the input panel down.
  void InitFullScreenDialog();
};
