// The settings dialog and the compose dialog, used as a user would: typed
// text, taps on check boxes and buttons; checked in the registry, the log
// and the messages store.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <kvplatform.h>
#include <kvplatform_serial.h>

#include "app/document/app_globals.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_view_table.h"
#include "app/document/kv_document.h"
#include "app/views/kv_messages_view.h"
#include "app/views/resources/resource_ids.h"
#include "app/tests/program_fixture.h"
#include "kernel/log.h"
#include "kernel/registry.h"
#include "store/messages.h"
#include "testing/phonesim_process.h"

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
  // The settings dialog once it is up.
  HWND OpenSettings() {
    HWND dialog = SettingsShown();
    kvui::WaitIdle();
    return dialog;
  }
  // The settings dialog as soon as it is there, idle or not.
  HWND SettingsShown() {
    Command(KKvCmdSettings);
    HWND field = nullptr;
    WaitFor([&] { return (field = kvui::FindById(kvui::FindByText(u"Settings"), KKvIdSmscField)) != nullptr; });
    return field != nullptr ? GetParent(field) : nullptr;
  }
  static std::u16string PortRow(HWND aDialog, int aRow) {
    return ComboRow(kvui::FindById(aDialog, KKvIdPortList), aRow);
  }
  // Two phones to choose from under a host's device folder: ttyUSB0 answers
  // and has a stable name; ttyUSB1 falls silent after its first answer, so
  // each later question of the survey waits for its limit. The folder, or
  // empty when a phone did not start.
  std::string StartTwoPhones() {
    const std::string dev = iRoot + "/hostdev";
    std::filesystem::create_directories(dev + "/serial/by-id");
    std::filesystem::create_directories(iRoot + "/sim0");
    std::filesystem::create_directories(iRoot + "/sim1");
    nlohmann::json silent = SmallProfile();
    silent["quirks"]["silence_after_commands"] = 1;
    silent["quirks"]["silence_ms"] = 600000;
    if (!iAnswering.Start(SmallProfile(), iRoot + "/sim0", dev + "/ttyUSB0") ||
        !iSilent.Start(silent, iRoot + "/sim1", dev + "/ttyUSB1"))
      return std::string();
    std::filesystem::create_symlink("../../ttyUSB0", dev + "/serial/by-id/usb-Sim_PS-100-if00");
    setenv("KORVANET_DEV", dev.c_str(), 1);
    return dev;
  }
  TPhoneSimProcess iAnswering;
  TPhoneSimProcess iSilent;
  static LRESULT Check(HWND aDialog, LPCWSTR aBox) {
    return SendMessageW(kvui::FindByText(aBox, aDialog), BM_GETCHECK, 0, 0);
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

// The settings offer the serial devices, with what answers on each; the
// one chosen becomes the phone's port, by its stable name.
TEST_F(DialogsTest, SettingsOfferThePortsAndKeepTheChosenOne) {
  const std::string dev = iRoot + "/hostdev";
  std::filesystem::create_directories(dev + "/serial/by-id");
  std::filesystem::create_directories(iRoot + "/sim");
  TPhoneSimProcess phone;
  ASSERT_TRUE(phone.Start(SmallProfile(), iRoot + "/sim", dev + "/ttyUSB0")) << phone.Errors();
  std::filesystem::create_symlink("../../ttyUSB0", dev + "/serial/by-id/usb-Sim_PS-100-if00");
  setenv("KORVANET_DEV", dev.c_str(), 1);
  ASSERT_TRUE(StartProgram());
  HWND dialog = OpenSettings();
  ASSERT_NE(dialog, nullptr);
  HWND list = kvui::FindById(dialog, KKvIdPortList);
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(WaitForPortSurvey(dialog));
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
  WCHAR row[256] = {0};
  SendMessageW(list, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(row));
  EXPECT_EQ(std::u16string(row),
            kvplatform::FromUtf8(dev) + u"/serial/by-id/usb-Sim_PS-100-if00 \u00B7 free \u00B7 PHONESIM PS-100");
  Screenshot("settings_ports");
  SendMessageW(list, CB_SETCURSEL, 1, 0);
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  unsetenv("KORVANET_DEV");
  std::error_code error;
  EXPECT_EQ(std::filesystem::read_symlink(iRoot + "/dev/COM3", error).string(),
            dev + "/serial/by-id/usb-Sim_PS-100-if00");
}

// The ports are looked for once the dialog is up: while a modem that has
// fallen silent holds the survey, the window answers and paints, a row says
// the ports are being looked for, and then the rows come as they always have.
TEST_F(DialogsTest, SettingsAnswerWhileThePortsAreLookedFor) {
  const std::string dev = StartTwoPhones();
  ASSERT_FALSE(dev.empty()) << iAnswering.Errors() << iSilent.Errors();
  ASSERT_TRUE(StartProgram());
  HWND dialog = SettingsShown();
  ASSERT_NE(dialog, nullptr);
  // Sent from this thread: answered only when the window's thread is free.
  WCHAR title[32] = {0};
  SendMessageW(dialog, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title));
  EXPECT_EQ(std::u16string(title), u"Settings");
  EXPECT_EQ(PortRow(dialog, 0), u"(none chosen)");
  EXPECT_EQ(PortRow(dialog, 1), u"Looking for ports\u2026");
  EXPECT_TRUE(kvui::WaitIdle());
  EXPECT_EQ(PortRow(dialog, 1), u"Looking for ports\u2026");
  EXPECT_EQ(SendMessageW(kvui::FindById(dialog, KKvIdPortList), CB_GETCURSEL, 0, 0), 0);
  Screenshot("settings_looking_for_ports");

  ASSERT_TRUE(WaitForPortSurvey(dialog));
  HWND list = kvui::FindById(dialog, KKvIdPortList);
  EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(PortRow(dialog, 0), u"(none chosen)");
  EXPECT_EQ(PortRow(dialog, 1),
            kvplatform::FromUtf8(dev) + u"/serial/by-id/usb-Sim_PS-100-if00 \u00B7 free \u00B7 PHONESIM PS-100");
  // It said OK to "AT", and nothing after.
  EXPECT_EQ(PortRow(dialog, 2), kvplatform::FromUtf8(dev) + u"/ttyUSB1 \u00B7 free \u00B7  ");
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
  kvui::TapWindow(kvui::FindByText(u"Cancel", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  unsetenv("KORVANET_DEV");
}

// Left before the survey ends: OK keeps the port as it was chosen (and the
// rest as typed), Cancel keeps everything; the survey ends with the dialog,
// letting its ports go, and the next dialog finds them all.
TEST_F(DialogsTest, SettingsLeftBeforeThePortsAreFoundKeepThePort) {
  const std::string dev = StartTwoPhones();
  ASSERT_FALSE(dev.empty()) << iAnswering.Errors() << iSilent.Errors();
  ASSERT_EQ(kvplatform::SetSerialPortLink(u"COM3:", dev + "/ttyUSB0"), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(StartProgram());

  HWND dialog = SettingsShown();
  ASSERT_NE(dialog, nullptr);
  kvui::TapWindow(kvui::FindById(dialog, KKvIdSmscField));
  kvui::TypeText(u"+447785016005");
  ASSERT_EQ(PortRow(dialog, 0), kvplatform::FromUtf8(dev) + u"/ttyUSB0");
  ASSERT_EQ(PortRow(dialog, 1), u"Looking for ports\u2026");
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(kvplatform::SerialPortLinkTarget(u"COM3:"), dev + "/ttyUSB0");
  kvplatform::ReloadRegistry();
  EXPECT_EQ(RegistryText(u"SMSC"), u"+447785016005");

  dialog = SettingsShown();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(PortRow(dialog, 1), u"Looking for ports\u2026");
  kvui::TapWindow(kvui::FindByText(u"Cancel", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(kvplatform::SerialPortLinkTarget(u"COM3:"), dev + "/ttyUSB0");

  // Not busy: the stopped survey closed the silent modem's port. Whether
  // it answers the first "AT" depends on whether a stopped survey got that far.
  dialog = SettingsShown();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitForPortSurvey(dialog));
  const std::u16string silent = PortRow(dialog, 2);
  const std::u16string device = kvplatform::FromUtf8(dev) + u"/ttyUSB1 \u00B7 ";
  EXPECT_TRUE(silent == device + u"no answer" || silent == device + u"free \u00B7  ") << kvplatform::ToUtf8(silent);
  kvui::TapWindow(kvui::FindByText(u"Cancel", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  unsetenv("KORVANET_DEV");
}

// Settings: Cancel writes nothing, not even the key; OK keeps the typed
// number and every box, and the boxes open again as kept. The log starts and
// stops at once with its box.
TEST_F(DialogsTest, SettingsAreKeptOnlyByOkAndComposeCountsAsPhonesDo) {
  ASSERT_TRUE(StartProgram());
  HWND dialog = OpenSettings();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(dialog, KKvIdSmscField)), u"");  // no key at all: empty
  EXPECT_EQ(Check(dialog, u"Request delivery reports"), BST_UNCHECKED);
  EXPECT_EQ(Check(dialog, u"Show a notice for new messages"), BST_CHECKED);
  EXPECT_EQ(Check(dialog, u"Create log file"), BST_UNCHECKED);
  Screenshot("settings_dialog");
  kvui::TapWindow(kvui::FindByText(u"Cancel", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  kvplatform::ReloadRegistry();
  EXPECT_FALSE(KeyExists());

  dialog = OpenSettings();
  ASSERT_NE(dialog, nullptr);
  kvui::TapWindow(kvui::FindById(dialog, KKvIdSmscField));
  kvui::TypeText(u"+447785016005");
  for (LPCWSTR box : {u"Request delivery reports", u"Show a notice for new messages", u"Create log file"})
    kvui::TapWindow(kvui::FindByText(box, dialog));
  EXPECT_EQ(Check(dialog, u"Request delivery reports"), BST_CHECKED);
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_TRUE(LoggingOn());
  EXPECT_FALSE(gKvDocument->ArrivalNotices());
  kvplatform::ReloadRegistry();
  EXPECT_EQ(RegistryText(u"SMSC"), u"+447785016005");
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"DeliveryReports"), 1);
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"QuietArrivals"), 1);

  dialog = OpenSettings();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Check(dialog, u"Request delivery reports"), BST_CHECKED);
  EXPECT_EQ(Check(dialog, u"Show a notice for new messages"), BST_UNCHECKED);
  EXPECT_EQ(Check(dialog, u"Create log file"), BST_CHECKED);
  kvui::TapWindow(kvui::FindByText(u"Create log file", dialog));
  kvui::TapWindow(kvui::FindByText(u"OK", dialog));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_FALSE(LoggingOn());

  // Compose takes long texts and counts characters and messages as phones do.
  Command(KKvCmdNewEntry);
  dialog = WaitForCompose();
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
  // A letter the GSM alphabet lacks: the text goes as Unicode, 67 a part.
  kvui::TypeText(u"\u0416");
  EXPECT_EQ(kvui::TextOf(count), u"162 / 3 Unicode");
  Screenshot("compose_unicode_count");

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

}  // namespace
