// Phone book stores: selecting, limits, reading ranges, writing and blanking.
#include "gsm_text.h"
#include "modem.h"

namespace phonesim {
namespace {

std::string Range(const PhoneBook& book) {
  return "(" + std::to_string(book.first) + "-" + std::to_string(book.last) + ")";
}

// A name as it goes out in +CPBR: in the selected character set or, with
// "UCS2" selected, in the form the profile's quirk asks for.
std::string NameOnLine(const std::string& charset, const std::string& form, const std::string& name) {
  if (NormalizeCommand(charset) != "UCS2" || form == "hex") return EncodeCharset(charset, name);
  std::string latin1 = EncodeCharset("8859-1", name);
  if (form == "plain") return latin1;
  if (form == "8bit_hex_00") return ToHex(std::vector<uint8_t>(latin1.begin(), latin1.end())) + "00";
  std::vector<uint8_t> swapped;  // byte_swapped
  for (char16_t u : ToUtf16(DecodeUtf8(name))) {
    swapped.push_back(static_cast<uint8_t>(u & 0xFF));
    swapped.push_back(static_cast<uint8_t>(u >> 8));
  }
  return ToHex(swapped);
}

// The name cut to the store's length in UTF-16 units, a surrogate pair kept whole.
std::string CutName(const std::string& name, int length) {
  std::u32string text = DecodeUtf8(name);
  std::u32string kept;
  size_t units = 0;
  for (char32_t c : text) {
    units += Utf16Length(std::u32string_view(&c, 1));
    if (units > static_cast<size_t>(length)) break;
    kept.push_back(c);
  }
  return EncodeUtf8(kept);
}

}  // namespace

Modem::Handled Modem::HandlePhoneBook(const AtCommand& cmd) {
  if (cmd.name == "+CPBS") {
    if (cmd.kind == AtCommand::kTest) {
      std::string list;
      for (const char* name : {"ME", "SM", "FD"}) {
        auto it = iProfile.phonebooks.find(name);
        if (it != iProfile.phonebooks.end() && it->second) list += std::string(list.empty() ? "" : ",") + "\"" + name + "\"";
      }
      Info("+CPBS", "(" + list + ")");
      return Outcome::Ok();
    }
    if (cmd.kind == AtCommand::kRead) {
      auto it = iProfile.phonebooks.find(iPhoneBook);
      if (it == iProfile.phonebooks.end() || !it->second) return Outcome::Error();
      const PhoneBook& book = *it->second;
      Info("+CPBS", "\"" + iPhoneBook + "\"," + std::to_string(book.entries.size()) + "," +
                        std::to_string(book.last - book.first + 1));
      return Outcome::Ok();
    }
    std::string name;
    if (cmd.kind != AtCommand::kSet || !ArgString(SplitArgs(cmd.args)[0], name)) return Outcome::Error();
    name = NormalizeCommand(name);
    auto it = iProfile.phonebooks.find(name);
    if (it == iProfile.phonebooks.end() || !it->second) return Outcome::Error();
    iPhoneBook = name;
    return Outcome::Ok();
  }
  if (cmd.name != "+CPBR" && cmd.name != "+CPBW") return std::nullopt;

  auto it = iProfile.phonebooks.find(iPhoneBook);
  if (it == iProfile.phonebooks.end() || !it->second) return Outcome::Cme(3);
  const PhoneBook& book = *it->second;
  if (cmd.kind == AtCommand::kTest) {
    if (cmd.name == "+CPBR") {
      Info("+CPBR", Range(book) + "," + std::to_string(book.numberLength) + "," + std::to_string(book.nameLength));
    } else {
      Info("+CPBW", Range(book) + "," + std::to_string(book.numberLength) + ",(129,145)," +
                        std::to_string(book.nameLength));
    }
    return Outcome::Ok();
  }
  if (cmd.kind != AtCommand::kSet) return Outcome::Error();
  return cmd.name == "+CPBR" ? ReadPhoneBook(cmd) : WritePhoneBook(cmd);
}

Modem::Outcome Modem::ReadPhoneBook(const AtCommand& cmd) {
  const PhoneBook& book = *iProfile.phonebooks[iPhoneBook];
  std::vector<std::string> args = SplitArgs(cmd.args);
  int low, high;
  if (args.size() > 2 || !ArgInt(args[0], low)) return Outcome::Cme(21);
  high = low;
  if (args.size() == 2 && !ArgInt(args[1], high)) return Outcome::Cme(21);
  if (low < book.first || high > book.last || low > high) return Outcome::Cme(21);
  bool any = false;
  for (auto e = book.entries.lower_bound(low); e != book.entries.end() && e->first <= high; ++e) {
    any = true;
    Info("+CPBR", std::to_string(e->first) + ",\"" + e->second.number + "\"," + std::to_string(e->second.type) +
                      ",\"" + NameOnLine(iCharset, iProfile.quirks.ucs2Names, e->second.name) + "\"");
  }
  if (any) return Outcome::Ok();
  const std::string& empty = iProfile.quirks.emptyRangeReply;
  return empty == "OK" ? Outcome::Ok() : Outcome::Literal(empty);
}

Modem::Outcome Modem::WritePhoneBook(const AtCommand& cmd) {
  PhoneBook& book = *iProfile.phonebooks[iPhoneBook];
  std::vector<std::string> args = SplitArgs(cmd.args);
  if (args.size() > 4) return Outcome::Cme(4);
  int location = 0;
  if (args[0].find_first_not_of(' ') == std::string::npos) {
    // No location: the first free one, as for a new contact.
    for (location = book.first; location <= book.last && book.entries.count(location); ++location) {
    }
    if (location > book.last) return Outcome::Cme(20);
    if (args.size() == 1) return Outcome::Cme(21);
  } else if (!ArgInt(args[0], location)) {
    return Outcome::Cme(21);
  }
  if (location < book.first || location > book.last) return Outcome::Cme(21);
  if (args.size() == 1) {  // a location and nothing else empties it
    book.entries.erase(location);
    return Outcome::Ok();
  }
  PhoneBookEntry entry;
  if (!ArgString(args[1], entry.number)) return Outcome::Cme(26);
  if (static_cast<int>(entry.number.size()) > book.numberLength) return Outcome::Cme(26);
  entry.type = !entry.number.empty() && entry.number[0] == '+' ? 145 : 129;
  if (args.size() > 2 && args[2].find_first_not_of(' ') != std::string::npos) {
    if (!ArgInt(args[2], entry.type) || entry.type < 128 || entry.type > 255) return Outcome::Cme(4);
  }
  if (args.size() > 3) {
    std::string raw;
    if (!ArgString(args[3], raw) || !DecodeCharset(iCharset, raw, entry.name)) return Outcome::Cme(25);
    // Like many phones, a name longer than the store takes is cut, not refused.
    entry.name = CutName(entry.name, book.nameLength);
  }
  book.entries[location] = entry;
  return Outcome::Ok();
}

}  // namespace phonesim
