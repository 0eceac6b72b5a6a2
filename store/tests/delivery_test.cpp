// The delivery state of Sent records: kept through the volume and taken
// from reports part by part.
#include <memory>

#include <windows.h>

#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

FILETIME At(int aSecond) { return FileTime(2026, 12, 6, 19, 5, aSecond); }

class DeliveryTest : public StoreTest {
 protected:
  DeliveryTest() : iStore(CKveMessagesDatabase::NewL(nullptr, 0)) {}

  // A Sent record whose parts went out with the references given.
  CEOID SentWithReferences(std::initializer_list<int> aReferences) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    TConstPtr16 name(u"Ann"), text(u"Dinner at 8?"), number(u"+447700900123");
    message->SetDetailsL(&name, &text, &number, EKvFolderSent);
    TKvDeliveryList parts;
    int part = 1;
    for (int reference : aReferences) parts.push_back({part++, reference, KKvNoReportYet, {0, 0}});
    message->SetDeliveryL(parts);
    return iStore->WriteItemL(*message);
  }
  std::unique_ptr<CKveMessagesItem> Read(CEOID aOid) {
    return std::unique_ptr<CKveMessagesItem>(static_cast<CKveMessagesItem*>(iStore->ReadItemL(aOid)));
  }
  // Applies a report and writes the record back, as the engine does.
  bool Report(CEOID aOid, int aReference, int aStatus, int aSecond) {
    std::unique_ptr<CKveMessagesItem> message = Read(aOid);
    if (!message || !message->ApplyReportL(aReference, aStatus, At(aSecond))) return false;
    return iStore->ReplaceItemL(*message) != 0;
  }

  std::unique_ptr<CKveMessagesDatabase> iStore;
};

}  // namespace

TEST_F(DeliveryTest, ALongMessageIsDeliveredWhenEveryPartIs) {
  CEOID oid = SentWithReferences({7, 8, 9});
  ASSERT_NE(oid, 0u);
  EXPECT_EQ(Read(oid)->DeliveryState(), EKvDeliveryPending);
  EXPECT_FALSE(Report(oid, 99, 0x00, 10));  // no part of this message

  EXPECT_TRUE(Report(oid, 9, 0x00, 12));
  EXPECT_TRUE(Report(oid, 7, 0x00, 10));
  EXPECT_EQ(Read(oid)->DeliveryState(), EKvDeliveryPending);
  EXPECT_TRUE(Report(oid, 8, 0x21, 11));  // still being tried
  EXPECT_EQ(Read(oid)->DeliveryState(), EKvDeliveryPending);
  EXPECT_TRUE(Report(oid, 8, 0x00, 15));

  std::unique_ptr<CKveMessagesItem> delivered = Read(oid);
  EXPECT_EQ(delivered->DeliveryState(), EKvDeliveryDelivered);
  TKvDeliveryList parts = delivered->Delivery();
  ASSERT_EQ(parts.size(), 3u);
  const TKvPartDelivery* last = DecidingPart(parts);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->iPart, 2);  // delivered last, at second 15
  EXPECT_EQ(last->iTime.dwLowDateTime, At(15).dwLowDateTime);
  EXPECT_EQ(last->iTime.dwHighDateTime, At(15).dwHighDateTime);

  // A late "still trying" does not undo the delivery; the same report twice changes nothing.
  EXPECT_FALSE(Report(oid, 8, 0x21, 20));
  EXPECT_FALSE(Report(oid, 8, 0x00, 15));
  EXPECT_EQ(Read(oid)->DeliveryState(), EKvDeliveryDelivered);
}

TEST_F(DeliveryTest, AFailedPartFailsTheMessageWithItsReason) {
  CEOID oid = SentWithReferences({30, 31});
  ASSERT_TRUE(Report(oid, 30, 0x00, 10));
  ASSERT_TRUE(Report(oid, 31, 0x46, 40));
  std::unique_ptr<CKveMessagesItem> failed = Read(oid);
  EXPECT_EQ(failed->DeliveryState(), EKvDeliveryFailed);
  TKvDeliveryList parts = failed->Delivery();
  const TKvPartDelivery* deciding = DecidingPart(parts);
  ASSERT_NE(deciding, nullptr);
  EXPECT_EQ(deciding->iStatus, 0x46);
  EXPECT_EQ(std::u16string(DeliveryStatusReason(deciding->iStatus)), u"Validity period expired");
  // A temporary error the centre no longer retries is a failure too; one it retries is not.
  EXPECT_EQ(DeliveryStateOfStatus(0x62), EKvDeliveryFailed);
  EXPECT_EQ(DeliveryStateOfStatus(0x22), EKvDeliveryPending);
  EXPECT_EQ(DeliveryStateOfStatus(0x01), EKvDeliveryDelivered);

  // Edited into a new message (a copy to send again), it carries no delivery.
  failed->SetDetailsL(nullptr, nullptr, nullptr, EKvFolderOutbox);
  EXPECT_EQ(failed->DeliveryState(), EKvDeliveryNone);

  // A Sent record of the earlier version, without the delivery property, has none.
  CEOID old = WriteEarlierVersionMessage(u"Ann", u"+447700900123", u"Sent long ago", EKvFolderSent, At(1));
  EXPECT_EQ(Read(old)->DeliveryState(), EKvDeliveryNone);

  // A damaged delivery text yields the entries before the damage.
  TKvDeliveryList damaged = ParseDelivery(TConstPtr16(u"1,5,0,0,1;2,6,x"));
  ASSERT_EQ(damaged.size(), 1u);
  EXPECT_EQ(damaged[0].iReference, 5);
}
