#include "tools/pdu/pdu_commands.h"

#include <cstdio>
#include <istream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include <kvplatform.h>
#include <windows.h>

#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/std_sms.h"

namespace kvpdu {

namespace {

const char KUsage[] =
    "usage: korvanet-pdu decode [HEX...]\n"
    "         Decodes each PDU (or each line of standard input) into one JSON line.\n"
    "       korvanet-pdu encode --smsc NUMBER --to NUMBER --text TEXT\n"
    "                           [--validity 0-4] [--concat REF,TOTAL,PART] [--dcs N]\n"
    "         Encodes one part and prints the AT+CMGS length and the PDU.\n"
    "exit status: 0 all decoded, 1 a PDU did not decode, 2 bad arguments\n";

std::u16string ToText(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

std::string ToAscii(const TDesc16& aText) {
  std::string out;
  for (int i = 0; i < aText.Length(); ++i) out += static_cast<char>(aText.Ptr()[i] & 0x7F);
  return out;
}

std::string FormatTimeStamp(const FILETIME& aTime) {
  SYSTEMTIME time = {};
  if (!FileTimeToSystemTime(&aTime, &time)) return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
                time.wMinute, time.wSecond);
  return text;
}

struct TSmsDeleter {
  void operator()(CStdSms* aSms) const { delete aSms; }
};
using SmsPtr = std::unique_ptr<CStdSms, TSmsDeleter>;

// Septet or octet budget of one part, as the sender splits a long message.
int PartLimit(bool aEightBit, bool aConcat) {
  if (aEightBit) return aConcat ? 134 : 140;
  return aConcat ? 153 : 160;
}

// The data coding schemes whose alphabet the encoder really produces: the GSM
// default alphabet (general group or group F) or 8-bit data.
bool IsEncodableScheme(int aScheme, bool aEightBit) {
  if (aEightBit) return true;
  const bool generalSevenBit = (aScheme & 0xC0) == 0 && (aScheme & 0x2C) == 0;
  const bool groupFSevenBit = (aScheme & 0xF4) == 0xF0;
  return generalSevenBit || groupFSevenBit;
}

std::string TrimLine(const std::string& aLine) {
  size_t begin = aLine.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::string();
  size_t end = aLine.find_last_not_of(" \t\r\n");
  return aLine.substr(begin, end - begin + 1);
}

}  // namespace

int DecodeToJson(const std::string& aPdu, std::string& aJson) {
  std::u16string line(aPdu.begin(), aPdu.end());
  for (auto& c : line) c = static_cast<char16_t>(static_cast<unsigned char>(c));
  TConstPtr16 pdu(line.data(), static_cast<int>(line.size()));

  nlohmann::ordered_json out;
  SmsPtr sms(CStdSms::NewL(0));
  if (!sms) {
    out["result"] = -4;
    aJson = out.dump();
    return -4;
  }
  TPduSmsFormat format;
  const int result = format.ConvertToSms(pdu, *sms, KCapabilities);
  out["result"] = result;
  if (result == 0) {
    out["service_centre"] = kvplatform::ToUtf8(ToText(sms->iReceivedCentre));
    out["service_centre_type"] = sms->iCentreType;
    out["first_octet"] = sms->iFirstOctet;
    out["pid"] = sms->iProtocolId;
    out["dcs"] = sms->iDataCoding;
    out["address"] = kvplatform::ToUtf8(ToText(sms->RecipientNumber(0)));
    out["timestamp"] = FormatTimeStamp(sms->DateSent());
    out["time_zone"] = sms->iTimeZone;
    out["concat_reference"] = sms->iConcatReference;
    out["concat_total"] = sms->iConcatTotal;
    out["concat_part"] = sms->iConcatPart;
    out["destination_port"] = sms->iDestinationPort;
    out["eight_bit"] = sms->IsEightBit();
    out["text"] = kvplatform::ToUtf8(ToText(sms->MessageText()));
  }
  aJson = out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return result;
}

std::string EncodeToJson(const EncodeOptions& aOptions, std::string& aJson) {
  SmsPtr sms(CStdSms::NewL(0));
  if (!sms) return "out of memory";
  sms->iDataCoding = static_cast<BYTE>(aOptions.dcs);
  const bool eightBit = sms->IsEightBit();
  if (!IsEncodableScheme(aOptions.dcs, eightBit)) {
    return "--dcs " + std::to_string(aOptions.dcs) + " names neither the GSM 7-bit alphabet nor 8-bit data";
  }
  sms->SmsValidity() = aOptions.validity;
  if (aOptions.concat) {
    sms->iConcatReference = static_cast<BYTE>(aOptions.concatReference);
    sms->iConcatTotal = static_cast<BYTE>(aOptions.concatTotal);
    sms->iConcatPart = static_cast<BYTE>(aOptions.concatPart);
  }

  std::u16string number = kvplatform::FromUtf8(aOptions.to);
  sms->Recipient(0)->iNumber.Copy(number.data(), static_cast<int>(number.size()));
  TSmsAddress centre;
  std::u16string centreNumber = kvplatform::FromUtf8(aOptions.smsc);
  centre.iNumber.Copy(centreNumber.data(), static_cast<int>(centreNumber.size()));

  std::u16string text = kvplatform::FromUtf8(aOptions.text);
  TConstPtr16 plain(text.data(), static_cast<int>(text.size()));
  const int escapes = eightBit ? 0 : CountEscapes(plain);
  const int units = static_cast<int>(text.size()) + escapes;
  const int limit = PartLimit(eightBit, aOptions.concat);
  if (units > limit) {
    return "text needs " + std::to_string(units) + (eightBit ? " octets" : " septets") + ", one part holds " +
           std::to_string(limit);
  }
  // As the sender does: characters of the escape table go out behind 0x1B.
  THeapBuf16* escaped = THeapBuf16::New(units + 1);
  if (escaped == nullptr) return "out of memory";
  escaped->Copy(plain);
  if (!eightBit) InsertEscapes(*escaped);
  sms->SetText(*escaped);
  delete escaped;

  TPduSmsFormat format;
  format.EncodePdu(*sms, 0, KCapabilities, centre);
  nlohmann::ordered_json out;
  out["length"] = format.TpduLength();
  out["pdu"] = ToAscii(format.SendBuffer());
  aJson = out.dump();
  return std::string();
}

int RunPdu(const std::vector<std::string>& aArgs, std::istream& aIn, std::ostream& aOut, std::ostream& aErr) {
  if (aArgs.empty() || aArgs[0] == "--help" || aArgs[0] == "-h") {
    (aArgs.empty() ? aErr : aOut) << KUsage;
    return aArgs.empty() ? KExitBadArguments : KExitOk;
  }
  const std::string& command = aArgs[0];
  std::vector<std::string> rest(aArgs.begin() + 1, aArgs.end());

  if (command == "decode") {
    int status = KExitOk;
    auto decodeOne = [&](const std::string& aLine) {
      std::string json;
      if (DecodeToJson(aLine, json) != 0) status = KExitNotDecoded;
      aOut << json << '\n';
    };
    if (!rest.empty()) {
      for (const auto& pdu : rest) decodeOne(TrimLine(pdu));
    } else {
      std::string line;
      while (std::getline(aIn, line)) {
        line = TrimLine(line);
        if (!line.empty()) decodeOne(line);
      }
    }
    aOut.flush();
    return status;
  }

  if (command == "encode") {
    EncodeOptions options;
    std::string error = ParseEncodeArguments(rest, options);
    std::string json;
    if (error.empty()) error = EncodeToJson(options, json);
    if (!error.empty()) {
      aErr << "korvanet-pdu: " << error << "\n" << KUsage;
      return KExitBadArguments;
    }
    aOut << json << '\n';
    aOut.flush();
    return KExitOk;
  }

  aErr << "korvanet-pdu: unknown command '" << command << "'\n" << KUsage;
  return KExitBadArguments;
}

}  // namespace kvpdu
