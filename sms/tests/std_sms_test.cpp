#include "sms/std_sms.h"

#include <gtest/gtest.h>

#include "sms/tests/sms_test_util.h"

namespace {

void SetPlainText(CStdSms& aSms, int aLength, WCHAR aFill = u'a') {
  std::u16string text(aLength, aFill);
  aSms.SetText(TConstPtr16(text.data(), aLength));
}

TSmsAddress Address(const char16_t* aName, const char16_t* aNumber, DWORD aFlags) {
  TSmsAddress address;
  address.iName.Copy(aName);
  address.iNumber.Copy(aNumber);
  address.iFlags = aFlags;
  return address;
}

}  // namespace

TEST(StdSms, UnknownKindsAndRecipientsBeyondTheListGiveNothing) {
  TSmsOwner sms = NewSms();
  ASSERT_TRUE(sms);
  EXPECT_FALSE(sms->HasRecipient());
  EXPECT_EQ(CStdSms::NewL(1), nullptr);  // unknown kind leaves with -5
  sms->Recipient(0)->iNumber.Copy(u"+31641600986");
  EXPECT_TRUE(sms->HasRecipient());
  EXPECT_EQ(sms->Recipient(1), nullptr);
  EXPECT_EQ(sms->RecipientNumber(5).Length(), 0);
}

TEST(StdSms, SetTextCopiesTerminatesAndReplaces) {
  TSmsOwner sms = NewSms();
  WCHAR source[] = u"hello";
  sms->SetText(TConstPtr16(source));
  source[0] = u'j';  // the record holds its own copy
  EXPECT_EQ(Text(sms->MessageText()), u"hello");
  EXPECT_EQ(sms->MessageText().Ptr()[5], 0);
  EXPECT_EQ(sms->MessageText().MaxLength(), 6);

  sms->SetText(TConstPtr16(u"x"));  // the old text is freed (the leak checker watches)
  EXPECT_EQ(Text(sms->MessageText()), u"x");
  sms->SetText(TConstPtr16());
  EXPECT_EQ(sms->MessageText().Length(), 0);
}

TEST(StdSms, EightBitTestUsesTheSchemeMask) {
  TSmsOwner sms = NewSms();
  const std::pair<int, bool> schemes[] = {{0x00, false}, {0xF4, true}, {0xF5, true}, {0xFC, true}, {0x84, true},
                                          {0xF0, false}, {0x04, false}, {0x08, false}, {0xF8, false}, {0x94, false}};
  for (auto [scheme, eightBit] : schemes) {
    sms->iDataCoding = static_cast<BYTE>(scheme);
    EXPECT_EQ(sms->IsEightBit(), eightBit) << "scheme " << scheme;
  }
}

TEST(StdSms, NumPartsCountsEscapesHeaderTextAndConcatenation) {
  struct TCase {
    int iFlags;
    int iScheme;
    int iLength;
    int iParts;
  };
  const TCase cases[] = {
      {KSmsFlagConcat, 0, 0, 1},      {KSmsFlagConcat, 0, 160, 1},    {KSmsFlagConcat, 0, 161, 2},  // 153 a part
      {KSmsFlagConcat, 0, 306, 2},    {KSmsFlagConcat, 0, 307, 3},    {0, 0, 161, 2},  // no concatenation: 160 a part
      {0, 0, 320, 2},                 {0, 0, 321, 3},                 {KSmsFlagConcat, 0xF4, 140, 1},  // 8-bit: 134 a part
      {KSmsFlagConcat, 0xF4, 141, 2}, {KSmsFlagConcat, 0xF4, 269, 3},
  };
  TSmsOwner sms = NewSms();
  EXPECT_EQ(sms->iFlags, KSmsFlagConcat);
  for (const TCase& c : cases) {
    sms->iFlags = c.iFlags;
    sms->iDataCoding = static_cast<BYTE>(c.iScheme);
    SetPlainText(*sms, c.iLength);
    EXPECT_EQ(sms->NumParts(), c.iParts) << c.iLength << " characters, flags " << c.iFlags << ", scheme " << c.iScheme;
  }

  // One "{" counts twice.
  sms->iFlags = KSmsFlagConcat;
  sms->iDataCoding = 0;
  std::u16string text(159, u'a');
  text += u'{';
  sms->SetText(TConstPtr16(text.data(), 160));
  EXPECT_EQ(sms->NumParts(), 2);

  // The header text counts only with its flag.
  SetPlainText(*sms, 150);
  sms->iHeaderText.Copy(u"0123456789AB");
  EXPECT_EQ(sms->NumParts(), 1);
  sms->iFlags |= KSmsFlagHeaderText;
  EXPECT_EQ(sms->NumParts(), 2);
}

TEST(StdSms, RecipientFlagsMarkPartsWithinThirtyTwoBits) {
  TSmsOwner sms = NewSms();
  ASSERT_EQ(sms->AddRecipientL(Address(u"Bob", u"+4411", 0)), 0);
  sms->SetRecipientFlag(1, 0);
  sms->SetRecipientFlag(3, 0);
  sms->SetRecipientFlag(31, 1);
  sms->SetRecipientFlag(32, 1);  // beyond the flag word: ignored
  sms->SetRecipientFlag(-1, 1);
  sms->SetRecipientFlag(2, 7);  // no such recipient
  EXPECT_EQ(sms->RecipientFlags(0), 0b1010u);
  EXPECT_EQ(sms->RecipientFlags(1), 0x80000000u);
  EXPECT_TRUE(sms->IsPartSent(1, 0));
  EXPECT_FALSE(sms->IsPartSent(2, 0));
  EXPECT_TRUE(sms->IsPartSent(31, 1));
  EXPECT_FALSE(sms->IsPartSent(32, 1));
  EXPECT_FALSE(sms->IsPartSent(1, 7));

  sms->ClearRecipientFlag(3, 0);
  EXPECT_EQ(sms->RecipientFlags(0), 0b10u);
  sms->ResetRecipientFlags(1);
  EXPECT_EQ(sms->RecipientFlags(1), 0u);
}

TEST(StdSms, CloneForPartCopiesHeaderAndEveryRecipient) {
  TSmsOwner sms = NewSms();
  *sms->Recipient(0) = Address(u"Ann", u"+111", 0b110);
  sms->AddRecipientL(Address(u"Bob", u"+222", 0b1));
  sms->AddRecipientL(Address(u"Cyd", u"333", 0));
  sms->SetText(TConstPtr16(u"the whole message"));
  sms->iDataCoding = 0xF4;
  sms->iProtocolId = 0x41;
  sms->iConcatReference = 9;
  sms->iConcatTotal = 3;
  sms->SmsValidity() = 4;
  sms->SmsCentre().iNumber.Copy(u"+31624000000");
  sms->iHeaderText.Copy(u"hdr");
  sms->iReceivedCentre.Copy(u"3162");
  sms->iTimeZone = 80;
  sms->iFlags = 2 | 4 | 8;
  sms->DateSent() = FILETIME{123, 456};

  TSmsOwner part(sms->CloneForPart(TConstPtr16(u"part")));
  ASSERT_TRUE(part);
  EXPECT_EQ(Text(part->MessageText()), u"part");
  EXPECT_EQ(part->NumRecipients(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Text(part->RecipientName(i)), Text(sms->RecipientName(i)));
    EXPECT_EQ(Text(part->RecipientNumber(i)), Text(sms->RecipientNumber(i)));
    EXPECT_EQ(part->RecipientFlags(i), sms->RecipientFlags(i));
  }
  auto header = [](const CStdSms& aSms) {
    return std::to_string(aSms.iDataCoding) + " " + std::to_string(aSms.iProtocolId) + " " +
           std::to_string(aSms.iConcatReference) + " " + std::to_string(aSms.iConcatTotal) + " " +
           std::to_string(aSms.SmsValidity()) + " " + Narrow(aSms.SmsCentre().iNumber) + " " + Narrow(aSms.iHeaderText) +
           " " + Narrow(aSms.iReceivedCentre) + " " + std::to_string(aSms.iTimeZone) + " " + std::to_string(aSms.iFlags) +
           " " + std::to_string(aSms.DateSent().dwHighDateTime);
  };
  EXPECT_EQ(header(*part), "244 65 9 3 4 +31624000000 hdr 3162 80 14 456");

  TSmsOwner whole(sms->Clone());
  EXPECT_EQ(Text(whole->MessageText()), u"the whole message");

  // Copying from a record with one recipient leaves exactly that one.
  TSmsOwner single = NewSms();
  single->Recipient(0)->iNumber.Copy(u"+999");
  whole->CopyRecipients(*single);
  EXPECT_EQ(whole->NumRecipients(), 1);
  EXPECT_EQ(Text(whole->RecipientNumber(0)), u"+999");
  EXPECT_EQ(Text(whole->RecipientName(0)), u"");
}
