// Messages read as list lines, straight from the store's read buffer.
#include "store/messages.h"

namespace {

TConstPtr16 TextOf(const CEPROPVAL& aValue) {
  if (aValue.val.lpwstr == nullptr) return TConstPtr16();
  return TConstPtr16(aValue.val.lpwstr, lstrlenW(aValue.val.lpwstr));
}

}  // namespace

TKvMessageLine TKvMessageLine::Of(const CKveMessagesItem& aMessage) {
  TKvMessageLine line;
  line.iOid = aMessage.Oid();
  line.iFolder = aMessage.Folder();
  line.iName = aMessage.Name();
  line.iNumber = aMessage.Number();
  line.iText = aMessage.Text();
  line.iDelivery = aMessage.DeliveryState();
  return line;
}

bool CKveMessagesDatabase::ReadStoredLineL(bool aFirst, TKvMessageLine& aLine) {
  CEOID oid = 0;
  int count = 0;
  const CEPROPVAL* values = ReadStoredPropertiesL(aFirst, oid, count);
  if (values == nullptr) return false;
  aLine = TKvMessageLine();
  aLine.iOid = oid;
  for (int i = 0; i < count; ++i) {
    switch (values[i].propid) {
      case KMessageNameProp: aLine.iName = TextOf(values[i]); break;
      case KMessageNumberProp: aLine.iNumber = TextOf(values[i]); break;
      case KMessageTextProp: aLine.iText = TextOf(values[i]); break;
      case KMessageFolderProp: aLine.iFolder = values[i].val.ulVal; break;
      case KMessageDeliveryProp: aLine.iDelivery = DeliveryState(ParseDelivery(TextOf(values[i]))); break;
      default: break;  // what a line does not show
    }
  }
  return true;
}
