// The messages commands: engine downloads and deletions, the local folders,
// and writing and sending as the compose dialog does.
#include <algorithm>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/kv_compose_dialog.h"
#include "kernel/errors.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

using TMessage = std::unique_ptr<CKveMessagesItem>;

// The compose dialog's edit box hands over at most this many characters.
const size_t KMaxMessageText = KKvMaxMessageText;

// The folder rule of the message views: unknown folders show in the Inbox.
std::string FolderName(DWORD aFolder) {
  if (aFolder == EKvFolderOutbox) return "outbox";
  if (aFolder == EKvFolderSent) return "sent";
  return "inbox";
}

unsigned long long FileTimeValue(const FILETIME& aTime) {
  return (static_cast<unsigned long long>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

// The parts of a long message received so far, in order.
std::vector<int> ReceivedParts(const CKveMessagesItem& aMessage) {
  std::vector<int> parts;
  for (int part = 1; part <= static_cast<int>(aMessage.ConcatTotal()); ++part) {
    TConstPtr16 text;
    if (aMessage.FindPart(part, text)) parts.push_back(part);
  }
  return parts;
}

const char* DeliveryName(TKvDeliveryState aState) {
  switch (aState) {
    case EKvDeliveryPending: return "pending";
    case EKvDeliveryDelivered: return "delivered";
    case EKvDeliveryFailed: return "failed";
    default: return "none";
  }
}

// What the reports say of a Sent message: the state, and the time it was
// delivered or the reason it failed.
struct TDeliveryOutcome {
  TKvDeliveryState iState = EKvDeliveryNone;
  std::string iTime;    // ISO 8601 UTC, delivered only
  std::string iReason;  // failed only
  int iStatus = KKvNoReportYet;
};

TDeliveryOutcome Delivery(const CKveMessagesItem& aMessage) {
  TDeliveryOutcome outcome;
  TKvDeliveryList parts = aMessage.Delivery();
  outcome.iState = DeliveryState(parts);
  if (const TKvPartDelivery* deciding = DecidingPart(parts)) {
    outcome.iStatus = deciding->iStatus;
    if (outcome.iState == EKvDeliveryDelivered) outcome.iTime = IsoUtc(deciding->iTime);
    if (outcome.iState == EKvDeliveryFailed) outcome.iReason = Utf8(TConstPtr16(DeliveryStatusReason(deciding->iStatus)));
  }
  return outcome;
}

nlohmann::json DeliveryJson(const CKveMessagesItem& aMessage) {
  TDeliveryOutcome outcome = Delivery(aMessage);
  nlohmann::json delivery = {{"state", DeliveryName(outcome.iState)}};
  if (outcome.iState == EKvDeliveryDelivered) delivery["time"] = outcome.iTime;
  if (outcome.iState == EKvDeliveryFailed) {
    delivery["reason"] = outcome.iReason;
    delivery["status"] = outcome.iStatus;
  }
  return delivery;
}

nlohmann::json MessageJson(CKveMessagesItem& aMessage) {
  nlohmann::json message = {{"id", aMessage.Oid()},
                            {"folder", FolderName(aMessage.Folder())},
                            {"name", Utf8(aMessage.Name())},
                            {"number", Utf8(aMessage.Number())},
                            {"date", Utf8(aMessage.DateSent())},
                            {"date_sent", IsoUtc(aMessage.DateSentTime())},
                            {"text", WithLf(Utf8(aMessage.Text()))}};
  if (aMessage.IsLongMessage())
    message["parts"] = {{"total", aMessage.ConcatTotal()}, {"received", ReceivedParts(aMessage)}};
  if (aMessage.Folder() == EKvFolderSent) message["delivery"] = DeliveryJson(aMessage);
  return message;
}

void PrintJson(const nlohmann::json& aValue) {
  std::printf("%s\n", aValue.dump(2).c_str());
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

int PrintActionResult(TCliSession& aSession, const TActionOutcome& aOutcome) {
  if (aSession.Json()) PrintJson({{"result", aOutcome.iResult}, {"text", aOutcome.iText}});
  return ActionExitStatus(aOutcome);
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

int MessagesList(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::string folder = Choice(aOptions, "folder", {"all", "inbox", "outbox", "sent"}, "all", "messages list");
  std::vector<TMessage> messages = ReadAllMessages(aSession.Messages());
  std::erase_if(messages, [&](const TMessage& m) { return folder != "all" && FolderName(m->Folder()) != folder; });
  // Newest last; the store's own order (by name) among equal dates.
  std::stable_sort(messages.begin(), messages.end(), [](const TMessage& a, const TMessage& b) {
    return FileTimeValue(a->DateSentTime()) < FileTimeValue(b->DateSentTime());
  });

  if (aSession.Json()) {
    nlohmann::json list = nlohmann::json::array();
    for (TMessage& message : messages) list.push_back(MessageJson(*message));
    PrintJson(list);
    return 0;
  }
  for (TMessage& message : messages) {
    std::string who = message->Name().Length() != 0 ? Utf8(message->Name()) : Utf8(message->Number());
    std::string line = Padded(std::to_string(message->Oid()), 6);
    if (folder == "all") line += Padded(FolderName(message->Folder()), 7);
    line += Padded(Utf8(message->DateSent()), 17) + Padded(who, 20) + " ";
    TKvDeliveryState delivery = message->DeliveryState();
    if (message->Folder() == EKvFolderSent && delivery != EKvDeliveryNone)
      line += std::string("[") + DeliveryName(delivery) + "] ";
    line += Utf8(message->SingleLineMessage());
    std::printf("%s\n", line.c_str());
  }
  if (messages.empty() && isatty(1)) std::fprintf(stderr, "No messages.\n");
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
              Utf8(message->Name()).c_str(), Utf8(message->Number()).c_str(), Utf8(message->DateSent()).c_str());
  if (message->IsLongMessage())
    std::printf("Parts:  %zu of %lu received\n", ReceivedParts(*message).size(),
                static_cast<unsigned long>(message->ConcatTotal()));
  if (message->Folder() == EKvFolderSent) {
    TDeliveryOutcome delivery = Delivery(*message);
    std::string text = delivery.iState == EKvDeliveryNone ? "no report requested" : DeliveryName(delivery.iState);
    if (delivery.iState == EKvDeliveryDelivered) text += " " + delivery.iTime;
    if (delivery.iState == EKvDeliveryFailed) text += ": " + delivery.iReason;
    std::printf("Delivery: %s\n", text.c_str());
  }
  std::printf("\n%s\n", WithLf(Utf8(message->Text())).c_str());
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
