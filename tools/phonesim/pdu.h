// The simulator's own small PDU coder: builds SMS-DELIVER (and SMS-SUBMIT for
// stored outgoing messages) from a sender, a text and a time, and reads the
// recipient out of the SMS-SUBMIT a client sends.
#pragma once

#include <string>

namespace phonesim {

struct PartInfo {  // concatenated-message header (8-bit reference)
  int reference = 0;
  int total = 0;  // 0: not part of a long message
  int part = 0;
};

struct TextMessage {
  bool submit = false;  // false: SMS-DELIVER from `address`; true: SMS-SUBMIT to it
  std::string address;  // "+447700900123", "12345" or an alphanumeric sender
  std::string text;     // UTF-8; GSM 7-bit when it fits the alphabet, else UCS2
  std::string time;     // "2002-12-31T23:59:59+00:00" (DELIVER only)
  PartInfo concat;
};

// Hexadecimal PDU with the service centre part in front; false with a reason.
bool EncodeTextMessage(const TextMessage& message, const std::string& smsc, std::string& pdu,
                       std::string& error);

// Length of the TPDU in octets (what AT+CMGS and +CMGL count), -1 when the
// hexadecimal is malformed.
int TpduLength(const std::string& pdu);

// Checks an SMS-SUBMIT PDU as sent after AT+CMGS and gives its recipient.
bool ReadSubmit(const std::string& pdu, std::string& recipient, std::string& error);

}  // namespace phonesim
