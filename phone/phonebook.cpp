// Phone book stores: selection and limits, reading in ranges, writing and
// blanking single locations.
#include "kernel/log.h"
#include "phone/mobile_phone.h"
#include "sms/gsm_alphabet.h"
#include "phone/phonebook_names.h"
#include "phone/at_argument.h"

namespace {

const int KReadRange = 51;
const int KTypeInternational = 145;
const int KTypeUnknown = 129;
const int KFormatFieldLength = 64;
const int KCapabilityNoSim = 0x400;
const int KCapabilityNoPhoneMemory = 0x800;
const int KCapabilityNoFixedDialling = 0x10000;

struct TStoreCommand {
  const char16_t* iSelect;
  int iLimitsState;
  int iCapability;
};

const TStoreCommand KStores[KPhoneBookStores] = {
    {u"AT+CPBS=\"ME\"", EStateLimitsPhoneMemory, KCapabilityNoPhoneMemory},
    {u"AT+CPBS=\"SM\"", EStateLimitsSim, KCapabilityNoSim},
    {u"AT+CPBS=\"FD\"", EStateLimitsFixedDialling, KCapabilityNoFixedDialling},
};

int NumberType(const TDesc16& aNumber) {
  return aNumber.Length() > 0 && aNumber[0] == u'+' ? KTypeInternational : KTypeUnknown;
}

// At most aMax characters of aText.
TConstPtr16 Clip(const TDesc16& aText, int aMax) { return aText.Left(aText.Length() < aMax ? aText.Length() : aMax); }

// Some phones in UCS2 mode send the number as hexadecimal too ("002B0034"
// for "+4"). Only a run of units that are all dialling characters is taken
// for one: a real number rarely has "003" every fourth digit.
bool DecodeUcs2Number(const TDesc16& aField, TModDesc16& aNumber) {
  if (aField.Length() < 8 || aField.Length() % 4 != 0 || aField.Length() / 4 > aNumber.MaxLength()) return false;
  aNumber.Zero();
  for (int i = 0; i < aField.Length(); i += 4) {
    if (aField[i] != u'0' || aField[i + 1] != u'0') return false;
    TText16 high = aField[i + 2], low = aField[i + 3];
    if (low >= u'a' && low <= u'f') low = static_cast<TText16>(low - u'a' + u'A');
    if (high == u'3' && low >= u'0' && low <= u'9')
      aNumber.Append(low);
    else if (high == u'2' && (low == u'B' || low == u'A' || low == u'3'))
      aNumber.Append(low == u'B' ? u'+' : low == u'A' ? u'*' : u'#');
    else
      return false;
  }
  return true;
}

bool Begins(const TDesc16& aText, TText16 aFirst, TText16 aSecond) {
  return aText.Length() >= 3 && aText[0] == aFirst && aText[1] == aSecond;
}

}  // namespace

int CMobilePhoneBase::ChangePhoneStore(int aStore) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ChangePhoneStore");
  if (aStore < EPhoneMemory || aStore > EFixedDialling) return KReplyError;
  const TStoreCommand& store = KStores[aStore];
  if (Capabilities() & store.iCapability) return KReplyError;
  int r = DoSendAndWait(EStatePhoneBookSelect, TConstPtr16(store.iSelect));
  if (r != KReplyOk) return r;
  r = DoSendAndWait(store.iLimitsState, TConstPtr16(u"AT+CPBR=?"));
  if (r == KReplyError) r = KReplyOk;  // the default limits stay
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ChangePhoneStore completed %1!d!", r);
  return r;
}

int CMobilePhoneBase::ReadPhoneBook(int aStore) {
  int r = EstablishConnection();
  if (r != 0) return r;
  r = ChangePhoneStore(aStore);
  if (r != KReplyOk) return r;
  const TPhoneMemory& memory = iPhoneSettings.MemoryValues[aStore];
  if (memory.MemLow == 0 && memory.MemHigh == 0) return KReplyOk;
  for (int first = memory.MemLow;; ) {
    int last = first + KReadRange - 1;
    if (last > memory.MemHigh) last = memory.MemHigh;
    iCommandBuffer.Copy(u"AT+CPBR=");
    iCommandBuffer.AppendNum(first);
    iCommandBuffer.Append(u',');
    iCommandBuffer.AppendNum(last);
    r = DoSendAndWait(EStatePhoneBookRead, iCommandBuffer);
    // A range the phone reports empty (ERROR or an error report) does not stop the read.
    if (r < 0 || last >= memory.MemHigh) break;
    first = last + 1;
  }
  return r;
}

int CMobilePhoneBase::ParsePhoneBookEntry(TModDesc16& aLine) {
  TPhoneBookEntry entry;
  aLine.Delete(0, 6);
  StripLeadingSpaces(aLine);
  int pos = 0;
  entry.iLocation = static_cast<int16_t>(ParseInt(aLine, pos));
  aLine.Delete(0, pos);
  if (!Begins(aLine, u',', u'"')) return 0;
  aLine.Delete(0, 2);
  int quote = aLine.Locate(u'"');
  if (quote < 0) return 0;
  TModBuf16<KEntryNumberLength> number;
  TModBuf16<KEntryNumberLength> decoded;
  bool hexNumber = iCharsetUcs2 && DecodeUcs2Number(aLine.Left(quote), decoded);
  const TDesc16& digits = hexNumber ? static_cast<const TDesc16&>(decoded) : aLine;
  int numberLength = hexNumber ? decoded.Length() : quote;
  number.Copy(digits.Ptr(), numberLength > KEntryNumberLength ? KEntryNumberLength - 1 : numberLength);
  aLine.Delete(0, quote);
  if (Begins(aLine, u'"', u',')) {
    aLine.Delete(0, 2);
    pos = 0;
    int type = ParseInt(aLine, pos);
    // An international number the phone keeps without its "+".
    if ((type & 0xF0) == 0x90 && number.Length() > 0 && number.Locate(u'+') < 0) {
      if (number.Length() == number.MaxLength()) number.SetLength(number.Length() - 1);
      number.Insert(0, TConstPtr16(u"+"));
    }
    entry.iNumber.Copy(number);
    aLine.Delete(0, pos);
    if (Begins(aLine, u',', u'"')) {
      aLine.Delete(0, 2);
      int end = aLine.Locate(u'"');
      if (end < 0) end = aLine.Length();
      if (iCharsetUcs2) {
        DecodeUcs2ModeName(aLine.Left(end), entry.iName, iNameShape);
      } else {
        entry.iName.Copy(aLine.Ptr(), end < KEntryNameLength ? end : KEntryNameLength);
        if (iCharset8859 == 0) GsmToLatin(entry.iName);
      }
    } else if (iCharsetUcs2 && aLine.Length() >= 2 && aLine[0] == u',') {
      // Some phones leave hexadecimal names unquoted.
      aLine.Delete(0, 1);
      int end = aLine.Locate(u',');
      DecodeUcs2ModeName(aLine.Left(end < 0 ? aLine.Length() : end), entry.iName, iNameShape);
    }
  }
  return iObserver->FoundPhoneEntry(entry);
}

int CMobilePhoneBase::UploadContact(const TDesc16& aName, const TDesc16& aNumber, int aLocation, int aMaxName,
                                    int aMaxNumber) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadContactsItem");
  iMaxUploadNumber = aMaxNumber;
  // The name limit is doubled: GSM escapes take two characters. In UCS2 the
  // phone counts UTF-16 code units, which is what the program's texts hold.
  iMaxUploadName = iCharsetUcs2 ? aMaxName : 2 * aMaxName;
  TModBuf16<KCommandLength> name;
  int r = UploadName(aName, name);
  if (r != KErrNone) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadContactsItem name not written: the phone's character set cannot carry it");
    return r;
  }
  TModBuf16<KCommandLength> number;
  r = AppendDialString(number, Clip(aNumber, KCommandLength), iMaxUploadNumber < 0 ? 0 : iMaxUploadNumber);
  if (r != KErrNone) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadContactsItem number not written: it is no dial string");
    return r;
  }
  iCommandBuffer.Copy(u"AT+CPBW=");
  TModBuf16<KCommandLength> fields;
  r = FormatPhoneNumber(fields, aLocation, number, name);
  if (r == KErrNone && fields.Length() > iCommandBuffer.MaxLength() - iCommandBuffer.Length()) r = KErrOverflow;
  if (r != KErrNone) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadContactsItem entry not written: error %1!d!", r);
    return r;
  }
  iCommandBuffer.Append(fields);
  r = iCommunicator->Send(iCommandBuffer, true);
  if (r != 0) LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadContactsItem Communicator::Send returned %1!d!", r);
  iObserver->EntrySent();
  return r;
}

int CMobilePhoneBase::UploadName(const TDesc16& aName, TModDesc16& aOut) {
  TModBuf16<2 * KEntryNameLength> name;
  name.Copy(aName.Ptr(), WholeCharactersLength(aName, KEntryNameLength));
  MakeOneLine(name);
  if (!iCharsetUcs2) {
    // Never a byte that reads as another character: a name the phone's
    // character set cannot hold is not written at all.
    int r = iCharset8859 ? CheckLatin1Name(name) : GsmName(name);
    if (r != KErrNone) return r;
  }
  int limit = iMaxUploadName < 0 ? 0 : iMaxUploadName;
  int kept = iCharsetUcs2 ? WholeCharactersLength(name, limit) : (name.Length() < limit ? name.Length() : limit);
  // Half a GSM escape would read as another character.
  if (!iCharsetUcs2 && iCharset8859 == 0 && kept > 0 && kept < name.Length() && name[kept - 1] == KGsmEscape) --kept;
  if (kept < name.Length()) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadContactsItem name cut from %1!d! to %2!d! characters",
               name.Length(), kept);
    name.SetLength(kept);
  }
  aOut.Zero();
  if (iCharsetUcs2)
    AppendUcs2Hex(aOut, name);
  else
    aOut.Copy(name);
  return KErrNone;
}

int CMobilePhoneBase::UploadBlank(int aLocation) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadBlank");
  FormatBlankEntry(iCommandBuffer, aLocation);
  int r = iCommunicator->Send(iCommandBuffer, true);
  if (r != 0) LogMessage(KLogFilePath, u"CMobilePhoneBase::UploadBlank Communicator::Send returned %1!d!", r);
  iObserver->EntryDeleted();
  return r;
}

int CMobilePhoneBase::WaitForPhoneBookWriteToComplete() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::WaitForPhoneBookWriteToComplete");
  iResponseState = EStatePhoneBookWrite;
  int r = TimedWait();
  iResponseState = EStateIdle;
  LogMessage(KLogFilePath, u"CMobilePhoneBase::WaitForPhoneBookWriteToComplete - completed");
  return r;
}

int CMobilePhoneBase::SendEntry(const TPhoneBookEntry& aEntry) {
  iCommandBuffer.Copy(u"AT+CPBW=");
  TModBuf16<KCommandLength> fields;
  int r = FormatPhoneNumber(fields, aEntry.iLocation, aEntry.iNumber, aEntry.iName);
  if (r != KErrNone) return r;
  iCommandBuffer.Append(Clip(fields, iCommandBuffer.MaxLength() - iCommandBuffer.Length()));
  return DoSendAndWait(EStatePhoneBookWrite, iCommandBuffer);
}

int CMobilePhoneBase::FormatPhoneNumber(TModDesc16& aOut, int aLocation, const TDesc16& aNumber,
                                        const TDesc16& aName) {
  int type = NumberType(aNumber);
  TConstPtr16 number = Clip(aNumber, KFormatFieldLength);
  if (type == KTypeInternational && iIsEricssonPhone) {
    // Such a phone stores the "+" as part of the digits; type 145 says it already.
    number = number.Mid(1);
    TModBuf16<KFormatFieldLength + 1> text(number);
    LogMessage(KLogFilePath, u"CMobilePhoneBase::FormatPhoneNumber Ericsson Phone Number = %1!s!", text.PtrZ());
  }
  TModBuf16<KFormatFieldLength> digits;
  int r = AppendDialString(digits, number, KFormatFieldLength);
  aOut.Zero();
  aOut.AppendNum(aLocation);
  aOut.Append(u',');
  if (r == KErrNone) r = AppendQuotedArgument(aOut, digits);
  if (r != KErrNone) return r;
  aOut.Append(u',');
  aOut.AppendNum(type);
  aOut.Append(u',');
  // A name in hexadecimal UTF-16 takes four digits a code unit.
  return AppendQuotedArgument(aOut, Clip(aName, iCharsetUcs2 ? 4 * KEntryNameLength : KFormatFieldLength));
}

int CMobilePhoneBase::FormatNumberField(TModDesc16& aOut, const TDesc16& aNumber) {
  TModBuf16<KFormatFieldLength> digits;
  aOut.Zero();
  int r = AppendDialString(digits, aNumber, KFormatFieldLength);
  if (r == KErrNone) r = AppendQuotedArgument(aOut, digits);
  if (r != KErrNone) return r;
  aOut.Append(u',');
  aOut.AppendNum(NumberType(aNumber));
  return KErrNone;
}

void CMobilePhoneBase::FormatBlankEntry(TModDesc16& aOut, int aLocation) {
  aOut.Copy(u"AT+CPBW=");
  aOut.AppendNum(aLocation);
}

int CMobilePhoneBase::CheckLatin1Name(const TDesc16& aName) {
  for (int i = 0; i < aName.Length(); ++i)
    if (aName[i] > 0xFF) return KErrNameNotCarried;
  return KErrNone;
}

int CMobilePhoneBase::GsmName(TModDesc16& aName) {
  TModBuf16<2 * KEntryNameLength> codes;
  for (int i = 0; i < aName.Length(); ++i) {
    bool escaped = false, notFound = false;
    // The GSM code of a quote is the quote; the line's escape carries it.
    int code = aName[i] == u'"' ? 0x22 : LatinToGsm(aName[i], escaped, notFound);
    if (notFound) return KErrNameNotCarried;
    if (codes.Length() + (escaped ? 2 : 1) > codes.MaxLength()) return KErrOverflow;
    if (escaped) codes.Append(static_cast<TText16>(KGsmEscape));
    codes.Append(static_cast<TText16>(code));
  }
  if (codes.Length() > aName.MaxLength()) return KErrOverflow;
  aName.Copy(codes);
  return KErrNone;
}
