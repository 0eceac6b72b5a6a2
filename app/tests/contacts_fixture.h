// The contacts view driven as a user would: tabs and rows tapped, the
// editor typed into and confirmed with the taskbar's ok, the phone actions
// run behind their progress dialog against phonesim; the contacts store
// read back through a store instance of the test's own.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <kvplatform.h>

#include "app/document/app_globals.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_view_table.h"
#include "app/views/resources/resource_ids.h"
#include "app/views/kv_contacts_view.h"
#include "app/tests/program_fixture.h"
#include "testing/phonesim_process.h"
#include "kernel/registry.h"
#include "store/contacts.h"

namespace kvui = kvplatform::uitest;

class ContactsTest : public ProgramTest {
 protected:
  struct TStored {
    std::u16string iName;
    std::u16string iNumber;
    std::u16string iDetails;
    DWORD iFlags;
    int iLocation;
  };

  ContactsTest() {
    std::filesystem::create_directories(iRoot + "/dev");
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"DebugLog", 1);
    CEpocRegistry::SaveRegistryString(u"Software\\Veltramonic\\Korvanet", u"SMSC", u"+447785016005");
  }

  static CKvContactsView* Contacts() { return static_cast<CKvContactsView*>(gKvAppUi->GetView(EKvViewContacts)); }
  static void Command(int aCommand) { PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, aCommand, 0); }

  // "Contacts" from the View menu; true once the view is in front.
  bool OpenContacts() {
    Command(KKvCmdContacts);
    return WaitFor([] { return gKvAppUi->CurrentView() == Contacts(); }) && kvui::WaitIdle();
  }

  // Runs a phone action of the view and waits for its end; the text the
  // progress dialog ended with, once its OK has been tapped.
  std::u16string RunAction(int aCommand, LPCWSTR aTitle) {
    Command(aCommand);
    return FinishProgress(aTitle);
  }
  // Waits for the progress dialog of an action to finish; its final text,
  // once OK was tapped. aBeforeOk runs while the finished dialog is shown.
  std::u16string FinishProgress(LPCWSTR aTitle, const std::function<void()>& aBeforeOk = {}) {
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = kvui::FindByText(aTitle)) != nullptr; })) return u"<no progress dialog>";
    HWND button = kvui::FindById(dialog, IDCANCEL);
    if (!WaitFor([&] { return kvui::TextOf(button) == u"OK"; }, 60000)) return u"<not finished>";
    if (aBeforeOk) aBeforeOk();
    std::u16string text = kvui::TextOf(kvui::FindById(dialog, KKvIdStatusText));
    kvui::TapWindow(button);
    WaitFor([&] { return !IsWindow(dialog); });
    kvui::WaitIdle();
    return text;
  }

  static void TapTab(int aIndex) {
    HWND tabs = Contacts()->TabControl();
    RECT tab{};
    SendMessageW(tabs, TCM_GETITEMRECT, aIndex, reinterpret_cast<LPARAM>(&tab));
    POINT centre{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2};
    ClientToScreen(tabs, &centre);
    kvui::Tap(centre.x, centre.y);
  }
  static int CurrentTab() { return static_cast<int>(SendMessageW(Contacts()->TabControl(), TCM_GETCURSEL, 0, 0)); }

  // The middle of a row on the screen.
  static POINT RowPoint(CEpocListBox* aList, int aRow) {
    RECT row{};
    SendMessageW(aList->ChildWindow(), LB_GETITEMRECT, aRow, reinterpret_cast<LPARAM>(&row));
    POINT point{row.left + 40, (row.top + row.bottom) / 2};
    ClientToScreen(aList->ChildWindow(), &point);
    return point;
  }

  // Each row's line: name, tab, number, tab.
  static std::vector<std::u16string> Rows(CEpocListBox* aList) {
    std::vector<std::u16string> rows;
    HWND list = aList->ChildWindow();
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      WCHAR text[300] = {0};
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      rows.push_back(text);
    }
    return rows;
  }
  // Only the names, in the list's order.
  static std::vector<std::u16string> Names(CEpocListBox* aList) {
    std::vector<std::u16string> names;
    for (const std::u16string& row : Rows(aList)) names.push_back(row.substr(0, row.find(u'\t')));
    return names;
  }
  static int IndexOf(CEpocListBox* aList, const std::u16string& aName) {
    std::vector<std::u16string> names = Names(aList);
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == aName) return static_cast<int>(i);
    return -1;
  }
  static bool Shown(CEpocListBox* aList) { return kvui::StateOf(aList->ChildWindow()).visible; }

  // Tap-and-hold on a row; true once the entry menu is open.
  static bool HoldRow(CEpocListBox* aList, int aRow) {
    POINT row = RowPoint(aList, aRow);
    kvui::Hold(row.x, row.y);
    return WaitFor([] {
      HWND menu = kvui::FindByClass(u"KvPopupMenu");
      return menu != nullptr && kvui::StateOf(menu).visible;
    }) && kvui::WaitIdle();
  }

  // The contact editor once it is up and filled in, whether it is titled
  // for a new contact or for an existing one.
  static HWND WaitForEditor() {
    HWND editor = nullptr;
    WaitFor([&] {
      editor = kvui::FindByText(u"New Contact");
      if (editor == nullptr) editor = kvui::FindByText(u"Edit Contact");
      return editor != nullptr && kvui::FindById(editor, KKvIdContactName) != nullptr && kvui::StateOf(editor).visible &&
             kvui::TextOf(kvui::FindById(editor, KKvIdContactStore)) != u"";
    });
    kvui::WaitIdle();
    return editor;
  }
  // The full-screen dialog's ok on the taskbar.
  static void TapDone() { kvui::Tap(225, 13); }
  static void TypeInto(HWND aEditor, int aId, const std::u16string& aText) {
    kvui::TapWindow(kvui::FindById(aEditor, aId));
    kvui::PressKey(VK_END);
    kvui::TypeText(aText);
  }
  static void ClearAndType(HWND aEditor, int aId, const std::u16string& aText) {
    HWND box = kvui::FindById(aEditor, aId);
    kvui::TapWindow(box);
    kvui::PressKey(VK_END);
    for (size_t n = kvui::TextOf(box).size(); n > 0; --n) kvui::PressKey(VK_BACK);
    kvui::TypeText(aText);
  }
  // Every record of the contacts store, in its order (by name).
  std::vector<TStored> Stored() {
    std::vector<TStored> contacts;
    CKveContactsDatabase* store = CKveContactsDatabase::NewL(nullptr, 0);
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      auto* contact = static_cast<CKveContactsItem*>(item);
      auto text = [](const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); };
      contacts.push_back({text(contact->Name()), text(contact->Number()), text(contact->OtherDetails()),
                          contact->Flags(), contact->Location()});
      delete contact;
    }
    delete store;
    return contacts;
  }
  const TStored* StoredByName(const std::vector<TStored>& aAll, const std::u16string& aName) {
    for (const TStored& contact : aAll)
      if (contact.iName == aName) return &contact;
    return nullptr;
  }

  TPhoneSimProcess iPhone;
};
