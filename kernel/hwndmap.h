// The process-wide map from a window handle to the control that owns it.
#pragma once

#include <wintypes.h>

#include "kernel/arrays.h"
#include "kernel/epocbase.h"

struct TWindowMapping {
  HWND iWindow;
  void* iControl;  // the window's control, opaque here
};

// Pairs kept in ascending order of the window handle as an unsigned 32-bit
// key. User interface thread only.
class CHWndMap : public CEpocBase {
 public:
  static CHWndMap* NewL();
  ~CHWndMap() override;

  // 0, or -11 when the window is already mapped (nothing changes then).
  int AddMapping(void* aControl, HWND aWindow);
  // The window's control; for a window not in the map, the pending control
  // (the one whose window is being created).
  void* Find(HWND aWindow) const;
  void RemoveMapping(void* aControl, HWND aWindow);
  void SetPendingControl(void* aControl) { iPendingControl = aControl; }
  void* PendingControl() const { return iPendingControl; }

  // The pairs in order, for logging the whole map.
  int Count() const { return iMappings.Count(); }
  const TWindowMapping& At(int aIndex) const { return iMappings[aIndex]; }

 private:
  CHWndMap();
  // Index of the window's pair, or -1.
  int IndexOf(HWND aWindow) const;

  CArrayFixFlat<TWindowMapping> iMappings;
  void* iPendingControl;
};
