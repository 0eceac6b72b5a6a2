// Messages end to end: download into the folders, list and show, write,
// send (moved to Sent, the PDU reaching the phone) and a refused send.
#include <algorithm>
#include <cctype>
#include <map>

#include "tools/cli/tests/cli_fixture.h"

namespace {

const nlohmann::json* FindByText(const nlohmann::json& aList, const std::string& aText) {
  for (const nlohmann::json& m : aList)
    if (m["text"] == aText) return &m;
  return nullptr;
}

// "2003-01-05T10:00:00Z"
bool IsIsoUtc(const std::string& aText) {
  const std::string pattern = "dddd-dd-ddTdd:dd:ddZ";
  if (aText.size() != pattern.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i)
    if (pattern[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(aText[i])) : aText[i] != pattern[i]) return false;
  return true;
}

std::vector<long> Ids(const nlohmann::json& aList) {
  std::vector<long> ids;
  for (const nlohmann::json& m : aList) ids.push_back(m["id"].get<long>());
  return ids;
}

}  // namespace

TEST_F(CliTest, DownloadPutsThePhonesMessagesInTheirFolders) {
  nlohmann::json profile = ShippedProfile("demo");
  EXPECT_EQ(Cli({"--json", "messages", "list"}).iOut, "[]\n");
  StartPhone(profile);
  TChildResult download = Cli({"messages", "download"});
  ASSERT_EQ(download.iStatus, 0) << download.iErr;
  EXPECT_EQ(download.iErr.rfind("Download messages ...\nConnecting to phone ...\n", 0), 0u) << download.iErr;
  EXPECT_NE(download.iErr.find("\nFound Sms 1\n"), std::string::npos) << download.iErr;
  EXPECT_EQ(LastLine(download.iErr), "Transfer Complete.");
  EXPECT_TRUE(download.iOut.empty());

  // One record per message of the demo, a long message's parts making one.
  nlohmann::json all = CliJson({"messages", "list"});
  ASSERT_TRUE(all.is_array());
  ASSERT_EQ(all.size(), 20u);
  EXPECT_EQ(Cli({"--json", "messages", "list"}).iOut, all.dump(2) + "\n")
      << "written message by message, laid out as one dump of the whole list";
  for (size_t i = 0; i < all.size(); ++i) {
    for (const char* key : {"id", "folder", "name", "number", "date", "date_sent", "text"})
      EXPECT_TRUE(all[i].contains(key)) << key;
    // A received message has its centre's time; the phone keeps none for
    // one it sent or holds as a draft, and no made-up date stands in.
    if (all[i]["folder"] == "inbox") {
      EXPECT_TRUE(all[i]["date_sent"].is_string() && IsIsoUtc(all[i]["date_sent"].get<std::string>()))
          << all[i]["date_sent"];
    } else {
      EXPECT_TRUE(all[i]["date_sent"].is_null()) << all[i];
      EXPECT_TRUE(all[i]["date"].is_null()) << all[i];
    }
    if (i > 0) {
      EXPECT_LE(all[i - 1]["date_sent"], all[i]["date_sent"]) << "newest last";
    }
  }
  // A stored draft and a sent message of the phone, each in its folder.
  const nlohmann::json* draft = FindByText(all, "Draft: can we move the meeting to Thursday?");
  const nlohmann::json* sent = FindByText(all, "See you at 8, table is booked");
  ASSERT_TRUE(draft != nullptr && sent != nullptr);
  EXPECT_EQ((*draft)["folder"], "outbox");
  EXPECT_EQ((*sent)["folder"], "sent");

  // The demo's three-part message: one row with its whole text.
  std::map<int, std::string> parts;
  for (const auto& m : profile["sms"]["stores"]["ME"]["messages"])
    if (m.contains("concat") && m["concat"]["reference"] == 77) parts[m["concat"]["part"].get<int>()] = m["text"];
  ASSERT_EQ(parts.size(), 3u);
  const std::string whole = parts[1] + parts[2] + parts[3];
  const nlohmann::json* club = FindByText(all, whole);
  ASSERT_NE(club, nullptr);
  EXPECT_EQ((*club)["folder"], "inbox");
  EXPECT_EQ((*club)["date_sent"], "2024-03-06T12:30:00Z") << "the first part's";
  EXPECT_EQ((*club)["parts"], nlohmann::json::parse(R"({"total": 3, "received": [1, 2, 3]})"));
  for (const auto& [part, text] : parts) EXPECT_EQ(FindByText(all, text), nullptr) << "part " << part;
  TChildResult clubShow = Cli({"messages", "show", std::to_string((*club)["id"].get<long>())});
  EXPECT_NE(clubShow.iOut.find("Parts:  3 of 3 received\n\n" + whole + "\n"), std::string::npos) << clubShow.iOut;

  // One folder at a time, in text and JSON; the text rows match the JSON.
  nlohmann::json inbox = CliJson({"messages", "list", "--folder", "inbox"});
  for (const auto& m : inbox) EXPECT_EQ(m["folder"], "inbox");
  TChildResult rows = Cli({"messages", "list", "--folder", "inbox"});
  EXPECT_EQ(static_cast<size_t>(std::count(rows.iOut.begin(), rows.iOut.end(), '\n')), inbox.size());
  EXPECT_NE(rows.iOut.find("Keys are under the blue flower pot"), std::string::npos);
  EXPECT_NE(rows.iOut.find(" " + whole + "\n"), std::string::npos) << rows.iOut;

  // Show: the same record as listed, whole.
  std::string id = std::to_string((*sent)["id"].get<long>());
  EXPECT_EQ(CliJson({"messages", "show", id}), *sent);
  TChildResult show = Cli({"messages", "show", id});
  EXPECT_EQ(show.iStatus, 0);
  EXPECT_NE(show.iOut.find("Folder: sent\n"), std::string::npos) << show.iOut;
  EXPECT_NE(show.iOut.find("\nDate:   unknown\n"), std::string::npos) << show.iOut;
  TChildResult sentRows = Cli({"messages", "list", "--folder", "sent"});
  EXPECT_NE(sentRows.iOut.find(" unknown "), std::string::npos) << sentRows.iOut;
  EXPECT_NE(show.iOut.find("\n\nSee you at 8, table is booked\n"), std::string::npos) << show.iOut;

  // Local deletion.
  TChildResult del = Cli({"messages", "delete", id});
  EXPECT_EQ(del.iStatus, 0) << del.iErr;
  EXPECT_EQ(CliJson({"messages", "list"}).size(), all.size() - 1);
}

TEST_F(CliTest, SendMovesTheMessageToSentAndThePhoneGetsThePdu) {
  StartPhone(SmallProfile());
  ASSERT_EQ(Cli({"messages", "download"}).iStatus, 0);
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Alice", "--number", "+441234567890"}).iStatus, 0);

  TChildResult send = Cli({"send", "--to", "+447700900123", "--text", "hello"});
  ASSERT_EQ(send.iStatus, 0) << send.iErr;
  EXPECT_EQ(LastLine(send.iErr), "Message Sent.");
  long sentId = std::stol(send.iOut);
  nlohmann::json sent = CliJson({"messages", "list", "--folder", "sent"});
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]["id"], sentId);
  EXPECT_EQ(sent[0]["number"], "+447700900123");
  EXPECT_EQ(sent[0]["text"], "hello");
  EXPECT_TRUE(CliJson({"messages", "list", "--folder", "outbox"}).empty());

  // A contact's name addresses the contact; line breaks survive.
  nlohmann::json draft = CliJson({"messages", "new", "--to", "Alice", "--text", "Lunch?\nAt one"});
  EXPECT_EQ(draft["folder"], "outbox");
  EXPECT_EQ(draft["name"], "Alice");
  EXPECT_EQ(draft["number"], "+441234567890");
  EXPECT_EQ(draft["text"], "Lunch?\nAt one");
  TChildResult sendDraft = Cli({"messages", "send", std::to_string(draft["id"].get<long>())});
  EXPECT_EQ(sendDraft.iStatus, 0) << sendDraft.iErr;
  EXPECT_EQ(CliJson({"messages", "show", std::to_string(draft["id"].get<long>())})["folder"], "sent");

  // Sending an Inbox message sends a copy; the original stays in the Inbox.
  nlohmann::json inbox = CliJson({"messages", "list", "--folder", "inbox"});
  ASSERT_EQ(inbox.size(), 2u);
  TChildResult resend = Cli({"messages", "send", std::to_string(inbox[0]["id"].get<long>())});
  EXPECT_EQ(resend.iStatus, 0) << resend.iErr;
  EXPECT_EQ(Ids(CliJson({"messages", "list", "--folder", "inbox"})), Ids(inbox));

  nlohmann::json state = StopPhone();
  ASSERT_TRUE(state.is_object());
  const nlohmann::json& onPhone = state["sms"]["sent"];
  ASSERT_EQ(onPhone.size(), 3u) << onPhone.dump();
  EXPECT_EQ(onPhone[0]["recipient"], "+447700900123");
  EXPECT_FALSE(onPhone[0]["pdu"].get<std::string>().empty());
  EXPECT_EQ(onPhone[1]["recipient"], "+441234567890");
  EXPECT_EQ(onPhone[2]["recipient"], inbox[0]["number"]);
}

TEST_F(CliTest, ARefusedSendLeavesTheMessageInTheOutbox) {
  nlohmann::json profile = SmallProfile();
  // The phone refuses every message it is given.
  for (int length = 8; length <= 60; ++length) profile["quirks"]["refuse"].push_back("AT+CMGS=" + std::to_string(length));
  StartPhone(profile);
  TChildResult created = Cli({"messages", "new", "--to", "+447700900123", "--text", "hello"});
  ASSERT_EQ(created.iStatus, 0) << created.iErr;
  std::string id = created.iOut.substr(0, created.iOut.find('\n'));

  // No service centre configured yet.
  TChildResult noSmsc = Cli({"messages", "send", id});
  EXPECT_EQ(noSmsc.iStatus, 1);
  EXPECT_NE(noSmsc.iErr.find("No SMSC - check \"Settings\"\n"), std::string::npos) << noSmsc.iErr;
  EXPECT_EQ(LastLine(noSmsc.iErr), "korvanet-cli: message " + id + " stays in the Outbox");

  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
  TChildResult refused = Cli({"--json", "messages", "send", id});
  EXPECT_EQ(refused.iStatus, 1);
  EXPECT_NE(refused.iErr.find("Failed send.\n"), std::string::npos) << refused.iErr;
  nlohmann::json outcome = nlohmann::json::parse(refused.iOut, nullptr, false);
  EXPECT_EQ(outcome["text"], "Failed send.");
  EXPECT_EQ(outcome["message"]["folder"], "outbox");
  EXPECT_EQ(CliJson({"messages", "show", id})["folder"], "outbox");

  // The same message again is refused by the store with a clear line.
  TChildResult again = Cli({"messages", "new", "--to", "+447700900123", "--text", "hello"});
  EXPECT_EQ(again.iStatus, 1);
  EXPECT_EQ(again.iErr, "korvanet-cli: an identical message (same recipient and text) is already stored as ID " + id + "\n");
  EXPECT_TRUE(StopPhone()["sms"]["sent"].empty());
}

TEST_F(CliTest, SendTakesLongAndUnicodeTextsAsTheComposeDialogDoes) {
  StartPhone(SmallProfile());
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
  TChildOptions cLocale;
  cLocale.iEnvironment = {{"LC_ALL", "C"}, {"LANG", "C"}};
  // 150 Cyrillic letters: UCS2, 67 a part, three parts.
  std::string cyrillic;
  for (int i = 0; i < 150; ++i) cyrillic += "\xD0\x96";
  TChildResult send = Cli({"send", "--to", "+447700900123", "--text", cyrillic}, cLocale);
  ASSERT_EQ(send.iStatus, 0) << send.iErr;
  // 400 letters of the GSM alphabet: three parts of 153.
  nlohmann::json draft = CliJson({"messages", "new", "--to", "+447700900124", "--text", std::string(400, 'a')});
  EXPECT_EQ(draft["text"], std::string(400, 'a'));

  nlohmann::json sent = CliJson({"messages", "list", "--folder", "sent"});
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]["text"], cyrillic);
  nlohmann::json state = StopPhone();
  const nlohmann::json& onPhone = state["sms"]["sent"];
  ASSERT_EQ(onPhone.size(), 3u) << onPhone.dump();
  for (const nlohmann::json& part : onPhone) {
    EXPECT_EQ(part["coding"], "ucs2");
    EXPECT_EQ(part["concat"]["parts"], 3);
  }
}
