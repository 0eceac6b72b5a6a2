#include "pdu.h"

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

bool EncodeTextMessage(const TextMessage& m, const std::string& smsc, std::string& pdu,
                       std::string& error) {
  Bytes out;
  if (!AppendSmsc(smsc, out, error)) return false;
  bool hasHeader = m.concat.total > 0;
  uint8_t first = m.submit ? 0x01 : 0x04;  // SUBMIT; DELIVER with no more messages waiting
  if (hasHeader) first |= 0x40;
  out.push_back(first);
  if (m.submit) out.push_back(0x00);  // message reference, given by the phone on sending
  if (!AppendAddress(m.address, out, error)) return false;
  out.push_back(0x00);  // protocol identifier

  Bytes header;
  if (hasHeader) {
    header = {0x05, 0x00, 0x03, static_cast<uint8_t>(m.concat.reference),
              static_cast<uint8_t>(m.concat.total), static_cast<uint8_t>(m.concat.part)};
  }
  std::u32string text = DecodeUtf8(m.text);
  Bytes septets;
  bool sevenBit = ToGsmSeptets(text, septets);
  out.push_back(sevenBit ? 0x00 : 0x08);
  if (!m.submit && !AppendTimestamp(m.time, out, error)) return false;

  if (sevenBit) {
    size_t headerSeptets = (header.size() * 8 + 6) / 7;
    if (headerSeptets + septets.size() > 160) {
      error = "text is longer than one message (" + std::to_string(septets.size()) + " septets)";
      return false;
    }
    out.push_back(static_cast<uint8_t>(headerSeptets + septets.size()));
    out.insert(out.end(), header.begin(), header.end());
    PackSeptets(septets, static_cast<int>(headerSeptets * 7 - header.size() * 8), out);
  } else {
    Bytes ucs2;
    for (char32_t c : text) {
      unsigned u = c > 0xFFFF ? 0xFFFD : static_cast<unsigned>(c);
      ucs2.push_back(static_cast<uint8_t>(u >> 8));
      ucs2.push_back(static_cast<uint8_t>(u & 0xFF));
    }
    if (header.size() + ucs2.size() > 140) {
      error = "text is longer than one UCS2 message (" + std::to_string(text.size()) + " characters)";
      return false;
    }
    out.push_back(static_cast<uint8_t>(header.size() + ucs2.size()));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), ucs2.begin(), ucs2.end());
  }
  pdu = ToHex(out);
  return true;
}

int TpduLength(const std::string& pdu) {
  Bytes bytes;
  if (!FromHex(pdu, bytes) || bytes.empty() || bytes[0] + 1u > bytes.size()) return -1;
  return static_cast<int>(bytes.size() - 1 - bytes[0]);
}

bool ReadSubmit(const std::string& pdu, std::string& recipient, std::string& error) {
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
  p += 2;  // first octet, message reference
  size_t digits = b[p];
  uint8_t type = b[p + 1];
  p += 2;
  if (!need((digits + 1) / 2)) return false;
  recipient.clear();
  if ((type & 0x70) == 0x50) {
    recipient = "(alphanumeric)";
  } else {
    if ((type & 0x70) == 0x10) recipient = "+";
    static const char* kDigit = "0123456789*#abc";
    for (size_t i = 0; i < digits; ++i) {
      uint8_t octet = b[p + i / 2];
      uint8_t nibble = i % 2 == 0 ? octet & 0xF : octet >> 4;
      if (nibble == 0xF) break;
      recipient.push_back(kDigit[nibble]);
    }
  }
  p += (digits + 1) / 2;
  if (!need(2)) return false;
  uint8_t dcs = b[p + 1];
  p += 2;
  int vpf = (first >> 3) & 0x03;
  p += vpf == 0 ? 0 : vpf == 2 ? 1 : 7;
  if (!need(1)) return false;
  size_t udl = b[p++];
  bool sevenBit = (dcs & 0xC0) == 0 ? (dcs & 0x0C) == 0 : (dcs & 0xF0) == 0xF0 ? (dcs & 0x04) == 0 : false;
  size_t octets = sevenBit ? (udl * 7 + 7) / 8 : udl;
  if (!need(octets)) return false;
  if (p + octets != b.size()) {
    error = "PDU has octets after its user data";
    return false;
  }
  return true;
}

}  // namespace phonesim
