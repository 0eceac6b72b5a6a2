// Every command with its options and help, and what the commands share.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/document/kv_message_limits.h"
#include "kernel/errors.h"
#include "store/messages.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"
#include "tools/cli/interrupt_watcher.h"

namespace kvcli {
namespace {

const TOptionSpec KYes{"yes", false};

}  // namespace

const std::vector<TCommandSpec>& Commands() {
  static const std::vector<TCommandSpec> commands = {
      {"messages download", "", "download every message on the phone into the local folders",
       "Received messages go to the Inbox, stored outgoing ones to the Outbox or Sent.\n"
       "A message already stored (same number, name and text) is not stored twice.\n",
       {}, 0, 0, MessagesDownload},
      {"messages delete-on-phone", "[--yes]", "delete every message stored on the phone",
       "Asks first; --yes skips the question. The local folders are not touched.\n", {KYes}, 0, 0,
       MessagesDeleteOnPhone},
      {"messages list", "[--folder all|inbox|outbox|sent]", "list the local messages, newest last",
       "Columns: identifier, folder (when listing all), date, name or number, text on one line.\n"
       "Without --folder every folder is listed.\n",
       {{"folder", true}}, 0, 0, MessagesList},
      {"messages show", "ID", "show one message whole", "", {}, 1, 1, MessagesShow},
      {"messages new", "--to NAME-OR-NUMBER --text TEXT", "save a new message in the Outbox and print its identifier",
       "--to is a contact's name (exactly as listed: the message goes to that contact's\n"
       "number) or a phone number. The text may hold line breaks (a line break counts\n"
       "two) and any script: a long text goes as several messages, one with characters\n"
       "the GSM alphabet lacks as Unicode; at most " +
           std::to_string(KKvMaxMessageText) + " characters.\n",
       {{"to", true}, {"text", true}}, 0, 0, MessagesNew},
      {"messages send", "ID", "send a message through the phone; on success it moves to Sent",
       "An Outbox message is sent and moved to Sent. An Inbox or Sent message is first\n"
       "copied to the Outbox and the copy is sent; the original stays where it is.\n"
       "A refused or failed send leaves the message in the Outbox (exit status 1).\n"
       "Sending needs the service centre number: korvanet-cli settings --smsc NUMBER.\n",
       {}, 1, 1, MessagesSend},
      {"messages delete", "ID...", "delete local messages", "", {}, 1, SIZE_MAX, MessagesDelete},
      {"messages export", "[--folder all|inbox|outbox|sent] [--format json|csv|xml] [FILE]",
       "write the local messages to a file (standard output without FILE)",
       "json: the objects 'messages list --json' prints, dates in ISO 8601 (UTC).\n"
       "csv:  a header row (Folder, Name, Number, Date, Text), then one message a row;\n"
       "      a cell a spreadsheet would run (=, +, -, @ first) gets a ' ahead.\n"
       "xml:  the <smses> backup that Android's SMS backup apps read and write;\n"
       "      characters XML cannot hold show as their pictures, exact in korvanet_body.\n"
       "The file is written private (0600) and whole, or not at all.\n",
       {{"folder", true}, {"format", true}}, 0, 1, MessagesExport},
      {"messages import", "FILE", "add the messages of a JSON, CSV or Android backup XML file",
       "Received messages go to the Inbox, sent ones to Sent, unsent ones to the Outbox.\n"
       "A message already stored (same number, name and text) is skipped, so importing\n"
       "a file twice adds nothing. A file that cannot be read whole adds nothing.\n",
       {}, 1, 1, MessagesImport},
      {"messages search", "TEXT [--folder all|inbox|outbox|sent]",
       "find the local messages whose text, name or number holds TEXT, newest first",
       "Case and accents do not matter (e = \u00e9, ss = \u00df); any script, Chinese and Japanese\n"
       "without spaces too. Columns: identifier, folder, date, name or number, the text\n"
       "around the match. TEXT holds at most " +
           std::to_string(KMaxSearchLength) + " characters.\n",
       {{"folder", true}}, 1, 1, MessagesSearch},
      {"conversations list", "", "list the conversations, one per person, the latest first",
       "One line each: the contact's name (else the number or the sender), the date of\n"
       "the last message, how many messages, and the start of the last one. A number\n"
       "written nationally or internationally (07700 900123, +44 7700 900123,\n"
       "0044 7700 900123) is one person, read in the home country's numbering plan:\n"
       "the SIM's country as the phone last told it, else the service centre number's,\n"
       "else 'settings --home-country'.\n",
       {}, 0, 0, ConversationsList},
      {"conversations show", "NUMBER-OR-NAME", "show one conversation, oldest message first",
       "NUMBER-OR-NAME is a contact's name (exactly as listed), a number in any form, or\n"
       "the name a sender such as a bank writes instead of a number.\n",
       {}, 1, 1, ConversationsShow},
      {"send", "--to NAME-OR-NUMBER --text TEXT", "write and send a message at once (messages new, then send)",
       "Prints the message's identifier. See 'messages new' and 'messages send'.\n",
       {{"to", true}, {"text", true}}, 0, 0, SendNew},
      {"contacts download", "", "read the phone books (SIM and phone memory) into the local contacts",
       "Local contacts marked deleted or edited are tidied up as after an upload.\n", {}, 0, 0, ContactsDownload},
      {"contacts upload", "", "write local changes (new, edited, deleted contacts) to the phone",
       "", {}, 0, 0, ContactsUpload},
      {"contacts delete-on-phone", "[--yes]", "delete every entry of the phone's phone books",
       "Asks first; --yes skips the question.\n", {KYes}, 0, 0, ContactsDeleteOnPhone},
      {"contacts list", "[--store all|sim|phone]", "list the local contacts (those not marked deleted)",
       "Columns: identifier, phone book (sim, phone or both), name, number, state\n"
       "(new, edited or on-phone).\n",
       {{"store", true}}, 0, 0, ContactsList},
      {"contacts add", "--name N --number M [--store sim|phone] [--details D]",
       "add a contact locally (uploaded by 'contacts upload') and print its identifier",
       "New contacts go to the SIM unless --store phone is given. Name and number hold\n"
       "at most 63 characters, the details 255.\n",
       {{"name", true}, {"number", true}, {"store", true}, {"details", true}}, 0, 0, ContactsAdd},
      {"contacts edit", "ID [--name N] [--number M] [--details D]", "change a local contact",
       "A contact that is on the phone is marked edited and rewritten at the next upload;\n"
       "its old entry on the phone is blanked then.\n",
       {{"name", true}, {"number", true}, {"details", true}}, 1, 1, ContactsEdit},
      {"contacts delete", "ID...", "delete contacts locally; the next upload removes them from the phone", "", {}, 1,
       SIZE_MAX, ContactsDelete},
      {"contacts export", "[--format vcard|csv|json] [--vcard-version 3|4] [--store all|sim|phone] [FILE]",
       "write the local contacts to a file (standard output without FILE)",
       "vcard: one vCard 3.0 (or 4.0) per contact, UTF-8; the phone book and location\n"
       "       travel as X-KORVANET-STORE and X-KORVANET-LOCATION.\n"
       "csv:   a header row (Name, Number, Details, Store, Location), then one contact a row.\n",
       {{"format", true}, {"vcard-version", true}, {"store", true}}, 0, 1, ContactsExport},
      {"contacts import", "FILE [--store sim|phone] [--dry-run]",
       "add the contacts of a vCard (2.1, 3.0, 4.0), CSV or JSON file",
       "A contact whose name and number are stored already is skipped (numbers compared\n"
       "without spaces and dashes, 00 as +); one with another number is added. Cards\n"
       "without a name or a number, or with a number a phone cannot store, are refused.\n"
       "Imported contacts are new and go to the phone at the next upload; --store puts\n"
       "them all in one phone book (else the file's, else the SIM). --dry-run only counts.\n"
       "A file that cannot be read whole adds nothing.\n",
       {{"store", true}, {"dry-run", false}}, 1, 1, ContactsImport},
      {"backup", "FILE", "save the contacts, messages and settings in one file",
       "Safe while the windowed program runs: the copy is one consistent state.\n", {}, 1, 1, Backup},
      {"restore", "FILE [--yes]", "replace the contacts, messages and settings with a backup's",
       "The file is checked whole first; a damaged, incomplete or foreign file is\n"
       "refused and nothing changes. Asks first; --yes skips the question. The files\n"
       "replaced are copied as they are into a new folder in My Documents under the\n"
       "data folder.\n",
       {KYes}, 1, 1, Restore},
      {"settings", "[--smsc NUMBER] [--log on|off] [--view list|split] [--reports on|off] [--parts-wait TIME]"
       " [--poll TIME] [--reset-after TRIES] [--home-country CODE]",
       "show or change the settings",
       "--smsc   the SMS service centre number, in international format (+44...); your\n"
       "         phone shows it among its message settings. Needed for sending.\n"
       "--log    the diagnostic log, My Documents/KorvanetLog.Txt under the data folder\n"
       "--view   how the windowed program shows the message folders\n"
       "--reports  request delivery reports: each message sent asks the network for a\n"
       "         status report, and Sent shows whether it was delivered\n"
       "--parts-wait  how long a long message waits for parts that have not arrived\n"
       "         before it is passed on as it is, each missing part shown as [\u2026]:\n"
       "         seconds, or a number with s, m, h or d (default 24h, at most 30d)\n"
       "--poll   how often listening asks a phone that announces no new messages for\n"
       "         them (default 30s, at most 1d)\n"
       "--reset-after  listening restarts a phone that has not answered this many\n"
       "         tries (AT+CFUN=1,1); 0, the default, never\n"
       "--home-country  the country whose national numbers (07700 900123) conversations\n"
       "         read, as a two-letter code (GB, DE, US), when neither the SIM nor the\n"
       "         service centre number tells\n"
       "Without options the settings are shown, with the phone-country the SIM gave at\n"
       "the last connect (it outranks --home-country).\n",
       {{"smsc", true}, {"log", true}, {"view", true}, {"reports", true}, {"parts-wait", true}, {"poll", true},
        {"reset-after", true}, {"home-country", true}},
       0, 0, Settings},
      {"listen", "[--exec COMMAND] [--exec-timeout SECONDS] [--delete-after-store]",
       "keep the port open and store each new message as it arrives",
       "Messages already on the phone are taken first. Each message is printed once it is\n"
       "stored in the Inbox (one JSON object a line with --json); a long message once all\n"
       "its parts are in.\n"
       "--exec                run COMMAND with /bin/sh for each message, one at a time: the\n"
       "                      message in KORVANET_ID, KORVANET_NUMBER, KORVANET_NAME,\n"
       "                      KORVANET_TEXT and KORVANET_DATE, and as JSON on its standard\n"
       "                      input. A failing command is reported and listening goes on.\n"
       "--exec-timeout        stop a command still running after SECONDS (default 60)\n"
       "--delete-after-store  delete each message from the phone once it is stored\n"
       "A phone that stops answering or whose port goes (also one that comes back as\n"
       "another device: it is opened by its /dev/serial/by-id name) is waited for and\n"
       "taken up again. A phone that announces nothing is asked every 'settings --poll'.\n"
       "Ctrl-C or SIGTERM ends listening\n"
       "(exit status 0) once the commands of the messages stored so far have run.\n",
       {{"exec", true}, {"exec-timeout", true}, {"delete-after-store", false}}, 0, 0, Listen},
      {"ports", "", "list the serial devices and the modems that answer on them",
       "Each ttyUSB, ttyACM and rfcomm device, with its stable /dev/serial/by-id names\n"
       "(on the lines starting with '='): busy (and by which process, when that can be\n"
       "seen), not permitted (join the dialout group), or free. Each free one is asked\n"
       "AT, all at once: one that answers shows its maker, model, IMEI and whether it\n"
       "takes SMS commands; one that does not is 'no answer'. Nothing is changed on a\n"
       "modem. A by-id name is the one to give --port: it stays the same after a\n"
       "reboot; --port imei:NUMBER picks the modem with that IMEI.\n",
       {}, 0, 0, Ports},
      {"status", "", "show the phone's maker, model, SIM, network, signal, battery and storage",
       "Maker, model, firmware, IMEI, SIM state, operator, registration (home, roaming,\n"
       "searching, denied, not registered), signal in dBm and bars, battery, and the\n"
       "message stores' use. What the phone does not tell is shown as unknown (null\n"
       "with --json).\n",
       {}, 0, 0, Status},
      {"ussd", "CODE [--reply TEXT]...", "send a USSD code (a balance query, *100#) and print the network's reply",
       "CODE holds digits, * and # only. When the network answers with a menu, the\n"
       "--reply values answer it in order; without one left, a terminal asks for the\n"
       "answer (an empty line ends the session), and a script's session ends with\n"
       "exit status 1. --json prints every reply: [{\"menu\": true|false, \"text\": ...}].\n",
       {{"reply", true, true}}, 1, 1, Ussd},
      {"gateway",
       "--broker URL [--id ID] [--prefix P] [--username U] [--password-file F] [--ca-file F] [--cert F --key F] "
       "[--ha-discovery [PREFIX]] [--delete-after-store]",
       "listen, and pass messages to and from an MQTT broker",
       "URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]. Topics, P the prefix (default\n"
       "korvanet) and I the id (by default the modem's IMEI):\n"
       "  P/I/availability  online, or offline (retained; also the will)\n"
       "  P/I/status        the modem's status as 'status --json' prints it (retained)\n"
       "  P/I/received      each stored message as JSON, once, in order (QoS 1)\n"
       "  P/I/send, P/send  send requests {\"to\", \"text\", \"id\", \"report\"} (P/send is\n"
       "                    shared by a fleet: each request goes to one gateway)\n"
       "  P/I/sent          results {\"id\", \"result\", \"message_id\", \"parts\", \"error\"},\n"
       "                    also to a request's response topic\n"
       "  P/I/delivery      delivery reports {\"id\", \"message_id\", \"state\", \"time\"}\n"
       "  P/I/ussd          USSD requests {\"code\", \"replies\", \"id\"}, one at a time;\n"
       "                    answered on P/I/ussd/reply\n"
       "--password-file     the broker's password, in a file only you can read\n"
       "--ca-file           the certificate authority that signed the broker's certificate\n"
       "--cert, --key       a client certificate and its key\n"
       "--ha-discovery      retained home-automation discovery configs under PREFIX\n"
       "                    (default homeassistant): the modem as a device with its\n"
       "                    signal, battery, operator, registration, last message, an\n"
       "                    event for each message and a notify entity that sends\n"
       "                    (its message \"NUMBER-OR-CONTACT: TEXT\")\n"
       "A message stored while the broker is away is published when it is back. Ctrl-C\n"
       "or SIGTERM ends the gateway (exit status 0).\n",
       {{"broker", true}, {"id", true}, {"prefix", true}, {"username", true}, {"password-file", true},
        {"ca-file", true}, {"cert", true}, {"key", true}, {"delete-after-store", false},
        {"ha-discovery", true, false, true}},
       0, 0, Gateway},
  };
  return commands;
}

std::string ToolHelp() {
  std::string help =
      "Usage: korvanet-cli [--root DIR] [--port DEVICE] [--pin-file FILE] [--json] COMMAND ...\n"
      "\n"
      "Korvanet without the windows: talks to a GSM phone on COM3: and keeps the same\n"
      "contacts, messages and settings as the windowed program.\n"
      "\n"
      "Options:\n"
      "  --root DIR      the data folder (default $KORVANET_ROOT, else ~/.local/share/korvanet)\n"
      "  --port DEVICE   use this serial device as COM3: for this run (e.g. /dev/ttyUSB0,\n"
      "                  a /dev/serial/by-id/... name, or imei:NUMBER for the modem with that IMEI)\n"
      "  --pin-file FILE the SIM's PIN, when the SIM asks for one (default $KORVANET_PIN_FILE);\n"
      "                  a file only you can read (chmod 600). A PIN the SIM refuses is not\n"
      "                  tried again: three wrong ones block the SIM.\n"
      "  --json          print lists and records as JSON on standard output\n"
      "  --help          this help; 'korvanet-cli COMMAND --help' for a command's\n"
      "\n"
      "Commands:\n";
  for (const TCommandSpec& command : Commands()) {
    std::string name = "  " + command.iName;
    help += name + std::string(name.size() < 28 ? 28 - name.size() : 1, ' ') + command.iSummary + "\n";
  }
  help +=
      "\n"
      "Examples:\n"
      "  korvanet-cli --port /dev/ttyUSB0 messages download\n"
      "  korvanet-cli messages list --folder inbox\n"
      "  korvanet-cli settings --smsc +447785016005\n"
      "  korvanet-cli send --to Mum --text 'On my way'\n"
      "  korvanet-cli --json contacts list --store sim\n"
      "  korvanet-cli contacts export --format vcard contacts.vcf\n"
      "  korvanet-cli backup korvanet.kvbackup\n"
      "  korvanet-cli listen --exec 'cat >> received.jsonl'\n"
      "  korvanet-cli ports\n"
      "  korvanet-cli ussd '*100#' --reply 1\n"
      "\n"
      "Progress goes to standard error; Ctrl-C aborts a phone action (a second one leaves at once).\n"
      "Exit status: 0 done, 1 failed, 2 bad usage, 130 interrupted.\n";
  return help;
}

std::string CommandHelp(const TCommandSpec& aCommand) {
  std::string help = "Usage: korvanet-cli [--root DIR] [--port DEVICE] [--pin-file FILE] [--json] " + aCommand.iName;
  if (!aCommand.iSynopsis.empty()) help += " " + aCommand.iSynopsis;
  help += "\n\n" + std::string(1, static_cast<char>(std::toupper(aCommand.iSummary[0]))) + aCommand.iSummary.substr(1) +
          ".\n";
  if (!aCommand.iDetails.empty()) help += "\n" + aCommand.iDetails;
  return help;
}

std::string GroupHelp(const std::string& aGroup) {
  std::string help = "Usage: korvanet-cli " + aGroup + " COMMAND ...\n\nCommands:\n";
  for (const TCommandSpec& command : Commands()) {
    if (command.iName.rfind(aGroup + " ", 0) != 0) continue;
    std::string name = "  " + command.iName + (command.iSynopsis.empty() ? "" : " " + command.iSynopsis);
    help += name + "\n      " + command.iSummary + "\n";
  }
  return help;
}

int ActionExitStatus(const TActionOutcome& aOutcome) {
  if (aOutcome.iInterrupted) return KInterruptedExitStatus;
  return aOutcome.iResult == KErrNone ? 0 : KExitFailed;
}

int PrintActionResult(TCliSession& aSession, const TActionOutcome& aOutcome) {
  if (aSession.Json()) PrintJson({{"result", aOutcome.iResult}, {"text", aOutcome.iText}});
  return ActionExitStatus(aOutcome);
}

void PrintJson(const nlohmann::json& aValue) { std::printf("%s\n", TerminalJson(aValue.dump(2)).c_str()); }

bool Confirmed(const TParsedOptions& aOptions, const std::string& aQuestion, const std::string& aDeclined,
               const std::string& aWarning) {
  if (aOptions.Has("yes")) return true;
  std::fprintf(stderr, "%s %s [y/N] ", aQuestion.c_str(), aWarning.c_str());
  std::fflush(stderr);
  std::string answer;
  bool answered = static_cast<bool>(std::getline(std::cin, answer));
  // A terminal echoed the answer and its line end; otherwise end the prompt's line.
  if (!answered || !isatty(STDIN_FILENO)) std::fprintf(stderr, "\n");
  if (answered && (answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes")) return true;
  std::fprintf(stderr, "%s%s.\n", aDeclined.c_str(), answered ? "" : " (no answer; --yes confirms)");
  return false;
}

}  // namespace kvcli
