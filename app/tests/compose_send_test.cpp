// Reading an Inbox message and replying through the compose dialog, then
// sending the Outbox copy through phonesim: accepted sends go to Sent,
// refused ones stay in the Outbox.
#include <filesystem>

#include <kvplatform.h>

#include "app/app_globals.h"
#include "app/epoc_list_controls.h"
#include "app/kv_appui.h"
#include "app/kv_document.h"
#include "app/kv_messages_view.h"
#include "app/tests/program_fixture.h"
#include "engine/tests/phone_sim.h"
#include "kernel/registry.h"
#include "store/messages.h"

namespace kvui = kvplatform::uitest;

namespace {

const WCHAR KKey[] = u"Software\\Veltramonic\\Korvanet";

class ComposeSendTest : public ProgramTest {
 protected:
  ComposeSendTest() {
    std::filesystem::create_directories(iRoot + "/dev");
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
    TConstPtr16 text(u"Lunch at one?"), from(u"+441234567890");
    message->SetDetailsL(nullptr, &text, &from, EKvFolderInbox);
    store->WriteItemL(*message);
    delete message;
    delete store;
    CEpocRegistry::SaveRegistryString(KKey, u"SMSC", u"+447785016005");
  }
  CKvMessagesView* View(int aType) { return static_cast<CKvMessagesView*>(gKvAppUi->GetView(aType)); }
  int Count(DWORD aFolder) {
    int count = 0;
    CKveMessagesDatabase* store = gKvDocument->MessagesDatabase();
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      if (static_cast<CKveMessagesItem*>(item)->Folder() == aFolder) ++count;
      delete item;
    }
    return count;
  }
  // Opens the first row of the view with Read / Edit; the compose dialog.
  HWND OpenFirstRow(int aType) {
    HWND list = View(aType)->ListBox()->ChildWindow();
    SendMessageW(list, LB_SETSEL, TRUE, 0);
    PostMessageW(View(aType)->Window(), WM_COMMAND, 40034, 0);
    HWND dialog = nullptr;
    WaitFor([&] {
      HWND send = kvui::FindByText(u"Send");
      dialog = send != nullptr ? GetParent(send) : nullptr;
      return dialog != nullptr && kvui::StateOf(dialog).visible &&
             !kvui::TextOf(kvui::FindById(dialog, 1007)).empty();
    });
    kvui::WaitIdle();
    return dialog;
  }
  // Sends from the open compose dialog; the progress dialog's final text.
  std::u16string SendFrom(HWND aCompose) {
    kvui::TapWindow(kvui::FindById(aCompose, 1011));
    HWND progress = nullptr;
    WaitFor([&] { return (progress = kvui::FindByText(u"Send sms ...")) != nullptr; });
    if (progress == nullptr) return u"<no progress dialog>";
    HWND button = kvui::FindById(progress, 2);
    WaitFor([&] { return kvui::TextOf(button) == u"OK"; }, 60000);
    std::u16string text = kvui::TextOf(kvui::FindById(progress, 1023));
    kvui::TapWindow(button);
    WaitFor([&] { return !IsWindow(aCompose); });
    return text;
  }

  TPhoneSim iPhone;
};

TEST_F(ComposeSendTest, ReadingAnInboxMessageSavesAnOutboxCopyThatAnAcceptedSendMovesToSent) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot + "/dev/COM3", iRoot)) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  HWND compose = OpenFirstRow(EKvViewInbox);
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, 1007)), u"Lunch at one?");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(compose, 1022)), u"+441234567890");
  // The reply: an unchanged copy would equal the stored message, which the
  // store refuses as a duplicate.
  kvui::TapWindow(kvui::FindById(compose, 1007));
  kvui::PressKey(VK_END);
  kvui::TypeText(u" Yes");
  Screenshot("compose_read_inbox");
  PostMessageW(compose, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(compose); }));
  EXPECT_EQ(Count(EKvFolderInbox), 1);
  EXPECT_EQ(Count(EKvFolderOutbox), 1);

  // Sent is shown once first, so that it is the view's notifications that add the row.
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, 40069, 0);
  ASSERT_TRUE(WaitFor([&] { return gKvAppUi->CurrentView() == View(EKvViewSent); }));
  kvui::WaitIdle();
  HWND sentList = View(EKvViewSent)->ListBox()->ChildWindow();
  EXPECT_EQ(SendMessageW(sentList, LB_GETCOUNT, 0, 0), 0);
  PostMessageW(gKvAppUi->CurrentView()->Window(), WM_COMMAND, 40064, 0);  // to the Outbox
  ASSERT_TRUE(WaitFor([&] { return gKvAppUi->CurrentView() == View(EKvViewOutbox); }));
  kvui::WaitIdle();
  compose = OpenFirstRow(EKvViewOutbox);
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(SendFrom(compose), u"Message Sent.");
  EXPECT_EQ(Count(EKvFolderOutbox), 0);
  EXPECT_EQ(Count(EKvFolderSent), 1);
  EXPECT_EQ(SendMessageW(View(EKvViewOutbox)->ListBox()->ChildWindow(), LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(sentList, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(StopProgram(), 0);
  nlohmann::json state = iPhone.StopAndReadState();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+441234567890");
}

TEST_F(ComposeSendTest, ARefusedSendLeavesTheMessageInTheOutbox) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["send_errors"] = {500, 500, 500, 500};
  ASSERT_TRUE(iPhone.Start(profile, iRoot + "/dev/COM3", iRoot)) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  HWND compose = OpenFirstRow(EKvViewInbox);
  ASSERT_NE(compose, nullptr);
  kvui::TapWindow(kvui::FindById(compose, 1007));
  kvui::TypeText(u"No. ");
  std::u16string text = SendFrom(compose);
  EXPECT_EQ(text, u"Failed send.");
  EXPECT_EQ(Count(EKvFolderOutbox), 1);
  EXPECT_EQ(Count(EKvFolderSent), 0);
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
