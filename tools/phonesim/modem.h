// The AT command interpreter of the simulated phone: takes one command line,
// changes the phone's state and gives back the reply bytes, framed the way a
// GSM 07.07 / 07.05 phone frames them.
#pragma once

#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "at_command.h"
#include "profile.h"

namespace phonesim {

class Modem {
 public:
  explicit Modem(Profile& profile);

  // One command line without its carriage return. When the reply ends in the
  // "> " prompt, AwaitingPdu() is true until HandlePdu or CancelPdu.
  std::string HandleLine(const std::string& line);
  bool AwaitingPdu() const { return iPendingPduLength >= 0; }
  std::string HandlePdu(const std::string& hex);  // the text before Ctrl-Z
  std::string CancelPdu();                        // Esc instead of Ctrl-Z
  bool EchoOn() const { return iEcho; }
  // The phone restarts: the line's settings go back to their defaults, and
  // what was waiting for the line (announcements, acknowledgements) is lost.
  void Restart();

  // A message or status report arriving from the network (hexadecimal with
  // the service centre part), stored in the receive store or routed as
  // AT+CNMI asks. False when it had to be dropped: the store is full.
  bool ReceiveMessage(const std::string& pdu);
  bool ReceiveStatusReport(const std::string& pdu);
  // AT+CNMI's mode: 0 indications kept in the phone, 1 dropped while the line
  // is busy, 2 held while it is busy.
  int IndicationMode() const { return iCnmi[0]; }
  // The indications ready for the line (framed), taken by the session.
  std::vector<std::string> TakeIndications();

  // Messages sent with a status report request since the last call.
  struct ReportRequest {
    int reference = 0;
    std::string recipient;
  };
  std::vector<ReportRequest> TakeReportRequests();

 private:
  struct Outcome {
    enum Kind { kOk, kError, kCme, kCms, kPrompt, kLiteral };
    Kind kind = kOk;
    int code = 0;
    std::string literal;
    static Outcome Ok() { return {}; }
    static Outcome Error() { return {kError, 0, {}}; }
    static Outcome Cme(int n) { return {kCme, n, {}}; }
    static Outcome Cms(int n) { return {kCms, n, {}}; }
    static Outcome Prompt() { return {kPrompt, 0, {}}; }
    static Outcome Literal(std::string text) { return {kLiteral, 0, std::move(text)}; }
  };
  using Handled = std::optional<Outcome>;  // nullopt: not this group's command

  void Reset();
  Outcome Dispatch(const AtCommand& cmd);
  bool Refused(const AtCommand& cmd) const;
  std::string Frame(const Outcome& outcome);

  // Reply lines: "+NAME: body" (the colon's space per profile) or plain text.
  void Info(const std::string& prefix, const std::string& body);
  void InfoText(const std::string& line);
  std::string Colon() const;

  // modem_identity.cpp: identity, status and the line's own settings.
  Handled HandleGeneral(const AtCommand& cmd);
  // modem_status.cpp: the status replies in the profile's style.
  Handled HandleStatus(const AtCommand& cmd);
  // modem_phonebook.cpp
  Handled HandlePhoneBook(const AtCommand& cmd);
  Outcome ReadPhoneBook(const AtCommand& cmd);
  Outcome WritePhoneBook(const AtCommand& cmd);
  // modem_sms.cpp
  Handled HandleSms(const AtCommand& cmd);
  Outcome SelectMessageStores(const AtCommand& cmd);
  Outcome ListMessages(const AtCommand& cmd);
  Outcome ReadMessage(const AtCommand& cmd);
  Outcome DeleteMessages(const AtCommand& cmd);
  Outcome StartSend(const AtCommand& cmd);
  // The memories AT+CPMS=? offers; the receiving one may offer "MT" too.
  std::string StoreList(bool receiving) const;
  // A store's name on the line, and back ("" when the phone does not know it).
  std::string OnLine(const std::string& store) const;
  std::string Unspelled(const std::string& name) const;
  // Messages held and room in a store, or in both ("MT").
  std::pair<int, int> StoreCounts(const std::string& name) const;
  // modem_sim.cpp: the SIM's codes, and the commands a locked SIM refuses.
  Handled HandleSim(const AtCommand& cmd);
  Outcome EnterCode(const AtCommand& cmd);
  Handled SimLocked(const AtCommand& cmd) const;
  // modem_ussd.cpp
  Handled HandleUssd(const AtCommand& cmd);
  std::string UssdReplyLine(const UssdStep& step) const;
  // modem_notify.cpp: AT+CNMI and what arrives from the network.
  Outcome NewMessageIndications(const AtCommand& cmd);
  // The index, -1 when the store is full; the store it went into.
  int StoreIncoming(const std::string& pdu, std::string& store);
  void Indicate(const std::string& line);

  Profile& iProfile;
  std::vector<std::string> iInfo;  // lines of the reply being built
  bool iEcho = true;
  int iCmee = 0;
  std::string iCharset;
  std::string iPhoneBook;         // selected phone book store
  std::string iMessageStores[3];  // read/delete, write/send, receive
  int iMessageFormat = 0;         // 0 PDU; text mode is not offered
  int iPendingPduLength = -1;
  int iNextReference = 1;
  int iCnmi[5] = {0, 0, 0, 0, 0};  // mode, mt, bm, ds, bfr
  std::vector<std::string> iIndications;  // ready for the line
  std::vector<std::string> iBuffered;     // kept in the phone while the mode is 0
  std::vector<ReportRequest> iReportRequests;
  int iAcksOwed = 0;  // routed messages not acknowledged yet (service 1)
  std::string iUssdMenu;  // the request whose menu waits for an answer; empty: none
};

// Both message stores at once, as a receiving memory.
inline const std::string kBothStores = "MT";

}  // namespace phonesim
