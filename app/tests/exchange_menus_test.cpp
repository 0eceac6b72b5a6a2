// Contacts and messages to and from files through the views' menus, as a
// user would: the menu row tapped, the file chooser driven with the stylus
// and keys, the summary read from the message box, the store read back.
#include <dlgs.h>

#include <fstream>
#include <sstream>

#include "app/tests/stylus_fixture.h"

namespace {

class ExchangeMenusTest : public StylusTest {
 protected:
  // The chooser of this title once it is up.
  static HWND WaitForChooser(LPCWSTR aTitle) {
    HWND dialog = nullptr;
    WaitFor([&] {
      dialog = kvui::FindByText(aTitle);
      return dialog != nullptr && kvui::FindById(dialog, edt1) != nullptr && kvui::StateOf(dialog).visible;
    });
    kvui::WaitIdle();
    return dialog;
  }
  // The one box shown since the history was cleared, as "caption: text".
  static std::u16string OnlyBox() {
    std::vector<kvplatform::MessageBoxRecord> boxes = kvplatform::MessageBoxHistory();
    if (boxes.size() != 1) return u"<" + std::u16string(1, static_cast<char16_t>(u'0' + boxes.size())) + u" boxes>";
    return boxes[0].caption + u": " + boxes[0].text;
  }
  bool Closed(HWND aChooser) { return WaitFor([&] { return !IsWindow(aChooser); }) && kvui::WaitIdle(); }
  std::string Documents(const std::string& aName) const { return iRoot + "/My Documents/" + aName; }
  std::string Contents(const std::string& aName) const {
    std::ifstream file(Documents(aName), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }
};

TEST_F(ExchangeMenusTest, MessagesExportAsTheChosenTypeAndAnImportBoxListsWhatWasRefused) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  EXPECT_EQ(FinishProgress(u"Download messages ..."), u"Transfer Complete.");
  ASSERT_EQ(MessageRows(EKvViewInbox), 2);

  // The Android backup type, chosen with the keys, gives the name its extension.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Export messages…"));
  HWND chooser = WaitForChooser(u"Export messages");
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(chooser, stc1)), u"\\My Documents");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(chooser, edt1)), u"messages.json");
  kvui::PressKey(VK_TAB);
  kvui::PressKey(VK_DOWN);
  kvui::PressKey(VK_DOWN);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(kvui::FindById(chooser, edt1)) == u"messages.xml"; }));
  Screenshot("exchange_export_messages");
  kvplatform::ClearMessageBoxHistory();
  kvui::PressKey(VK_RETURN);
  ASSERT_TRUE(Closed(chooser));
  EXPECT_EQ(OnlyBox(), u"Export messages: Exported 2 messages.\n\\My Documents\\messages.xml");
  std::string xml = Contents("messages.xml");
  EXPECT_NE(xml.find("<smses count=\"2\""), std::string::npos) << xml;

  // Contacts from a file with a card the store cannot take: the box gives
  // the counts and why, as korvanet-cli prints them.
  std::ofstream(Documents("mixed.vcf"))
      << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana\r\nTEL;TYPE=CELL:+447700900222\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Number\r\nEND:VCARD\r\n";
  ASSERT_TRUE(OpenContacts());
  // Cancelled, the chooser does nothing: no box, no contact.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Import contacts…"));
  chooser = WaitForChooser(u"Import contacts");
  ASSERT_NE(chooser, nullptr);
  kvplatform::ClearMessageBoxHistory();
  kvui::PressKey(VK_ESCAPE);
  ASSERT_TRUE(Closed(chooser));
  EXPECT_TRUE(kvplatform::MessageBoxHistory().empty());
  EXPECT_TRUE(Names(Contacts()->AllList()).empty());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Import contacts…"));
  chooser = WaitForChooser(u"Import contacts");
  ASSERT_NE(chooser, nullptr);
  kvui::TypeText(u"mixed.vcf");
  kvplatform::ClearMessageBoxHistory();
  kvui::PressKey(VK_RETURN);
  ASSERT_TRUE(Closed(chooser));
  std::u16string box = OnlyBox();
  EXPECT_EQ(box.substr(0, box.find(u'\n')), u"Import contacts: 1 added, 0 skipped (already stored), 1 refused");
  EXPECT_NE(box.find(u"\n  refused card 2"), std::u16string::npos) << kvplatform::ToUtf8(box);
  EXPECT_TRUE(WaitFor([] { return Names(Contacts()->AllList()) == std::vector<std::u16string>{u"Dana"}; }));
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace

// Phone > Status… reads the phone's status behind the progress dialog and
// shows it in a box, the phone's control characters made harmless.
TEST_F(ExchangeMenusTest, PhoneStatusShowsEveryFieldInABox) {
  nlohmann::json profile = SmallProfile();
  profile["identity"]["model"] = "PS-100\x1b[2J";
  profile["network"] = {{"operator", "Netz"}, {"registration", 5}};
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  kvplatform::ClearMessageBoxHistory();
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Status…"));
  EXPECT_EQ(FinishProgress(u"Phone status ..."), u"Status read.");
  ASSERT_TRUE(WaitFor([] { return !kvplatform::MessageBoxHistory().empty(); }));
  EXPECT_EQ(OnlyBox(),
            u"Phone status: Maker: PHONESIM\nModel: PS-100\uFFFD[2J\nFirmware: V 1.00\nIMEI: 352099001761481\n"
            u"SIM: ready\nOperator: Netz\nRegistration: roaming\nSignal: -83 dBm, 3 of 4 bars\n"
            u"Battery: 80% (on battery)\nStorage: ME 0 of 10 used");
}
