#include "gallery_pages.h"

#include <aygshell.h>

namespace gallery {

namespace {
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
constexpr int kTaskbarHeight = 26;
}  // namespace

const std::vector<Page>& Pages() {
  static const std::vector<Page> pages = {StaticAndButtonsPage(), EditPage(),       ListBoxPage(),
                                          ComboBoxPage(),         ProgressPage(),   TabControlPage(),
                                          TreeViewPage(),         ListViewPage()};
  return pages;
}

int PageWidthUnits() { return kScreenWidth * 4 / LOWORD(GetDialogBaseUnits()); }

int PageHeightUnits() {
  return (kScreenHeight - kTaskbarHeight - KV_MENU_BAR_HEIGHT) * 8 / HIWORD(GetDialogBaseUnits());
}

kvresources::DialogDefinition PageDialog(const char16_t* title, std::vector<kvresources::DialogControl> controls) {
  kvresources::DialogDefinition dialog;
  dialog.cx = static_cast<short>(PageWidthUnits());
  dialog.cy = static_cast<short>(PageHeightUnits());
  dialog.style = WS_POPUP | WS_VISIBLE;
  dialog.caption = title;
  dialog.controls = std::move(controls);
  dialog.controls.push_back(StatusLine());
  return dialog;
}

kvresources::DialogControl StatusLine() {
  short bottom = static_cast<short>(PageHeightUnits());
  return kvresources::LText(u"", kStatusId, 4, static_cast<short>(bottom - 12),
                            static_cast<short>(PageWidthUnits() - 8), 10);
}

void SetStatus(HWND dialog, const std::u16string& text) { SetDlgItemTextW(dialog, kStatusId, text.c_str()); }

std::u16string Number(long value) {
  std::u16string text;
  bool negative = value < 0;
  unsigned long rest = negative ? static_cast<unsigned long>(-value) : static_cast<unsigned long>(value);
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + rest % 10));
    rest /= 10;
  } while (rest);
  return negative ? u"-" + text : text;
}

}  // namespace gallery
