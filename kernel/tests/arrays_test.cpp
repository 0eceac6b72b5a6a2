#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "kernel/arrays.h"
#include "kernel/tests/log_fixture.h"

using ArrayTest = LoggingTest;

namespace {

struct TRecord {
  int iTag;
  int iKey;
};

std::vector<int> Keys(const CArrayFixFlat<TRecord>& aArray) {
  std::vector<int> keys;
  for (int i = 0; i < aArray.Count(); ++i) keys.push_back(aArray[i].iKey);
  return keys;
}

}  // namespace

TEST_F(ArrayTest, OrderedInsertionWithAndWithoutDuplicates) {
  CArrayFixFlat<TRecord> array(4);
  TKeyArrayFix key(offsetof(TRecord, iKey), 0);
  for (int k : {30, 10, 20}) {
    TRecord record = {0, k};
    array.InsertIsqL(&record, key);
  }
  EXPECT_EQ(Keys(array), (std::vector<int>{10, 20, 30}));

  TRecord second = {1, 20};
  EXPECT_EQ(array.InsertIsqL(&second, key), 1);  // before the equal one, after a leave
  EXPECT_EQ(array[1].iTag, 1);
  EXPECT_EQ(array[2].iTag, 0);

  CArrayFixFlat<TRecord> dup(4);
  TRecord first = {0, 5};
  dup.InsertIsqAllowDuplicatesL(&first, key);
  TRecord behind = {1, 5};
  EXPECT_EQ(dup.InsertIsqAllowDuplicatesL(&behind, key), 1);
  EXPECT_EQ(dup[0].iTag, 0);
  EXPECT_EQ(dup[1].iTag, 1);

  // Keys 10 20 20 30: the result is that of the last comparison (30 above 25,
  // below 35), the index where the key is or would go.
  int index = -1;
  TRecord probe = {0, 0};
  for (auto [wanted, result, at] : {std::tuple{25, 1, 3}, {35, -1, 4}, {5, 1, 0}, {30, 0, 3}}) {
    probe.iKey = wanted;
    EXPECT_EQ(array.FindIsq(&probe, key, index), result) << wanted;
    EXPECT_EQ(index, at) << wanted;
  }

  EXPECT_EQ(array.Find(&probe, key, index), 0);
  EXPECT_EQ(index, 3);
  probe.iKey = 99;
  EXPECT_EQ(array.Find(&probe, key, index), 1);
  EXPECT_EQ(index, array.Count());
  CArrayFixFlat<TRecord> empty(1);
  EXPECT_EQ(empty.Find(&probe, key, index), -1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(empty.FindIsq(&probe, key, index), -1);
}

TEST_F(ArrayTest, SortComparesSignedKeysWhateverTheInputOrder) {
  CArrayFixFlat<TRecord> small(2);
  for (int k : {3, -1, 2}) small.AppendL(TRecord{0, k});
  TKeyArrayFix key(offsetof(TRecord, iKey), 0);
  small.Sort(key);
  EXPECT_EQ(Keys(small), (std::vector<int>{-1, 2, 3}));

  // Patterns that defeat naive quicksorts; the pending ranges must stay
  // within the stack of 74, so every sort completes.
  const int count = 20000;
  std::mt19937 random(7);
  std::vector<std::vector<int>> inputs(5);
  for (int i = 0; i < count; ++i) {
    inputs[0].push_back(i);
    inputs[1].push_back(count - i);
    inputs[2].push_back(42);
    inputs[3].push_back(static_cast<int>(random()));
    inputs[4].push_back(i % 2 ? i : -i);
  }
  for (const std::vector<int>& input : inputs) {
    CArrayFixFlat<TRecord> array(256);
    for (int k : input) array.AppendL(TRecord{0, k});
    TKeyArrayFix sortKey(offsetof(TRecord, iKey), 0);
    array.Sort(sortKey);
    std::vector<int> expected = input;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Keys(array), expected);
  }

  EXPECT_EQ(QuickSort(-1, key, TArraySwap(nullptr, 0)), KErrGeneral);
  EXPECT_TRUE(Logged("UtilFunction Panic 96"));
  int index = 0;
  BinarySearch(-1, key, index);
  EXPECT_TRUE(Logged("UtilFunction Panic 97"));
  TKeyArrayFix badKey(-4, 0);
  EXPECT_TRUE(Logged("UtilFunction Panic 98"));
}

TEST_F(ArrayTest, InsertDeleteResizeAndTheirChecks) {
  CArrayFixFlat<TRecord> array(2);
  TRecord one = {1, 1};
  array.InsertRepL(0, &one, 3);
  EXPECT_EQ(array.Count(), 3);
  void* fresh = array.InsertL(1);
  ASSERT_NE(fresh, nullptr);
  *static_cast<TRecord*>(fresh) = TRecord{2, 2};
  EXPECT_EQ(Keys(array), (std::vector<int>{1, 2, 1, 1}));
  array.InsertL(0, array.At(1));  // an element of the array itself
  EXPECT_EQ(Keys(array), (std::vector<int>{2, 1, 2, 1, 1}));
  EXPECT_EQ(static_cast<char*>(array.End(0)), static_cast<char*>(array.At(0)) + 5 * sizeof(TRecord));
  EXPECT_EQ(array.Back(3), array.At(0));

  array.Delete(1, 2);
  EXPECT_EQ(Keys(array), (std::vector<int>{2, 1, 1}));
  TRecord zero = {0, 0};
  array.ResizeL(5, &zero);
  EXPECT_EQ(Keys(array), (std::vector<int>{2, 1, 1, 0, 0}));
  array.ResizeL(1, &zero);
  EXPECT_EQ(Keys(array), (std::vector<int>{2}));

  const std::pair<std::function<void()>, const char*> misuses[] = {
      {[&] { EXPECT_EQ(array.At(1), nullptr); }, "Buf Array Panic 21"},
      {[&] { array.Delete(0, -1); }, "Buf Array Panic 22"},
      {[&] { array.InsertL(0, &one, -1); }, "Buf Array Panic 23"},
      {[&] { array.ResizeL(-1, &one); }, "Buf Array Panic 24"},
      {[&] { array.SetReserveL(0); }, "Buf Array Panic 27"},
      {[&] { array.InsertRepL(0, &one, -1); }, "Buf Array Panic 28"},
      {[&] { array.Delete(0, 2); }, "Buf Array Panic 29"},
  };
  for (const auto& [misuse, panic] : misuses) {
    misuse();
    EXPECT_TRUE(Logged(panic)) << panic;
  }
  EXPECT_EQ(Keys(array), (std::vector<int>{2}));

  CArrayFixBase badSize(NewFlatBuffer, 0, 0);
  EXPECT_TRUE(Logged("Buf Array Panic 17"));
  EXPECT_TRUE(Logged("Buf Array Panic 18"));

  array.Reset();
  EXPECT_EQ(array.Count(), 0);
  EXPECT_EQ(array.SetReserveL(100), KErrNone);
}
