#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <string>

#include "kernel/buffers.h"
#include "kernel/tests/log_fixture.h"

using BufferTest = LoggingTest;

namespace {
std::string Contents(CBufBase& aBuf) {
  std::string bytes(aBuf.Size(), '\0');
  aBuf.Read(0, bytes.data(), aBuf.Size());
  return bytes;
}
}  // namespace

TEST_F(BufferTest, GrowsByGranularityAlwaysAboveTheNeed) {
  std::unique_ptr<CBufFlat> buf(CBufFlat::NewL(16));
  ASSERT_TRUE(buf);
  EXPECT_STREQ(reinterpret_cast<const char*>(buf->ClassName()), reinterpret_cast<const char*>(u"CBufFlat"));
  EXPECT_EQ(buf->Capacity(), 0);
  buf->Insert(0, "x", 1);
  EXPECT_EQ(buf->Capacity(), 16);

  std::unique_ptr<CBufFlat> exact(CBufFlat::NewL(16));
  exact->Insert(0, "0123456789abcdef", 16);
  EXPECT_EQ(exact->Capacity(), 32);

  std::unique_ptr<CBufFlat> coarse(CBufFlat::NewL(32));
  coarse->Expand(0, 8);
  EXPECT_EQ(coarse->Capacity(), 32);
  coarse->Expand(8, 24);
  EXPECT_EQ(coarse->Capacity(), 32);  // fits exactly: no growth
  std::unique_ptr<CBufFlat> fromEmpty(CBufFlat::NewL(32));
  fromEmpty->Expand(0, 32);
  EXPECT_EQ(fromEmpty->Capacity(), 64);  // growth ends strictly above the need
  fromEmpty->Delete(0, 30);
  EXPECT_EQ(fromEmpty->Capacity(), 64);  // deleting never shrinks
  fromEmpty->Compress();
  EXPECT_EQ(fromEmpty->Capacity(), 2);
  coarse->Reset();
  EXPECT_EQ(coarse->Size(), 0);
  EXPECT_EQ(coarse->Capacity(), 0);
}

TEST_F(BufferTest, InsertReadWriteDelete) {
  std::unique_ptr<CBufFlat> buf(CBufFlat::NewL(4));
  buf->Insert(0, TConstPtr8("world"));
  buf->Insert(0, TConstPtr8("hello "));
  EXPECT_EQ(Contents(*buf), "hello world");
  buf->Write(0, TConstPtr8("J"));
  EXPECT_EQ(Contents(*buf), "Jello world");
  buf->Delete(5, 6);
  EXPECT_EQ(Contents(*buf), "Jello");

  TModBuf8<3> three;
  buf->Read(1, three);  // as many as the maximum
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(three.Ptr()), three.Length()), "ell");
  buf->Read(2, three, 2);
  EXPECT_EQ(three.Length(), 2);

  TModPtr8 back = buf->BackPtr(3);
  EXPECT_EQ(back.Length(), 3);
  TModPtr8 rest = buf->Ptr(3);
  EXPECT_EQ(rest.Length(), 2);
  EXPECT_EQ(rest.Ptr()[0], 'l');

  buf->Resize(2);
  EXPECT_EQ(Contents(*buf), "Je");
  buf->Resize(4);
  EXPECT_EQ(buf->Size(), 4);
}

TEST_F(BufferTest, MisuseIsReportedAndChangesNothing) {
  std::unique_ptr<CBufFlat> buf(CBufFlat::NewL(8));
  buf->Insert(0, "abc", 3);
  TModBuf8<8> target;
  const std::pair<std::function<void()>, const char*> misuses[] = {
      {[&] { buf->Read(0, target); }, "Buf Array Panic 4"},  // maximum 8 beyond size 3
      {[&] { buf->Write(2, "xyz", 3); }, "Buf Array Panic 5"},
      {[&] { buf->Read(0, target, -1); }, "Buf Array Panic 6"},
      {[&] { buf->Write(0, "x", -1); }, "Buf Array Panic 7"},
      {[&] { buf->Insert(0, "x", -1); }, "Buf Array Panic 8"},
      {[&] { buf->Insert(0, nullptr, 1); }, "Buf Array Panic 9"},
      {[&] { buf->SetReserve(-1); }, "Buf Array Panic 10"},
      {[&] { buf->SetReserve(2); }, "Buf Array Panic 11"},
      {[&] { buf->Insert(4, "x", 1); }, "Buf Array Panic 12"},
      {[&] { buf->Delete(1, 5); }, "Buf Array Panic 13"},
  };
  for (const auto& [misuse, panic] : misuses) {
    misuse();
    EXPECT_TRUE(Logged(panic)) << panic;
  }
  EXPECT_EQ(Contents(*buf), "abc");
  EXPECT_EQ(buf->Capacity(), 8);

  std::unique_ptr<CBufFlat> negative(CBufFlat::NewL(-1));
  EXPECT_TRUE(Logged("Buf Array Panic 3"));
  // A granularity of 0 still grows.
  std::unique_ptr<CBufFlat> zero(CBufFlat::NewL(0));
  zero->Insert(0, "ab", 2);
  EXPECT_EQ(Contents(*zero), "ab");
}
