#include "pdu.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gsm_text.h"

namespace phonesim {
namespace {

using Bytes = std::vector<uint8_t>;

bool IsDialDigits(const std::string& number) {
  if (number.empty()) return false;
  for (size_t i = 0; i < number.size(); ++i) {
    char c = number[i];
    bool ok = (c >= '0' && c <= '9') || c == '*' || c == '#' || (c == '+' && i == 0);
    if (!ok) return false;
  }
  return number != "+";
}

void AppendSemiOctets(const std::string& digits, Bytes& out) {
  auto nibble = [](char c) -> uint8_t {
    if (c == '*') return 0xA;
    if (c == '#') return 0xB;
    return static_cast<uint8_t>(c - '0');
  };
  for (size_t i = 0; i < digits.size(); i += 2) {
    uint8_t lo = nibble(digits[i]);
    uint8_t hi = i + 1 < digits.size() ? nibble(digits[i + 1]) : 0xF;
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
}

// Septets packed into octets, starting `fillBits` bits into the first octet.
void PackSeptets(const Bytes& septets, int fillBits, Bytes& out) {
  size_t totalBits = fillBits + septets.size() * 7;
  size_t base = out.size();
  out.resize(base + (totalBits + 7) / 8, 0);
  size_t bit = fillBits;
  for (uint8_t s : septets) {
    for (int k = 0; k < 7; ++k, ++bit) {
      if (s & (1 << k)) out[base + bit / 8] |= static_cast<uint8_t>(1 << (bit % 8));
    }
  }
}

// Septets read from octets, starting `bit` bits in.
Bytes UnpackSeptets(const Bytes& octets, size_t bit, size_t count) {
  Bytes septets;
  for (size_t i = 0; i < count && (bit + 7) <= octets.size() * 8; ++i, bit += 7) {
    uint8_t s = 0;
    for (int k = 0; k < 7; ++k) {
      size_t b = bit + k;
      if (octets[b / 8] & (1 << (b % 8))) s |= static_cast<uint8_t>(1 << k);
    }
    septets.push_back(s);
  }
  return septets;
}

// The concatenation element of a user data header.
Bytes ConcatHeader(const PartInfo& p) {
  if (p.total == 0) return {};
  if (p.referenceBits == 16) {
    return {0x06, 0x08, 0x04, static_cast<uint8_t>(p.reference >> 8), static_cast<uint8_t>(p.reference & 0xFF),
            static_cast<uint8_t>(p.total), static_cast<uint8_t>(p.part)};
  }
  return {0x05, 0x00, 0x03, static_cast<uint8_t>(p.reference), static_cast<uint8_t>(p.total),
          static_cast<uint8_t>(p.part)};
}

// Septets a header of that many octets takes, fill bits included.
size_t HeaderSeptets(size_t octets) {
  return (octets * 8 + 6) / 7;
}

// Room in one message: septets for 7-bit text, UTF-16 units for UCS2.
size_t Room(Coding coding, size_t headerOctets) {
  if (coding == Coding::kGsm7) return 160 - HeaderSeptets(headerOctets);
  return (140 - headerOctets) / 2;
}

// What one character takes in the coding: septets (1 or 2) or UTF-16 units.
size_t CharacterCost(Coding coding, char32_t c) {
  if (coding == Coding::kGsm7) {
    Bytes septets;
    ToGsmSeptets(std::u32string_view(&c, 1), septets);
    return septets.size();
  }
  return Utf16Length(std::u32string_view(&c, 1));
}

Bytes Utf16Octets(std::u32string_view text) {
  Bytes out;
  for (char16_t u : ToUtf16(text)) {
    out.push_back(static_cast<uint8_t>(u >> 8));
    out.push_back(static_cast<uint8_t>(u & 0xFF));
  }
  return out;
}

// The alphabet a data coding octet names (GSM 03.38 coding groups).
Coding CodingOf(uint8_t dcs) {
  int alphabet = -1;
  if ((dcs & 0x80) == 0) {
    alphabet = (dcs >> 2) & 0x03;
  } else if ((dcs & 0xF0) == 0xE0) {
    alphabet = 2;
  } else if ((dcs & 0xF0) == 0xF0) {
    alphabet = (dcs & 0x04) ? 1 : 0;
  }
  return alphabet == 1 ? Coding::kEightBit : alphabet == 2 ? Coding::kUcs2 : Coding::kGsm7;
}

// Originating or destination address: length in semi-octets, type, digits.
bool AppendAddress(const std::string& address, Bytes& out, std::string& error) {
  if (IsDialDigits(address)) {
    bool international = address[0] == '+';
    std::string digits = international ? address.substr(1) : address;
    if (digits.size() > 20) {
      error = "address \"" + address + "\" has more than 20 digits";
      return false;
    }
    out.push_back(static_cast<uint8_t>(digits.size()));
    out.push_back(international ? 0x91 : 0x81);
    AppendSemiOctets(digits, out);
    return true;
  }
  Bytes septets;
  if (!ToGsmSeptets(DecodeUtf8(address), septets) || septets.empty() || septets.size() > 11) {
    error = "address \"" + address + "\" is neither a number nor 1 to 11 GSM characters";
    return false;
  }
  Bytes packed;
  PackSeptets(septets, 0, packed);
  out.push_back(static_cast<uint8_t>((septets.size() * 7 + 3) / 4));
  out.push_back(0xD0);
  out.insert(out.end(), packed.begin(), packed.end());
  return true;
}

uint8_t SwappedBcd(int value) {
  return static_cast<uint8_t>((value % 10) << 4 | (value / 10) % 10);
}

bool AppendTimestamp(const std::string& time, Bytes& out, std::string& error) {
  int y, mo, d, h, mi, s;
  char tail[16] = {};
  int n = std::sscanf(time.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%15s", &y, &mo, &d, &h, &mi, &s, tail);
  bool ok = n >= 6 && y >= 1990 && y <= 2089 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 &&
            h < 24 && mi < 60 && s < 60 && h >= 0 && mi >= 0 && s >= 0;
  int quarters = 0;
  bool negative = false;
  std::string zone = n == 7 ? tail : "";
  if (ok && !zone.empty() && zone != "Z") {
    int zh = 0, zm = 0;
    ok = (zone[0] == '+' || zone[0] == '-') && std::sscanf(zone.c_str() + 1, "%2d:%2d", &zh, &zm) == 2 &&
         zh <= 14 && zm < 60 && zone.size() == 6;
    negative = zone[0] == '-';
    quarters = (zh * 60 + zm) / 15;
  }
  if (!ok) {
    error = "time \"" + time + "\" is not of the form 2002-12-31T23:59:59+00:00";
    return false;
  }
  for (int v : {y % 100, mo, d, h, mi, s}) out.push_back(SwappedBcd(v));
  out.push_back(static_cast<uint8_t>(SwappedBcd(quarters) | (negative ? 0x08 : 0)));
  return true;
}

bool AppendSmsc(const std::string& smsc, Bytes& out, std::string& error) {
  if (smsc.empty()) {
    out.push_back(0);
    return true;
  }
  if (!IsDialDigits(smsc)) {
    error = "service centre \"" + smsc + "\" is not a number";
    return false;
  }
  bool international = smsc[0] == '+';
  std::string digits = international ? smsc.substr(1) : smsc;
  Bytes body;
  body.push_back(international ? 0x91 : 0x81);
  AppendSemiOctets(digits, body);
  out.push_back(static_cast<uint8_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return true;
}

}  // namespace

const char* CodingName(Coding coding) {
  switch (coding) {
    case Coding::kGsm7: return "7bit";
    case Coding::kEightBit: return "8bit";
    case Coding::kUcs2: return "ucs2";
    case Coding::kAuto: return "auto";
  }
  return "auto";
}

Coding ChooseCoding(const std::string& utf8) {
  Bytes septets;
  return ToGsmSeptets(DecodeUtf8(utf8), septets) ? Coding::kGsm7 : Coding::kUcs2;
}

std::vector<std::string> SplitText(const std::string& utf8, Coding coding, int referenceBits) {
  if (coding == Coding::kAuto || coding == Coding::kEightBit) coding = ChooseCoding(utf8);
  std::u32string text = DecodeUtf8(utf8);
  size_t whole = 0;
  for (char32_t c : text) whole += CharacterCost(coding, c);
  if (whole <= Room(coding, 0)) return {utf8};
  size_t room = Room(coding, referenceBits == 16 ? 7 : 6);
  std::vector<std::string> parts;
  std::u32string part;
  size_t used = 0;
  for (char32_t c : text) {
    size_t cost = CharacterCost(coding, c);
    if (used + cost > room) {
      parts.push_back(EncodeUtf8(part));
      part.clear();
      used = 0;
    }
    part.push_back(c);
    used += cost;
  }
  if (!part.empty()) parts.push_back(EncodeUtf8(part));
  return parts;
}

bool EncodeTextMessage(const TextMessage& m, const std::string& smsc, std::string& pdu,
                       std::string& error) {
  Bytes out;
  if (!AppendSmsc(smsc, out, error)) return false;
  Bytes header = ConcatHeader(m.concat);
  uint8_t first = m.submit ? 0x01 : 0x04;  // SUBMIT; DELIVER with no more messages waiting
  if (!header.empty()) first |= 0x40;
  out.push_back(first);
  if (m.submit) out.push_back(0x00);  // message reference, given by the phone on sending
  if (!AppendAddress(m.address, out, error)) return false;
  out.push_back(0x00);  // protocol identifier

  std::u32string text = DecodeUtf8(m.text);
  Bytes septets;
  bool fitsAlphabet = ToGsmSeptets(text, septets);
  Coding coding = m.coding == Coding::kAuto ? (fitsAlphabet ? Coding::kGsm7 : Coding::kUcs2) : m.coding;
  if (coding == Coding::kGsm7 && !fitsAlphabet) {
    error = "text has characters outside the GSM alphabet, so it cannot go as 7-bit";
    return false;
  }
  if (coding == Coding::kEightBit) {
    error = "8-bit messages are given by \"pdu\"";
    return false;
  }
  out.push_back(coding == Coding::kGsm7 ? 0x00 : 0x08);
  if (!m.submit && !AppendTimestamp(m.time, out, error)) return false;

  if (coding == Coding::kGsm7) {
    size_t headerSeptets = header.empty() ? 0 : HeaderSeptets(header.size());
    if (headerSeptets + septets.size() > 160) {
      error = "text is longer than one message (" + std::to_string(septets.size()) + " septets)";
      return false;
    }
    out.push_back(static_cast<uint8_t>(headerSeptets + septets.size()));
    out.insert(out.end(), header.begin(), header.end());
    PackSeptets(septets, static_cast<int>(headerSeptets * 7 - header.size() * 8), out);
  } else {
    Bytes ucs2 = Utf16Octets(text);
    if (header.size() + ucs2.size() > 140) {
      error = "text is longer than one UCS2 message (" + std::to_string(ucs2.size() / 2) + " UTF-16 units)";
      return false;
    }
    out.push_back(static_cast<uint8_t>(header.size() + ucs2.size()));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), ucs2.begin(), ucs2.end());
  }
  pdu = ToHex(out);
  return true;
}

bool EncodeStatusReport(const StatusReport& r, const std::string& smsc, std::string& pdu, std::string& error) {
  Bytes out;
  if (!AppendSmsc(smsc, out, error)) return false;
  out.push_back(0x06);  // SMS-STATUS-REPORT, no more messages waiting, the result of a SUBMIT
  out.push_back(static_cast<uint8_t>(r.reference));
  if (!AppendAddress(r.recipient, out, error)) return false;
  if (!AppendTimestamp(r.sent, out, error) || !AppendTimestamp(r.delivered, out, error)) return false;
  out.push_back(static_cast<uint8_t>(r.status));
  pdu = ToHex(out);
  return true;
}

int TpduLength(const std::string& pdu) {
  Bytes bytes;
  if (!FromHex(pdu, bytes) || bytes.empty() || bytes[0] + 1u > bytes.size()) return -1;
  return static_cast<int>(bytes.size() - 1 - bytes[0]);
}

bool ReadSubmit(const std::string& pdu, Submit& s, std::string& error) {
  Bytes b;
  if (!FromHex(pdu, b) || b.empty()) {
    error = "not hexadecimal";
    return false;
  }
  size_t p = 1 + b[0];
  auto need = [&](size_t n) {
    if (p + n > b.size()) {
      error = "PDU ends early";
      return false;
    }
    return true;
  };
  if (!need(3)) return false;
  uint8_t first = b[p];
  if ((first & 0x03) != 0x01) {
    error = "not an SMS-SUBMIT";
    return false;
  }
  s = Submit{};
  s.reportRequested = (first & 0x20) != 0;
  s.reference = b[p + 1];
  p += 2;
  size_t digits = b[p];
  uint8_t type = b[p + 1];
  p += 2;
  if (!need((digits + 1) / 2)) return false;
  if ((type & 0x70) == 0x50) {
    s.recipient = "(alphanumeric)";
  } else {
    if ((type & 0x70) == 0x10) s.recipient = "+";
    static const char* kDigit = "0123456789*#abc";
    for (size_t i = 0; i < digits; ++i) {
      uint8_t octet = b[p + i / 2];
      uint8_t nibble = i % 2 == 0 ? octet & 0xF : octet >> 4;
      if (nibble == 0xF) break;
      s.recipient.push_back(kDigit[nibble]);
    }
  }
  p += (digits + 1) / 2;
  if (!need(2)) return false;
  s.dataCoding = b[p + 1];
  s.coding = CodingOf(b[p + 1]);
  p += 2;
  int vpf = (first >> 3) & 0x03;
  p += vpf == 0 ? 0 : vpf == 2 ? 1 : 7;
  if (!need(1)) return false;
  size_t udl = b[p++];
  size_t octets = s.coding == Coding::kGsm7 ? (udl * 7 + 7) / 8 : udl;
  if (!need(octets)) return false;
  if (p + octets != b.size()) {
    error = "PDU has octets after its user data";
    return false;
  }
  Bytes ud(b.begin() + static_cast<long>(p), b.end());
  size_t headerOctets = 0;
  if ((first & 0x40) && !ud.empty()) {
    headerOctets = 1 + ud[0];
    if (headerOctets > ud.size()) {
      error = "user data header longer than the user data";
      return false;
    }
    for (size_t i = 1; i + 1 < headerOctets;) {
      uint8_t id = ud[i], length = ud[i + 1];
      if (i + 2 + length > headerOctets) break;
      const uint8_t* v = &ud[i + 2];
      if (id == 0x00 && length == 3) s.concat = {v[0], v[1], v[2], 8};
      if (id == 0x08 && length == 4) s.concat = {v[0] << 8 | v[1], v[2], v[3], 16};
      i += 2 + length;
    }
  }
  if (s.coding == Coding::kGsm7) {
    size_t skip = headerOctets == 0 ? 0 : HeaderSeptets(headerOctets);
    size_t count = udl > skip ? udl - skip : 0;
    s.text = EncodeUtf8(FromGsmSeptets(UnpackSeptets(ud, skip * 7, count)));
  } else if (s.coding == Coding::kUcs2) {
    std::u16string units;
    for (size_t i = headerOctets; i + 1 < ud.size(); i += 2) units.push_back(static_cast<char16_t>(ud[i] << 8 | ud[i + 1]));
    s.text = EncodeUtf8(FromUtf16(units));
  } else {
    s.text = ToHex(Bytes(ud.begin() + static_cast<long>(std::min(headerOctets, ud.size())), ud.end()));
  }
  return true;
}

}  // namespace phonesim
