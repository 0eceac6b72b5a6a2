#include "app/views/kv_conversation_thread.h"

#include <algorithm>

#include "app/views/kv_delivery_text.h"
#include "app/views/kv_text.h"
#include "kernel/log.h"
#include "store/messages.h"

namespace {

const int KThreadMargin = 4;       // from the control's edges
const int KBubblePad = 4;          // inside a bubble
const int KBubbleGap = 6;          // between bubbles
const int KThreadScrollMark = 3;   // the position mark at the right edge
const int KThreadLineStep = 16;    // an arrow key's scroll
// How many messages' bubbles are kept before the cache starts afresh.
const size_t KBubblesKept = 256;
const UINT KBubbleTextFormat = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL | DT_LEFT;

const COLORREF KThreadBackground = RGB(255, 255, 255);
const COLORREF KReceivedBubble = RGB(232, 232, 232);
const COLORREF KOwnBubble = RGB(204, 226, 255);
const COLORREF KBubbleFootText = RGB(90, 90, 90);
const COLORREF KThreadMarkColour = RGB(160, 160, 160);

int ThreadPointY(LPARAM aLParam) { return static_cast<short>(HIWORD(aLParam)); }
int ThreadPointX(LPARAM aLParam) { return static_cast<short>(LOWORD(aLParam)); }

}  // namespace

CKvConversationThread::CKvConversationThread(CEpocControl* aParent, CKveMessagesDatabase* aStore) : iStore(aStore) {
  SetClassName(u"CKvConversationThread");
  SetParent(aParent);
}

CKvConversationThread* CKvConversationThread::NewL(CEpocControl* aParent, CKveMessagesDatabase* aStore) {
  return new CKvConversationThread(aParent, aStore);
}

CKvConversationThread::~CKvConversationThread() {
  if (iSmallFont != nullptr) DeleteObject(iSmallFont);
}

void CKvConversationThread::SetMessagesL(std::vector<CEOID> aMessages) {
  iMessages = std::move(aMessages);
  iBubbles.clear();
  iShown.clear();
  iAnchor = static_cast<int>(iMessages.size()) - 1;
  iAnchorBottom = iRect.iHeight - KThreadMargin;
  Normalise();
  Repaint();
}

void CKvConversationThread::MessageChangedL(CEOID aMessage, bool aBelongs) {
  auto found = std::find(iMessages.begin(), iMessages.end(), aMessage);
  if (found != iMessages.end()) {
    if (!aBelongs) {
      MessageDeleted(aMessage);
      return;
    }
    iBubbles.erase(aMessage);
  } else if (aBelongs) {
    // Following the newest while it shows, as a reply or an answer comes in.
    const bool atEnd = iAnchor >= static_cast<int>(iMessages.size()) - 1;
    iMessages.push_back(aMessage);
    if (atEnd) {
      iAnchor = static_cast<int>(iMessages.size()) - 1;
      iAnchorBottom = iRect.iHeight - KThreadMargin;
    }
  } else {
    return;
  }
  Normalise();
  Repaint();
}

void CKvConversationThread::MessageDeleted(CEOID aMessage) {
  auto found = std::find(iMessages.begin(), iMessages.end(), aMessage);
  if (found == iMessages.end()) return;
  const int index = static_cast<int>(found - iMessages.begin());
  iMessages.erase(found);
  iBubbles.erase(aMessage);
  if (index < iAnchor || iAnchor >= static_cast<int>(iMessages.size())) --iAnchor;
  if (iAnchor < 0 && !iMessages.empty()) iAnchor = 0;
  Normalise();
  Repaint();
}

HFONT CKvConversationThread::SmallFont(HDC aDc) {
  if (iSmallFont != nullptr) return iSmallFont;
  LOGFONTW font{};
  if (GetObjectW(GetCurrentObject(aDc, OBJ_FONT), sizeof(font), &font) == 0) return nullptr;
  font.lfHeight = font.lfHeight < 0 ? font.lfHeight * 4 / 5 : std::max(8L, static_cast<long>(font.lfHeight) * 4 / 5);
  iSmallFont = CreateFontIndirectW(&font);
  return iSmallFont;
}

const CKvConversationThread::TBubble& CKvConversationThread::BubbleL(int aIndex) {
  const CEOID oid = iMessages[static_cast<size_t>(aIndex)];
  auto found = iBubbles.find(oid);
  if (found != iBubbles.end()) return found->second;
  if (iBubbles.size() >= KBubblesKept) iBubbles.clear();
  TBubble bubble;
  CKveMessagesItem* message = iStore != nullptr ? static_cast<CKveMessagesItem*>(iStore->ReadItemL(oid)) : nullptr;
  ++iMessagesRead;
  if (message != nullptr) {
    bubble.iText = Text(message->Text());
    bubble.iOwn = message->Folder() == EKvFolderOutbox || message->Folder() == EKvFolderSent;
    if (message->Folder() == EKvFolderSent) bubble.iFoot = DeliveryLine(*message);
    if (message->Folder() == EKvFolderOutbox) bubble.iFoot = u"Not sent";
    if (bubble.iFoot.empty()) bubble.iFoot = Text(message->DateSent());
    delete message;
  } else {
    LogMessage(KLogFilePath, u"CKvConversationThread::BubbleL - no message 0x%1!x!", oid);
  }
  // Measured once, with the fonts the paint uses.
  HWND window = Window();
  HDC dc = GetDC(window);
  const int textWidth = std::max(40, (iRect.iWidth - 2 * KThreadMargin - KThreadScrollMark) * 4 / 5 - 2 * KBubblePad);
  RECT box{0, 0, textWidth, 0};
  if (!bubble.iText.empty()) {
    DrawTextW(dc, bubble.iText.c_str(), static_cast<int>(bubble.iText.size()), &box, KBubbleTextFormat | DT_CALCRECT);
  } else {
    SIZE line{};
    GetTextExtentPoint32W(dc, u" ", 1, &line);
    box.bottom = line.cy;
    box.right = 0;
  }
  bubble.iTextHeight = box.bottom - box.top;
  bubble.iTextWidth = std::min(textWidth, static_cast<int>(box.right - box.left));
  HGDIOBJ previous = SelectObject(dc, SmallFont(dc));
  SIZE foot{};
  GetTextExtentPoint32W(dc, bubble.iFoot.c_str(), static_cast<int>(bubble.iFoot.size()), &foot);
  bubble.iFootWidth = std::min(textWidth, static_cast<int>(foot.cx));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  bubble.iTextHeight += metrics.tmHeight;  // the foot's line under the text
  return iBubbles.emplace(oid, std::move(bubble)).first->second;
}

int CKvConversationThread::HeightL(int aIndex) { return BubbleL(aIndex).iTextHeight + 2 * KBubblePad; }

void CKvConversationThread::ScrollBy(int aPixels) {
  if (iMessages.empty() || aPixels == 0) return;
  iAnchorBottom += aPixels;
  Normalise();
  Repaint();
}

void CKvConversationThread::Normalise() {
  const int count = static_cast<int>(iMessages.size());
  if (count == 0) {
    iAnchor = 0;
    return;
  }
  iAnchor = std::clamp(iAnchor, 0, count - 1);
  const int height = iRect.iHeight;
  // The anchor stays on the screen: the message at the bottom edge, or the
  // nearest to it.
  while (iAnchor > 0 && iAnchorBottom - HeightL(iAnchor) > height) {
    iAnchorBottom -= HeightL(iAnchor) + KBubbleGap;
    --iAnchor;
  }
  while (iAnchor < count - 1 && iAnchorBottom < 0) {
    ++iAnchor;
    iAnchorBottom += KBubbleGap + HeightL(iAnchor);
  }
  // No empty space under the newest.
  if (iAnchor == count - 1 && iAnchorBottom < height - KThreadMargin) iAnchorBottom = height - KThreadMargin;
  // Nor over the oldest, when it shows.
  int top = iAnchorBottom - HeightL(iAnchor);
  int index = iAnchor;
  while (index > 0 && top > KThreadMargin) top -= KBubbleGap + HeightL(--index);
  if (index == 0 && top > KThreadMargin) iAnchorBottom -= top - KThreadMargin;
}

void CKvConversationThread::Repaint() {
  HWND window = Window();
  if (window == nullptr || !IsVisible()) return;
  RECT area{iRect.iX, iRect.iY, iRect.iX + iRect.iWidth, iRect.iY + iRect.iHeight};
  InvalidateRect(window, &area, FALSE);
}

void CKvConversationThread::SizeChangedL() {
  // Bubbles wrap at the new width.
  iBubbles.clear();
  if (!iMessages.empty()) Normalise();
}

LRESULT CKvConversationThread::Draw(const RECT&) {
  HDC dc = PaintContext();
  if (dc == nullptr) return 0;
  const RECT area{iRect.iX, iRect.iY, iRect.iX + iRect.iWidth, iRect.iY + iRect.iHeight};
  int saved = SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  HBRUSH background = CreateSolidBrush(KThreadBackground);
  FillRect(dc, &area, background);
  DeleteObject(background);
  iShown.clear();
  iShownFeet.clear();
  const int count = static_cast<int>(iMessages.size());
  if (count > 0) {
    // The first shown: up from the anchor while the bubbles reach the top.
    int first = iAnchor;
    int top = iAnchorBottom - HeightL(iAnchor);
    while (first > 0 && top > 0) top -= KBubbleGap + HeightL(--first);
    HBRUSH received = CreateSolidBrush(KReceivedBubble);
    HBRUSH own = CreateSolidBrush(KOwnBubble);
    SetBkMode(dc, TRANSPARENT);
    const int right = area.right - KThreadMargin - KThreadScrollMark;
    for (int index = first; index < count && top < iRect.iHeight; ++index) {
      const int height = HeightL(index);
      const TBubble& bubble = BubbleL(index);
      const int width = std::max(bubble.iTextWidth, bubble.iFootWidth) + 2 * KBubblePad;
      const int left = bubble.iOwn ? right - width : area.left + KThreadMargin;
      RECT box{left, area.top + top, left + width, area.top + top + height};
      FillRect(dc, &box, bubble.iOwn ? own : received);
      RECT text{box.left + KBubblePad, box.top + KBubblePad, box.right - KBubblePad, box.bottom - KBubblePad};
      SetTextColor(dc, RGB(0, 0, 0));
      DrawTextW(dc, bubble.iText.c_str(), static_cast<int>(bubble.iText.size()), &text, KBubbleTextFormat);
      HGDIOBJ previous = SelectObject(dc, SmallFont(dc));
      SetTextColor(dc, KBubbleFootText);
      RECT foot = text;
      DrawTextW(dc, bubble.iFoot.c_str(), static_cast<int>(bubble.iFoot.size()), &foot,
                DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX | DT_END_ELLIPSIS | (bubble.iOwn ? DT_RIGHT : DT_LEFT));
      SelectObject(dc, previous);
      iShown.push_back(iMessages[static_cast<size_t>(index)]);
      iShownFeet.push_back(bubble.iFoot);
      top += height + KBubbleGap;
    }
    DeleteObject(received);
    DeleteObject(own);
    // Where the screen lies in the conversation, by messages.
    if (count > static_cast<int>(iShown.size())) {
      const int span = iRect.iHeight - 2 * KThreadMargin;
      const int markHeight = std::max(12, span * static_cast<int>(iShown.size()) / count);
      const int markTop = (span - markHeight) * first / std::max(1, count - static_cast<int>(iShown.size()));
      RECT mark{area.right - KThreadScrollMark, area.top + KThreadMargin + std::min(markTop, span - markHeight), area.right,
                area.top + KThreadMargin + std::min(markTop, span - markHeight) + markHeight};
      HBRUSH brush = CreateSolidBrush(KThreadMarkColour);
      FillRect(dc, &mark, brush);
      DeleteObject(brush);
    }
  }
  RestoreDC(dc, saved);
  return 0;
}

LRESULT CKvConversationThread::HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (aMessage) {
    case WM_LBUTTONDOWN: {
      const int x = ThreadPointX(aLParam);
      const int y = ThreadPointY(aLParam);
      if (x < iRect.iX || x >= iRect.iX + iRect.iWidth || y < iRect.iY || y >= iRect.iY + iRect.iHeight)
        return KEpocNotHandled;
      iDragging = true;
      iDragY = y;
      SetCapture(aWindow);
      // The keys scroll the messages once they were tapped, not the reply box.
      SetFocus(aWindow);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!iDragging) return KEpocNotHandled;
      ScrollBy(ThreadPointY(aLParam) - iDragY);
      iDragY = ThreadPointY(aLParam);
      return 0;
    case WM_LBUTTONUP:
      if (!iDragging) return KEpocNotHandled;
      iDragging = false;
      ReleaseCapture();
      return 0;
    case WM_KEYDOWN:
      switch (aWParam) {
        case VK_UP: ScrollBy(KThreadLineStep); return 0;
        case VK_DOWN: ScrollBy(-KThreadLineStep); return 0;
        case VK_PRIOR: ScrollBy(iRect.iHeight - KThreadLineStep); return 0;
        case VK_NEXT: ScrollBy(-(iRect.iHeight - KThreadLineStep)); return 0;
        case VK_HOME:
          iAnchor = 0;
          iAnchorBottom = KThreadMargin + (iMessages.empty() ? 0 : HeightL(0));
          Normalise();
          Repaint();
          return 0;
        case VK_END:
          iAnchor = static_cast<int>(iMessages.size()) - 1;
          iAnchorBottom = iRect.iHeight - KThreadMargin;
          Normalise();
          Repaint();
          return 0;
        default: return KEpocNotHandled;
      }
    default: return KEpocNotHandled;
  }
}
