// The Find dialog's searches on their own thread: each result reaches the
// window's thread, a newer search asked for before an older one starts takes
// its place, pages follow one another, and the thread ends with a search
// under way.
#include <memory>
#include <string>
#include <vector>

#include "app/tests/app_fixture.h"
#include "app/views/kv_find_searcher.h"
#include "store/messages.h"

namespace {

const UINT KDone = WM_APP + 7;

class FindSearcherTest : public AppTest {
 protected:
  FindSearcherTest() : iStore(CKveMessagesDatabase::NewL(nullptr, 0)) {}
  CEOID Store(const std::u16string& aText) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    TConstPtr16 name(u"Ann"), text(aText.c_str()), number(u"+447700900001");
    message->SetDetailsL(&name, &text, &number, EKvFolderInbox);
    return iStore->WriteItemL(*message);
  }
  // The next result the searcher gives, the window's messages handled meanwhile.
  bool NextResult(CKvFindSearcher& aSearcher, TKvFindResult& aResult) {
    return PumpUntil([&] { return aSearcher.TakeResult(aResult); });
  }

  std::unique_ptr<CKveMessagesDatabase> iStore;
};

TEST_F(FindSearcherTest, ResultsReachTheWindowThreadTheNewestAskedForWinsAndPagesFollow) {
  std::vector<CEOID> trains;
  // Texts of their own: a received message stored twice is one record.
  for (char16_t i = u'0'; i < u'5'; ++i) trains.push_back(Store(std::u16string(u"The train is late ") + i));
  CEOID cafe = Store(u"Meet at the café");
  std::unique_ptr<CKvFindSearcher> searcher(CKvFindSearcher::NewL(*iStore, iWindow, KDone));
  ASSERT_TRUE(searcher->IsRunning());

  // Asked for twice at once: the last one asked for is the last answered,
  // whether the first ran or not.
  searcher->Search(u"train", 0, 50, 1);
  searcher->Search(u"CAFE", 0, 50, 2);
  TKvFindResult result;
  ASSERT_TRUE(NextResult(*searcher, result));
  if (result.iTicket == 1) {
    ASSERT_TRUE(NextResult(*searcher, result));
  }
  EXPECT_EQ(result.iTicket, 2);
  EXPECT_EQ(result.iError, 0u);
  EXPECT_EQ(result.iFound, std::vector<CEOID>{cafe});
  EXPECT_FALSE(searcher->TakeResult(result));

  // Page by page, newest first, each after the last of the one before.
  searcher->Search(u"train", 0, 3, 3);
  ASSERT_TRUE(NextResult(*searcher, result));
  EXPECT_EQ(result.iFound, (std::vector<CEOID>{trains[4], trains[3], trains[2]}));
  searcher->Search(u"train", result.iFound.back(), 3, 3);
  ASSERT_TRUE(NextResult(*searcher, result));
  EXPECT_EQ(result.iBefore, trains[2]);
  EXPECT_EQ(result.iFound, (std::vector<CEOID>{trains[1], trains[0]}));

  // A search the store refuses comes back with its error.
  searcher->Search(std::u16string(KMaxSearchLength + 1, u'x'), 0, 50, 4);
  ASSERT_TRUE(NextResult(*searcher, result));
  EXPECT_EQ(result.iTicket, 4);
  EXPECT_EQ(result.iError, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // Ended with a search asked for: the thread finishes it and ends.
  searcher->Search(u"t", 0, 50, 5);
  searcher.reset();
}

}  // namespace
