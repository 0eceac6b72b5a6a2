// The resource script as the program loads it: strings, menus with their
// pop-ups and greyed items, menu bars, accelerators and dialog templates.
#include <gtest/gtest.h>

#include <kvresources.h>
#include <windows.h>

#include "app/resources/korvanet_resources.h"
#include "app/resources/resource_ids.h"

namespace {

class Resources : public ::testing::Test {
 protected:
  Resources() {
    setenv("KORVANET_DISPLAY", "headless", 1);
    iInstance = kvresources::ProgramInstance();
    KvDeclareResources(iInstance);
  }
  std::u16string String(int aId) {
    WCHAR text[128] = {0};
    LoadStringW(iInstance, aId, text, 128);
    return text;
  }
  // The pop-up's items as "text:command" (greyed ones marked), separators as "-".
  std::vector<UINT> Commands(HMENU aPopUp) {
    std::vector<UINT> commands;
    for (int i = 0; i < GetMenuItemCount(aPopUp); ++i) commands.push_back(GetMenuItemID(aPopUp, i));
    return commands;
  }
  HINSTANCE iInstance;
};

TEST_F(Resources, StringsMenusAndMenuBarsOfTheViews) {
  EXPECT_EQ(String(KKvStrWindowTitle), u"Korvanet");
  EXPECT_EQ(String(KKvStrWindowClass), u"KorvanetWindowClass");

  const UINT KSeparator = 0;
  struct TExpected {
    int iMenu;
    std::vector<UINT> iPhone;
    std::vector<UINT> iEntry;
  };
  const TExpected expected[] = {
      {KKvMenuContacts, {40032, 40018, 40070, 40085, KSeparator, 40006, 40019}, {40012, 40034, KSeparator, 40033}},
      {KKvMenuInbox, {40045, 40056, 40085, KSeparator, 40006, 40019}, {40012, 40034, 40053, 40054}},
      {KKvMenuOutbox, {40045, 40052, 40056, 40085, KSeparator, 40006, 40019}, {40012, 40034, KSeparator, 40033}},
      {KKvMenuSent, {40045, 40056, 40085, KSeparator, 40006, 40019}, {40012, 40034, KSeparator, 40033}},
  };
  for (const TExpected& menu : expected) {
    SCOPED_TRACE(menu.iMenu);
    HMENU loaded = LoadMenuW(iInstance, MAKEINTRESOURCEW(menu.iMenu));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(GetMenuItemCount(loaded), 3);
    EXPECT_EQ(Commands(GetSubMenu(loaded, 0)), (std::vector<UINT>{40065, 40063, 40064, 40069}));
    EXPECT_EQ(Commands(GetSubMenu(loaded, 1)), menu.iPhone);
    EXPECT_EQ(Commands(GetSubMenu(loaded, 2)), menu.iEntry);
    // The menu bar of the same identifier exists as RCDATA.
    EXPECT_NE(FindResourceW(iInstance, MAKEINTRESOURCEW(menu.iMenu), RT_RCDATA), nullptr);
    DestroyMenu(loaded);
  }
  // Forward and Reply of the Inbox are greyed; Read is not.
  HMENU inbox = LoadMenuW(iInstance, MAKEINTRESOURCEW(KKvMenuInbox));
  HMENU entry = GetSubMenu(inbox, 2);
  EXPECT_TRUE(GetMenuState(entry, KKvCmdForward, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(GetMenuState(entry, KKvCmdReply, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(entry, KKvCmdEdit, MF_BYCOMMAND) & MF_GRAYED);
  DestroyMenu(inbox);
  EXPECT_NE(LoadBitmapW(iInstance, MAKEINTRESOURCEW(KKvBitmapMenuBar)), nullptr);
}

TEST_F(Resources, AcceleratorTableAndDialogTemplates) {
  HACCEL table = LoadAcceleratorsW(iInstance, MAKEINTRESOURCEW(KKvAccelerators));
  ASSERT_NE(table, nullptr);
  // Every dialog of the program has a template.
  for (int dialog : {KKvDlgAbout, KKvDlgCompose, KKvDlgContactEditor, KKvDlgProgress, KKvDlgSettings})
    EXPECT_NE(FindResourceW(iInstance, MAKEINTRESOURCEW(dialog), RT_DIALOG), nullptr) << dialog;
  HRSRC progress = FindResourceW(iInstance, MAKEINTRESOURCEW(KKvDlgProgress), RT_DIALOG);
  const DLGTEMPLATE* bytes = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(iInstance, progress)));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes->cdit, 3);
  EXPECT_EQ(bytes->x, 10);
  EXPECT_EQ(bytes->y, 35);
  EXPECT_EQ(bytes->cx, 113);
  EXPECT_EQ(bytes->cy, 76);
}

}  // namespace
