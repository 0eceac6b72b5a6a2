// The control framework: every window of the program is a control; the
// window map leads from a window to its control, and the control hands each
// message to its visible component controls before its own handlers.
#pragma once

#include <windows.h>

#include "kernel/epocbase.h"

// Handler results: not handled (offer the message elsewhere), or handled
// with the system's default processing still to run. Any other value is
// the message's result.
inline constexpr LRESULT KEpocNotHandled = -2;
inline constexpr LRESULT KEpocDefault = -1;

// An extent in the parent's client coordinates, as SetExtentL gives it.
struct TEpocRect {
  int iX;
  int iY;
  int iWidth;
  int iHeight;
};

class CEpocControl : public CEpocBase {
 public:
  static constexpr DWORD KFlagOwnWindow = 0x4;
  static constexpr DWORD KFlagInvisible = 0x20;

  ~CEpocControl() override;

  virtual LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  virtual LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  virtual LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  virtual void DoMakeVisible(bool aFlag);
  virtual void SizeChangedL();
  virtual int CountComponentControls() const;
  virtual CEpocControl* ComponentControl(int aIndex) const;
  // The client rectangle as left, top, right, bottom.
  virtual LRESULT Draw(const RECT& aRect);

  void SetWindowL(HWND aWindow);
  // Own window, else the nearest ancestor's; null when none has one.
  HWND Window() const;
  HDC PaintContext() const;
  void SetExtentL(const TEpocRect& aRect);
  const TEpocRect& Extent() const { return iRect; }
  void MakeVisible(bool aFlag);
  bool IsVisible() const { return (iFlags & KFlagInvisible) == 0; }
  bool OwnsWindow() const { return (iFlags & KFlagOwnWindow) != 0; }
  CEpocControl* Parent() const { return iParent; }
  void SetParent(CEpocControl* aParent) { iParent = aParent; }

  // Routes one message: painting, then visible components, then handlers.
  LRESULT DispatchMessageL(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);

 protected:
  CEpocControl();
  LRESULT HandleRedraw(HWND aWindow);

  CEpocControl* iParent;
  HWND iWindow;
  HDC iPaintContext;
  TEpocRect iRect;
  DWORD iFlags;

 private:
  // Draws the visible components without windows of their own, depth first.
  void DrawWindowlessComponents(const RECT& aRect);
};

// The application UI base: gives access to the document and, through it,
// to the application.
class CEpocDocument;
class CEpocApplication;

class CEpocAppUi : public CEpocBase {
 public:
  ~CEpocAppUi() override = default;
  CEpocDocument* Document() const { return iDocument; }
  CEpocApplication* Application() const;

 protected:
  explicit CEpocAppUi(CEpocDocument* aDocument) : iDocument(aDocument) { SetClassName(u"CEpocAppUi"); }

  CEpocDocument* iDocument;  // not owned
};
