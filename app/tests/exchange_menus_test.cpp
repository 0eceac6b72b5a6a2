// Contacts and messages to and from files through the views' menus, as a
// user would: the menu row tapped, the file chooser driven with the stylus
// and keys, the summary read from the message box, the store read back.
#include <dlgs.h>

#include <algorithm>
#include <filesystem>
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
  static std::vector<std::u16string> Files(HWND aChooser) {
    std::vector<std::u16string> files;
    HWND list = kvui::FindById(aChooser, lst1);
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      WCHAR text[MAX_PATH] = {};
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      files.push_back(text);
    }
    return files;
  }
  static POINT FilePoint(HWND aChooser, int aRow) {
    HWND list = kvui::FindById(aChooser, lst1);
    RECT row{};
    SendMessageW(list, LB_GETITEMRECT, aRow, reinterpret_cast<LPARAM>(&row));
    POINT point{(row.left + row.right) / 2, (row.top + row.bottom) / 2};
    ClientToScreen(list, &point);
    return point;
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
  static std::vector<std::u16string> Sorted(std::vector<std::u16string> aNames) {
    std::sort(aNames.begin(), aNames.end());
    return aNames;
  }
};

TEST_F(ExchangeMenusTest, ContactsExportedAndImportedIntoAFreshDataFolderAreTheSameContacts) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenContacts());
  EXPECT_EQ(RunAction(KKvCmdDownloadContacts, u"Download contacts ..."), u"Read all contacts.");
  ASSERT_TRUE(CreateContact(u"Åsa Öberg", u"+447700900111", true));
  std::vector<TStored> before = Stored();
  ASSERT_EQ(before.size(), 5u);

  // Export: the chooser opens in the documents with a name ready; Enter saves.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Export contacts…"));
  HWND chooser = WaitForChooser(u"Export contacts");
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(chooser, stc1)), u"\\My Documents");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(chooser, edt1)), u"contacts.vcf");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(chooser, cmb1)), u"vCard (*.vcf)");
  Screenshot("exchange_export_contacts");
  kvplatform::ClearMessageBoxHistory();
  kvui::PressKey(VK_RETURN);
  ASSERT_TRUE(Closed(chooser));
  EXPECT_EQ(OnlyBox(), u"Export contacts: Exported 5 contacts.\n\\My Documents\\contacts.vcf");
  std::string cards = Contents("contacts.vcf");
  size_t count = 0;
  for (size_t at = cards.find("BEGIN:VCARD"); at != std::string::npos; at = cards.find("BEGIN:VCARD", at + 1)) ++count;
  EXPECT_EQ(count, 5u);
  EXPECT_NE(cards.find("FN:Åsa Öberg"), std::string::npos);

  // Cancelled, the chooser does nothing: no box, no contact.
  kvplatform::ClearMessageBoxHistory();
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Import contacts…"));
  chooser = WaitForChooser(u"Import contacts");
  ASSERT_NE(chooser, nullptr);
  kvui::PressKey(VK_ESCAPE);
  ASSERT_TRUE(Closed(chooser));
  EXPECT_TRUE(kvplatform::MessageBoxHistory().empty());
  EXPECT_EQ(Stored().size(), 5u);
  EXPECT_EQ(StopProgram(), 0);

  // A fresh data folder: the program starts with no contacts.
  for (const char* file : {"Database", "Database-wal", "Database-shm"})
    std::filesystem::remove(iRoot + "/Program Files/Korvanet/Data/" + file);
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenContacts());
  EXPECT_TRUE(Names(Contacts()->AllList()).empty());

  // Import: a tap on the file puts it in the name field, OK imports it.
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Import contacts…"));
  chooser = WaitForChooser(u"Import contacts");
  ASSERT_NE(chooser, nullptr);
  ASSERT_EQ(Files(chooser), std::vector<std::u16string>{u"contacts.vcf"});
  POINT file = FilePoint(chooser, 0);
  kvui::Tap(file.x, file.y);
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(kvui::FindById(chooser, edt1)) == u"contacts.vcf"; }));
  Screenshot("exchange_import_contacts");
  kvplatform::ClearMessageBoxHistory();
  kvui::TapWindow(kvui::FindById(chooser, IDOK));
  ASSERT_TRUE(Closed(chooser));
  EXPECT_EQ(OnlyBox(), u"Import contacts: 5 added, 0 skipped (already stored), 0 refused");
  // The store's notices bring them into the view.
  std::vector<std::u16string> names;
  for (const TStored& contact : before) names.push_back(contact.iName);
  EXPECT_TRUE(WaitFor([&] { return Sorted(Names(Contacts()->AllList())) == Sorted(names); }));
  Screenshot("exchange_imported_contacts");
  EXPECT_EQ(Stored().size(), before.size());
  EXPECT_EQ(StopProgram(), 0);
}

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
