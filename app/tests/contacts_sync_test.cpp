// The contact editor on downloaded contacts: what each kind of edit leaves
// in the store and in the tabs.
#include <functional>

#include "app/views/resources/resource_ids.h"
#include "app/tests/contacts_fixture.h"

namespace {

using Texts = std::vector<std::u16string>;

TEST_F(ContactsTest, EditsOfDetailsOrStoreAreSavedAStoreChangeMovesTheContactAndEmptyingSavesNothing) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenContacts());
  ASSERT_EQ(RunAction(KKvCmdDownloadContacts, u"Download contacts ..."), u"Read all contacts.");
  auto edit = [&](const std::u16string& aName, const std::function<void(HWND)>& aChange) {
    POINT row = RowPoint(Contacts()->AllList(), IndexOf(Contacts()->AllList(), aName));
    kvui::DoubleTap(row.x, row.y);
    HWND editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    aChange(editor);
    TapDone();
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
    kvui::WaitIdle();
  };

  // Only the other details: saved, and the phone's entry needs no rewrite.
  edit(u"Alice", [&](HWND aEditor) { TypeInto(aEditor, KKvIdContactDetails, u"Met at the fair"); });
  std::vector<TStored> stored = Stored();
  ASSERT_EQ(stored.size(), 4u);
  const TStored* alice = StoredByName(stored, u"Alice");
  ASSERT_NE(alice, nullptr);
  EXPECT_EQ(alice->iDetails, u"Met at the fair");
  EXPECT_EQ(alice->iFlags, DWORD{EKvContactOnSim});
  EXPECT_EQ(alice->iLocation, 1);

  // Only the store: Carol moves from the SIM to the phone's memory.
  edit(u"Carol", [&](HWND aEditor) {
    kvui::TapWindow(kvui::FindById(aEditor, KKvIdContactStore));  // drops the list down
    kvui::PressKey(VK_UP);
    kvui::PressKey(VK_RETURN);
    EXPECT_EQ(kvui::TextOf(kvui::FindById(aEditor, KKvIdContactStore)), u"Phone");
  });
  EXPECT_EQ(Names(Contacts()->SimList()), (Texts{u"Alice", u"Bob"}));
  EXPECT_EQ(Names(Contacts()->PhoneList()), (Texts{u"Carol", u"Eve"}));
  stored = Stored();
  ASSERT_EQ(stored.size(), 5u);  // with Carol's SIM entry marked to blank

  // Name and number emptied: the editor ends and Bob keeps what he had.
  edit(u"Bob", [&](HWND aEditor) {
    ClearAndType(aEditor, KKvIdContactName, u"");
    ClearAndType(aEditor, KKvIdContactNumber, u"");
    TypeInto(aEditor, KKvIdContactDetails, u"lost");
  });
  stored = Stored();
  ASSERT_EQ(stored.size(), 5u);
  const TStored* bob = StoredByName(stored, u"Bob");
  ASSERT_NE(bob, nullptr);
  EXPECT_EQ(bob->iNumber, u"01632960123");
  EXPECT_EQ(bob->iDetails, u"");
  EXPECT_EQ(bob->iFlags, DWORD{EKvContactOnSim});
  EXPECT_EQ(Names(Contacts()->AllList()), (Texts{u"Alice", u"Bob", u"Carol", u"Eve"}));

  // A name pasted with a line break and a command after it is saved as one
  // line: nothing in it could end a command on the phone's line.
  edit(u"Eve", [&](HWND aEditor) { SetWindowTextW(kvui::FindById(aEditor, KKvIdContactName), u"Eve\r\nATD112;"); });
  stored = Stored();
  const TStored* eve = StoredByName(stored, u"Eve ATD112;");
  ASSERT_NE(eve, nullptr);
  EXPECT_EQ(eve->iNumber, u"5551234");
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
