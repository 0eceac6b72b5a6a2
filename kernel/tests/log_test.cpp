#include <gtest/gtest.h>

#include <kvplatform.h>
#include <windows.h>

#include <cctype>
#include <string>

#include "kernel/log.h"
#include "kernel/panic.h"
#include "kernel/tests/log_fixture.h"

using LogTest = LoggingTest;

namespace {

std::string ThreadHeader() {
  char header[16];
  std::snprintf(header, sizeof header, "0x%08x ", static_cast<unsigned>(GetCurrentThreadId()));
  return header;
}

// "0x" 8 lowercase hex digits, a blank, at least 6 decimal digits, ": ".
bool WellFormedHeader(const std::string& aLine) {
  if (aLine.size() < 19 || aLine.compare(0, 2, "0x") != 0 || aLine[10] != ' ') return false;
  for (int i = 2; i < 10; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(aLine[i])) || std::isupper(static_cast<unsigned char>(aLine[i])))
      return false;
  size_t colon = aLine.find(": ", 11);
  if (colon == std::string::npos || colon < 17) return false;
  for (size_t i = 11; i < colon; ++i)
    if (!std::isdigit(static_cast<unsigned char>(aLine[i]))) return false;
  return true;
}

}  // namespace

TEST(LogOffTest, NothingIsWrittenAndNoFileCreated) {
  TProgramRoot root("kvkernel");
  SetLogging(0);
  LogMessage(KLogFilePath, u"not written %1!d!", 1);
  LogMessageWithError(KLogFilePath, u"not written");
  LogHexDump(KLogFilePath, "abc", 3, u"not written");
  PanicDescriptor(7);
  EXPECT_FALSE(LogFileExists(root.Path()));
}

TEST_F(LogTest, LineBytesAreHeaderMessageAndCrLf) {
  int negative = -5;
  LPCWSTR name = u"CPhoneEng";
  void* address = reinterpret_cast<void*>(0x123456789abcULL);
  LogMessage(KLogFilePath, u"%1!s!::Run %2!d! 0x%3!x! \u00e9\u20ac", name, negative, address);
  std::string log = ReadLogFile(iRoot.Path());
  EXPECT_TRUE(WellFormedHeader(log)) << log;
  EXPECT_EQ(LogLineMessage(log), "CPhoneEng::Run -5 0x56789abc \xE9\x01\r\n");
  EXPECT_EQ(log.rfind(ThreadHeader(), 0), 0u) << log;

  // A second line is appended; the file is never truncated.
  LogMessage(KLogFilePath, u"second");
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1], "second");
}

TEST_F(LogTest, ElapsedTimeCountsFromTheFirstLine) {
  // The lines' times are bracketed by tick counts taken around each call.
  long beforeFirst = GetTickCount();
  LogMessage(KLogFilePath, u"first");
  long afterFirst = GetTickCount();
  Sleep(250);
  long beforeLater = GetTickCount();
  LogMessage(KLogFilePath, u"later");
  long afterLater = GetTickCount();
  std::string log = ReadLogFile(iRoot.Path());
  size_t second = log.find("\r\n") + 2;
  long first = std::stol(log.substr(11, log.find(':') - 11));
  long later = std::stol(log.substr(second + 11, log.find(':', second) - second - 11));
  EXPECT_GE(later - first, 250);
  EXPECT_GE(later - first, beforeLater - afterFirst);
  EXPECT_LE(later - first, afterLater - beforeFirst);
  EXPECT_EQ(log[second + 11 + 6], ':');  // six digits with leading zeros
}

TEST_F(LogTest, LimitsOf255CharactersAnd256Bytes) {
  std::u16string header16 = std::u16string(u"0x12345678 000000: ");
  // 255 characters in all: no room for CR LF, which is dropped with a panic.
  std::u16string fill(255 - header16.size(), u'a');
  LogMessage(KLogFilePath, u"%1!s!", fill.c_str());
  std::string log = ReadLogFile(iRoot.Path());
  EXPECT_NE(log.find("Descriptor Panic 23\r\n"), std::string::npos);
  EXPECT_EQ(log.size() - log.find(std::string(fill.size(), 'a')), fill.size());  // last, unterminated

  // Over 255 after expansion: an empty line.
  TProgramRoot other("kvkernel");
  std::u16string longText(300, u'b');
  LogMessage(KLogFilePath, u"%1!s!", longText.c_str());
  EXPECT_EQ(ReadLogFile(other.Path()), "\r\n");

  // A format too long for the 128-character first pass: an empty line too.
  TProgramRoot third("kvkernel");
  std::u16string longFormat(120, u'f');
  LogMessage(KLogFilePath, longFormat.c_str());
  EXPECT_EQ(ReadLogFile(third.Path()), "\r\n");
}

TEST_F(LogTest, MessageWithErrorAppendsTheLastErrorWhenItFits) {
  SetLastError(5);
  LogMessageWithError(KLogFilePath, u"CEpocRegistry::GetRegistryString RegOpenKeyEx");
  EXPECT_EQ(GetLastError(), 5u);  // logging keeps the caller's error
  std::string log = ReadLogFile(iRoot.Path());
  EXPECT_EQ(LogLineMessage(log), "CEpocRegistry::GetRegistryString RegOpenKeyEx ERROR 5\r\n");

  TProgramRoot other("kvkernel");
  std::u16string text(250 - 19, u'c');  // 250 with the header
  SetLastError(2);
  LogMessageWithError(KLogFilePath, u"%1!s!", text.c_str());
  log = ReadLogFile(other.Path());
  EXPECT_EQ(log.size(), 250u);
  EXPECT_EQ(log.find("ERROR"), std::string::npos);
  EXPECT_EQ(log.find("\r\n"), std::string::npos);
}

TEST_F(LogTest, HexDumpLayout) {
  const unsigned char three[] = {0x41, 0x00, 0x7A};
  LogHexDump(KLogFilePath, three, 3, u"dump %1!d!", 3);
  std::string log = ReadLogFile(iRoot.Path());
  size_t end = log.find("\r\n");
  EXPECT_EQ(LogLineMessage(log.substr(0, end)), "dump 3");
  EXPECT_EQ(log.substr(end + 2), "41 00 7a \"A.z\"\r\n");

  TProgramRoot other("kvkernel");
  unsigned char bytes[17];
  for (int i = 0; i < 17; ++i) bytes[i] = static_cast<unsigned char>(0x30 + i);
  LogHexDump(KLogFilePath, bytes, 17, u"seventeen");
  log = ReadLogFile(other.Path());
  end = log.find("\r\n");
  EXPECT_EQ(log.substr(end + 2),
            "30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d 3e 3f \"0123456789:;<=>?\"\r\n"
            "40 \"@\"\r\n");

  // A long dump is written in pieces but reads as one whole.
  TProgramRoot big("kvkernel");
  unsigned char many[200];
  for (int i = 0; i < 200; ++i) many[i] = static_cast<unsigned char>(i);
  LogHexDump(KLogFilePath, many, 200, u"many");
  log = ReadLogFile(big.Path());
  int lines = 0;
  for (size_t at = 0; (at = log.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, 1 + 13);
  EXPECT_NE(log.find("c0 c1 c2 c3 c4 c5 c6 c7 \"........\"\r\n"), std::string::npos);

  TProgramRoot none("kvkernel");
  LogHexDump(KLogFilePath, many, 0, u"empty");
  EXPECT_EQ(LogLineMessage(ReadLogFile(none.Path())), "empty\r\n");
}

TEST_F(LogTest, PanicsAndErrorBoxes) {
  kvplatform::ClearMessageBoxHistory();
  User::Panic(TConstPtr16(u"Too many starts"), 666);
  EXPECT_TRUE(Logged("User::Panic Category: Too many starts, Reason 666"));
  auto boxes = kvplatform::MessageBoxHistory();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Too many starts");
  EXPECT_EQ(boxes[0].text, u"666");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));

  PanicActive(46);
  PanicQueue(78);
  PanicUtilFunction(35);
  PanicEpocControl(0);
  PanicHWndMap(2);
  PanicEpocDatabase(0);
  for (const char* line : {"Active Panic 46", "Queue Panic 78", "UtilFunction Panic 35", "EpocControl Panic 0",
                           "HWndMap Panic 2", "Epoc Database Panic 0"})
    EXPECT_TRUE(Logged(line)) << line;
  EXPECT_EQ(kvplatform::MessageBoxHistory().size(), 1u);  // category panics show nothing

  // Error boxes show whatever the switch says, and never overflow their text.
  SetLogging(0);
  std::u16string huge(600, u'x');
  ErrorBox(u"CEventBank", u"%s %d", huge.c_str(), 7);
  boxes = kvplatform::MessageBoxHistory();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].caption, u"CEventBank");
  EXPECT_EQ(boxes[1].text, huge.substr(0, 255));

  EXPECT_EQ(User::LeaveIfError(-4), -4);
  int value = 0;
  EXPECT_EQ(User::LeaveIfNull(&value), &value);
}

TEST_F(LogTest, AFileThatCannotBeOpenedIsReportedOnce) {
  kvplatform::ClearMessageBoxHistory();
  LogMessage(u"\\No Such Folder\\Log.txt", u"lost");
  LogMessage(u"\\No Such Folder\\Log.txt", u"lost too");
  auto boxes = kvplatform::MessageBoxHistory();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"LogToFile");
  EXPECT_EQ(boxes[0].text, u"Failed to open \\No Such Folder\\Log.txt");
  // Back to the usual file: it opens again.
  LogMessage(KLogFilePath, u"found");
  EXPECT_TRUE(Logged("found"));
}
