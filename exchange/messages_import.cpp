#include <memory>

#include <nlohmann/json.hpp>

#include "exchange/contact_record.h"
#include "exchange/csv.h"
#include "exchange/exchange_text.h"
#include "exchange/json_list.h"
#include "exchange/message_record.h"
#include "exchange/messages_exchange.h"
#include "exchange/sms_backup_xml.h"
#include "sms/sms_length.h"

namespace kvexchange {
namespace {

DWORD FolderOf(const std::string& aName) {
  std::string name = AsciiLower(Trimmed(aName));
  if (name == "inbox") return EKvFolderInbox;
  if (name == "outbox") return EKvFolderOutbox;
  if (name == "sent") return EKvFolderSent;
  return 0;
}

// What the export writes for a message the phone gave no time.
const char KUnknownDate[] = "unknown";

// Fills what JSON and CSV records share: the folder, the date and the checks.
// A date the export marked unknown comes back as none (0).
void Complete(TMessageRecord& aMessage, const std::string& aFolder, const std::string& aDate) {
  aMessage.iFolder = FolderOf(aFolder);
  std::optional<FILETIME> date =
      Trimmed(aDate) == KUnknownDate ? std::optional<FILETIME>(FILETIME{0, 0}) : ParseIsoTime(Trimmed(aDate));
  if (aMessage.iFolder == 0)
    aMessage.iRefusal = "unknown folder \"" + aFolder + "\"";
  else if (!date)
    aMessage.iRefusal = "no date, or not one in ISO 8601 form (\"" + aDate + "\")";
  else if (aMessage.iNumber.empty() && aMessage.iText.empty())
    aMessage.iRefusal = "neither number nor text";
  if (date) aMessage.iDate = *date;
}

// The objects 'messages export --format json' and 'messages list --json' print.
bool ReadMessagesJson(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError) {
  nlohmann::json list;
  if (!ReadJsonList(aText, "messages", list, aError)) return false;
  int index = 0;
  for (const nlohmann::json& object : list) {
    TMessageRecord message;
    message.iWhere = "message " + std::to_string(++index);
    if (!object.is_object()) {
      message.iRefusal = "not a message object";
      aMessages.push_back(message);
      continue;
    }
    auto text = [&](const char* aKey) {
      auto value = object.find(aKey);
      return value != object.end() && value->is_string() ? value->get<std::string>() : std::string();
    };
    message.iName = text("name");
    message.iNumber = text("number");
    message.iText = WithLf(text("text"));
    auto date = object.find("date_sent");
    const bool unknown = date != object.end() && date->is_null();
    Complete(message, text("folder"), unknown ? std::string(KUnknownDate) : text("date_sent"));
    aMessages.push_back(message);
  }
  return true;
}

bool ReadMessagesCsv(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError) {
  TCsvTable table;
  if (!ReadCsv(IsUtf8(aText) ? aText : Latin1ToUtf8(aText), table, aError)) return false;
  auto column = [&](std::initializer_list<const char*> aNames) {
    for (const char* name : aNames)
      for (size_t i = 0; i < table.iHeader.size(); ++i)
        if (AsciiLower(Trimmed(table.iHeader[i])) == name) return static_cast<int>(i);
    return -1;
  };
  int folder = column({"folder"}), name = column({"name"}), number = column({"number", "address"});
  int date = column({"date", "date_sent"}), text = column({"text", "body"});
  if (folder < 0 || number < 0 || text < 0 || date < 0) {
    aError = "the header row lacks one of the columns Folder, Number, Date and Text";
    return false;
  }
  for (size_t row = 0; row < table.iRows.size(); ++row) {
    const TCsvRow& fields = table.iRows[row];
    auto field = [&](int aColumn) { return aColumn >= 0 && static_cast<size_t>(aColumn) < fields.size() ? fields[aColumn] : std::string(); };
    TMessageRecord message;
    message.iWhere = "row " + std::to_string(row + 1) + " (line " + std::to_string(table.iRowLines[row]) + ")";
    message.iName = Trimmed(field(name));
    message.iNumber = Trimmed(field(number));
    message.iText = WithLf(field(text));
    Complete(message, field(folder), field(date));
    aMessages.push_back(message);
  }
  return true;
}

bool ReadMessages(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError) {
  char first = FirstSignificant(aText);
  if (first == '<') return ReadSmsBackup(aText, aMessages, aError);
  if (first == '[' || first == '{') return ReadMessagesJson(aText, aMessages, aError);
  return ReadMessagesCsv(aText, aMessages, aError);
}

}  // namespace

bool ImportMessagesL(CKveMessagesDatabase& aStore, const std::string& aText, TImportSummary& aSummary, std::string& aError) {
  std::vector<TMessageRecord> messages;
  if (!ReadMessages(aText, messages, aError)) return false;
  TImportSummary summary;
  TImportTransaction transaction;
  if (!transaction.Begin(aError)) return false;
  for (const TMessageRecord& record : messages) {
    if (!record.iRefusal.empty()) {
      summary.iRefused.push_back(record.iWhere + ": " + record.iRefusal);
      continue;
    }
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(aStore.NewItemL()));
    if (message == nullptr) {
      aError = "no memory for " + record.iWhere + "; nothing was imported";
      return false;
    }
    // The number one line, as the store keeps it: a U+0000 would end the
    // stored value, and the copy read back would no longer be the message
    // the duplicate rule compared.
    std::u16string name = Utf16(record.iName), text = Utf16(WithCrLf(record.iText)),
                   number = Utf16(OneLineName(record.iNumber));
    TConstPtr16 nameView = View(name), textView = View(text), numberView = View(number);
    message->SetDetailsL(&nameView, &textView, &numberView, record.iFolder);
    message->SetDateSentTime(record.iDate);
    // A text no long message can hold would only fail, or worse, when sent.
    const int parts = SmsLengthOf(message->SmsFormatMessage()).iParts;
    if (parts > KSmsMaxParts) {
      summary.iRefused.push_back(record.iWhere + ": the text needs " + std::to_string(parts) +
                                 " messages; a long message has at most " + std::to_string(KSmsMaxParts));
      continue;
    }
    // The store's own write refuses a message it holds already (same name,
    // number and text), as a download does.
    CEOID oid = aStore.WriteItemL(*message);
    if (oid != 0) {
      ++summary.iAdded;
    } else if (aStore.FindItem(*message) >= 0) {
      ++summary.iSkipped;
    } else {
      aError = "the messages store refused " + record.iWhere + "; nothing was imported";
      return false;
    }
  }
  if (!transaction.Commit(aError)) return false;
  aSummary = summary;
  return true;
}

}  // namespace kvexchange
