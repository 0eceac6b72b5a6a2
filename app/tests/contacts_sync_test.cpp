// The contacts view against the phone: local changes uploaded to the
// locations the phone books should hold them at, the phone books blanked,
// and an SMS to a contact sent through the phone.
#include <functional>
#include <map>
#include <utility>

#include "app/resources/resource_ids.h"
#include "app/tests/contacts_fixture.h"
#include "store/messages.h"

namespace {

using Texts = std::vector<std::u16string>;
using Book = std::map<int, std::pair<std::string, std::string>>;  // location: name, number

// A phone book of phonesim's state.
Book BookOf(const nlohmann::json& aState, const char* aStore) {
  Book book;
  for (const auto& entry : aState["phonebooks"][aStore]["entries"])
    book[entry["location"].get<int>()] = {entry["name"].get<std::string>(), entry["number"].get<std::string>()};
  return book;
}

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

  EXPECT_EQ(RunAction(KKvCmdUploadChanges, u"Upload changes ..."), u"Upload complete.");
  EXPECT_EQ(RunAction(KKvCmdDownloadContacts, u"Download contacts ..."), u"Read all contacts.");
  EXPECT_EQ(Names(Contacts()->SimList()), (Texts{u"Alice", u"Bob"}));
  EXPECT_EQ(Names(Contacts()->PhoneList()), (Texts{u"Carol", u"Eve"}));
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_TRUE(state.is_object());
  EXPECT_EQ(BookOf(state, "SM"), (Book{{1, {"Alice", "+441234567890"}}, {2, {"Bob", "01632960123"}}}));
  EXPECT_EQ(BookOf(state, "ME"), (Book{{3, {"Eve", "5551234"}}, {5, {"Carol", "+447700900456"}}}));
}

TEST_F(ContactsTest, SendSmsOnAContactComposesToItAndTheMessageReachesItsNumber) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(OpenContacts());
  ASSERT_EQ(RunAction(KKvCmdDownloadContacts, u"Download contacts ..."), u"Read all contacts.");

  ASSERT_TRUE(HoldRow(Contacts()->AllList(), IndexOf(Contacts()->AllList(), u"Carol")));
  kvui::PressKey(VK_DOWN);  // Delete
  kvui::PressKey(VK_DOWN);  // Edit
  kvui::PressKey(VK_DOWN);  // Send SMS, past the separator
  kvui::PressKey(VK_RETURN);
  HWND compose = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    HWND send = kvui::FindByText(u"Send");
    compose = send != nullptr ? GetParent(send) : nullptr;
    return compose != nullptr && kvui::StateOf(compose).visible && kvui::TextOf(kvui::FindById(compose, KKvIdComposeRecipient)) != u"";
  }));
  kvui::WaitIdle();
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, KKvIdComposeRecipient)), u"Carol");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, KKvIdComposeText)), u"");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, KKvIdComposeCount)), u"0");
  Screenshot("contacts_send_sms");

  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeText));
  kvui::TypeText(u"See you at eight");
  kvui::TapWindow(kvui::FindById(compose, KKvIdComposeSend));
  EXPECT_EQ(FinishProgress(u"Send sms ..."), u"Message Sent.");
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));

  // Kept in Sent under the contact's name and number.
  CKveMessagesDatabase* messages = CKveMessagesDatabase::NewL(nullptr, 0);
  int sent = 0;
  for (CEpocDatabaseItem* item = messages->ReadFirstItemL(); item != nullptr; item = messages->ReadNextItemL()) {
    auto* message = static_cast<CKveMessagesItem*>(item);
    EXPECT_EQ(message->Folder(), DWORD{EKvFolderSent});
    EXPECT_TRUE(message->Name() == TConstPtr16(u"Carol"));
    EXPECT_TRUE(message->Number() == TConstPtr16(u"+447700900456"));
    ++sent;
    delete message;
  }
  delete messages;
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(StopProgram(), 0);

  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_TRUE(state.is_object());
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+447700900456");
  EXPECT_FALSE(state["sms"]["sent"][0]["pdu"].get<std::string>().empty());
}

}  // namespace
