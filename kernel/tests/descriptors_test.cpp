#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kernel/descriptors.h"
#include "kernel/tests/log_fixture.h"

namespace {

std::u16string Text(const TDesc16& aDes) { return std::u16string(aDes.Ptr(), aDes.Length()); }
std::string Bytes(const TDesc8& aDes) {
  return std::string(reinterpret_cast<const char*>(aDes.Ptr()), aDes.Length());
}

}  // namespace

using DescriptorTest = LoggingTest;

TEST_F(DescriptorTest, EachKindFindsItsDataAndLength) {
  const WCHAR* hello = u"hello";
  TConstPtr16 ptr(hello);
  EXPECT_EQ(ptr.Length(), 5);
  EXPECT_EQ(ptr.Ptr(), hello);

  TConstBuf16<8> constBuf(u"abc");
  EXPECT_EQ(Text(constBuf), u"abc");

  TModBuf16<10> modBuf(u"xyz");
  const TDesc16& any = modBuf;
  EXPECT_EQ(any.MaxLength(), 10);
  EXPECT_EQ(Text(any), u"xyz");

  WCHAR storage[6] = u"12345";
  TModPtr16 modPtr(storage, 3, 5);
  EXPECT_EQ(Text(modPtr), u"123");
  modPtr.Append(u'x');
  EXPECT_EQ(storage[3], u'x');

  THeapBuf16* heap = THeapBuf16::New(4);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(heap->Length(), 0);
  THeapPtr16 des = heap->Des();
  EXPECT_EQ(des.MaxLength(), 4);
  des.Copy(u"ab");
  // The length reaches the heap buffer as a bare length: kind 0, still readable.
  EXPECT_EQ(heap->Kind(), EDescHeapBufSet);
  EXPECT_EQ(Text(*heap), u"ab");
  heap = heap->ReAlloc(100);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(heap->MaxLength(), 100);
  EXPECT_EQ(Text(*heap), u"ab");
  EXPECT_EQ(heap->ReAlloc(1), heap);  // below the length: refused
  EXPECT_TRUE(Logged("Descriptor Panic 14"));
  EXPECT_EQ(heap->MaxLength(), 100);
  delete heap;

  THeapBuf8* full = THeapBuf8::NewMax(3);
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(full->Length(), 3);
  delete full;

  THeapBuf16* copy = ptr.Alloc();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->MaxLength(), 5);
  EXPECT_EQ(Text(*copy), u"hello");
  delete copy;

  EXPECT_EQ(THeapBuf16::New(-1), nullptr);
  EXPECT_TRUE(Logged("Descriptor Panic 18"));
  EXPECT_EQ(THeapBuf8::New(-1), nullptr);
  EXPECT_TRUE(Logged("Descriptor Panic 30"));
}

TEST_F(DescriptorTest, ReadingOperations) {
  EXPECT_LT(TConstPtr16(u"abc").Compare(TConstPtr16(u"abcd")), 0);
  EXPECT_EQ(TConstPtr16(u"abc").Compare(TConstPtr16(u"abcd")), -1);
  EXPECT_EQ(TConstPtr16(u"abd").Compare(TConstPtr16(u"abc")), 1);
  EXPECT_EQ(TConstPtr16(u"abc").Compare(TConstBuf16<3>(u"abc")), 0);
  EXPECT_GT(TConstPtr8("b").Compare(TConstPtr8("abc")), 0);
  EXPECT_EQ(TConstPtr8("ab").Compare(TConstPtr8("abc")), -1);

  TConstPtr16 text(u"abcdef");
  EXPECT_EQ(Text(text.Left(2)), u"ab");
  EXPECT_EQ(Text(text.Left(99)), u"abcdef");
  EXPECT_EQ(Text(text.Right(2)), u"ef");
  EXPECT_EQ(Text(text.Mid(4)), u"ef");
  EXPECT_EQ(Text(text.Mid(1, 3)), u"bcd");
  EXPECT_EQ(text.Mid(2, 5).Length(), 0);  // reaches beyond the end
  EXPECT_TRUE(Logged("Descriptor Panic 10"));
  EXPECT_EQ(text.Locate(u'd'), 3);
  EXPECT_EQ(text.Locate(u'z'), -1);
  EXPECT_EQ(*text.At(5), u'f');
  EXPECT_EQ(*text.At(6), 0);  // out of range: a harmless zero
  EXPECT_TRUE(Logged("Descriptor Panic 9"));

  TConstPtr8 data("+CMGL: 1,0\r\nOK\r\n");
  EXPECT_EQ(data.Find(TConstPtr8("OK")), 12);
  EXPECT_EQ(data.Find(TConstPtr8("ERROR")), -1);
  EXPECT_EQ(data.Find(TConstPtr8("")), 0);
  EXPECT_EQ(data.Find(data.Ptr(), -1), -1);
  EXPECT_TRUE(Logged("Descriptor Panic 29"));
}

TEST_F(DescriptorTest, ChangingOperations) {
  TModBuf16<10> buf(u"hello");
  buf.Delete(2, 100);
  EXPECT_EQ(Text(buf), u"he");
  buf.Insert(1, TConstPtr16(u"XY"));
  EXPECT_EQ(Text(buf), u"hXYe");
  buf.Insert(0, buf);  // from itself
  EXPECT_EQ(Text(buf), u"hXYehXYe");
  buf.Replace(1, 2, TConstPtr16(u"-"));
  EXPECT_EQ(Text(buf), u"h-ehXYe");
  buf.Replace(0, 7, TConstPtr16(u"0123456789"));
  EXPECT_EQ(Text(buf), u"0123456789");

  // Overflow: panic 11 and the target is left as it was.
  buf.Append(u'!');
  EXPECT_EQ(Text(buf), u"0123456789");
  EXPECT_TRUE(Logged("Descriptor Panic 11"));
  buf.Replace(0, 0, TConstPtr16(u"0123456789A"));
  EXPECT_TRUE(Logged("Descriptor Panic 16"));
  buf.Replace(8, 5, TConstPtr16(u"x"));
  EXPECT_TRUE(Logged("Descriptor Panic 8"));
  EXPECT_EQ(Text(buf), u"0123456789");

  // With no room left, PtrZ gives up the last character for the terminator.
  WCHAR* z = buf.PtrZ();
  EXPECT_EQ(std::u16string(z), u"012345678");
  buf.SetLength(3);
  buf.ZeroTerminate();
  EXPECT_EQ(buf.Ptr()[3], 0);
  buf.FillZ(4);
  EXPECT_EQ(buf.Length(), 4);
  EXPECT_EQ(buf.Ptr()[0], 0);
  EXPECT_EQ(buf.Ptr()[3], 0);

  TModBuf16<16> number;
  number.AppendNum(255, 16);
  EXPECT_EQ(Text(number), u"ff");
  number.Num(-12);
  EXPECT_EQ(Text(number), u"-12");
  number.Num(0);
  EXPECT_EQ(Text(number), u"0");
  number.Num(static_cast<int>(0x80000000u));
  EXPECT_EQ(Text(number), u"-2147483648");
  number.Num(0xDEADu, 2);
  EXPECT_EQ(Text(number), u"1101111010101101");
  number.Num(35u, 36);
  EXPECT_EQ(Text(number), u"z");
  number.AppendNum(0x1DEADu, 2);  // 17 digits do not fit: nothing appended
  EXPECT_EQ(Text(number), u"z");

  TModBuf8<4> small;
  small.CopyTruncated(TConstPtr8("abcdef"));
  EXPECT_EQ(Bytes(small), "abcd");
  small.Copy("abcdef");
  EXPECT_EQ(Bytes(small), "abcd");
  EXPECT_TRUE(Logged("Descriptor Panic 23"));

  TModBuf16<2> tooLong(3);  // a length above the maximum
  EXPECT_EQ(tooLong.Length(), 0);
  EXPECT_TRUE(Logged("Descriptor Panic 8"));
  TConstBuf8<2> constCopy;
  constCopy.Copy(TConstPtr8("abc"));
  EXPECT_EQ(constCopy.Length(), 0);
}

TEST_F(DescriptorTest, ConversionsBetweenWidths) {
  const WCHAR wide[] = {0x41, 0xE9, 0x20AC, 0};
  TModBuf8<8> narrow;
  narrow.Copy(TConstPtr16(wide));
  EXPECT_EQ(Bytes(narrow), std::string("\x41\xE9\x01", 3));
  narrow.Append(TConstPtr16(u"\u00FF\u0100"));
  EXPECT_EQ(Bytes(narrow), std::string("\x41\xE9\x01\xFF\x01", 5));

  const TText8 bytes[] = {0x41, 0xE9, 0xFF};
  TModBuf16<8> widened;
  widened.Copy(TConstPtr8(bytes, 3));
  EXPECT_EQ(Text(widened), std::u16string(u"A\u00E9\u00FF"));
}

TEST_F(DescriptorTest, AnUnknownKindGivesNoData) {
  TConstPtr16 text(u"abc");
  uint32_t header;
  std::memcpy(&header, &text, 4);
  header = (header & 0x0FFFFFFF) | 0x70000000u;
  std::memcpy(static_cast<void*>(&text), &header, 4);
  EXPECT_EQ(text.Ptr(), nullptr);
  EXPECT_TRUE(Logged("Descriptor Panic 7"));
  EXPECT_EQ(text.Compare(TConstPtr16(u"abc")), 0);  // lengths only, no data read
}
