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
#include "sms/sms_coding.h"
#include "sms/sms_length.h"
#include "sms/std_sms.h"

namespace kvpdu {

namespace {

const char KUsage[] =
    "usage: korvanet-pdu decode [HEX...]\n"
    "         Decodes each PDU (or each line of standard input) into one JSON line.\n"
    "       korvanet-pdu encode --smsc NUMBER --to NUMBER --text TEXT\n"
    "                           [--validity 0-4] [--concat REF,TOTAL,PART] [--dcs N]\n"
    "         Encodes one part and prints the AT+CMGS length, the data coding\n"
    "         scheme and the PDU. Without --dcs the coding is chosen as the\n"
    "         program does: 7-bit when the GSM alphabet holds the text, else UCS2.\n"
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

const char* CodingName(TSmsCoding aCoding) {
  switch (aCoding) {
    case ESmsCoding8Bit: return "8bit";
    case ESmsCodingUcs2: return "ucs2";
    case ESmsCodingCompressed: return "compressed";
    case ESmsCodingReserved: return "reserved";
    default: return "7bit";
  }
}

// The data coding schemes whose alphabet the encoder really produces: the GSM
// default alphabet, UCS2, or 8-bit data as the record's 8-bit test finds it.
bool IsEncodableScheme(int aScheme) {
  const TSmsCoding named = SmsCodingOfScheme(aScheme);
  const TSmsCoding written = SmsEncodingOfScheme(aScheme);
  return written == ESmsCoding8Bit || (written == named && named != ESmsCoding8Bit);
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
    out["concat_reference_bits"] = sms->iConcatReferenceBits;
    out["concat_total"] = sms->iConcatTotal;
    out["concat_part"] = sms->iConcatPart;
    out["destination_port"] = sms->iDestinationPort;
    out["eight_bit"] = sms->IsEightBit();
    out["coding"] = CodingName(SmsCodingOfScheme(sms->iDataCoding));
    out["text"] = kvplatform::ToUtf8(ToText(sms->MessageText()));
  }
  aJson = out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return result;
}

std::string EncodeToJson(const EncodeOptions& aOptions, std::string& aJson) {
  SmsPtr sms(CStdSms::NewL(0));
  if (!sms) return "out of memory";
  std::u16string text = kvplatform::FromUtf8(aOptions.text);
  TConstPtr16 plain(text.data(), static_cast<int>(text.size()));
  sms->SetText(plain);
  if (aOptions.dcs >= 0) {
    if (!IsEncodableScheme(aOptions.dcs)) {
      return "--dcs " + std::to_string(aOptions.dcs) + " names neither the GSM 7-bit alphabet, UCS2 nor 8-bit data";
    }
    sms->iDataCoding = static_cast<BYTE>(aOptions.dcs);
  }
  // As the sender does: a text the GSM alphabet lacks goes as UCS2.
  const TSmsCoding coding = sms->SendingCoding();
  if (coding == ESmsCodingUcs2) sms->iDataCoding = static_cast<BYTE>(SmsSchemeAsUcs2(sms->iDataCoding));
  sms->SmsValidity() = aOptions.validity;
  if (aOptions.concat) {
    sms->iConcatReference = static_cast<WORD>(aOptions.concatReference);
    sms->iConcatReferenceBits = 8;
    sms->iConcatTotal = static_cast<BYTE>(aOptions.concatTotal);
    sms->iConcatPart = static_cast<BYTE>(aOptions.concatPart);
  }

  std::u16string number = kvplatform::FromUtf8(aOptions.to);
  sms->Recipient(0)->iNumber.Copy(number.data(), static_cast<int>(number.size()));
  TSmsAddress centre;
  std::u16string centreNumber = kvplatform::FromUtf8(aOptions.smsc);
  centre.iNumber.Copy(centreNumber.data(), static_cast<int>(centreNumber.size()));

  const int units = SmsUnits(plain, coding);
  const int limit = aOptions.concat ? SmsConcatPartSize(coding) : SmsSinglePartLimit(coding);
  if (units > limit) {
    const char* unit = coding == ESmsCoding7Bit ? " septets" : coding == ESmsCodingUcs2 ? " UTF-16 units" : " octets";
    return "text needs " + std::to_string(units) + unit + ", one part holds " + std::to_string(limit);
  }
  if (coding == ESmsCoding7Bit) {
    // Characters of the extension table go out behind 0x1B.
    THeapBuf16* escaped = THeapBuf16::New(units + 1);
    if (escaped == nullptr) return "out of memory";
    escaped->Copy(plain);
    InsertEscapes(*escaped);
    sms->SetText(*escaped);
    delete escaped;
  }

  TPduSmsFormat format;
  format.EncodePdu(*sms, 0, KCapabilities, centre);
  nlohmann::ordered_json out;
  out["length"] = format.TpduLength();
  out["dcs"] = sms->iDataCoding;
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
