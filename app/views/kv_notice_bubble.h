// A short notice above the menu bar, as the handheld's taskbar shows
// them: it never takes the focus, goes away by itself after a few seconds,
// and a tap closes it sooner.
#pragma once

#include <string>

#include <windows.h>

#include "app/framework/epoc_control.h"

class CKvNoticeBubble : public CEpocControl {
 public:
  static constexpr UINT KShownMs = 6000;

  // A hidden pop-up owned by aOwner (the main frame).
  static CKvNoticeBubble* NewL(HWND aOwner);
  ~CKvNoticeBubble() override;

  // Replaces a notice still shown, and starts its time again.
  void ShowL(LPCWSTR aHeading, LPCWSTR aText);
  void Hide();
  bool IsShown() const { return iShown; }
  const std::u16string& Heading() const { return iHeading; }
  const std::u16string& Text() const { return iText; }

  LRESULT Draw(const RECT& aRect) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  CKvNoticeBubble();
  void ConstructL(HWND aOwner);
  // The bubble's height that shows all of aText, within bounds.
  int HeightFor(const std::u16string& aText) const;

  std::u16string iHeading;
  std::u16string iText;
  HFONT iHeadingFont;
  bool iShown;
};
