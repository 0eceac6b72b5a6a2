// Downloading, deleting and sending messages, end to end against phonesim.
#include <memory>

#include "engine/tests/engine_fixture.h"

#include "store/contacts.h"
#include "store/messages.h"

TEST_F(EngineTest, DownloadFilesByPhoneStatusNamesKnownSendersAndDeleteAllEmptiesOnlyThePhone) {
  AddContact("Alice", "+441234567890", 1, EKvContactOnSim);
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["ME"]["messages"] = nlohmann::json::parse(R"([
    {"index": 1, "status": 2, "to": "+447700900111", "text": "Draft never sent"},
    {"index": 2, "status": 3, "to": "+447700900222", "text": "Went out already"}])");
  StartPhone(profile);
  StartEngine();
  iShutdownOnComplete = false;  // three actions on one engine thread
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  const std::vector<std::string> four = {"Found Sms 1", "Found Sms 2", "Found Sms 3", "Found Sms 4"};
  EXPECT_EQ(Progress("Found Sms"), four);
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_EQ(CompletionCount(), 1);
  // The messages stayed on the phone: a second download finds them all again,
  // numbered from 1, and stores none twice.
  iNotices.clear();
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  EXPECT_EQ(Progress("Found Sms"), four);
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");

  std::vector<TMessageRow> messages = Messages();
  ASSERT_EQ(messages.size(), 4u);
  for (const TMessageRow& row : messages) {
    if (row.iText == "Draft never sent") {
      EXPECT_EQ(row.iFolder, static_cast<DWORD>(EKvFolderOutbox));
    } else if (row.iText == "Went out already") {
      EXPECT_EQ(row.iFolder, static_cast<DWORD>(EKvFolderSent));
    } else {
      EXPECT_EQ(row.iFolder, static_cast<DWORD>(EKvFolderInbox)) << row.iText;
      EXPECT_EQ(row.iName, row.iNumber == "+441234567890" ? "Alice" : "") << row.iText;
    }
  }

  // Deleting all empties both of the phone's stores and none of the local copies.
  iNotices.clear();
  iShutdownOnComplete = true;
  ASSERT_TRUE(Run(EKvDeleteAllSmsFromPhone));
  EXPECT_EQ(Progress("Deleted message"),
            (std::vector<std::string>{"Deleted message 1", "Deleted message 2", "Deleted message 3",
                                      "Deleted message 4"}));
  EXPECT_EQ(Completion()->iText, "Deleted all messages.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_EQ(Messages().size(), 4u);
  EXPECT_TRUE(WaitEngineEnded());
  nlohmann::json state = StopPhone();
  EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());
  EXPECT_TRUE(state["sms"]["stores"]["ME"]["messages"].empty());
}

// Renaming a contact does not make its messages on the phone new ones: the
// next download stores none of them again.
TEST_F(EngineTest, ARenamedContactsMessagesAreNotStoredAgain) {
  AddContact("Alice", "+441234567890", 1, EKvContactOnSim);
  StartPhone(SmallProfile());
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  ASSERT_EQ(Messages().size(), 2u);
  {
    std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveContactsItem> alice(static_cast<CKveContactsItem*>(contacts->ReadFirstItemL()));
    ASSERT_NE(alice, nullptr);
    ASSERT_EQ(Utf8(alice->Name()), "Alice");
    alice->SetNameL(TConstPtr16(u"Alice Smith"));
    ASSERT_NE(contacts->ReplaceItemL(*alice), 0u);
  }

  iNotices.clear();
  iShutdownOnComplete = true;
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  EXPECT_EQ(Progress("Found Sms"), (std::vector<std::string>{"Found Sms 1", "Found Sms 2"}));
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  const std::vector<TMessageRow> messages = Messages();
  ASSERT_EQ(messages.size(), 2u) << "nothing stored again";
  for (const TMessageRow& row : messages)
    EXPECT_EQ(row.iName, row.iNumber == "+441234567890" ? "Alice" : "") << "kept under the name it had";
  EXPECT_EQ(CountLog("CEpocDatabase::WriteItemL - duplicate entry not written"), 2);
}

TEST_F(EngineTest, APortThatCannotBeOpenedFailsEveryOperation) {
  StartEngine();  // nothing at <root>/dev/COM3
  iShutdownOnComplete = false;
  const UINT commands[] = {EKvGetAllSmsFromPhone, EKvDeleteAllSmsFromPhone, EKvReadPhoneBook,
                           EKvUploadAllContactsToPhone, EKvDeleteAllContactsFromPhone};
  for (UINT command : commands) {
    iNotices.clear();
    iAction.iResult = 0;
    ASSERT_TRUE(Run(command)) << command;
    EXPECT_TRUE(Progress().empty()) << command;
    EXPECT_EQ(Completion()->iText, "Error initialising port") << command;
    EXPECT_EQ(Completion()->iResult, -2) << command;
  }
  EXPECT_EQ(CountLogPrefix("CPhoneEng::InitialiseConnection - error initialising port "), 5);
}
