#include "exchange/sms_backup_xml.h"

#include <expat.h>

#include <cstdlib>
#include <map>

#include "exchange/exchange_text.h"

namespace kvexchange {
namespace {

// Where a text that XML 1.0 cannot hold whole is written exactly, beside the
// attribute that other programs read: "body" gets "korvanet_body", and so on.
const char KExactPrefix[] = "korvanet_";
// The longest element name quoted back in an error.
const size_t KMaxNameShown = 40;

void AppendUtf8(std::string& aOut, unsigned long aCode) {
  if (aCode < 0x80) {
    aOut += static_cast<char>(aCode);
  } else if (aCode < 0x800) {
    aOut += static_cast<char>(0xC0 | (aCode >> 6));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else if (aCode < 0x10000) {
    aOut += static_cast<char>(0xE0 | (aCode >> 12));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (aCode >> 18));
    aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  }
}

// The length of the UTF-8 character at aText[aAt] and its code (U+FFFD and 1
// for a byte that starts none).
size_t NextCharacter(const std::string& aText, size_t aAt, unsigned long& aCode) {
  unsigned char first = static_cast<unsigned char>(aText[aAt]);
  size_t length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3 : (first >> 3) == 30 ? 4 : 0;
  if (length == 0 || aAt + length > aText.size()) {
    aCode = 0xFFFD;
    return 1;
  }
  aCode = length == 1 ? first : first & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) aCode = (aCode << 6) | (static_cast<unsigned char>(aText[aAt + i]) & 0x3F);
  return length;
}

// Characters XML 1.0 does not allow in a document, not even as a reference:
// the C0 controls but tab, line feed and carriage return, and U+FFFE, U+FFFF.
bool IsOutsideXml(unsigned long aCode) {
  return (aCode < 0x20 && aCode != '\t' && aCode != '\n' && aCode != '\r') || aCode == 0xFFFE || aCode == 0xFFFF;
}

// An attribute value as XML 1.0 can hold it: markup escaped, line ends as
// references (so that parsers keep them), and each character XML cannot
// hold shown by its picture (U+2400 to U+241F; U+FFFD for U+FFFE and U+FFFF).
// aReplaced is set when such a character was met.
std::string Escaped(const std::string& aText, bool& aReplaced) {
  std::string out;
  out.reserve(aText.size());
  for (size_t i = 0; i < aText.size();) {
    unsigned long code = 0;
    size_t length = NextCharacter(aText, i, code);
    switch (code) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '\t': out += "&#9;"; break;
      default:
        if (IsOutsideXml(code)) {
          AppendUtf8(out, code < 0x20 ? 0x2400 + code : 0xFFFD);
          aReplaced = true;
        } else {
          out.append(aText, i, length);
        }
    }
    i += length;
  }
  return out;
}

std::string HexByte(unsigned char aByte) {
  const char digits[] = "0123456789ABCDEF";
  return std::string{'%', digits[aByte >> 4], digits[aByte & 15]};
}

// The exact form: '%' and every character XML cannot hold as %XX of its
// UTF-8 bytes, all else as it is.
std::string PercentEncoded(const std::string& aText) {
  std::string out;
  for (size_t i = 0; i < aText.size();) {
    unsigned long code = 0;
    size_t length = NextCharacter(aText, i, code);
    if (code == '%' || IsOutsideXml(code)) {
      for (size_t k = 0; k < length; ++k) out += HexByte(static_cast<unsigned char>(aText[i + k]));
    } else {
      out.append(aText, i, length);
    }
    i += length;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes PercentEncoded; false for text it cannot have written.
bool PercentDecoded(const std::string& aText, std::string& aOut) {
  std::string out;
  out.reserve(aText.size());
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] != '%') {
      out += aText[i];
      continue;
    }
    if (i + 2 >= aText.size() || HexDigit(aText[i + 1]) < 0 || HexDigit(aText[i + 2]) < 0) return false;
    out += static_cast<char>(HexDigit(aText[i + 1]) * 16 + HexDigit(aText[i + 2]));
    i += 2;
  }
  if (!IsUtf8(out)) return false;
  aOut = std::move(out);
  return true;
}

// name="value", and beside it the exact form when the value needed pictures.
std::string Attribute(const std::string& aName, const std::string& aValue) {
  bool replaced = false;
  std::string attribute = aName + "=\"" + Escaped(aValue, replaced) + "\"";
  if (replaced) {
    bool again = false;
    attribute += " " + std::string(KExactPrefix) + aName + "=\"" + Escaped(PercentEncoded(aValue), again) + "\"";
  }
  return attribute;
}

// Some backup apps write each half of a surrogate pair as a reference of its
// own ("&#55357;&#56832;"), which XML does not allow: joined into one
// reference before the parser sees them, and a half alone made U+FFFD.
std::string JoinedSurrogateReferences(const std::string& aText) {
  std::string out;
  out.reserve(aText.size());
  auto reference = [&](size_t aAt, unsigned long& aCode, size_t& aEnd) {
    if (aText.compare(aAt, 2, "&#") != 0) return false;
    size_t end = aText.find(';', aAt);
    if (end == std::string::npos || end - aAt > 12 || end - aAt < 3) return false;
    bool hex = aText[aAt + 2] == 'x' || aText[aAt + 2] == 'X';
    std::string digits = aText.substr(aAt + (hex ? 3 : 2), end - aAt - (hex ? 3 : 2));
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
      return false;
    aCode = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
    aEnd = end + 1;
    return true;
  };
  for (size_t i = 0; i < aText.size();) {
    unsigned long code = 0, low = 0;
    size_t end = 0, lowEnd = 0;
    if (aText[i] != '&' || !reference(i, code, end) || code < 0xD800 || code > 0xDFFF) {
      out += aText[i++];
      continue;
    }
    if (code <= 0xDBFF && reference(end, low, lowEnd) && low >= 0xDC00 && low <= 0xDFFF) {
      out += "&#" + std::to_string(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00)) + ";";
      i = lowEnd;
    } else {
      out += "&#65533;";
      i = end;
    }
  }
  return out;
}

// What the parser's handlers build as it goes.
struct TBackupReader {
  XML_Parser iParser = nullptr;
  std::vector<TMessageRecord>* iMessages = nullptr;
  std::string iError;
  int iDepth = 0;
  bool iSawRoot = false;
  int iIndex = 0;

  void Stop(const std::string& aError) {
    if (iError.empty()) iError = aError;
    XML_StopParser(iParser, XML_FALSE);
  }

  std::string Line() const { return std::to_string(XML_GetCurrentLineNumber(iParser)); }

  void Start(const std::string& aName, const XML_Char** aAttributes) {
    ++iDepth;
    if (iDepth == 1) {
      if (aName != "smses") {
        std::string shown = aName.size() > KMaxNameShown ? aName.substr(0, KMaxNameShown) + "..." : aName;
        Stop("the file is not an SMS backup (its first element is <" + shown + ">, not <smses>)");
      }
      iSawRoot = true;
      return;
    }
    if (iDepth != 2 || aName != "sms") return;
    std::map<std::string, std::string> attributes;
    for (const XML_Char** a = aAttributes; a[0] != nullptr; a += 2) attributes[a[0]] = a[1];
    // The exact form of a value, where the export wrote one.
    auto value = [&](const std::string& aKey) {
      std::string exact;
      auto written = attributes.find(KExactPrefix + aKey);
      if (written != attributes.end() && PercentDecoded(written->second, exact)) return exact;
      return attributes[aKey];
    };
    TMessageRecord message;
    message.iWhere = "message " + std::to_string(++iIndex) + " (line " + Line() + ")";
    message.iNumber = value("address");
    message.iText = WithLf(value("body"));
    std::string name = value("contact_name");
    message.iName = name == "(Unknown)" || name == "null" ? "" : name;
    const std::string& type = attributes["type"];
    if (type == "1") message.iFolder = EKvFolderInbox;
    else if (type == "2") message.iFolder = EKvFolderSent;
    else if (type == "3" || type == "4" || type == "5" || type == "6") message.iFolder = EKvFolderOutbox;
    else message.iRefusal = "unknown message type \"" + type.substr(0, 20) + "\"";
    char* end = nullptr;
    const std::string& date = attributes["date"];
    long long millis = std::strtoll(date.c_str(), &end, 10);
    if (date.empty() || *end != '\0' || millis < 0) {
      if (message.iRefusal.empty()) message.iRefusal = "no date";
    } else if (millis > KLatestUnixMillis) {
      if (message.iRefusal.empty()) message.iRefusal = "a date past the year 30000";
    } else {
      // 0 is what the export writes for a message with no date.
      message.iDate = millis == 0 ? FILETIME{0, 0} : FromUnixMillis(millis);
    }
    if (message.iRefusal.empty() && message.iNumber.empty() && message.iText.empty())
      message.iRefusal = "neither number nor text";
    iMessages->push_back(std::move(message));
  }

  void End() { --iDepth; }
};

void XMLCALL OnStart(void* aReader, const XML_Char* aName, const XML_Char** aAttributes) {
  static_cast<TBackupReader*>(aReader)->Start(aName, aAttributes);
}

void XMLCALL OnEnd(void* aReader, const XML_Char*) { static_cast<TBackupReader*>(aReader)->End(); }

// A backup never declares a document type: one that does may define
// entities (that expand without end, or name files), and is refused.
void XMLCALL OnDoctype(void* aReader, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  static_cast<TBackupReader*>(aReader)->Stop("the file declares a document type, which an SMS backup never does");
}

void XMLCALL OnEntity(void* aReader, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                      const XML_Char*, const XML_Char*) {
  static_cast<TBackupReader*>(aReader)->Stop("the file declares an entity, which an SMS backup never does");
}

struct TParserOwner {
  XML_Parser iParser;
  ~TParserOwner() { XML_ParserFree(iParser); }
};

}  // namespace

std::string SmsBackupStart(int aCount) {
  return "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"" + std::to_string(aCount) + "\">\n";
}

std::string SmsBackupElement(CKveMessagesItem& aMessage) {
  int type = aMessage.Folder() == EKvFolderSent ? 2 : aMessage.Folder() == EKvFolderOutbox ? 4 : 1;
  std::string name = Utf8(aMessage.Name());
  return "  <sms protocol=\"0\" " + Attribute("address", Utf8(aMessage.Number())) + " date=\"" +
         std::to_string(aMessage.HasDate() ? UnixMillis(aMessage.DateSentTime()) : 0) + "\" type=\"" + std::to_string(type) +
         "\" subject=\"null\" " + Attribute("body", WithLf(Utf8(aMessage.Text()))) +
         " toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\" locked=\"0\" date_sent=\"0\" " +
         Attribute("readable_date", Utf8(aMessage.DateSent())) + " " +
         Attribute("contact_name", name.empty() ? "(Unknown)" : name) + " />\n";
}

std::string SmsBackupEnd() { return "</smses>\n"; }

bool ReadSmsBackup(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError) {
  std::string text = JoinedSurrogateReferences(aText);
  TParserOwner owner{XML_ParserCreate(nullptr)};
  if (owner.iParser == nullptr) {
    aError = "no memory to read the file";
    return false;
  }
  std::vector<TMessageRecord> messages;
  TBackupReader reader;
  reader.iParser = owner.iParser;
  reader.iMessages = &messages;
  XML_SetUserData(owner.iParser, &reader);
  XML_SetElementHandler(owner.iParser, OnStart, OnEnd);
  XML_SetStartDoctypeDeclHandler(owner.iParser, OnDoctype);
  XML_SetEntityDeclHandler(owner.iParser, OnEntity);
  XML_SetParamEntityParsing(owner.iParser, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_Status status = XML_Parse(owner.iParser, text.data(), static_cast<int>(text.size()), XML_TRUE);
  if (!reader.iError.empty()) {
    aError = reader.iError + " (line " + reader.Line() + ")";
    return false;
  }
  if (status != XML_STATUS_OK) {
    XML_Error error = XML_GetErrorCode(owner.iParser);
    aError = !reader.iSawRoot && error == XML_ERROR_NO_ELEMENTS
                 ? "the file is not an SMS backup (no <smses> element)"
                 : std::string(reader.iSawRoot && error == XML_ERROR_NO_ELEMENTS ? "the file ends before </smses>: it is damaged or incomplete"
                                                                                    : "the file is not well-formed XML") +
                       " (line " + std::to_string(XML_GetCurrentLineNumber(owner.iParser)) + ", column " +
                       std::to_string(XML_GetCurrentColumnNumber(owner.iParser) + 1) + ": " + XML_ErrorString(error) + ")";
    return false;
  }
  aMessages.insert(aMessages.end(), std::make_move_iterator(messages.begin()), std::make_move_iterator(messages.end()));
  return true;
}

}  // namespace kvexchange
