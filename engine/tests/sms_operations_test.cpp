// Downloading, deleting and sending messages, end to end against phonesim.
#include "engine/tests/engine_fixture.h"

#include "store/contacts.h"
#include "store/messages.h"

TEST_F(EngineTest, DownloadFilesByPhoneStatusNamesKnownSendersAndASecondDownloadAddsNothing) {
  AddContact("Alice", "+441234567890", 1, EKvContactOnSim);
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["ME"]["messages"] = nlohmann::json::parse(R"([
    {"index": 1, "status": 2, "to": "+447700900111", "text": "Draft never sent"},
    {"index": 2, "status": 3, "to": "+447700900222", "text": "Went out already"}])");
  StartPhone(profile);
  StartEngine();
  iShutdownOnComplete = false;  // two actions on one engine thread
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  auto found = [this] {
    std::vector<std::string> texts;
    for (const std::string& text : Progress())
      if (text.rfind("Found Sms", 0) == 0) texts.push_back(text);
    return texts;
  };
  EXPECT_EQ(found(), (std::vector<std::string>{"Found Sms 1", "Found Sms 2", "Found Sms 3", "Found Sms 4"}));
  ASSERT_NE(Completion(), nullptr);
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_EQ(CompletionCount(), 1);
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  // The second download still reported what it found, numbered from 1 again.
  EXPECT_EQ(found().size(), 8u);

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
  // The messages stay on the phone.
  nlohmann::json state = StopPhone();
  EXPECT_EQ(state["sms"]["stores"]["SM"]["messages"].size(), 2u);
  EXPECT_EQ(state["sms"]["stores"]["ME"]["messages"].size(), 2u);
}

TEST_F(EngineTest, DeleteAllRemovesEveryMessageOnThePhoneAndNoLocalOne) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["ME"]["messages"] = nlohmann::json::parse(R"([
    {"index": 4, "status": 1, "from": "+447700900111", "text": "In phone memory"}])");
  StartPhone(profile);
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  iNotices.clear();
  iShutdownOnComplete = true;
  ASSERT_TRUE(Run(EKvDeleteAllSmsFromPhone));

  std::vector<std::string> deleted;
  for (const std::string& text : Progress())
    if (text.rfind("Deleted message", 0) == 0) deleted.push_back(text);
  EXPECT_EQ(deleted, (std::vector<std::string>{"Deleted message 1", "Deleted message 2", "Deleted message 3"}));
  EXPECT_EQ(Completion()->iText, "Deleted all messages.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_EQ(Messages().size(), 3u);
  EXPECT_TRUE(WaitEngineEnded());

  nlohmann::json state = StopPhone();
  EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());
  EXPECT_TRUE(state["sms"]["stores"]["ME"]["messages"].empty());
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
