// The main frame: a full-screen window with the title button that opens the
// folder tree, the menu bar of the current view, and the target of the
// stores' change notices.
#pragma once

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/framework/epoc_control.h"
#include "kernel/arrays.h"

// What the frame asks of the program: it knows the views by their folders
// in the tree only.
class MKvFrameHost {
 public:
  // The title of the view in front; null before one is.
  virtual LPCWSTR CurrentTitle() const = 0;
  // The tree's folder of the view in front.
  virtual HTREEITEM CurrentFolder() const = 0;
  // A folder tapped in the tree: its view comes to the front. False for an
  // item that has no view ("Folders" itself).
  virtual bool ShowFolderL(HTREEITEM aItem) = 0;
  // A change notice of one of the stores, for the views to show.
  virtual void UpdateViewsL(const CENOTIFICATION& aNotification) = 0;
  // The listening antenna tapped: listening ends.
  virtual void ToggleListeningL() = 0;

 protected:
  ~MKvFrameHost() = default;
};

class CKvFrame : public CEpocControl {
 public:
  static constexpr int KTitleBandHeight = 26;
  static constexpr int KTitleButtonWidth = 100;

  static CKvFrame* NewL(MKvFrameHost* aHost);
  ~CKvFrame() override;

  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  void DoMakeVisible(bool aFlag) override;
  void SizeChangedL() override;
  int CountComponentControls() const override { return iComponents.Count(); }
  CEpocControl* ComponentControl(int aIndex) const override { return iComponents[aIndex]; }
  LRESULT Draw(const RECT& aRect) override;

  HTREEITEM AddFolder(LPCWSTR aText);
  // Where the views go: below the title band, above the menu bar.
  TEpocRect ViewArea() const;
  void CreateRpCommandBar(HWND aWindow, int aMenuId);
  void ResetTitle();
  // The listening antenna, shown at the right of the title band while the
  // phone is listened to (the menu bar has no room left beside its input
  // panel button); a tap ends listening.
  void ShowListening(bool aOn);
  bool IsListeningShown() const { return iListeningShown; }
  // Where the antenna is, in the frame's client area.
  RECT ListeningRect() const;

  // Escape closes the folder tree; true when the key was taken for that.
  bool HandleTreeKey(const MSG& aMessage);

  HWND MenuBar() const { return iMenuBar; }
  HWND TitleButton() const { return iTitleButton; }
  HWND FolderTree() const { return iTree; }
  bool IsTreeShown() const { return iTreeShown; }

 private:
  explicit CKvFrame(MKvFrameHost* aHost);
  void ConstructL();
  void RegisterWindowClass();
  void CreateChildWindows();
  void ShowTree();
  void HideTree();
  LRESULT HandleTreeClick();
  bool StylusOnTitleButton() const;
  void DrawListening(HDC aDc) const;

  MKvFrameHost* iHost;
  CArrayFixFlat<CEpocControl*> iComponents;  // stays empty: views have windows of their own
  HWND iMenuBar;
  HWND iTitleButton;
  HBRUSH iBackgroundBrush;
  COLORREF iBackgroundColour;
  HWND iTree;
  HTREEITEM iTreeRoot;
  bool iTreeShown;
  bool iListeningShown;
  HBITMAP iImages = nullptr;  // the menu bar's images, the antenna among them
};
