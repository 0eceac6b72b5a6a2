// Painting and drawing: WM_PAINT coalescing and clipping, pixels of the
// GDI shapes, and text whose measured extents match what is drawn.
#include <gtest/gtest.h>

#include "ui_test_support.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;

namespace {


TEST(UiPaint, ManyInvalidationsGiveOnePaintClippedToTheInvalidPart) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(200, 200, 200));
  ASSERT_TRUE(ui::WaitIdle());
  Log().clear();
  for (int i = 0; i < 50; ++i) {
    RECT r{i, i, i + 10, i + 10};
    InvalidateRect(top, &r, TRUE);
  }
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(Count(top, WM_PAINT), 1);

  // A paint sees only its invalid part: change the colour, invalidate a
  // corner, and only the corner takes the new colour.
  SetWindowLongW(top, GWL_USERDATA, RGB(10, 20, 30));
  RECT corner{0, 0, 20, 20};
  InvalidateRect(top, &corner, FALSE);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(ui::ColorAt(5, 26 + 5), RGB(10, 20, 30));
  EXPECT_EQ(ui::ColorAt(25, 26 + 25), RGB(200, 200, 200));

  // A child is not painted over by its parent; a sibling on top cuts the one below.
  HWND below = MakeWindow(WS_CHILD | WS_VISIBLE, 50, 50, 60, 60, top, RGB(255, 0, 0), 1);
  HWND above = MakeWindow(WS_CHILD | WS_VISIBLE, 80, 80, 60, 60, top, RGB(0, 0, 255), 2);
  ASSERT_TRUE(ui::WaitIdle());
  InvalidateRect(top, nullptr, TRUE);
  InvalidateRect(below, nullptr, TRUE);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(ui::ColorAt(60, 26 + 60), RGB(255, 0, 0));
  EXPECT_EQ(ui::ColorAt(100, 26 + 100), RGB(0, 0, 255));  // overlap belongs to the upper one
  EXPECT_EQ(ui::ColorAt(150, 26 + 150), RGB(10, 20, 30));

  // Hiding the upper window uncovers the lower one, which repaints.
  Log().clear();
  ShowWindow(above, SW_HIDE);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(Count(below, WM_PAINT), 1);
  EXPECT_EQ(ui::ColorAt(100, 26 + 100), RGB(255, 0, 0));
  EXPECT_EQ(ui::ColorAt(130, 26 + 130), RGB(10, 20, 30));

  // UpdateWindow paints at once, without the message loop.
  Log().clear();
  InvalidateRect(below, nullptr, FALSE);
  UpdateWindow(below);
  EXPECT_EQ(Count(below, WM_PAINT), 1);
  RECT update;
  EXPECT_FALSE(GetUpdateRect(below, &update, FALSE));
  ui::SaveScreenshot(ScreenshotPath("ui_paint_clipping"));
  DestroyWindow(top);
}

// Draws with GDI into a window's DC and checks the pixels.
TEST(UiPaint, ShapesLandOnTheExpectedPixels) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, kWhite);
  ASSERT_TRUE(ui::WaitIdle());
  HDC dc = GetDC(top);
  ASSERT_NE(dc, nullptr);
  const int oy = 26;  // client origin on the screen

  // Each shape, then the pixels that tell where its edges fell.
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT fill{10, 10, 20, 15};
  FillRect(dc, &fill, red);
  // Rectangle: pen outline inside the rectangle, brush inside that; hollow with the null brush.
  HPEN bluePen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  HGDIOBJ oldPen = SelectObject(dc, bluePen);
  HGDIOBJ oldBrush = SelectObject(dc, red);
  Rectangle(dc, 30, 10, 40, 20);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, 50, 10, 60, 20);
  // Polyline and LineTo: every point but the last one drawn, diagonals included.
  POINT line[] = {{70, 10}, {80, 10}, {80, 20}, {90, 30}};
  Polyline(dc, line, 4);
  MoveToEx(dc, 100, 40, nullptr);
  LineTo(dc, 100, 50);
  // A memory bitmap copied onto the screen.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 8);
  SelectObject(memory, bitmap);
  RECT all{0, 0, 8, 8};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  BitBlt(dc, 120, 40, 8, 8, memory, 0, 0, SRCCOPY);
  DeleteDC(memory);
  DeleteObject(bitmap);
  const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kBlack = RGB(0, 0, 0);
  const struct {
    int x, y;
    COLORREF color;
  } pixels[] = {
      {10, 10, kRed},    {19, 14, kRed},    {20, 14, kWhite},  {19, 15, kWhite},   // right and bottom edges excluded
      {30, 10, kBlue},   {39, 19, kBlue},   {35, 15, kRed},    {40, 15, kWhite},  {55, 15, kWhite},
      {70, 10, kBlue},   {80, 15, kBlue},   {85, 25, kBlue},   {90, 30, kWhite},  {100, 45, kBlue},
      {100, 50, kWhite}, {127, 47, kBlack}, {128, 47, kWhite},
  };
  for (auto& p : pixels) EXPECT_EQ(ui::ColorAt(p.x, oy + p.y), p.color) << p.x << "," << p.y;

  // Drawing is clipped to what of the window is visible.
  HWND cover = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 100, 240, 50, top, RGB(0, 128, 0), 1);
  ASSERT_TRUE(ui::WaitIdle());
  HDC again = GetDC(top);
  RECT band{0, 90, 240, 160};
  FillRect(again, &band, red);
  EXPECT_EQ(ui::ColorAt(10, oy + 95), RGB(255, 0, 0));
  EXPECT_EQ(ui::ColorAt(10, oy + 120), RGB(0, 128, 0));
  ReleaseDC(top, again);
  DestroyWindow(cover);

  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  EXPECT_TRUE(DeleteObject(bluePen));
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_FALSE(DeleteObject(red));          // already gone
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));  // stock objects stay
  EXPECT_NE(GetObjectType(GetStockObject(WHITE_BRUSH)), 0u);
  EXPECT_EQ(FillRect(nullptr, &fill, red), 0);
  ReleaseDC(top, dc);
  ui::SaveScreenshot(ScreenshotPath("ui_paint_shapes"));
  DestroyWindow(top);
}

// The columns that hold ink between x0 and x1 on the screen rows y0..y1.
std::pair<int, int> InkColumns(int x0, int x1, int y0, int y1) {
  int first = -1, last = -1;
  for (int x = x0; x < x1; ++x)
    for (int y = y0; y < y1; ++y)
      if (ui::ColorAt(x, y) != kWhite) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

TEST(UiPaint, TextIsDrawnWhereItsExtentsSay) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, kWhite);
  ASSERT_TRUE(ui::WaitIdle());
  HDC dc = GetDC(top);
  TEXTMETRICW tm;
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_GE(tm.tmHeight, 11);
  EXPECT_LE(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);

  const char16_t* text = u"Hello, Wörld";
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32W(dc, text, 12, &size));
  EXPECT_EQ(size.cy, tm.tmHeight);
  SetBkMode(dc, TRANSPARENT);
  ExtTextOutW(dc, 10, 10, 0, nullptr, text, 12, nullptr);
  auto [first, last] = InkColumns(0, 240, 26 + 10, 26 + 10 + tm.tmHeight);
  ASSERT_GE(first, 10);
  EXPECT_LE(first, 12);
  EXPECT_LE(last, 10 + size.cx);
  EXPECT_GE(last, 10 + size.cx - 3);  // the last glyph ends near the advance

  // Partial extents grow by each character's width and fit counts what fits.
  int fit = 0, dx[12];
  GetTextExtentExPointW(dc, text, 12, size.cx / 2, &fit, dx, &size);
  EXPECT_GT(fit, 2);
  EXPECT_LT(fit, 12);
  EXPECT_LE(dx[fit - 1], size.cx / 2);
  SIZE prefix;
  GetTextExtentPoint32W(dc, text, fit, &prefix);
  EXPECT_EQ(dx[fit - 1], prefix.cx);

  // A bold font is wider; a taller one has taller cells.
  LOGFONTW lf{};
  lf.lfHeight = -11;
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, bold);
  SIZE boldSize;
  GetTextExtentPoint32W(dc, text, 12, &boldSize);
  EXPECT_GT(boldSize.cx, size.cx);
  SelectObject(dc, old);
  DeleteObject(bold);

  // DrawTextW: centring, right alignment, word wrap, ellipsis, measuring.
  RECT box{0, 40, 200, 60};
  DrawTextW(dc, u"centre", -1, &box, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  GetTextExtentPoint32W(dc, u"centre", 6, &size);
  auto [c0, c1] = InkColumns(0, 240, 26 + 40, 26 + 60);
  EXPECT_NEAR((c0 + c1) / 2.0, 100.0, 2.0);
  RECT right{0, 70, 200, 90};
  DrawTextW(dc, u"right", -1, &right, DT_RIGHT | DT_SINGLELINE);
  auto [r0, r1] = InkColumns(0, 240, 26 + 70, 26 + 90);
  EXPECT_GE(r1, 196);
  EXPECT_LT(r1, 200);
  (void)r0;

  RECT wrap{0, 0, 80, 0};
  int height = DrawTextW(dc, u"several words that wrap over lines", -1, &wrap, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GE(height, 3 * tm.tmHeight);
  EXPECT_EQ(wrap.bottom, height);
  EXPECT_LE(wrap.right, 80);
  RECT oneLine{0, 0, 0, 0};
  DrawTextW(dc, u"abc", -1, &oneLine, DT_CALCRECT | DT_SINGLELINE);
  GetTextExtentPoint32W(dc, u"abc", 3, &size);
  EXPECT_EQ(oneLine.right, size.cx);

  RECT narrow{0, 100, 60, 120};
  DrawTextW(dc, u"A long name that does not fit", -1, &narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
  auto [e0, e1] = InkColumns(0, 240, 26 + 100, 26 + 120);
  EXPECT_LT(e1, 60);
  EXPECT_GE(e0, 0);

  EXPECT_GT(DrawTextW(dc, u"x", -1, nullptr, 0), -1);  // bad input: 0, no crash
  ReleaseDC(top, dc);

  LONG units = GetDialogBaseUnits();
  EXPECT_GE(LOWORD(units), 4);
  EXPECT_LE(LOWORD(units), 9);
  EXPECT_EQ(HIWORD(units), tm.tmHeight);
  ui::SaveScreenshot(ScreenshotPath("ui_paint_text"));
  DestroyWindow(top);
}

}  // namespace
