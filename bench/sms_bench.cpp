// PDUs decoded and encoded per second: a full 160-character 7-bit message,
// one 153-character part of a concatenated message, a full 70-character UCS2
// message; and the length count the compose dialog runs on every keystroke.
#include <benchmark/benchmark.h>

#include <string>

#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/sms_coding.h"
#include "sms/sms_length.h"
#include "sms/std_sms.h"

namespace {

std::u16string Letters(int aCount) {
  std::u16string text;
  const char16_t sample[] = u"The quick brown fox jumps over the lazy dog 0123456789. ";
  for (int i = 0; i < aCount; ++i) text += sample[i % (sizeof sample / sizeof sample[0] - 1)];
  return text;
}

// Cyrillic and Chinese with an emoji now and then: text only UCS2 carries.
std::u16string Unicode(int aCount) {
  std::u16string text;
  const char16_t sample[] = u"\u041F\u0440\u0438\u0432\u0435\u0442 \u4E16\u754C \U0001F600 ";
  for (int i = 0; i < aCount; ++i) text += sample[i % (sizeof sample / sizeof sample[0] - 1)];
  return text;
}

CStdSms* Outgoing(int aLength, bool aConcat, bool aUcs2 = false) {
  CStdSms* sms = CStdSms::NewL(0);
  sms->Recipient(0)->iNumber.Copy(u"+31641600986");
  std::u16string text = aUcs2 ? Unicode(aLength) : Letters(aLength);
  if (aUcs2) sms->iDataCoding = KSmsSchemeUcs2;
  sms->SetText(TConstPtr16(text.data(), static_cast<int>(text.size())));
  if (aConcat) {
    sms->iConcatReference = 17;
    sms->iConcatTotal = 3;
    sms->iConcatPart = 2;
  }
  return sms;
}

TSmsAddress Centre() {
  TSmsAddress centre;
  centre.iNumber.Copy(u"+31624000000");
  return centre;
}

void Encode(benchmark::State& aState, int aLength, bool aConcat, bool aUcs2 = false) {
  CStdSms* sms = Outgoing(aLength, aConcat, aUcs2);
  TSmsAddress centre = Centre();
  TPduSmsFormat format;
  for (auto _ : aState) {
    format.EncodePdu(*sms, 0, 801, centre);
    benchmark::DoNotOptimize(format.SendBuffer().Ptr());
  }
  aState.SetItemsProcessed(aState.iterations());
  delete sms;
}

// The encoder's SUBMIT rewritten as the DELIVER a phone lists on receipt:
// first octet, originator, scheme and a time stamp in place of the validity.
std::u16string DeliverFrom(const TPduSmsFormat& aFormat, bool aConcat) {
  std::u16string submit(aFormat.SendBuffer().Ptr(), aFormat.SendBuffer().Length());
  size_t pos = static_cast<size_t>(aFormat.ServiceCentreOctets()) * 2;
  std::u16string deliver = submit.substr(0, pos) + (aConcat ? u"44" : u"04");
  pos += 4;  // first octet, message reference
  int digits = std::stoi(std::string(submit.begin() + pos, submit.begin() + pos + 2), nullptr, 16);
  size_t address = 4 + static_cast<size_t>((digits + 1) / 2) * 2;
  deliver += submit.substr(pos, address + 4);  // address, pid, dcs
  deliver += u"20802691731408";
  deliver += submit.substr(pos + address + 6);  // after the validity octet
  return deliver;
}

void Decode(benchmark::State& aState, int aLength, bool aConcat, bool aUcs2 = false) {
  CStdSms* sms = Outgoing(aLength, aConcat, aUcs2);
  TSmsAddress centre = Centre();
  TPduSmsFormat format;
  format.EncodePdu(*sms, 0, 801, centre);
  std::u16string line = DeliverFrom(format, aConcat);
  delete sms;

  CStdSms* record = CStdSms::NewL(0);
  TConstPtr16 pdu(line.data(), static_cast<int>(line.size()));
  for (auto _ : aState) {
    int result = format.ConvertToSms(pdu, *record, 801);
    benchmark::DoNotOptimize(result);
  }
  if (record->MessageText().Length() != aLength) aState.SkipWithError("the PDU did not decode");
  aState.SetItemsProcessed(aState.iterations());
  delete record;
}

void BM_Encode160(benchmark::State& aState) { Encode(aState, 160, false); }
void BM_EncodeConcatPart(benchmark::State& aState) { Encode(aState, 153, true); }
void BM_Decode160(benchmark::State& aState) { Decode(aState, 160, false); }
void BM_DecodeConcatPart(benchmark::State& aState) { Decode(aState, 153, true); }
void BM_EncodeUcs2_70(benchmark::State& aState) { Encode(aState, 70, false, true); }
void BM_DecodeUcs2_70(benchmark::State& aState) { Decode(aState, 70, false, true); }

// The count under the compose dialog for a text of ten parts.
// The alphabet alone over a 160-character text: the lookup table the encoder
// uses against the walk through the alphabet tables it is built from.
void Alphabet(benchmark::State& aState, int (*aLookup)(WCHAR, bool&, bool&)) {
  const std::u16string text = Letters(157) + u"{\u00e4}";
  for (auto _ : aState) {
    int sum = 0;
    for (char16_t c : text) {
      bool escaped = false;
      bool notFound = false;
      sum += aLookup(c, escaped, notFound);
    }
    benchmark::DoNotOptimize(sum);
  }
}
void BM_Alphabet160Lookup(benchmark::State& aState) { Alphabet(aState, LatinToGsm); }
void BM_Alphabet160TableWalk(benchmark::State& aState) { Alphabet(aState, LatinToGsmTableWalk); }
BENCHMARK(BM_Alphabet160Lookup);
BENCHMARK(BM_Alphabet160TableWalk);

void BM_LengthOfLongText(benchmark::State& aState) {
  const std::u16string text = Letters(1500) + u"\u20AC";
  TConstPtr16 des(text.data(), static_cast<int>(text.size()));
  for (auto _ : aState) {
    TSmsLength length = SmsLengthOf(des);
    benchmark::DoNotOptimize(length.iParts);
  }
  aState.SetItemsProcessed(aState.iterations());
}

}  // namespace

BENCHMARK(BM_Encode160);
BENCHMARK(BM_EncodeConcatPart);
BENCHMARK(BM_Decode160);
BENCHMARK(BM_DecodeConcatPart);
BENCHMARK(BM_EncodeUcs2_70);
BENCHMARK(BM_DecodeUcs2_70);
BENCHMARK(BM_LengthOfLongText);

BENCHMARK_MAIN();
