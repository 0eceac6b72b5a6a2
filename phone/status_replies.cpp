// Reading the status replies. Phones differ in spaces, quotes, prefixes and
// how many fields they give; anything that does not read as the value leaves
// the field unknown rather than guessed.
#include <string>
#include <string_view>
#include <vector>

#include "phone/phone_status.h"

namespace {

using TView = std::u16string_view;

// A reply has a handful of fields; more is garbage.
const size_t KMaxFields = 16;
const int KMaxNumber = 1000000;

struct TField {
  TView iText;
  bool iQuoted = false;
};

TView View(const TDesc16& aText) { return TView(reinterpret_cast<const char16_t*>(aText.Ptr()), aText.Length()); }

TView Trimmed(TView aText) {
  while (!aText.empty() && (aText.front() == u' ' || aText.front() == u'\t' || aText.front() == u'\r'))
    aText.remove_prefix(1);
  while (!aText.empty() && (aText.back() == u' ' || aText.back() == u'\t' || aText.back() == u'\r'))
    aText.remove_suffix(1);
  return aText;
}

TView Unquoted(TView aText) {
  aText = Trimmed(aText);
  if (!aText.empty() && aText.front() == u'"') aText.remove_prefix(1);
  if (!aText.empty() && aText.back() == u'"') aText.remove_suffix(1);
  return Trimmed(aText);
}

std::vector<TView> Lines(const TDesc16& aReply) {
  std::vector<TView> lines;
  TView rest = View(aReply);
  while (!rest.empty()) {
    size_t end = rest.find(u'\n');
    TView line = Trimmed(rest.substr(0, end));
    if (!line.empty()) lines.push_back(line);
    if (end == TView::npos) break;
    rest.remove_prefix(end + 1);
  }
  return lines;
}

char16_t Upper(char16_t aChar) { return aChar >= u'a' && aChar <= u'z' ? static_cast<char16_t>(aChar - 32) : aChar; }

bool EqualsNoCase(TView aText, TView aOther) {
  if (aText.size() != aOther.size()) return false;
  for (size_t i = 0; i < aText.size(); ++i)
    if (Upper(aText[i]) != Upper(aOther[i])) return false;
  return true;
}

bool StartsNoCase(TView aText, TView aPrefix) {
  return aText.size() >= aPrefix.size() && EqualsNoCase(aText.substr(0, aPrefix.size()), aPrefix);
}

bool Contains(TView aText, TView aPart) {
  for (size_t i = 0; i + aPart.size() <= aText.size(); ++i)
    if (EqualsNoCase(aText.substr(i, aPart.size()), aPart)) return true;
  return false;
}

// The rest of "+CSQ: 20,99" after "+CSQ:", when the line has that prefix.
bool AfterPrefix(TView aLine, TView aPrefix, TView& aRest) {
  if (!StartsNoCase(aLine, aPrefix) || aLine.size() == aPrefix.size() || aLine[aPrefix.size()] != u':') return false;
  aRest = Trimmed(aLine.substr(aPrefix.size() + 1));
  return true;
}

// Comma-separated fields; commas inside quotes belong to the field.
std::vector<TField> Fields(TView aText) {
  std::vector<TField> fields;
  size_t start = 0;
  bool inQuotes = false;
  for (size_t i = 0; i <= aText.size() && fields.size() < KMaxFields; ++i) {
    if (i < aText.size() && aText[i] == u'"') inQuotes = !inQuotes;
    if (i == aText.size() || (aText[i] == u',' && !inQuotes)) {
      TView raw = Trimmed(aText.substr(start, i - start));
      bool quoted = !raw.empty() && raw.front() == u'"';
      fields.push_back(TField{Unquoted(raw), quoted});
      start = i + 1;
    }
  }
  return fields;
}

// A bare decimal number, or -1.
int Number(const TField& aField) {
  if (aField.iQuoted || aField.iText.empty()) return -1;
  int value = 0;
  for (char16_t c : aField.iText) {
    if (c < u'0' || c > u'9') return -1;
    value = value * 10 + (c - u'0');
    if (value > KMaxNumber) return -1;
  }
  return value;
}

void CopyTo(TView aText, TModDesc16& aOut) {
  int length = static_cast<int>(aText.size()) < aOut.MaxLength() ? static_cast<int>(aText.size()) : aOut.MaxLength();
  aOut.Copy(reinterpret_cast<const TText16*>(aText.data()), length);
}

int HexDigit(char16_t aChar) {
  if (aChar >= u'0' && aChar <= u'9') return aChar - u'0';
  if (aChar >= u'A' && aChar <= u'F') return aChar - u'A' + 10;
  if (aChar >= u'a' && aChar <= u'f') return aChar - u'a' + 10;
  return -1;
}

// UCS2 hexadecimal ("004F0032") to its text; false when it is not that.
bool DecodeUcs2Hex(TView aHex, std::u16string& aText) {
  if (aHex.empty() || aHex.size() % 4 != 0) return false;
  aText.clear();
  for (size_t i = 0; i < aHex.size(); i += 4) {
    int value = 0;
    for (size_t j = 0; j < 4; ++j) {
      int digit = HexDigit(aHex[i + j]);
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    aText.push_back(static_cast<char16_t>(value));
  }
  return true;
}

// The better of two registrations: registered, then searching, then denied.
int Rank(TRegistration aRegistration) {
  switch (aRegistration) {
    case ERegHome:
    case ERegRoaming:
      return 4;
    case ERegSearching:
      return 3;
    case ERegDenied:
      return 2;
    case ERegNotRegistered:
      return 1;
    default:
      return 0;
  }
}

TRegistration RegistrationOf(int aStat) {
  switch (aStat) {
    case 0:
    case 8:  // emergency calls only
      return ERegNotRegistered;
    case 1:
    case 6:  // messages only
    case 9:
      return ERegHome;
    case 5:
    case 7:
    case 10:
      return ERegRoaming;
    case 2:
      return ERegSearching;
    case 3:
      return ERegDenied;
    default:
      return ERegUnknown;
  }
}

}  // namespace

void ParseIdentityReply(const TDesc16& aReply, TModDesc16& aOut) {
  for (TView line : Lines(aReply)) {
    // A vendor's announcement ("^RSSI:5", "+CREG: 1") may come between.
    if (line.front() == u'^' || (line.front() == u'+' && !StartsNoCase(line, u"+CGM") && !StartsNoCase(line, u"+GM")))
      continue;
    TView value = line;
    size_t colon = line.find(u':');
    if (colon != TView::npos &&
        (line.front() == u'+' || StartsNoCase(line, u"Manufacturer") || StartsNoCase(line, u"Model") ||
         StartsNoCase(line, u"Revision")))
      value = line.substr(colon + 1);
    value = Unquoted(value);
    if (value.empty()) continue;
    CopyTo(value, aOut);
    return;
  }
}

void ParseImeiReply(const TDesc16& aReply, TModDesc16& aOut) {
  for (TView line : Lines(aReply)) {
    size_t colon = line.find(u':');
    TView value = Unquoted(colon == TView::npos ? line : line.substr(colon + 1));
    if (value.size() < 14 || value.size() > 17) continue;
    bool digits = true;
    for (char16_t c : value) digits = digits && c >= u'0' && c <= u'9';
    if (!digits) continue;
    CopyTo(value, aOut);
    return;
  }
}

void ParseSimReply(const TDesc16& aReply, TPhoneStatus& aStatus) {
  for (TView line : Lines(aReply)) {
    TView value;
    if (!AfterPrefix(line, u"+CPIN", value)) value = line;
    value = Unquoted(value);
    if (value.empty()) continue;
    if (EqualsNoCase(value, u"READY"))
      aStatus.iSim = ESimReady;
    else if (EqualsNoCase(value, u"SIM PIN"))
      aStatus.iSim = ESimPin;
    else if (EqualsNoCase(value, u"SIM PUK"))
      aStatus.iSim = ESimPuk;
    else if (EqualsNoCase(value, u"PH-SIM PIN"))
      aStatus.iSim = ESimPhonePin;
    else if (EqualsNoCase(value, u"NOT INSERTED") || EqualsNoCase(value, u"SIM NOT INSERTED") ||
             EqualsNoCase(value, u"NO SIM"))
      aStatus.iSim = ESimAbsent;
    else if (Contains(value, u"PIN") || Contains(value, u"PUK"))
      aStatus.iSim = ESimOtherLock;
    else
      aStatus.iSim = ESimUnknown;
    CopyTo(value, aStatus.iSimText);
    return;
  }
}

void SimStateFromError(int aCmeError, TPhoneStatus& aStatus) {
  switch (aCmeError) {
    case 10:
      aStatus.iSim = ESimAbsent;
      break;
    case 11:
      aStatus.iSim = ESimPin;
      break;
    case 12:
      aStatus.iSim = ESimPuk;
      break;
    case 13:
    case 15:
      aStatus.iSim = ESimFailure;
      break;
    default:
      break;
  }
}

void ParseOperatorReply(const TDesc16& aReply, bool aUcs2, TPhoneStatus& aStatus) {
  for (TView line : Lines(aReply)) {
    TView rest;
    if (!AfterPrefix(line, u"+COPS", rest)) continue;
    std::vector<TField> fields = Fields(rest);
    if (fields.size() < 3 || fields[2].iText.empty()) return;
    std::u16string decoded;
    if (aUcs2 && Number(fields[1]) != 2 && DecodeUcs2Hex(fields[2].iText, decoded))
      CopyTo(decoded, aStatus.iOperator);
    else
      CopyTo(fields[2].iText, aStatus.iOperator);
    return;
  }
}

void ParseRegistrationReply(const TDesc16& aReply, TPhoneStatus& aStatus) {
  for (TView line : Lines(aReply)) {
    TView rest;
    if (!AfterPrefix(line, u"+CREG", rest) && !AfterPrefix(line, u"+CGREG", rest) &&
        !AfterPrefix(line, u"+CEREG", rest) && !AfterPrefix(line, u"+C5GREG", rest))
      continue;
    std::vector<TField> fields = Fields(rest);
    // The answer to a query puts the reporting mode first; an announcement
    // starts with the state, followed by a quoted area code when any.
    int stat = fields.size() >= 2 && Number(fields[1]) >= 0 ? Number(fields[1]) : Number(fields[0]);
    TRegistration registration = RegistrationOf(stat);
    if (Rank(registration) > Rank(aStatus.iRegistration)) aStatus.iRegistration = registration;
  }
}

void ParseSignalReply(const TDesc16& aReply, TPhoneStatus& aStatus) {
  for (TView line : Lines(aReply)) {
    TView rest;
    if (!AfterPrefix(line, u"+CSQ", rest)) continue;
    int rssi = Number(Fields(rest)[0]);
    if (rssi < 0 || rssi > 31) return;  // 99: not known
    aStatus.iSignalDbm = -113 + 2 * rssi;
    aStatus.iSignalBars = rssi < 2 ? 0 : rssi < 10 ? 1 : rssi < 15 ? 2 : rssi < 20 ? 3 : 4;
    return;
  }
}

void ParseBatteryReply(const TDesc16& aReply, TPhoneStatus& aStatus) {
  for (TView line : Lines(aReply)) {
    TView rest;
    if (!AfterPrefix(line, u"+CBC", rest)) continue;
    std::vector<TField> fields = Fields(rest);
    if (fields.size() < 2) return;
    int source = Number(fields[0]);
    int percent = Number(fields[1]);
    static const TPowerSource KSources[] = {EPowerBattery, EPowerExternal, EPowerNoBattery, EPowerFault};
    if (source >= 0 && source <= 3) aStatus.iPower = KSources[source];
    if (source != 2 && percent >= 0 && percent <= 100) aStatus.iBatteryPercent = percent;
    return;
  }
}

void ParseStorageReply(const TDesc16& aReply, TPhoneStatus& aStatus) {
  for (TView line : Lines(aReply)) {
    TView rest;
    if (!AfterPrefix(line, u"+CPMS", rest)) continue;
    std::vector<TField> fields = Fields(rest);
    bool named = !fields.empty() && fields[0].iQuoted;
    size_t group = named ? 3 : 2;
    for (int store = 0; store < KStatusMemories; ++store) {
      size_t first = static_cast<size_t>(store) * group;
      if (first + group > fields.size()) break;
      TStoreStatus& out = aStatus.iStores[store];
      if (named) CopyTo(fields[first].iText, out.iMemory);
      int used = Number(fields[first + group - 2]);
      int size = Number(fields[first + group - 1]);
      if (used >= 0 && size >= 0 && used <= size) {
        out.iUsed = used;
        out.iSize = size;
      }
    }
    return;
  }
}

bool ParseSmsSupportReply(const TDesc16& aReply) {
  for (TView line : Lines(aReply)) {
    TView rest;
    if (AfterPrefix(line, u"+CMGF", rest)) return !rest.empty();
    if (AfterPrefix(line, u"+CSMS", rest)) {
      std::vector<TField> fields = Fields(rest);
      for (size_t i = 1; i < fields.size() && i <= 3; ++i)
        if (Number(fields[i]) == 1) return true;
      return false;
    }
  }
  return false;
}
