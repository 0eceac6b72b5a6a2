// The settings dialog and the compose dialog, used as a user would: typed
// text, taps on check boxes and buttons; checked in the registry, the log
// and the messages store.
#include <cstdlib>

#include <kvplatform.h>

#include "app/app_globals.h"
#include "app/epoc_list_controls.h"
#include "app/kv_appui.h"
#include "app/kv_document.h"
#include "app/kv_messages_view.h"
#include "app/resources/resource_ids.h"
#include "app/tests/program_fixture.h"
#include "kernel/log.h"
#include "kernel/registry.h"
#include "store/messages.h"

namespace kvui = kvplatform::uitest;

namespace {

const WCHAR KKey[] = u"Software\\Veltramonic\\Korvanet";

class DialogsTest : public ProgramTest {
 protected:
  CKvMessagesView* View(int aType) { return static_cast<CKvMessagesView*>(gKvAppUi->GetView(aType)); }
  // Chooses a command of the current view, as its menu would.
  void Command(int aCommand) { PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, aCommand, 0); }
  // The compose dialog once it is on the screen and initialised.
  HWND WaitForCompose() {
    HWND dialog = nullptr;
    WaitFor([&] {
      HWND send = kvui::FindByText(u"Send");
      dialog = send != nullptr ? GetParent(send) : nullptr;
      return dialog != nullptr && kvui::StateOf(dialog).visible && kvui::TextOf(kvui::FindById(dialog, KKvIdComposeCount)) == u"0";
    });
    kvui::WaitIdle();
    return dialog;
  }
  static bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KKey, 0, 0, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  static std::u16string RegistryText(LPCWSTR aValue) {
    LPWSTR text = CEpocRegistry::GetRegistryString(KKey, aValue);
    std::u16string result = text != nullptr ? text : u"<none>";
    std::free(text);
    return result;
  }
  // The messages of a folder as "number:text".
  std::vector<std::string> Folder(DWORD aFolder) {
    std::vector<std::string> rows;
    CKveMessagesDatabase* store = gKvDocument->MessagesDatabase();
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      CKveMessagesItem* message = static_cast<CKveMessagesItem*>(item);
      if (message->Folder() == aFolder)
        rows.push_back(kvplatform::ToUtf8(std::u16string(message->Number().Ptr(), message->Number().Length())) + ":" +
                       kvplatform::ToUtf8(std::u16string(message->Text().Ptr(), message->Text().Length())));
      delete message;
    }
    return rows;
  }
};

TEST_F(DialogsTest, SettingsCancelWritesNothingAndOkWritesTheTypedNumber) {
  ASSERT_TRUE(StartProgram());
  Command(KKvCmdSettings);
  HWND field = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (field = kvui::FindById(kvui::FindByText(u"Dialog"), KKvIdSmscField)) != nullptr; }));
  HWND dialog = GetParent(field);
  EXPECT_EQ(kvui::TextOf(field), u"");  // no key at all: empty
  Screenshot("settings_dialog");
  kvui::TapWindow(kvui::FindByText(u"Cancel", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  kvplatform::ReloadRegistry();
  EXPECT_FALSE(KeyExists());

  // A typed number is kept.
  Command(KKvCmdSettings);
  ASSERT_TRUE(WaitFor([&] { return (field = kvui::FindById(kvui::FindByText(u"Dialog"), KKvIdSmscField)) != nullptr; }));
  dialog = GetParent(field);
  kvui::TapWindow(field);
  kvui::TypeText(u"+447785016005");
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  kvplatform::ReloadRegistry();
  EXPECT_EQ(RegistryText(u"SMSC"), u"+447785016005");
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(DialogsTest, RequestDeliveryReportsIsKeptWithTheOtherSettings) {
  ASSERT_TRUE(StartProgram());
  Command(KKvCmdSettings);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = kvui::FindByText(u"Request delivery reports")) != nullptr; }));
  HWND dialog = GetParent(box);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // off by default
  Screenshot("settings_reports");
  kvui::TapWindow(box);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  kvplatform::ReloadRegistry();
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"DeliveryReports"), 1);

  // Shown ticked when opened again.
  Command(KKvCmdSettings);
  ASSERT_TRUE(WaitFor([&] { return (box = kvui::FindByText(u"Request delivery reports")) != nullptr; }));
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  kvui::TapWindow(kvui::FindByText(u"Cancel", GetParent(box)));
  EXPECT_EQ(StopProgram(), 0);
}

// Notices for new messages are on unless the user switched them off; off is
// what the registry keeps.
TEST_F(DialogsTest, ShowANoticeForNewMessagesIsOnByDefaultAndKeptWhenSwitchedOff) {
  ASSERT_TRUE(StartProgram());
  Command(KKvCmdSettings);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = kvui::FindByText(u"Show a notice for new messages")) != nullptr; }));
  HWND dialog = GetParent(box);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  Screenshot("settings_notices");
  kvui::TapWindow(box);
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  kvplatform::ReloadRegistry();
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"QuietArrivals"), 1);
  EXPECT_FALSE(gKvDocument->ArrivalNotices());
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(DialogsTest, UncheckingCreateLogFileStopsTheLogAtOnce) {
  CEpocRegistry::SaveRegistryInt(KKey, u"DebugLog", 1);
  ASSERT_TRUE(StartProgram());
  EXPECT_TRUE(LoggingOn());
  Command(KKvCmdSettings);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = kvui::FindByText(u"Create log file")) != nullptr; }));
  HWND dialog = GetParent(box);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  kvui::TapWindow(box);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_FALSE(LoggingOn());
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(DialogsTest, ComposeTakesLongTextsAndCountsCharactersAndMessagesAsPhonesDo) {
  ASSERT_TRUE(StartProgram());
  Command(KKvCmdNewEntry);
  HWND dialog = WaitForCompose();
  ASSERT_NE(dialog, nullptr);
  HWND text = kvui::FindById(dialog, KKvIdComposeText);
  HWND count = kvui::FindById(dialog, KKvIdComposeCount);
  auto setText = [&](const std::u16string& aText) {
    SendMessageW(text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(aText.c_str()));
    kvui::WaitIdle();
  };
  // One message holds 160 characters; a part of a long one 153.
  setText(std::u16string(160, u'a'));
  EXPECT_EQ(kvui::TextOf(count), u"160 / 1");
  kvui::TapWindow(text);
  kvui::PressKey(VK_END);
  kvui::TypeText(u"b");
  EXPECT_EQ(kvui::TextOf(count), u"161 / 2");
  // The euro sign takes two characters of the GSM alphabet.
  kvui::TypeText(u"\u20AC");
  EXPECT_EQ(kvui::TextOf(count), u"163 / 2");
  // A letter the GSM alphabet lacks: the text goes as Unicode, 67 a part,
  // the euro sign now one character.
  kvui::TypeText(u"\u0416");
  EXPECT_EQ(kvui::TextOf(count), u"163 / 3 Unicode");
  Screenshot("compose_unicode_count");
  // An emoji counts two, as phones count it.
  setText(u"Hi \U0001F600");
  EXPECT_EQ(kvui::TextOf(count), u"5 / 1 Unicode");
  setText(u"");
  EXPECT_EQ(kvui::TextOf(count), u"0");

  // Far more than the old 255 characters: eleven parts, all of it saved.
  std::u16string longText(1530, u'x');
  setText(longText);
  kvui::TapWindow(text);
  kvui::KeyDown(VK_CONTROL);
  kvui::PressKey(VK_END);
  kvui::KeyUp(VK_CONTROL);
  kvui::TypeText(u"!");
  EXPECT_EQ(kvui::TextOf(count), u"1531 / 11");
  Screenshot("compose_long");
  SendMessageW(kvui::FindById(dialog, KKvIdComposeRecipient), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"+441234567890"));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Folder(EKvFolderOutbox), (std::vector<std::string>{"+441234567890:" + std::string(1530, 'x') + "!"}));
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(DialogsTest, ComposeSavesToTheOutboxAndCountsCharacters) {
  ASSERT_TRUE(StartProgram());
  Command(KKvCmdNewEntry);  // the menu bar's new-message button
  HWND dialog = WaitForCompose();
  ASSERT_NE(dialog, nullptr);
  HWND text = kvui::FindById(dialog, KKvIdComposeText);
  kvui::TapWindow(text);
  kvui::TypeText(u"abcde");
  kvui::PressKey(VK_RETURN);
  kvui::TypeText(u"fghij");
  kvui::PressKey(VK_RETURN);
  kvui::TypeText(u"klmno");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(dialog, KKvIdComposeCount)), u"19 / 1");
  SendMessageW(kvui::FindById(dialog, KKvIdComposeRecipient), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"+441234567890"));
  Screenshot("compose_new");
  // Done saves it in the Outbox.
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Folder(EKvFolderOutbox), (std::vector<std::string>{"+441234567890:abcde\r\nfghij\r\nklmno"}));
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
