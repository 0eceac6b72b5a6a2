#include <memory>

#include "exchange/csv.h"
#include "exchange/exchange_text.h"
#include "exchange/message_json.h"
#include "exchange/messages_exchange.h"
#include "exchange/sms_backup_xml.h"

namespace kvexchange {
namespace {

using TMessage = std::unique_ptr<CKveMessagesItem>;

bool InFolder(const CKveMessagesItem& aMessage, const std::string& aFolder) {
  return aFolder == "all" || FolderName(aMessage.Folder()) == aFolder;
}

// Walks the store one record at a time; aVisit sees each message of the folder.
template <typename TVisit>
void ForEachMessageL(CKveMessagesDatabase& aStore, const std::string& aFolder, TVisit aVisit) {
  for (CEpocDatabaseItem* item = aStore.ReadFirstItemL(); item != nullptr; item = aStore.ReadNextItemL()) {
    TMessage message(static_cast<CKveMessagesItem*>(item));
    if (InFolder(*message, aFolder)) aVisit(*message);
  }
}

}  // namespace

int ExportMessagesL(CKveMessagesDatabase& aStore, TMessageFormat aFormat, const std::string& aFolder, std::ostream& aOut) {
  int count = 0;
  switch (aFormat) {
    case EMessagesJson:
      aOut << "[";
      ForEachMessageL(aStore, aFolder, [&](CKveMessagesItem& aMessage) {
        aOut << (count++ == 0 ? "\n" : ",\n") << JsonText(MessageJson(aMessage), 2);
      });
      aOut << (count == 0 ? "]\n" : "\n]\n");
      break;
    case EMessagesCsv:
      aOut << CsvLine({"Folder", "Name", "Number", "Date", "Text"});
      ForEachMessageL(aStore, aFolder, [&](CKveMessagesItem& aMessage) {
        aOut << CsvLine({FolderName(aMessage.Folder()), Utf8(aMessage.Name()), Utf8(aMessage.Number()),
                         aMessage.HasDate() ? IsoUtc(aMessage.DateSentTime()) : std::string("unknown"),
                         WithLf(Utf8(aMessage.Text()))});
        ++count;
      });
      break;
    case EMessagesXml: {
      // The backup apps expect the count up front: one pass to count, one to write.
      int total = 0;
      ForEachMessageL(aStore, aFolder, [&](CKveMessagesItem&) { ++total; });
      aOut << SmsBackupStart(total);
      ForEachMessageL(aStore, aFolder, [&](CKveMessagesItem& aMessage) {
        aOut << SmsBackupElement(aMessage);
        ++count;
      });
      aOut << SmsBackupEnd();
      break;
    }
  }
  return count;
}

}  // namespace kvexchange
