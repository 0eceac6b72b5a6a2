// A simulated phone: what it is, what it holds and how it misbehaves. Loaded
// from a JSON profile, changed by the session, written back in the same form.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace phonesim {

struct Identity {
  std::string manufacturer = "PHONESIM";
  std::string model = "PS-100";
  std::string revision = "V 1.00";
  std::string imei = "352099001761481";
  std::string imsi = "001010123456789";
};

struct Battery {
  int source = 0;  // 0 battery, 1 external power, 2 no battery, 3 power fault
  int level = 80;  // percent
};

struct Signal {
  int rssi = 15;  // 0..31, 99 unknown
  int ber = 99;
};

// The network as the phone sees it. Registration values are those of
// AT+CREG (0 not searching, 1 home, 2 searching, 3 denied, 5 roaming).
struct Network {
  std::string operatorName = "PHONESIM";
  int registration = 1;
  int epsRegistration = -1;  // AT+CEREG; -1: not offered (ERROR)
  int accessTechnology = 0;  // the fourth field of +COPS (0 GSM, 2 UTRAN, 7 E-UTRAN)
};

struct PhoneBookEntry {
  std::string number;
  int type = 129;    // 145 international, 129 otherwise
  std::string name;  // UTF-8
};

struct PhoneBook {
  int first = 1;
  int last = 250;
  int numberLength = 40;
  int nameLength = 18;
  std::map<int, PhoneBookEntry> entries;  // by location
};

struct StoredMessage {
  int status = 1;   // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
  std::string pdu;  // hexadecimal with the service centre part
  // The "from"/"to", "text", "time" form the profile gave, kept so that the
  // state written back reads like the profile; empty when given as a PDU.
  nlohmann::json source;
};

struct MessageStore {
  int capacity = 100;
  std::map<int, StoredMessage> messages;  // by index
};

struct SentMessage {
  std::string recipient;
  std::string pdu;
  int reference = 0;
};

struct Sms {
  std::string smsc = "+447785016005";
  bool namedCpms = false;  // "+CPMS: \"ME\",3,100,..." instead of "+CPMS: 3,100,..."
  std::map<std::string, MessageStore> stores;  // "ME", "SM"
  std::vector<SentMessage> sent;
  std::vector<int> sendErrors;  // +CMS ERROR codes for the next sends, in order
  // A message sent with a status report request gets its report this long
  // after it was sent, with this TP-ST (0 delivered, 0x20.. pending, 0x40.. failed).
  int reportDelayMs = 1000;
  int reportStatus = 0;
  // What AT+CNMI=? offers (mode, mt, bm, ds, bfr); none: the phone has no
  // AT+CNMI at all and answers ERROR.
  std::optional<std::string> cnmiOffer = std::string("(0-2),(0-3),(0,2),(0-2),(0,1)");
  // The message service (AT+CSMS): with 1 a message routed whole (+CMT) is
  // to be acknowledged with AT+CNMA; those never acknowledged are counted.
  int service = 0;
  int unacknowledged = 0;
  // AT+CPMS=? also offers "MT" (both stores, the phone's first) for receiving.
  bool offerMt = false;
  // How the memories are spelled on the line: "" ("ME", "SM") or "_P" ("ME_P", "SM_P").
  std::string memorySuffix;
};

struct Unsolicited {
  std::string after;  // a command line; the line follows its reply
  std::string line;
};

// A fault in the middle of an exchange: on the occurrence-th command that
// starts with `command`, only the first `lines` lines of the reply reach the
// line, then the phone falls silent for good or hangs up. With the pdu stage
// the command's own reply (the prompt) goes out whole and the cut falls on
// the reply to the message text that follows it. A fault is used up once it
// has happened, so the state written back no longer holds it.
struct Fault {
  std::string command;
  int occurrence = 1;  // counts down as matching commands pass
  int lines = 0;
  bool hangup = false;  // false: silence
  bool pduStage = false;
};

struct Quirks {
  bool echo = true;
  bool spaceAfterColon = true;
  int baud = 0;  // 0: unpaced
  int chunkMin = 0;
  int chunkMax = 0;  // 0: replies in one piece
  std::string emptyRangeReply = "OK";
  std::string hangAfter;
  int hangupAfterCommands = 0;
  // After that many commands the phone falls silent (no echo, no reply, no
  // announcement) for silenceMs, then answers again; once.
  int silenceAfterCommands = 0;
  int silenceMs = 0;
  std::vector<Unsolicited> unsolicited;
  std::vector<std::string> refuse;  // command lines answered with ERROR
  std::vector<Fault> faults;
  // How names go out in +CPBR while "UCS2" is selected: "hex" (UTF-16 as
  // hexadecimal), or as some real phones send them: "byte_swapped" (each
  // unit low octet first), "8bit_hex_00" (hexadecimal of the Latin-1 text
  // with a 00 after it), "plain" (the Latin-1 text, not hexadecimal at all).
  std::string ucs2Names = "hex";
  // When indications (+CMTI, +CDSI, lines given on the control channel) reach
  // the line: "at_once" (between replies), "mid_listing" (held for the next
  // AT+CMGL and put between its lines), "before_echo" (held for the next
  // command and sent before its echo).
  std::string indicationTiming = "at_once";
  // How identity, network and battery replies look: "plain" (identity as a
  // bare line), "prefixed" ("+CGMI: X", a quoted IMEI, +COPS with the access
  // technology, +CBC with the voltage), "labelled" ("Manufacturer: X",
  // "Revision: X", "IMEI: X").
  std::string statusReplies = "plain";
};

bool IsKnownStatusStyle(const std::string& style);

bool IsKnownUcs2NameForm(const std::string& form);

// The SIM and its codes. A wrong PIN costs an attempt; the last one lost
// asks for the PUK, the last PUK lost leaves a SIM that fails for good.
struct Sim {
  // "READY", "SIM PIN", "SIM PUK", "PH-SIM PIN", "absent" or "failure".
  std::string state = "READY";
  std::string pin = "1234";
  std::string puk = "12345678";
  int pinAttempts = 3;
  int pukAttempts = 10;
  // How the phone tells the attempts left: "cpinr" (AT+CPINR), "caret"
  // (AT^CPIN?, the form of some USB modem families) or "none".
  std::string attemptsQuery = "cpinr";
};

bool IsKnownSimState(const std::string& state);

// One USSD exchange: the reply to a request, or, inside a menu, to an answer
// (request "*100#>1": the answer 1 to the menu of *100#).
struct UssdStep {
  std::string request;
  std::string reply;  // UTF-8
  // How the text goes on the line: "packed" (7-bit septets as hexadecimal,
  // scheme 15), "ucs2" (UTF-16 hexadecimal, scheme 72), "plain" (the text in
  // the selected character set, scheme 15) or "silent" (no reply ever).
  std::string coding = "plain";
  bool menu = false;  // the network waits for an answer
};

bool IsKnownUssdCoding(const std::string& coding);

struct ScriptStep {
  std::string expect;
  std::string reply;
};

struct Profile {
  Identity identity;
  std::optional<Battery> battery = Battery{};
  std::optional<Signal> signal = Signal{};
  Network network;
  std::vector<std::string> charsets = {"GSM", "8859-1"};
  std::map<std::string, std::optional<PhoneBook>> phonebooks;  // "ME", "SM", "FD"; nullopt: refused
  Sms sms;
  Quirks quirks;
  Sim sim;
  std::vector<UssdStep> ussd;
  std::vector<ScriptStep> script;
};

// A typical phone: every field a profile leaves out.
Profile DefaultProfile();

// The largest profile file read: far above a phone's worth of messages.
constexpr size_t kMaxProfileBytes = 64 * 1024 * 1024;

// Reads and checks a profile. On failure returns false and a message that
// names the file, the position (line and column, or the field's path) and
// what is wrong.
bool LoadProfile(const std::string& path, Profile& profile, std::string& error);
bool ParseProfile(const std::string& text, const std::string& fileName, Profile& profile,
                  std::string& error);

// The state in profile form, loadable again.
nlohmann::ordered_json ProfileToJson(const Profile& profile);
bool SaveProfile(const std::string& path, const Profile& profile, std::string& error);

}  // namespace phonesim
