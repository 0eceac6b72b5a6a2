// One conversation's messages, oldest at the top, as bubbles: received ones
// at the left on grey, the user's own at the right on blue, each with its
// date or its delivery under the text. Drawn in its parent's window; only
// the messages on the screen are read from the store, so a conversation of
// thousands shows at once. It opens at the newest; a stylus drag scrolls
// it, and so do the arrow and page keys once it was tapped.
#pragma once

#include <windbase.h>
#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "app/framework/epoc_control.h"

class CKveMessagesDatabase;

class CKvConversationThread : public CEpocControl {
 public:
  static CKvConversationThread* NewL(CEpocControl* aParent, CKveMessagesDatabase* aStore);
  ~CKvConversationThread() override;

  // The conversation's messages in the order stored (oldest first); shown
  // from the newest.
  void SetMessagesL(std::vector<CEOID> aMessages);
  // A message stored or changed: a new one joins at the end (and shows,
  // when the newest was showing), a changed one is read again.
  void MessageChangedL(CEOID aMessage, bool aBelongs);
  void MessageDeleted(CEOID aMessage);
  int Count() const { return static_cast<int>(iMessages.size()); }
  // How many messages were read to draw it so far: what reading only the
  // shown ones keeps small.
  int MessagesRead() const { return iMessagesRead; }
  // The messages drawn by the last paint, oldest first.
  const std::vector<CEOID>& Shown() const { return iShown; }
  // Their lines under the text (date or delivery), in the same order.
  const std::vector<std::u16string>& ShownFeet() const { return iShownFeet; }

  // Moves the messages by aPixels: positive shows older ones.
  void ScrollBy(int aPixels);

  LRESULT Draw(const RECT& aRect) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  void SizeChangedL() override;

 private:
  struct TBubble {
    std::u16string iText;
    std::u16string iFoot;  // the date, or the delivery
    bool iOwn = false;     // written by the user: Outbox or Sent
    int iTextHeight = 0;
    int iTextWidth = 0;
    int iFootWidth = 0;
  };

  CKvConversationThread(CEpocControl* aParent, CKveMessagesDatabase* aStore);
  // The message's bubble, read and measured on first use.
  const TBubble& BubbleL(int aIndex);
  int HeightL(int aIndex);
  // Keeps the newest from rising above the bottom and the oldest from
  // leaving a gap at the top.
  void Normalise();
  void Repaint();
  HFONT SmallFont(HDC aDc);

  CKveMessagesDatabase* iStore;  // the document's
  std::vector<CEOID> iMessages;
  std::unordered_map<CEOID, TBubble> iBubbles;
  std::vector<CEOID> iShown;
  std::vector<std::u16string> iShownFeet;
  // Where the messages are: the bottom edge of message iAnchor, in pixels
  // from the control's top.
  int iAnchor = 0;
  int iAnchorBottom = 0;
  bool iDragging = false;
  int iDragY = 0;
  int iMessagesRead = 0;
  HFONT iSmallFont = nullptr;
};
