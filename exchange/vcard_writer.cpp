#include "exchange/vcard_writer.h"

namespace kvexchange {
namespace {

// Backslash, comma, semicolon and line breaks escaped as text values need;
// U+0000, which no text file carries, as "\0", which our reader takes back.
std::string Escaped(const std::string& aText) {
  std::string out;
  for (char c : aText) {
    if (c == '\\' || c == ',' || c == ';') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\0') {
      out += "\\0";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

// Folds a content line after at most 75 octets, never inside a UTF-8
// sequence; continuation lines start with one space.
std::string Folded(const std::string& aLine) {
  std::string out;
  size_t lineOctets = 0;
  for (size_t i = 0; i < aLine.size();) {
    size_t length = 1;
    auto c = static_cast<unsigned char>(aLine[i]);
    if (c >= 0xF0) length = 4;
    else if (c >= 0xE0) length = 3;
    else if (c >= 0xC0) length = 2;
    if (lineOctets + length > 75) {
      out += "\r\n ";
      lineOctets = 1;
    }
    out.append(aLine, i, length);
    lineOctets += length;
    i += length;
  }
  return out + "\r\n";
}

}  // namespace

std::string VCard(const TContactRecord& aContact, int aVersion) {
  std::string card = "BEGIN:VCARD\r\n";
  card += aVersion == 4 ? "VERSION:4.0\r\n" : "VERSION:3.0\r\n";
  card += Folded("FN:" + Escaped(aContact.iName));
  // One name field only: it goes in the given name, as phones' own exports do.
  card += Folded("N:;" + Escaped(aContact.iName) + ";;;");
  if (!aContact.iNumber.empty())
    card += Folded(std::string(aVersion == 4 ? "TEL;VALUE=text;TYPE=cell:" : "TEL;TYPE=CELL:") + Escaped(aContact.iNumber));
  if (!aContact.iDetails.empty()) card += Folded("NOTE:" + Escaped(aContact.iDetails));
  if (!aContact.iStore.empty()) card += Folded("X-KORVANET-STORE:" + aContact.iStore);
  if (aContact.iLocation != -1) card += "X-KORVANET-LOCATION:" + std::to_string(aContact.iLocation) + "\r\n";
  return card + "END:VCARD\r\n";
}

}  // namespace kvexchange
