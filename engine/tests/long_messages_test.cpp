// Long messages downloaded from phonesim: one record per message, however
// its parts are spread over the phone's stores and over downloads, and a
// store of parts left by the earlier version joined by the first download.
#include "engine/tests/engine_fixture.h"

#include <map>

#include "store/messages.h"
#include "store/tests/earlier_version_store.h"

namespace {

const std::string KMark = "[\xE2\x80\xA6]";

nlohmann::json Part(int aIndex, int aPart, const std::string& aText) {
  return {{"index", aIndex},
          {"status", 1},
          {"from", "+447700900404"},
          {"text", aText},
          {"time", "2024-03-06T12:30:0" + std::to_string(aPart) + "+00:00"},
          {"concat", {{"reference", 77}, {"parts", 3}, {"part", aPart}}}};
}

std::vector<TMessageRow> From(const std::vector<TMessageRow>& aRows, const std::string& aNumber) {
  std::vector<TMessageRow> rows;
  for (const TMessageRow& row : aRows)
    if (row.iNumber == aNumber) rows.push_back(row);
  return rows;
}

}  // namespace

TEST_F(EngineTest, ALongMessageIsOneRecordWhateverItsPartsOrderAndDownload) {
  // The last part on the SIM, the first in phone memory, the middle one not
  // received yet.
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"].push_back(Part(3, 3, "see you there."));
  profile["sms"]["stores"]["ME"]["messages"].push_back(Part(1, 1, "Club notes: the tournament "));
  StartPhone(profile);
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  std::vector<TMessageRow> first = From(Messages(), "+447700900404");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].iText, "Club notes: the tournament " + KMark + "see you there.");
  EXPECT_EQ(first[0].iFolder, static_cast<DWORD>(EKvFolderInbox));
  EXPECT_EQ(Messages().size(), 3u);

  // The middle part arrives; the next download puts it in its place.
  StopPhone();
  profile["sms"]["stores"]["ME"]["messages"].push_back(Part(2, 2, "moves to the 12th, "));
  StartPhone(profile);
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  std::vector<TMessageRow> whole = From(Messages(), "+447700900404");
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].iText, "Club notes: the tournament moves to the 12th, see you there.");

  // Downloading again finds nothing new.
  iShutdownOnComplete = true;
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  std::vector<TMessageRow> again = Messages();
  EXPECT_EQ(again.size(), 3u);
  EXPECT_EQ(From(again, "+447700900404")[0].iText, whole[0].iText);
  EXPECT_EQ(CountLog("CKveMessagesDatabase::WritePartL - part already stored"), 5);
  EXPECT_TRUE(WaitEngineEnded());
}

TEST_F(EngineTest, TheFirstDownloadAfterTheUpgradeJoinsTheEarlierVersionsParts) {
  // The demo phone's messages as the earlier version stored them: each part
  // of the long message a record of its own.
  nlohmann::json profile = ShippedProfile("demo");
  std::map<int, std::string> parts;
  SYSTEMTIME when = {2024, 3, 0, 6, 12, 30, 0, 0};
  FILETIME date = {};
  SystemTimeToFileTime(&when, &date);
  for (const auto& store : profile["sms"]["stores"]) {
    for (const auto& m : store["messages"]) {
      if (!m.contains("concat") || m["concat"]["reference"] != 77) continue;
      parts[m["concat"]["part"].get<int>()] = m["text"];
      ASSERT_NE(WriteEarlierVersionMessage(u"", Utf16(m["from"]), Utf16(m["text"]), EKvFolderInbox, date), 0u);
    }
  }
  ASSERT_EQ(parts.size(), 3u);
  ASSERT_EQ(From(Messages(), "+447700900404").size(), 3u);

  StartPhone(profile);
  StartEngine();
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  // The same sender also wrote a short Greek message, which stays a row of its own.
  std::vector<TMessageRow> rows = From(Messages(), "+447700900404");
  std::erase_if(rows, [&](const TMessageRow& aRow) { return aRow.iText.rfind(parts[1], 0) != 0; });
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].iText, parts[1] + parts[2] + parts[3]);
  EXPECT_EQ(rows[0].iFolder, static_cast<DWORD>(EKvFolderInbox));
  EXPECT_EQ(CountLogPrefix("CKveMessagesDatabase::WritePartL - earlier record 0x"), 3);
  EXPECT_TRUE(WaitEngineEnded());
}
