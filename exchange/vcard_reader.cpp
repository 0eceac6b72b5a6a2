#include "exchange/vcard_reader.h"

#include <map>
#include <set>

#include "exchange/exchange_text.h"
#include "exchange/phone_number.h"

namespace kvexchange {
namespace {

struct TLine {
  std::string iText;
  int iNumber;
};

struct TProperty {
  std::string iGroup;
  std::string iName;  // upper case
  std::set<std::string> iTypes;  // upper case
  std::string iEncoding;
  std::string iCharset;
  bool iPreferred = false;
  std::string iValue;  // raw
};

// Physical lines joined into content lines: a line starting with a blank
// continues the one before (RFC 2425 folding), and a quoted-printable value
// ending in '=' goes on on the next line (2.1 soft line breaks). Each byte is
// looked at a bounded number of times: the name and parameters are read once,
// when the line's first ':' arrives, however many lines the line spans.
std::vector<TLine> ContentLines(const std::string& aText) {
  std::vector<TLine> lines;
  size_t start = aText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  int number = 0;
  bool softBreak = false;
  size_t colonSearched = 0;  // where the last line's ':' is looked for next
  bool headRead = false, quotedPrintable = false;
  while (start <= aText.size()) {
    size_t end = aText.find_first_of("\r\n", start);
    size_t length = (end == std::string::npos ? aText.size() : end) - start;
    ++number;
    if (softBreak && !lines.empty()) {
      lines.back().iText.append(aText, start, length);
    } else if (length > 0 && (aText[start] == ' ' || aText[start] == '\t') && !lines.empty()) {
      lines.back().iText.append(aText, start + 1, length - 1);
    } else {
      lines.push_back({aText.substr(start, length), number});
      colonSearched = 0;
      headRead = quotedPrintable = false;
    }
    softBreak = false;
    if (!lines.empty()) {
      std::string& text = lines.back().iText;
      if (!headRead) {
        size_t colon = text.find(':', colonSearched);
        colonSearched = text.size();
        if (colon != std::string::npos) {
          headRead = true;
          quotedPrintable = AsciiUpper(text.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
        }
      }
      if (quotedPrintable && !text.empty() && text.back() == '=') {
        text.pop_back();
        softBreak = true;
      }
    }
    if (end == std::string::npos) break;
    start = end + (aText.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

void AddParameter(TProperty& aProperty, const std::string& aKey, const std::string& aValue) {
  std::string key = AsciiUpper(Trimmed(aKey));
  std::string value = aValue;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  if (key == "ENCODING") {
    aProperty.iEncoding = AsciiUpper(value);
  } else if (key == "CHARSET") {
    aProperty.iCharset = AsciiUpper(value);
  } else if (key == "PREF") {
    aProperty.iPreferred = true;
  } else if (key == "TYPE") {
    size_t from = 0;
    while (from <= value.size()) {
      size_t comma = value.find(',', from);
      std::string type = AsciiUpper(Trimmed(value.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
      if (type == "PREF") aProperty.iPreferred = true;
      if (!type.empty()) aProperty.iTypes.insert(type);
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
  }
}

bool ParseProperty(const std::string& aLine, TProperty& aProperty) {
  size_t colon = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < aLine.size(); ++i) {
    if (aLine[i] == '"') quoted = !quoted;
    if (aLine[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string::npos) return false;
  aProperty.iValue = aLine.substr(colon + 1);
  std::string head = aLine.substr(0, colon);
  size_t semicolon = head.find(';');
  std::string name = head.substr(0, semicolon);
  size_t dot = name.find('.');
  if (dot != std::string::npos) {
    aProperty.iGroup = AsciiUpper(name.substr(0, dot));
    name = name.substr(dot + 1);
  }
  aProperty.iName = AsciiUpper(Trimmed(name));
  while (semicolon != std::string::npos) {
    size_t next = head.find(';', semicolon + 1);
    std::string parameter = head.substr(semicolon + 1, next == std::string::npos ? std::string::npos : next - semicolon - 1);
    size_t equals = parameter.find('=');
    if (equals != std::string::npos) {
      AddParameter(aProperty, parameter.substr(0, equals), parameter.substr(equals + 1));
    } else {
      // vCard 2.1 names a type or an encoding on its own: "TEL;CELL;PREF:".
      std::string bare = AsciiUpper(Trimmed(parameter));
      if (bare == "QUOTED-PRINTABLE" || bare == "BASE64" || bare == "8BIT" || bare == "7BIT")
        aProperty.iEncoding = bare;
      else
        AddParameter(aProperty, "TYPE", bare);
    }
    semicolon = next;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string QuotedPrintableDecoded(const std::string& aValue) {
  std::string out;
  for (size_t i = 0; i < aValue.size(); ++i) {
    if (aValue[i] == '=' && i + 2 < aValue.size() && HexValue(aValue[i + 1]) >= 0 && HexValue(aValue[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(aValue[i + 1]) * 16 + HexValue(aValue[i + 2]));
      i += 2;
    } else {
      out += aValue[i];
    }
  }
  return out;
}

// The value's bytes as UTF-8: decoded from quoted-printable, then from its
// character set. Bytes that are not UTF-8 and name no set are taken as Latin-1.
std::string DecodedValue(const TProperty& aProperty) {
  std::string bytes = aProperty.iEncoding == "QUOTED-PRINTABLE" ? QuotedPrintableDecoded(aProperty.iValue) : aProperty.iValue;
  const std::string& charset = aProperty.iCharset;
  bool latin1 = charset == "ISO-8859-1" || charset == "LATIN1" || charset == "WINDOWS-1252" || charset == "CP1252" ||
                charset == "ISO-8859-15";
  if (latin1 || !IsUtf8(bytes)) return Latin1ToUtf8(bytes);
  return bytes;
}

// Splits a structured value at unescaped ';' and undoes the text escapes
// ("\0" is how our cards carry U+0000).
std::vector<std::string> TextComponents(const std::string& aValue) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < aValue.size(); ++i) {
    char c = aValue[i];
    if (c == '\\' && i + 1 < aValue.size()) {
      char next = aValue[++i];
      parts.back() += next == 'n' || next == 'N' ? '\n' : next == '0' ? '\0' : next;
    } else if (c == ';') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::string Text(const std::string& aValue) {
  std::string text;
  for (const std::string& part : TextComponents(aValue)) text += (text.empty() ? "" : ";") + part;
  return WithLf(text);
}

struct TNumber {
  std::string iWritten;
  std::set<std::string> iTypes;
  bool iPreferred;
  std::string iGroup;
};

struct TCardBuilder {
  int iFirstLine = 0;
  int iIndex = 0;
  std::string iFullName;
  std::vector<std::string> iStructuredName;
  std::string iOrganisation;
  std::vector<TNumber> iNumbers;
  std::vector<std::string> iNotes;
  std::map<std::string, std::string> iGroupLabels;  // Apple's X-ABLabel per group
  std::string iStore;
  std::string iLocation;

  void Add(const TProperty& aProperty) {
    const std::string& name = aProperty.iName;
    if (aProperty.iEncoding == "B" || aProperty.iEncoding == "BASE64") return;  // photos, sounds, keys
    std::string value = DecodedValue(aProperty);
    if (name == "FN") {
      iFullName = Trimmed(Text(value));
    } else if (name == "N") {
      iStructuredName = TextComponents(value);
    } else if (name == "ORG") {
      iOrganisation = Trimmed(TextComponents(value)[0]);
    } else if (name == "TEL") {
      iNumbers.push_back({Trimmed(value), aProperty.iTypes, aProperty.iPreferred, aProperty.iGroup});
    } else if (name == "NOTE") {
      std::string note = Trimmed(Text(value));
      if (!note.empty()) iNotes.push_back(note);
    } else if (name == "X-ABLABEL" && !aProperty.iGroup.empty()) {
      iGroupLabels[aProperty.iGroup] = Text(value);
    } else if (name == "X-KORVANET-STORE") {
      iStore = Trimmed(value);
    } else if (name == "X-KORVANET-LOCATION") {
      iLocation = Trimmed(value);
    }
  }

  // "mobile", "work", ...: Apple's label, else the first telling type.
  std::string Label(const TNumber& aNumber) const {
    auto label = iGroupLabels.find(aNumber.iGroup);
    if (label != iGroupLabels.end()) {
      std::string text = label->second;
      // Apple's built-in labels read "_$!<Mobile>!$_".
      if (text.rfind("_$!<", 0) == 0 && text.size() > 8) text = text.substr(4, text.size() - 8);
      return AsciiLower(text);
    }
    for (const char* type : {"CELL", "MOBILE", "IPHONE", "HOME", "WORK", "FAX", "PAGER", "MAIN", "VOICE"})
      if (aNumber.iTypes.count(type)) return std::string(type) == "CELL" ? "mobile" : AsciiLower(type);
    return "other";
  }

  bool IsMobile(const TNumber& aNumber) const {
    std::string label = Label(aNumber);
    return label == "mobile" || label == "iphone" || label == "cell";
  }

  // The index of the number the contact keeps.
  size_t ChosenNumber() const {
    auto pick = [&](auto aTest) -> size_t {
      for (size_t i = 0; i < iNumbers.size(); ++i)
        if (aTest(iNumbers[i])) return i;
      return iNumbers.size();
    };
    size_t chosen = pick([&](const TNumber& n) { return IsMobile(n) && n.iPreferred; });
    if (chosen == iNumbers.size()) chosen = pick([&](const TNumber& n) { return IsMobile(n); });
    if (chosen == iNumbers.size()) chosen = pick([](const TNumber& n) { return n.iPreferred; });
    return chosen == iNumbers.size() ? 0 : chosen;
  }

  std::string Name() const {
    if (!iFullName.empty()) return iFullName;
    if (!iStructuredName.empty()) {
      // Family; given; additional; prefix; suffix, read in the usual order.
      const size_t order[] = {3, 1, 2, 0, 4};
      std::string name;
      for (size_t index : order) {
        if (index >= iStructuredName.size()) continue;
        std::string part = Trimmed(iStructuredName[index]);
        if (!part.empty()) name += (name.empty() ? "" : " ") + part;
      }
      if (!name.empty()) return name;
    }
    return iOrganisation;
  }

  TContactRecord Build() const {
    TContactRecord contact;
    contact.iWhere = "card " + std::to_string(iIndex) + " (line " + std::to_string(iFirstLine) + ")";
    contact.iName = Name();
    std::vector<std::string> details = iNotes;
    if (!iNumbers.empty()) {
      size_t chosen = ChosenNumber();
      contact.iNumber = StorableNumber(iNumbers[chosen].iWritten);
      for (size_t i = 0; i < iNumbers.size(); ++i)
        if (i != chosen && !iNumbers[i].iWritten.empty()) details.push_back(Label(iNumbers[i]) + ": " + iNumbers[i].iWritten);
    }
    for (const std::string& line : details) contact.iDetails += (contact.iDetails.empty() ? "" : "\n") + line;
    SetPlace(contact, iStore, iLocation);
    CheckStorable(contact, iNumbers.empty() ? std::string() : iNumbers[ChosenNumber()].iWritten);
    return contact;
  }
};

}  // namespace

bool ReadVCards(const std::string& aText, std::vector<TContactRecord>& aCards, std::string& aError) {
  std::vector<TLine> lines = ContentLines(aText);
  bool inCard = false;
  int cards = 0;
  TCardBuilder card;
  for (const TLine& line : lines) {
    TProperty property;
    if (!ParseProperty(line.iText, property)) continue;  // blank lines, stray base64
    if (property.iName == "BEGIN" && AsciiUpper(Trimmed(property.iValue)) == "VCARD") {
      if (inCard) {
        aError = "card " + std::to_string(cards) + " (line " + std::to_string(card.iFirstLine) + ") has no END:VCARD";
        return false;
      }
      inCard = true;
      card = TCardBuilder();
      card.iFirstLine = line.iNumber;
      card.iIndex = ++cards;
    } else if (property.iName == "END" && AsciiUpper(Trimmed(property.iValue)) == "VCARD") {
      if (inCard) aCards.push_back(card.Build());
      inCard = false;
    } else if (inCard) {
      card.Add(property);
    }
  }
  if (inCard) {
    aError = "the file ends inside card " + std::to_string(cards) + " (line " + std::to_string(card.iFirstLine) + ")";
    return false;
  }
  if (cards == 0) {
    aError = "no vCard in the file";
    return false;
  }
  return true;
}

}  // namespace kvexchange
