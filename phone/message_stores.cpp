// The phone's message memories: which of them hold new messages, how this
// phone spells them, and how full the one receiving is.
#include "kernel/log.h"
#include "phone/mobile_phone.h"

namespace {

// One bit per memory a phone may offer; the "_P" spellings some modems use
// for the same memories are kept apart, as the phone wants them back.
enum TStoreBit {
  EStoreMe = 1,
  EStoreSm = 2,
  EStoreMt = 4,
  EStoreMeP = 8,
  EStoreSmP = 16,
};

const int KStoreParameters = 3;
const int KMaxStoreWord = 8;

int StoreBit(const TDesc16& aWord) {
  static const struct {
    const char16_t* iName;
    int iBit;
  } KNames[] = {{u"ME", EStoreMe}, {u"SM", EStoreSm}, {u"MT", EStoreMt}, {u"ME_P", EStoreMeP}, {u"SM_P", EStoreSmP}};
  for (const auto& name : KNames)
    if (aWord == TConstPtr16(name.iName)) return name.iBit;
  return 0;
}

const char16_t* StoreName(int aBit) {
  switch (aBit) {
    case EStoreMe: return u"ME";
    case EStoreSm: return u"SM";
    case EStoreMt: return u"MT";
    case EStoreMeP: return u"ME_P";
    default: return u"SM_P";
  }
}

// The memory a parameter gets among those offered: where new messages have
// most room first (MT is both stores), then the phone's, then the SIM's.
int ChooseStore(int aOffered) {
  for (int bit : {EStoreMt, EStoreMe, EStoreMeP, EStoreSm, EStoreSmP})
    if (aOffered & bit) return bit;
  return 0;
}

}  // namespace

// "+CPMS: ("ME","SM"),("ME","SM"),("SM","MT")", also with spaces after the
// commas, a quote missing, or no parentheses at all (one list for all three).
void ParseOfferedStores(const TDesc16& aLine, int aOffered[3], int& aGroups) {
  for (int i = 0; i < KStoreParameters; ++i) aOffered[i] = 0;
  aGroups = 0;
  const int colon = aLine.Locate(u':');
  if (colon < 0) return;
  const bool grouped = aLine.Locate(u'(') >= 0;
  int group = 0;
  TModBuf16<KMaxStoreWord> word;
  bool overlong = false;
  auto take = [&]() {
    if (word.Length() > 0 && !overlong && group < KStoreParameters) {
      const int bit = StoreBit(word);
      if (grouped) {
        aOffered[group] |= bit;
      } else {
        for (int i = 0; i < KStoreParameters; ++i) aOffered[i] |= bit;
      }
      if (bit != 0 && aGroups < (grouped ? group + 1 : KStoreParameters)) aGroups = grouped ? group + 1 : KStoreParameters;
    }
    word.Zero();
    overlong = false;
  };
  for (int pos = colon + 1; pos < aLine.Length(); ++pos) {
    TText16 c = aLine[pos];
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_') {
      if (c >= u'a' && c <= u'z') c = static_cast<TText16>(c - u'a' + u'A');
      if (word.Length() < word.MaxLength())
        word.Append(c);
      else
        overlong = true;
      continue;
    }
    take();
    if (c == u')') ++group;
  }
  take();
}

int CMobilePhoneBase::SelectMessageStores() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SelectMessageStores");
  for (int& offered : iOfferedStores) offered = 0;
  iStoreGroups = 0;
  iReceiveUsed = 0;
  iReceiveTotal = 0;
  int r = DoSendAndWait(EStateSmsStores, TConstPtr16(u"AT+CPMS=?"));
  if (r != KReplyOk) return r;
  if (iStoreGroups == 0) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SelectMessageStores - no memory offered, the phone's own kept");
    return KReplyOk;
  }
  // Reading and deleting go by the phone's own spelling of its two memories.
  const int readable = iOfferedStores[0];
  iMemoryNames[0].Copy(!(readable & EStoreMe) && (readable & EStoreMeP) ? u"ME_P" : u"ME");
  iMemoryNames[1].Copy(!(readable & EStoreSm) && (readable & EStoreSmP) ? u"SM_P" : u"SM");
  // Read and write where new messages go, when the phone allows it, so that
  // a listing after an announcement looks where the announcement points.
  const int receive = ChooseStore(iOfferedStores[iStoreGroups - 1]);
  iCommandBuffer.Copy(u"AT+CPMS=");
  for (int i = 0; i < iStoreGroups; ++i) {
    int chosen = iOfferedStores[i] & receive ? receive : ChooseStore(iOfferedStores[i]);
    if (chosen == 0 && i == 0) return KReplyOk;  // nothing known to read from: the phone's own kept
    if (chosen == 0) break;
    if (i > 0) iCommandBuffer.Append(u',');
    iCommandBuffer.Append(u'"');
    iCommandBuffer.Append(TConstPtr16(StoreName(chosen)));
    iCommandBuffer.Append(u'"');
  }
  TModBuf16<KCommandLength + 1> text(iCommandBuffer);
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SelectMessageStores - %1!s!", text.PtrZ());
  r = DoSendAndWait(EStateSmsSelect, iCommandBuffer);
  if (r != KReplyOk) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SelectMessageStores - refused %1!d!", r);
    return r;
  }
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SelectMessageStores - receiving into %1!d! of %2!d! used", iReceiveUsed,
             iReceiveTotal);
  return KReplyOk;
}

// "+CPMS: 3,30,3,30,5,100", the memories' names in front of their counts on
// some phones: the last pair is the receiving memory's.
int CMobilePhoneBase::ParseStoreCounts(const TDesc16& aLine) {
  int numbers[2 * KStoreParameters] = {};
  int count = 0;
  bool quoted = false;
  int pos = aLine.Locate(u':');
  if (pos < 0) return 0;
  for (++pos; pos < aLine.Length() && count < 2 * KStoreParameters;) {
    TText16 c = aLine[pos];
    if (c == u'"') quoted = !quoted;
    if (!quoted && c >= u'0' && c <= u'9') {
      numbers[count++] = ParseInt(aLine, pos);
      continue;
    }
    ++pos;
  }
  if (count >= 2) {
    const int last = (count / 2 - 1) * 2;
    iReceiveUsed = numbers[last];
    iReceiveTotal = numbers[last + 1];
  }
  return 0;
}
