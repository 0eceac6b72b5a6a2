// The messages commands: engine downloads and deletions, the local folders,
// and writing and sending as the compose dialog does.
#include <algorithm>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/document/kv_message_limits.h"
#include "exchange/message_json.h"
#include "kernel/errors.h"
#include "sms/sms_length.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

using kvexchange::FolderName;
using kvexchange::Delivery;
using kvexchange::DeliveryName;
using kvexchange::MessageJson;
using kvexchange::TDeliveryOutcome;

using TMessage = std::unique_ptr<CKveMessagesItem>;

// The compose dialog's edit box hands over at most this many characters.
const size_t KMaxMessageText = KKvMaxMessageText;

unsigned long long FileTimeValue(const FILETIME& aTime) {
  return (static_cast<unsigned long long>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

std::vector<TMessage> ReadAllMessages(CKveMessagesDatabase& aStore) {
  std::vector<TMessage> messages;
  for (CEpocDatabaseItem* item = aStore.ReadFirstItemL(); item != nullptr; item = aStore.ReadNextItemL())
    messages.emplace_back(static_cast<CKveMessagesItem*>(item));
  return messages;
}

TMessage ReadMessage(CKveMessagesDatabase& aStore, unsigned long aId) {
  TMessage message(static_cast<CKveMessagesItem*>(aStore.ReadItemL(static_cast<CEOID>(aId))));
  if (message == nullptr) throw TCommandError("no message with ID " + std::to_string(aId));
  return message;
}

// A text needing more parts than a long message can number is refused
// before anything is stored or sent.
void CheckParts(CKveMessagesItem& aMessage, const std::string& aCommand) {
  const int parts = SmsLengthOf(aMessage.SmsFormatMessage()).iParts;
  if (parts > KSmsMaxParts)
    throw TCommandError(aCommand + ": the text needs " + std::to_string(parts) + " messages; a long message has at most " +
                        std::to_string(KSmsMaxParts));
}

// The identifier of the stored record equal to aMessage (same name, number
// and text), 0 when there is none.
CEOID EqualStoredMessage(CKveMessagesDatabase& aStore, CKveMessagesItem& aMessage) {
  int index = aStore.FindItem(aMessage);
  if (index < 0) return 0;
  TMessage equal(static_cast<CKveMessagesItem*>(aStore.ReadItemL(index)));
  return equal != nullptr ? equal->Oid() : 0;
}

// A record with an identifier is written over its old version; a new one is
// added and takes its new identifier. False when the store refused it.
bool SaveItemInDatabase(CKveMessagesDatabase& aStore, CKveMessagesItem& aMessage) {
  if (aMessage.Oid() != 0) return aStore.ReplaceItemL(aMessage) != 0;
  CEOID oid = aStore.WriteItemL(aMessage);
  aMessage.SetOid(oid);
  return oid != 0;
}

// Saving failed: an equal message is the usual reason; anything else is the store's.
std::string SaveFailure(CKveMessagesDatabase& aStore, CKveMessagesItem& aMessage) {
  CEOID equal = EqualStoredMessage(aStore, aMessage);
  if (equal != 0) return "an identical message (same recipient and text) is already stored as ID " + std::to_string(equal);
  return "the messages store refused the message";
}

// The compose dialog's recipient: a contact's name addresses that contact
// (the first in name order); anything else is a number.
void ResolveRecipient(TCliSession& aSession, const std::string& aTo, std::u16string& aName, std::u16string& aNumber) {
  CKveContactsDatabase& contacts = aSession.Contacts();
  for (CEpocDatabaseItem* item = contacts.ReadFirstItemL(); item != nullptr; item = contacts.ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    if (!contact->IsDeleted() && Utf8(contact->Name()) == aTo) {
      aName.assign(contact->Name().Ptr(), static_cast<size_t>(contact->Name().Length()));
      aNumber.assign(contact->Number().Ptr(), static_cast<size_t>(contact->Number().Length()));
      return;
    }
  }
  aName.clear();
  aNumber = Utf16(aTo);
}

// Checks the options and saves a new Outbox message as the compose dialog
// does when it is confirmed.
TMessage NewOutboxMessage(TCliSession& aSession, const TParsedOptions& aOptions, const std::string& aCommand) {
  std::optional<std::string> to = aOptions.Value("to");
  std::optional<std::string> text = aOptions.Value("text");
  if (!to || to->empty()) throw TUsageError("--to NAME-OR-NUMBER is required", aCommand);
  if (!text) throw TUsageError("--text TEXT is required", aCommand);
  std::u16string body = WithCrLf(Utf16(*text));
  if (body.size() > KMaxMessageText)
    throw TUsageError("the text is " + std::to_string(body.size()) + " characters long (line breaks count two); at most " +
                          std::to_string(KMaxMessageText) + " fit in the 255 messages of a long one",
                      aCommand);

  std::u16string name, number;
  ResolveRecipient(aSession, *to, name, number);
  CKveMessagesDatabase& store = aSession.Messages();
  TMessage message(static_cast<CKveMessagesItem*>(store.NewItemL()));
  if (message == nullptr) throw TCommandError("cannot make a message record");
  TConstPtr16 nameText(name.data(), static_cast<int>(name.size()));
  TConstPtr16 bodyText(body.data(), static_cast<int>(body.size()));
  TConstPtr16 numberText(number.data(), static_cast<int>(number.size()));
  message->SetDetailsL(&nameText, &bodyText, &numberText, EKvFolderOutbox);
  CheckParts(*message, aCommand);
  if (!SaveItemInDatabase(store, *message)) throw TCommandError(SaveFailure(store, *message));
  return message;
}

// Sends the message through the engine as the compose dialog's Send does and,
// when the send succeeds, moves it to Sent. Inbox and Sent messages are first
// copied to the Outbox, so the original stays where it is.
int SendMessage(TCliSession& aSession, TMessage aMessage) {
  CKveMessagesDatabase& store = aSession.Messages();
  const CEOID original = aMessage->Oid();
  if (aMessage->Number().Length() == 0)
    throw TCommandError("message " + std::to_string(original) + " has no number to send to");
  CheckParts(*aMessage, "message " + std::to_string(original));

  if (aMessage->Folder() == EKvFolderInbox || aMessage->Folder() == EKvFolderSent) {
    aMessage->SetOid(0);
    aMessage->SetFolder(EKvFolderOutbox);
    aMessage->ClearLongMessage();  // the copy is a message of its own
    aMessage->ClearDelivery();
    if (!SaveItemInDatabase(store, *aMessage))
      std::fprintf(stderr, "korvanet-cli: note: the Outbox copy is not stored: %s\n",
                   SaveFailure(store, *aMessage).c_str());
  }

  CKveMessagesItem* record = aMessage.get();  // alive until the action has ended
  TActionOutcome outcome =
      aSession.RunAction("Send sms ...", [record](CKvAppEngine& aEngine) { return aEngine.SendNow(record); });
  if (outcome.iResult == KErrNone) {
    aMessage->SetFolder(EKvFolderSent);
    if (!SaveItemInDatabase(store, *aMessage))
      std::fprintf(stderr, "korvanet-cli: note: the sent message is not stored in Sent: %s\n",
                   SaveFailure(store, *aMessage).c_str());
  } else if (aMessage->Oid() != 0) {
    std::fprintf(stderr, "korvanet-cli: message %lu stays in the Outbox\n", static_cast<unsigned long>(aMessage->Oid()));
  }

  if (aSession.Json()) {
    nlohmann::json result = MessageJson(*aMessage);
    if (aMessage->Oid() == 0) result["id"] = nullptr;
    PrintJson({{"result", outcome.iResult}, {"text", outcome.iText}, {"message", result}});
  } else if (aMessage->Oid() != 0) {
    std::printf("%lu\n", static_cast<unsigned long>(aMessage->Oid()));
  }
  return ActionExitStatus(outcome);
}

}  // namespace

int MessagesDownload(TCliSession& aSession, const TParsedOptions&) {
  return PrintActionResult(aSession, aSession.RunAction("Download messages ...", [](CKvAppEngine& aEngine) {
    return aEngine.GetAllSmsFromPhone();
  }));
}

int MessagesDeleteOnPhone(TCliSession& aSession, const TParsedOptions& aOptions) {
  if (!Confirmed(aOptions, "Delete every message stored on the phone?")) return KExitFailed;
  return PrintActionResult(aSession, aSession.RunAction("Delete all messages...", [](CKvAppEngine& aEngine) {
    return aEngine.DeleteAllSmsFromPhone();
  }));
}

// Writes the list one message at a time as it is read: a JSON array element
// by element, laid out as the whole array's dump would be, or one line each.
class TListPrinter {
 public:
  TListPrinter(bool aJson, bool aAllFolders) : iJson(aJson), iAllFolders(aAllFolders) {}

  void Print(CKveMessagesItem& aMessage) {
    if (iJson) {
      std::string element = "  " + TerminalJson(MessageJson(aMessage).dump(2));
      for (size_t at = element.find('\n'); at != std::string::npos; at = element.find('\n', at + 3))
        element.replace(at, 1, "\n  ");
      std::printf("%s%s", iCount == 0 ? "[\n" : ",\n", element.c_str());
    } else {
      std::string who = Printable(aMessage.Name().Length() != 0 ? Utf8(aMessage.Name()) : Utf8(aMessage.Number()));
      std::string line = Padded(std::to_string(aMessage.Oid()), 6);
      if (iAllFolders) line += Padded(FolderName(aMessage.Folder()), 7);
      line += Padded(Utf8(aMessage.DateSent()), 17) + Padded(who, 20) + " ";
      TKvDeliveryState delivery = aMessage.DeliveryState();
      if (aMessage.Folder() == EKvFolderSent && delivery != EKvDeliveryNone)
        line += std::string("[") + DeliveryName(delivery) + "] ";
      line += Printable(Utf8(aMessage.SingleLineMessage()));
      std::printf("%s\n", line.c_str());
    }
    ++iCount;
  }

  void End() {
    if (iJson) std::printf("%s", iCount == 0 ? "[]\n" : "\n]\n");
    if (iCount == 0 && !iJson && isatty(1)) std::fprintf(stderr, "No messages.\n");
  }

 private:
  bool iJson;
  bool iAllFolders;
  int iCount = 0;
};

int MessagesList(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string folder = Choice(aOptions, "folder", {"all", "inbox", "outbox", "sent"}, "all", "messages list");
  CKveMessagesDatabase& store = aSession.Messages();
  TListPrinter printer(aSession.Json(), folder == "all");
  auto wanted = [&](const CKveMessagesItem& aMessage) { return folder == "all" || FolderName(aMessage.Folder()) == folder; };
  // Newest last, read in the store's date order.
  TMessage message(store.ReadFirstByDateL());
  if (message == nullptr && !store.DateOrderOpen()) {
    // Without the date order: every message read, then sorted by date.
    std::vector<TMessage> messages = ReadAllMessages(store);
    std::stable_sort(messages.begin(), messages.end(), [](const TMessage& a, const TMessage& b) {
      return FileTimeValue(a->DateSentTime()) < FileTimeValue(b->DateSentTime());
    });
    for (TMessage& each : messages)
      if (wanted(*each)) printer.Print(*each);
  }
  for (; message != nullptr; message.reset(store.ReadNextByDateL()))
    if (wanted(*message)) printer.Print(*message);
  printer.End();
  return 0;
}

int MessagesShow(TCliSession& aSession, const TParsedOptions& aOptions) {
  TMessage message = ReadMessage(aSession.Messages(), ParseIdentifier(aOptions.iArguments[0], "messages show"));
  if (aSession.Json()) {
    PrintJson(MessageJson(*message));
    return 0;
  }
  std::printf("ID:     %lu\nFolder: %s\nName:   %s\nNumber: %s\nDate:   %s\n",
              static_cast<unsigned long>(message->Oid()), FolderName(message->Folder()).c_str(),
              Printable(Utf8(message->Name())).c_str(), Printable(Utf8(message->Number())).c_str(),
              Utf8(message->DateSent()).c_str());
  if (message->IsLongMessage())
    std::printf("Parts:  %zu of %lu received\n", static_cast<size_t>(message->PartsHeld()),
                static_cast<unsigned long>(message->ConcatTotal()));
  if (message->Folder() == EKvFolderSent) {
    TDeliveryOutcome delivery = Delivery(*message);
    std::string text = delivery.iState == EKvDeliveryNone ? "no report requested" : DeliveryName(delivery.iState);
    if (delivery.iState == EKvDeliveryDelivered) text += " " + delivery.iTime;
    if (delivery.iState == EKvDeliveryFailed) text += ": " + delivery.iReason;
    std::printf("Delivery: %s\n", text.c_str());
  }
  std::printf("\n%s\n", Printable(WithLf(Utf8(message->Text())), true).c_str());
  return 0;
}

int MessagesNew(TCliSession& aSession, const TParsedOptions& aOptions) {
  TMessage message = NewOutboxMessage(aSession, aOptions, "messages new");
  if (aSession.Json())
    PrintJson(MessageJson(*message));
  else
    std::printf("%lu\n", static_cast<unsigned long>(message->Oid()));
  return 0;
}

int MessagesSend(TCliSession& aSession, const TParsedOptions& aOptions) {
  unsigned long id = ParseIdentifier(aOptions.iArguments[0], "messages send");
  return SendMessage(aSession, ReadMessage(aSession.Messages(), id));
}

int SendNew(TCliSession& aSession, const TParsedOptions& aOptions) {
  return SendMessage(aSession, NewOutboxMessage(aSession, aOptions, "send"));
}

int MessagesDelete(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::vector<unsigned long> ids;
  for (const std::string& word : aOptions.iArguments) ids.push_back(ParseIdentifier(word, "messages delete"));
  CKveMessagesDatabase& store = aSession.Messages();
  int status = 0;
  for (unsigned long id : ids) {
    TMessage message(static_cast<CKveMessagesItem*>(store.ReadItemL(static_cast<CEOID>(id))));
    if (message == nullptr) {
      std::fprintf(stderr, "korvanet-cli: no message with ID %lu\n", id);
      status = KExitFailed;
      continue;
    }
    store.DeleteItem(static_cast<CEOID>(id));
    std::fprintf(stderr, "Deleted message %lu.\n", id);
  }
  return status;
}

}  // namespace kvcli
