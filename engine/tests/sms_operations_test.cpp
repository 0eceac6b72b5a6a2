// Downloading, deleting and sending messages, end to end against phonesim.
#include "engine/tests/engine_fixture.h"

#include "store/contacts.h"
#include "store/messages.h"

TEST_F(EngineTest, DownloadStoresEachMessageInItsFolderThenCompletes) {
  AddContact("Alice", "+441234567890", 1, EKvContactOnSim);
  StartPhone(SmallProfile());
  StartEngine();
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));

  std::vector<std::string> progress = Progress();
  std::vector<std::string> found;
  for (const std::string& text : progress)
    if (text.rfind("Found Sms", 0) == 0) found.push_back(text);
  EXPECT_EQ(found, (std::vector<std::string>{"Found Sms 1", "Found Sms 2"}));
  ASSERT_NE(Completion(), nullptr);
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_EQ(CompletionCount(), 1);
  EXPECT_TRUE(WaitEngineEnded());

  std::vector<TMessageRow> messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  for (const TMessageRow& row : messages) {
    EXPECT_EQ(row.iFolder, static_cast<DWORD>(EKvFolderInbox));
    if (row.iNumber == "+441234567890") {
      EXPECT_EQ(row.iName, "Alice");
      EXPECT_EQ(row.iText, "Lunch at one?");
    } else {
      EXPECT_EQ(row.iNumber, "+447700900999");
      EXPECT_EQ(row.iName, "");
      EXPECT_EQ(row.iText, "Unknown sender here");
    }
  }
  // The messages stay on the phone.
  nlohmann::json state = StopPhone();
  EXPECT_EQ(state["sms"]["stores"]["SM"]["messages"].size(), 2u);
}
