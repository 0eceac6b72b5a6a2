#include "exchange/sms_backup_xml.h"

#include <cstdlib>
#include <map>

#include "exchange/exchange_text.h"

namespace kvexchange {
namespace {

std::string Escaped(const std::string& aText) {
  std::string out;
  for (char c : aText) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '\t': out += "&#9;"; break;
      default: out += c;
    }
  }
  return out;
}

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

// Entities and character references undone. Some backup apps write each half
// of a surrogate pair as its own reference ("&#55357;&#56832;"): joined here.
std::string Unescaped(const std::string& aText) {
  std::string out;
  unsigned long pendingHigh = 0;
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] != '&') {
      out += aText[i];
      continue;
    }
    size_t end = aText.find(';', i);
    if (end == std::string::npos || end - i > 12) {
      out += '&';
      continue;
    }
    std::string name = aText.substr(i + 1, end - i - 1);
    unsigned long code = 0;
    if (name == "amp") code = '&';
    else if (name == "lt") code = '<';
    else if (name == "gt") code = '>';
    else if (name == "quot") code = '"';
    else if (name == "apos") code = '\'';
    else if (name.size() > 1 && name[0] == '#')
      code = name[1] == 'x' || name[1] == 'X' ? std::strtoul(name.c_str() + 2, nullptr, 16) : std::strtoul(name.c_str() + 1, nullptr, 10);
    if (code == 0 || code > 0x10FFFF) {
      out += '&';
      continue;
    }
    i = end;
    if (code >= 0xD800 && code <= 0xDBFF) {
      pendingHigh = code;
      continue;
    }
    if (code >= 0xDC00 && code <= 0xDFFF) {
      code = pendingHigh != 0 ? 0x10000 + ((pendingHigh - 0xD800) << 10) + (code - 0xDC00) : 0xFFFD;
    } else if (pendingHigh != 0) {
      AppendUtf8(out, 0xFFFD);
    }
    pendingHigh = 0;
    AppendUtf8(out, code);
  }
  return out;
}

struct TTag {
  std::string iName;
  std::map<std::string, std::string> iAttributes;
  bool iClosing = false;
  bool iEmpty = false;  // <sms ... />
};

// Reads the tag that starts at aText[aPos] ('<'); aPos moves past it.
// Declarations, comments and CDATA come back with an empty name.
bool ReadTag(const std::string& aText, size_t& aPos, TTag& aTag, std::string& aError) {
  auto skipTo = [&](const char* aEnd) {
    size_t end = aText.find(aEnd, aPos);
    if (end == std::string::npos) return false;
    aPos = end + std::string(aEnd).size();
    return true;
  };
  aTag = TTag();
  bool ok = true;
  if (aText.compare(aPos, 4, "<!--") == 0) ok = skipTo("-->");
  else if (aText.compare(aPos, 9, "<![CDATA[") == 0) ok = skipTo("]]>");
  else if (aText.compare(aPos, 2, "<?") == 0) ok = skipTo("?>");
  else if (aText.compare(aPos, 2, "<!") == 0) ok = skipTo(">");
  else {
    size_t pos = aPos + 1;
    if (pos < aText.size() && aText[pos] == '/') {
      aTag.iClosing = true;
      ++pos;
    }
    size_t nameEnd = aText.find_first_of(" \t\r\n/>", pos);
    if (nameEnd == std::string::npos) ok = false;
    else {
      aTag.iName = aText.substr(pos, nameEnd - pos);
      pos = nameEnd;
      while (ok) {
        pos = aText.find_first_not_of(" \t\r\n", pos);
        if (pos == std::string::npos) { ok = false; break; }
        if (aText[pos] == '>') { ++pos; break; }
        if (aText.compare(pos, 2, "/>") == 0) { aTag.iEmpty = true; pos += 2; break; }
        size_t equals = aText.find('=', pos);
        if (equals == std::string::npos) { ok = false; break; }
        std::string name = Trimmed(aText.substr(pos, equals - pos));
        size_t quote = aText.find_first_not_of(" \t\r\n", equals + 1);
        if (quote == std::string::npos || (aText[quote] != '"' && aText[quote] != '\'')) { ok = false; break; }
        size_t close = aText.find(aText[quote], quote + 1);
        if (close == std::string::npos) { ok = false; break; }
        aTag.iAttributes[name] = Unescaped(aText.substr(quote + 1, close - quote - 1));
        pos = close + 1;
      }
      aPos = pos;
    }
  }
  if (!ok) aError = "the file ends inside a tag: it is damaged or incomplete";
  return ok;
}

}  // namespace

std::string SmsBackupStart(int aCount) {
  return "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"" + std::to_string(aCount) + "\">\n";
}

std::string SmsBackupElement(CKveMessagesItem& aMessage) {
  int type = aMessage.Folder() == EKvFolderSent ? 2 : aMessage.Folder() == EKvFolderOutbox ? 4 : 1;
  std::string name = Utf8(aMessage.Name());
  return "  <sms protocol=\"0\" address=\"" + Escaped(Utf8(aMessage.Number())) + "\" date=\"" +
         std::to_string(UnixMillis(aMessage.DateSentTime())) + "\" type=\"" + std::to_string(type) +
         "\" subject=\"null\" body=\"" + Escaped(WithLf(Utf8(aMessage.Text()))) +
         "\" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\" locked=\"0\" date_sent=\"0\" "
         "readable_date=\"" + Escaped(Utf8(aMessage.DateSent())) + "\" contact_name=\"" +
         Escaped(name.empty() ? "(Unknown)" : name) + "\" />\n";
}

std::string SmsBackupEnd() { return "</smses>\n"; }

bool ReadSmsBackup(const std::string& aText, std::vector<TMessageRecord>& aMessages, std::string& aError) {
  std::vector<std::string> open;  // the elements we are inside
  bool sawRoot = false, rootClosed = false;
  int index = 0;
  size_t counted = 0;
  int line = 1;
  auto lineAt = [&](size_t aPos) {
    for (; counted < aPos; ++counted) line += aText[counted] == '\n';
    return line;
  };
  for (size_t pos = aText.find('<'); pos != std::string::npos && !rootClosed; pos = aText.find('<', pos)) {
    size_t start = pos;
    TTag tag;
    if (!ReadTag(aText, pos, tag, aError)) return false;
    if (tag.iName.empty()) continue;
    if (tag.iClosing) {
      if (open.empty() || open.back() != tag.iName) {
        aError = "line " + std::to_string(lineAt(start)) + ": </" + tag.iName + "> does not close an open element";
        return false;
      }
      open.pop_back();
      rootClosed = open.empty();
      continue;
    }
    if (!sawRoot) {
      if (tag.iName != "smses") {
        aError = "the file is not an SMS backup (its first element is <" + tag.iName + ">, not <smses>)";
        return false;
      }
      sawRoot = true;
    } else if (tag.iName == "sms" && open.size() == 1) {
      TMessageRecord message;
      message.iWhere = "message " + std::to_string(++index) + " (line " + std::to_string(lineAt(start)) + ")";
      message.iNumber = tag.iAttributes["address"];
      message.iText = WithLf(tag.iAttributes["body"]);
      std::string name = tag.iAttributes["contact_name"];
      message.iName = name == "(Unknown)" || name == "null" ? "" : name;
      std::string type = tag.iAttributes["type"];
      if (type == "1") message.iFolder = EKvFolderInbox;
      else if (type == "2") message.iFolder = EKvFolderSent;
      else if (type == "3" || type == "4" || type == "5" || type == "6") message.iFolder = EKvFolderOutbox;
      else message.iRefusal = "unknown message type \"" + type + "\"";
      char* end = nullptr;
      const std::string& date = tag.iAttributes["date"];
      long long millis = std::strtoll(date.c_str(), &end, 10);
      if (date.empty() || *end != '\0' || millis < 0) {
        if (message.iRefusal.empty()) message.iRefusal = "no date";
      } else if (millis > KLatestUnixMillis) {
        if (message.iRefusal.empty()) message.iRefusal = "a date past the year 30000";
      } else {
        message.iDate = FromUnixMillis(millis);
      }
      if (message.iRefusal.empty() && message.iNumber.empty() && message.iText.empty())
        message.iRefusal = "neither number nor text";
      aMessages.push_back(message);
    }
    if (!tag.iEmpty) open.push_back(tag.iName);
  }
  if (!sawRoot) {
    aError = "the file is not an SMS backup (no <smses> element)";
    return false;
  }
  if (!rootClosed) {
    aError = "the file ends before </smses>: it is damaged or incomplete";
    return false;
  }
  return true;
}

}  // namespace kvexchange
