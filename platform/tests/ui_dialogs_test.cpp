// Dialogs from templates, pop-up menus, the menu bar, accelerators and
// resources, driven through messages and through simulated taps and keys.
// The windows live on a thread of their own (as the program's user
// interface thread), while the test taps and types like a user.
#include <aygshell.h>
#include <commctrl.h>
#include <kvresources.h>

#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "ui_test_support.h"
#include "wait_until.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;
namespace res = kvresources;

namespace {

constexpr int kName = 1016, kNumber = 1017, kBogus = 1099;

// The program's side of a dialog: records what it gets, ends on OK/Cancel.
std::vector<Seen>& DialogLog() {
  static std::vector<Seen> log;
  return log;
}
INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogLog().push_back({dialog, message, wParam, lParam});
  if (message == WM_INITDIALOG) {
    SetDlgItemTextW(dialog, kName, reinterpret_cast<LPCWSTR>(lParam));
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam) == IDOK ? 100 + GetWindowTextLengthW(GetDlgItem(dialog, kName)) : IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

res::DialogDefinition EditorDialog(DWORD style = WS_POPUP | WS_CAPTION | WS_VISIBLE) {
  return {4, 10, 110, 90, style, u"New Contact", {
      res::LText(u"Name:", -1, 4, 4, 40, 10),
      res::EditText(kName, 46, 4, 60, 12),
      res::LText(u"Mobile tel:", -1, 4, 20, 40, 10),
      res::EditText(kNumber, 46, 20, 60, 12),
      res::DefPushButton(u"OK", IDOK, 4, 70, 40, 14),
      res::PushButton(u"Cancel", IDCANCEL, 60, 70, 40, 14),
  }};
}

// Runs the windows' side on a thread of its own; `body` gets the owner.
template <typename Fn>
auto OnUiThread(Fn body) {
  return std::async(std::launch::async, [body] {
    HWND owner = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
    auto result = body(owner);
    DestroyWindow(owner);
    return result;
  });
}

HWND WaitForWindow(LPCWSTR className) {
  HWND found = nullptr;
  kvtest::WaitUntil([&] {
    ui::WaitIdle();
    HWND w = ui::FindByClass(className);
    found = w && ui::StateOf(w).visible ? w : nullptr;
    return found != nullptr;
  });
  return found;
}

TEST(UiDialogs, TemplateDialogIsFilledAndConfirmedWithEnterOrTheTaskbarsOk) {
  std::vector<BYTE> bytes = res::DialogTemplateBytes(EditorDialog());
  auto* tmpl = reinterpret_cast<const DLGTEMPLATE*>(bytes.data());

  // Confirmed with Enter: the default button's IDOK, the owner disabled
  // meanwhile and enabled again afterwards.
  HWND ownerSeen = nullptr;
  auto run = OnUiThread([&](HWND owner) {
    ownerSeen = owner;
    INT_PTR r = DialogBoxIndirectParamW(nullptr, tmpl, owner, RecordingDialogProc, reinterpret_cast<LPARAM>(u"Ann"));
    return IsWindowEnabled(owner) ? r : -99;
  });
  HWND dialog = WaitForWindow(u"Dialog");
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(ui::StateOf(ownerSeen).enabled);
  EXPECT_EQ(ui::TextOf(GetDlgItem(dialog, kName)), u"Ann");
  EXPECT_EQ(GetDlgItem(dialog, kBogus), nullptr);
  // The init parameter reached the procedure, and the focus is on the first tab stop.
  ASSERT_FALSE(DialogLog().empty());
  EXPECT_EQ(DialogLog().front().message, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(ui::StateOf(GetDlgItem(dialog, kName)).focused, true);
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("dialog_template")));
  ui::PressKey(VK_RETURN);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(run.get(), 103);  // IDOK with "Ann" in the name field
  EXPECT_FALSE(IsWindow(dialog));

  // A full-screen dialog with the taskbar's "ok" button.
  auto fullScreen = [](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
      SHInitDialog(&info);
    }
    return RecordingDialogProc(dialog, message, wParam, lParam);
  };
  run = OnUiThread([&](HWND owner) {
    return DialogBoxIndirectParamW(nullptr, tmpl, owner, fullScreen, reinterpret_cast<LPARAM>(u"Bo"));
  });
  dialog = WaitForWindow(u"Dialog");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(SameRect(ui::StateOf(dialog).screenRect, kBelowTaskbar));
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("dialog_full_screen")));
  ui::Tap(240 - 15, 13);  // the taskbar's "ok"
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(run.get(), 102);
}

TEST(UiDialogs, DialogWithAnUnknownControlClassFailsCleanly) {
  res::DialogDefinition definition = EditorDialog();
  definition.controls.push_back(res::Control(u"", 77, u"NoSuchClass", WS_TABSTOP, 0, 0, 10, 10));
  std::vector<BYTE> bytes = res::DialogTemplateBytes(definition);
  size_t before = ui::WindowCount();
  auto run = OnUiThread([&](HWND owner) {
    INT_PTR r = DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), owner,
                                        RecordingDialogProc, 0);
    DWORD error = GetLastError();
    return std::make_tuple(r, error, static_cast<bool>(IsWindowEnabled(owner)));
  });
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  auto [result, error, ownerEnabled] = run.get();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_TRUE(ownerEnabled);
  ui::WaitIdle();
  EXPECT_EQ(ui::WindowCount(), before);  // nothing left behind
}

HMENU EntryMenu() {
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 40012, u"Delete");
  AppendMenuW(popup, MF_STRING, 40034, u"Read");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING | MF_GRAYED, 40053, u"Forward");
  return popup;
}

TEST(UiMenus, PopupIsChosenByTapDismissedOutsideAndGreyedItemsCannotBeChosen) {
  // Greying and checking by command and by position, and the previous states.
  HMENU menu = EntryMenu();
  EXPECT_EQ(GetMenuItemCount(menu), 4);
  EXPECT_EQ(GetMenuItemID(menu, 1), 40034u);
  EXPECT_EQ(EnableMenuItem(menu, 40053, MF_BYCOMMAND | MF_ENABLED), static_cast<DWORD>(MF_GRAYED));
  EXPECT_EQ(EnableMenuItem(menu, 3, MF_BYPOSITION | MF_GRAYED), static_cast<DWORD>(MF_ENABLED));
  EXPECT_EQ(EnableMenuItem(menu, 99999, MF_BYCOMMAND | MF_GRAYED), static_cast<DWORD>(-1));
  EXPECT_EQ(CheckMenuItem(menu, 40034, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
  EXPECT_TRUE(GetMenuState(menu, 40034, MF_BYCOMMAND) & MF_CHECKED);
  DestroyMenu(menu);
  EXPECT_EQ(GetMenuItemCount(menu), -1);

  auto track = [](UINT flags) {
    return OnUiThread([flags](HWND owner) {
      HMENU popup = EntryMenu();
      Log().clear();
      BOOL r = TrackPopupMenuEx(popup, flags, 50, 100, owner, nullptr);
      DestroyMenu(popup);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);  // a posted WM_COMMAND
      const Seen* init = Last(owner, WM_INITMENUPOPUP);
      const Seen* command = Last(owner, WM_COMMAND);
      return std::make_tuple(static_cast<int>(r), init ? static_cast<int>(init->lParam) : -1,
                             command ? static_cast<int>(LOWORD(command->wParam)) : 0);
    });
  };
  constexpr int kRow = 20, kTop = 101;  // inside the border

  // Chosen by a tap with TPM_RETURNCMD: the command comes back, no WM_COMMAND.
  auto run = track(TPM_RETURNCMD);
  HWND popup = WaitForWindow(u"KvPopupMenu");
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("menu_popup")));
  ui::Tap(70, kTop + kRow + kRow / 2);  // "Read"
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  auto [chosen, initParam, command] = run.get();
  EXPECT_EQ(chosen, 40034);
  EXPECT_EQ(initParam, 0);
  EXPECT_EQ(command, 0);

  // A tap outside dismisses it with 0; a tap on the greyed item chooses nothing.
  run = track(TPM_RETURNCMD);
  ASSERT_NE(WaitForWindow(u"KvPopupMenu"), nullptr);
  ui::Tap(70, kTop + 2 * kRow + 7 + kRow / 2);  // "Forward", greyed: the menu stays
  ASSERT_TRUE(ui::WaitIdle(60000));                // the tap has been handled
  EXPECT_NE(ui::FindByClass(u"KvPopupMenu"), nullptr);
  EXPECT_EQ(run.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  ui::Tap(220, 300);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(std::get<0>(run.get()), 0);

  // The keys choose too.
  run = track(TPM_RETURNCMD);
  ASSERT_NE(WaitForWindow(u"KvPopupMenu"), nullptr);
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_RETURN);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(std::get<0>(run.get()), 40034);
}

void DeclareViewResources() {
  res::Script()
      .String(40100, u"View")
      .String(40101, u"Entry")
      .String(40102, u"New message")
      .Menu(114, {res::Popup(u"View", {res::MenuItem(u"Inbox", 40063), res::MenuItem(u"Outbox", 40064)}),
                  res::Popup(u"Entry", {res::MenuItem(u"Delete", 40012), res::Separator(),
                                        res::MenuItem(u"Forward", 40053, MF_GRAYED)})})
      .MenuBar(114, {res::DropDownButton(40020, 40100, 0), res::DropDownButton(40022, 40101, 1),
                     res::ImageButton(0, 40021, 40102)})
      .Bitmap(121, std::vector<std::string>(16, "RRRRRRRRRRRRRRRRGGGGGGGGGGGGGGGG"), {{'R', RGB(255, 0, 0)}, {'G', RGB(0, 160, 0)}})
      .Accelerators(102, {{FVIRTKEY | FCONTROL, 'A', 40019}, {FVIRTKEY | FCONTROL, 'Q', 1}, {FVIRTKEY, VK_ESCAPE, 2}});
}

// The menu bar of resource aId (with the views' two-image bitmap) on owner.
bool MakeMenuBar(HWND owner, UINT id) {
  SHMENUBARINFO info{};
  info.cbSize = 32;
  info.hwndParent = owner;
  info.nToolBarId = id;
  info.hInstRes = res::ProgramInstance();
  info.nBmpId = 121;
  info.cBmpImages = 2;
  return SHCreateMenuBar(&info);
}

// Runs menu bar `id` on an owner until the owner has had `commands`
// commands; what the owner got of WM_INITMENUPOPUP and WM_COMMAND.
std::future<std::vector<Seen>> RunMenuBar(UINT id, int commands) {
  return OnUiThread([id, commands](HWND owner) {
    if (!MakeMenuBar(owner, id)) return std::vector<Seen>{};
    Log().clear();
    MSG msg;
    for (int n = 0; n < commands && GetMessageW(&msg, nullptr, 0, 0) > 0;) {
      DispatchMessageW(&msg);
      if (msg.message == WM_COMMAND && msg.hwnd == owner) ++n;
    }
    std::vector<Seen> seen;
    for (auto& s : Log())
      if (s.window == owner && (s.message == WM_COMMAND || s.message == WM_INITMENUPOPUP)) seen.push_back(s);
    return seen;
  });
}

TEST(UiShell, MenuBarButtonsOpenTheirPopUpsUpwardsAndSendCommands) {
  DeclareViewResources();
  auto run = RunMenuBar(114, 2);
  HWND bar = WaitForWindow(u"menu_worker");
  ASSERT_NE(bar, nullptr);
  RECT r = ui::StateOf(bar).screenRect;
  EXPECT_EQ(r.top, 320 - 26);
  EXPECT_EQ(r.bottom, 320);
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("menu_bar")));

  // "Entry" is the second text button; its pop-up opens above the bar.
  HWND popup = nullptr;
  std::thread tapper([&] {
    ui::Tap(50, 307);
  });
  popup = WaitForWindow(u"KvPopupMenu");
  ASSERT_NE(popup, nullptr);
  RECT menuRect = ui::StateOf(popup).screenRect;
  EXPECT_EQ(menuRect.bottom, 320 - 26);
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("menu_bar_popup")));
  ui::Tap(menuRect.left + 20, menuRect.top + 1 + 20 / 2);  // "Delete"
  tapper.join();
  ui::WaitIdle();
  // The image button after the text buttons sends its command.
  // Its place: after both captions; find it by scanning for the red image.
  int imageX = -1;
  for (int x = 0; x < 200 && imageX < 0; ++x)
    if (ui::ColorAt(x, 307) == RGB(255, 0, 0)) imageX = x;
  ASSERT_GE(imageX, 0);
  ui::Tap(imageX + 2, 307);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  auto seen = run.get();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_INITMENUPOPUP));
  EXPECT_EQ(LOWORD(seen[0].lParam), 40022);  // the button's command, as the views expect
  EXPECT_EQ(LOWORD(seen[1].wParam), 40012);
  EXPECT_EQ(LOWORD(seen[2].wParam), 40021);
}

// A status button hidden by the resource: not drawn and not tapped until the
// program shows it with TB_HIDEBUTTON, and gone again when it hides it.
TEST(UiShell, MenuBarButtonsAreHiddenAndShownByCommand) {
  DeclareViewResources();
  res::MenuBarButton status = res::ImageButton(1, 40030, 40102);
  status.state = TBSTATE_ENABLED | TBSTATE_HIDDEN;
  res::Script().MenuBar(131, {res::ImageButton(0, 40021, 40102), status});
  auto run = RunMenuBar(131, 1);
  HWND bar = WaitForWindow(u"menu_worker");
  ASSERT_NE(bar, nullptr);
  auto greenAt = [] {
    ui::WaitIdle();
    for (int x = 0; x < 240; ++x)
      if (ui::ColorAt(x, 307) == RGB(0, 160, 0)) return x;
    return -1;
  };
  EXPECT_EQ(greenAt(), -1);
  EXPECT_EQ(SendMessageW(bar, TB_HIDEBUTTON, 40031, MAKELONG(FALSE, 0)), FALSE);  // no such button

  EXPECT_EQ(SendMessageW(bar, TB_HIDEBUTTON, 40030, MAKELONG(FALSE, 0)), TRUE);
  int shownX = greenAt();
  ASSERT_GE(shownX, 0);
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("menu_bar_status_shown")));

  // Hidden again, its place sends nothing; shown, a tap sends its command.
  SendMessageW(bar, TB_HIDEBUTTON, 40030, MAKELONG(TRUE, 0));
  EXPECT_EQ(greenAt(), -1);
  ui::Tap(shownX + 2, 307);
  ui::WaitIdle();
  EXPECT_EQ(run.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  SendMessageW(bar, TB_HIDEBUTTON, 40030, MAKELONG(FALSE, 0));
  ui::Tap(shownX + 2, 307);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  auto seen = run.get();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(LOWORD(seen[0].wParam), 40030);
}

TEST(UiShell, InputPanelChangesAreAnnouncedAndFullScreenWindowsFitAbove) {
  auto run = OnUiThread([](HWND owner) {
    SipShowIM(SIPF_OFF);
    Log().clear();
    SipShowIM(SIPF_ON);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    const Seen* change = Last(owner, WM_SETTINGCHANGE);
    SIPINFO info{};
    info.cbSize = sizeof info;
    SipGetInfo(&info);
    SHACTIVATEINFO activation{};
    activation.cbSize = sizeof activation;
    SHHandleWMSettingChange(owner, SPI_SETSIPINFO, 0, &activation);
    SipShowIM(SIPF_OFF);
    return std::make_tuple(change ? static_cast<int>(change->wParam) : -1, static_cast<int>(info.fdwFlags & SIPF_ON),
                           static_cast<int>(activation.fSipUp), static_cast<int>(info.rcVisibleDesktop.bottom));
  });
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  auto [wParam, on, fSipUp, visibleBottom] = run.get();
  EXPECT_EQ(wParam, 224);
  EXPECT_EQ(on, 1);
  EXPECT_EQ(fSipUp, 1);
  EXPECT_LT(visibleBottom, 320 - 26);
}

TEST(UiResources, StringsDialogsBitmapsMenusAndAccelerators) {
  DeclareViewResources();
  res::Script().String(40013, u"Korvanet").Dialog(110, EditorDialog());
  WCHAR buffer[128];
  EXPECT_EQ(LoadStringW(nullptr, 40013, buffer, 128), 8);
  EXPECT_EQ(std::u16string(buffer), u"Korvanet");
  EXPECT_EQ(LoadStringW(res::ProgramInstance(), 40013, buffer, 4), 3);  // cut, terminated
  EXPECT_EQ(std::u16string(buffer), u"Kor");
  SetLastError(0);
  EXPECT_EQ(LoadStringW(nullptr, 9999, buffer, 128), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));

  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(110), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  auto* tmpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
  ASSERT_NE(tmpl, nullptr);
  EXPECT_EQ(tmpl->cdit, 6);
  EXPECT_EQ(tmpl->cx, 110);
  EXPECT_GT(SizeofResource(nullptr, found), sizeof(DLGTEMPLATE) + 6 * sizeof(DLGITEMTEMPLATE));
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(111), RT_DIALOG), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceW(reinterpret_cast<HINSTANCE>(uintptr_t{0x1234}), MAKEINTRESOURCEW(110), RT_DIALOG), nullptr);

  HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(121));
  ASSERT_NE(bitmap, nullptr);
  BITMAP bm{};
  GetObjectW(bitmap, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 32);
  EXPECT_EQ(bm.bmHeight, 16);
  DeleteObject(bitmap);
  EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(999)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(114));
  ASSERT_NE(menu, nullptr);
  HMENU entry = GetSubMenu(menu, 1);
  ASSERT_EQ(GetMenuItemCount(entry), 3);
  EXPECT_TRUE(GetMenuState(entry, 2, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_TRUE(GetMenuState(entry, 1, MF_BYPOSITION) & MF_SEPARATOR);
  DestroyMenu(menu);

  // Accelerators: Ctrl+A, Ctrl+Q and Escape become WM_COMMAND for the
  // top-level window, also when the key came to one of its controls.
  HACCEL table = LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(102));
  ASSERT_NE(table, nullptr);
  HWND view = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  HWND list = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, view, RGB(0, 0, 255), 4096);
  SetFocus(list);
  ui::WaitIdle();
  // The program's loop offers each key message with its own window (here
  // the focused control); the modifier state is the keyboard's.
  auto translate = [&](UINT key, bool control) {
    Log().clear();
    if (control) ui::KeyDown(VK_CONTROL);
    MSG msg{list, WM_KEYDOWN, key, 1, 0, {}};
    int taken = TranslateAcceleratorW(msg.hwnd, table, &msg);
    if (control) ui::KeyUp(VK_CONTROL);
    const Seen* command = Last(view, WM_COMMAND);
    return taken == 1 && command ? static_cast<int>(command->wParam) : -1;
  };
  EXPECT_EQ(translate('A', true), static_cast<int>(MAKEWPARAM(40019, 1)));
  EXPECT_EQ(translate('Q', true), static_cast<int>(MAKEWPARAM(1, 1)));
  EXPECT_EQ(translate(VK_ESCAPE, false), static_cast<int>(MAKEWPARAM(2, 1)));
  EXPECT_EQ(translate('A', false), -1);  // no Ctrl: just a key
  EXPECT_EQ(translate('Z', true), -1);
  DestroyWindow(view);
  EXPECT_TRUE(DestroyAcceleratorTable(table));
}

}  // namespace
