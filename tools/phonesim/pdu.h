// The simulator's own small PDU coder: builds SMS-DELIVER (and SMS-SUBMIT for
// stored outgoing messages) from a sender, a text and a time, splits long
// texts into parts, builds status reports, and reads the SMS-SUBMIT a client
// sends.
#pragma once

#include <string>
#include <vector>

namespace phonesim {

struct PartInfo {  // concatenated-message header
  int reference = 0;
  int total = 0;  // 0: not part of a long message
  int part = 0;
  int referenceBits = 8;  // 8 (element 0x00) or 16 (element 0x08)
};

enum class Coding { kAuto, kGsm7, kEightBit, kUcs2 };

struct TextMessage {
  bool submit = false;  // false: SMS-DELIVER from `address`; true: SMS-SUBMIT to it
  std::string address;  // "+447700900123", "12345" or an alphanumeric sender
  std::string text;     // UTF-8
  Coding coding = Coding::kAuto;  // auto: GSM 7-bit when the alphabet holds the text, else UCS2
  std::string time;     // "2002-12-31T23:59:59+00:00" (DELIVER only)
  PartInfo concat;
};

// The coding auto chooses for a text: 7-bit when the default alphabet and
// its extension table hold every character, else UCS2.
Coding ChooseCoding(const std::string& utf8);

// Splits a text into the texts of the parts of a long message in the coding
// (auto: chosen for the whole text), each part as much as it holds beside a
// header with a reference of that width; an escape stays with its character
// and a surrogate pair whole. One text when it fits a single message.
std::vector<std::string> SplitText(const std::string& utf8, Coding coding, int referenceBits);

// Hexadecimal PDU with the service centre part in front; false with a reason.
bool EncodeTextMessage(const TextMessage& message, const std::string& smsc, std::string& pdu,
                       std::string& error);

// An SMS-STATUS-REPORT for the message of that reference sent to the
// recipient: TP-ST 0x00 delivered, 0x20-0x2F still trying, 0x40-0x6F failed.
struct StatusReport {
  int reference = 0;
  std::string recipient;
  std::string sent;       // service centre time stamp, "2002-12-31T23:59:59+00:00"
  std::string delivered;  // discharge time
  int status = 0;
};
bool EncodeStatusReport(const StatusReport& report, const std::string& smsc, std::string& pdu, std::string& error);

// Length of the TPDU in octets (what AT+CMGS and +CMGL count), -1 when the
// hexadecimal is malformed.
int TpduLength(const std::string& pdu);

// An SMS-SUBMIT as sent after AT+CMGS, read back.
struct Submit {
  std::string recipient;
  int reference = 0;  // TP-MR as the client wrote it
  bool reportRequested = false;  // TP-SRR
  int dataCoding = 0;
  Coding coding = Coding::kGsm7;
  PartInfo concat;
  std::string text;  // UTF-8; 8-bit data as hexadecimal
};
// Checks an SMS-SUBMIT PDU (with its service centre part) and reads it.
bool ReadSubmit(const std::string& pdu, Submit& submit, std::string& error);

const char* CodingName(Coding coding);  // "7bit", "8bit", "ucs2", "auto"

}  // namespace phonesim
