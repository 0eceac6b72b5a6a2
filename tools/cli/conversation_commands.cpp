// Conversations and search: the local messages by the other party, and
// found by any part of their text, name or number.
#include <algorithm>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include <kvplatform.h>
#include <kvplatform_db.h>
#include <nlohmann/json.hpp>

#include "exchange/message_json.h"
#include "store/contacts.h"
#include "store/conversation_key.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

using kvexchange::DeliveryName;
using kvexchange::FolderName;
using kvexchange::MessageJson;
using TMessageRecord = std::unique_ptr<CKveMessagesItem>;

// Results asked of the store at a time: a page, not the store.
const int KSearchPage = 500;
// What a snippet shows around the match, in characters.
const size_t KBeforeMatch = 20;
const size_t KSnippetLength = 60;
// A party named on the command line: a name or a number, never longer.
const size_t KMaxPartyLength = 256;

std::u16string Text16(const TDesc16& aText) { return std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())); }
std::string Utf8Of(const std::u16string& aText) { return kvplatform::ToUtf8(aText); }

unsigned long long DateValue(const FILETIME& aTime) {
  return (static_cast<unsigned long long>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

TMessageRecord ReadStoredMessage(CKveMessagesDatabase& aStore, CEOID aOid) {
  return TMessageRecord(static_cast<CKveMessagesItem*>(aStore.ReadItemL(aOid)));
}

// The text around the first match of aQuery, folded as the search folds, on
// one line; the start of the text when the match was in the name or number.
std::string Snippet(CKveMessagesItem& aMessage, const std::u16string& aQuery) {
  std::u16string line;
  AppendSingleLine(aMessage.Text(), line);
  std::vector<uint32_t> origins;
  const std::u16string folded = kvplatform::FoldForSearch(line, &origins);
  const std::u16string query = kvplatform::FoldForSearch(aQuery);
  size_t at = query.empty() ? std::u16string::npos : folded.find(query);
  size_t start = 0;
  if (at != std::u16string::npos && origins[at] > KBeforeMatch) start = origins[at] - KBeforeMatch;
  // Not into a surrogate pair.
  if (start > 0 && start < line.size() && (line[start] & 0xFC00) == 0xDC00) --start;
  std::u16string shown = line.substr(start, KSnippetLength);
  if (start + shown.size() < line.size() && !shown.empty() && (shown.back() & 0xFC00) == 0xD800) shown.pop_back();
  std::string text = Utf8Of(shown);
  if (start > 0) text = "\u2026" + text;
  if (start + shown.size() < line.size()) text += "\u2026";
  return text;
}

// A conversation's title: the contact's name (found by the contacts' index
// of conversation keys), else the number or the sender's name as the newest
// message has it.
std::u16string TitleOf(TCliSession& aSession, const std::u16string& aKey, CKveMessagesItem* aNewest) {
  std::u16string name = aSession.Contacts().NameOfConversationL(aKey);
  if (!name.empty()) return name;
  if (aNewest == nullptr) return aKey;
  if (aNewest->Number().Length() != 0) return Text16(aNewest->Number());
  return Text16(aNewest->Name());
}

void CheckOutsideText(const std::string& aText, size_t aMost, const std::string& aWhat, const std::string& aCommand) {
  const std::u16string text = Utf16(aText);
  if (text.size() > aMost)
    throw TUsageError(aWhat + " is " + std::to_string(text.size()) + " characters long; at most " +
                          std::to_string(aMost),
                      aCommand);
  if (kvplatform::FoldForSearch(text).find_first_not_of(u' ') == std::u16string::npos)
    throw TUsageError(aWhat + " is empty", aCommand);
}

// The conversation the command line names: a contact's name (exactly as
// listed), else a number or a sender's name as messages have it.
std::u16string KeyOfParty(TCliSession& aSession, const std::string& aParty) {
  CKveContactsDatabase& contacts = aSession.Contacts();
  for (CEpocDatabaseItem* item = contacts.ReadFirstItemL(); item != nullptr; item = contacts.ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    if (!contact->IsDeleted() && contact->Number().Length() != 0 && Utf8(contact->Name()) == aParty)
      return ConversationKey(contact->Number(), TConstPtr16());
  }
  const std::u16string party = Utf16(aParty);
  const TConstPtr16 text(party.data(), static_cast<int>(party.size()));
  return ConversationKey(text, text);
}

std::string DirectionOf(const CKveMessagesItem& aMessage) {
  return aMessage.Folder() == EKvFolderInbox ? "received" : FolderName(aMessage.Folder());
}

}  // namespace

int MessagesSearch(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "messages search";
  const std::string folder = Choice(aOptions, "folder", {"all", "inbox", "outbox", "sent"}, "all", command);
  const std::string& query = aOptions.iArguments[0];
  CheckOutsideText(query, KMaxSearchLength, "the text to search for", command);
  CKveMessagesDatabase& store = aSession.Messages();
  const std::u16string wanted = Utf16(query);
  nlohmann::json found = nlohmann::json::array();
  int shown = 0;
  CEOID before = 0;
  for (;;) {
    std::vector<CEOID> page;
    if (!store.SearchL(wanted, before, KSearchPage, page))
      throw TCommandError("the messages store cannot be searched (error " + std::to_string(GetLastError()) + ")");
    for (CEOID oid : page) {
      TMessageRecord message = ReadStoredMessage(store, oid);
      if (message == nullptr || (folder != "all" && FolderName(message->Folder()) != folder)) continue;
      const std::string snippet = Snippet(*message, wanted);
      if (aSession.Json()) {
        nlohmann::json each = MessageJson(*message);
        each["match"] = snippet;
        found.push_back(std::move(each));
      } else {
        std::string who = Printable(message->Name().Length() != 0 ? Utf8(message->Name()) : Utf8(message->Number()));
        std::printf("%s%s%s%s %s\n", Padded(std::to_string(oid), 6).c_str(),
                    Padded(FolderName(message->Folder()), 7).c_str(), Padded(Utf8(message->DateSent()), 17).c_str(),
                    Padded(who, 20).c_str(), Printable(snippet).c_str());
      }
      ++shown;
    }
    if (static_cast<int>(page.size()) < KSearchPage) break;
    before = page.back();
  }
  if (aSession.Json())
    PrintJson(found);
  else if (shown == 0 && isatty(1))
    std::fprintf(stderr, "No messages found.\n");
  return 0;
}

int ConversationsList(TCliSession& aSession, const TParsedOptions&) {
  CKveMessagesDatabase& store = aSession.Messages();
  std::vector<TKvConversation> conversations;
  if (!store.ReadConversationsL(conversations)) throw TCommandError("the conversations cannot be read");
  nlohmann::json list = nlohmann::json::array();
  for (const TKvConversation& conversation : conversations) {
    TMessageRecord newest = ReadStoredMessage(store, conversation.iNewest);
    const std::u16string title = TitleOf(aSession, conversation.iKey, newest.get());
    std::u16string last;
    if (newest != nullptr) AppendSingleLine(newest->Text(), last);
    if (aSession.Json()) {
      nlohmann::json each = {{"key", Utf8Of(conversation.iKey)},
                             {"title", Utf8Of(title)},
                             {"messages", conversation.iCount},
                             {"unread", conversation.iUnread}};
      each["last"] = newest != nullptr ? MessageJson(*newest) : nlohmann::json();
      list.push_back(std::move(each));
    } else {
      const std::string unread = conversation.iUnread > 0 ? std::to_string(conversation.iUnread) + " unread" : "";
      std::printf("%s%s%s%s %s\n", Padded(Printable(Utf8Of(title)), 22).c_str(),
                  Padded(newest != nullptr ? Utf8(newest->DateSent()) : "", 17).c_str(),
                  Padded(std::to_string(conversation.iCount), 6).c_str(), Padded(unread, 10).c_str(),
                  Printable(Utf8Of(last.substr(0, KSnippetLength))).c_str());
    }
  }
  if (aSession.Json())
    PrintJson(list);
  else if (conversations.empty() && isatty(1))
    std::fprintf(stderr, "No conversations.\n");
  return 0;
}

int ConversationsShow(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "conversations show";
  const std::string& party = aOptions.iArguments[0];
  CheckOutsideText(party, KMaxPartyLength, "NUMBER-OR-NAME", command);
  CKveMessagesDatabase& store = aSession.Messages();
  const std::u16string key = KeyOfParty(aSession, party);
  std::vector<CEOID> oids;
  if (!store.ConversationMessagesL(key, oids)) throw TCommandError("the conversations cannot be read");
  if (oids.empty()) throw TCommandError("no conversation with " + Printable(party));
  std::vector<TMessageRecord> messages;
  for (CEOID oid : oids)
    if (TMessageRecord message = ReadStoredMessage(store, oid)) messages.push_back(std::move(message));
  // Oldest first; a message without a date where it was stored.
  std::stable_sort(messages.begin(), messages.end(), [](const TMessageRecord& a, const TMessageRecord& b) {
    return a->HasDate() && b->HasDate() && DateValue(a->DateSentTime()) < DateValue(b->DateSentTime());
  });
  const std::u16string title = TitleOf(aSession, key, messages.empty() ? nullptr : messages.back().get());
  if (aSession.Json()) {
    nlohmann::json list = nlohmann::json::array();
    for (TMessageRecord& message : messages) list.push_back(MessageJson(*message));
    PrintJson({{"key", Utf8Of(key)}, {"title", Utf8Of(title)}, {"messages", list}});
    return 0;
  }
  std::printf("%s\n", Printable(Utf8Of(title)).c_str());
  for (TMessageRecord& message : messages) {
    std::string heading = Utf8(message->DateSent()) + "  " + DirectionOf(*message);
    TKvDeliveryState delivery = message->DeliveryState();
    if (message->Folder() == EKvFolderSent && delivery != EKvDeliveryNone)
      heading += std::string(" [") + DeliveryName(delivery) + "]";
    std::printf("\n%s%s\n%s\n", message->Folder() == EKvFolderInbox ? "" : "    ", heading.c_str(),
                Printable(WithLf(Utf8(message->Text())), true).c_str());
  }
  return 0;
}

}  // namespace kvcli
