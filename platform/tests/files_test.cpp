// Files under the device root.
#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>
#include <kvplatform.h>
#include <windows.h>

#include "testing/device_root.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

TEST(Files, AppendCreateAndReadBackUnderTheRoot) {
  TDeviceRoot root("kv-platform");
  LPCWSTR log = u"\\My Documents\\KorvanetLog.Txt";
  HANDLE file = CreateFileW(log, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);  // it did not exist
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "one\r\n", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  EXPECT_TRUE(FlushFileBuffers(file));
  CloseHandle(file);
  EXPECT_EQ(ModeOf(root.Path() + "/My Documents/KorvanetLog.Txt"), 0600u);
  EXPECT_EQ(ModeOf(root.Path() + "/My Documents"), 0700u);

  // Opened again: appended at the end, never truncated; the name's case does not matter.
  file = CreateFileW(u"\\my documents\\korvanetlog.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0,
                     nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 5u);
  WriteFile(file, "two\r\n", 5, &written, nullptr);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
  char buffer[32] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "one\r\ntwo\r\n");
  EXPECT_EQ(GetFileSize(file, nullptr), 10u);
  EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));

  // Shared neither for reading nor writing: a second open is refused.
  EXPECT_EQ(CreateFileW(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(file);

  // CREATE_ALWAYS truncates.
  file = CreateFileW(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_EQ(GetFileSize(file, nullptr), 0u);
  CloseHandle(file);
}

TEST(Files, FailuresAreReportedWithTheirErrors) {
  TDeviceRoot root("kv-platform");
  EXPECT_EQ(CreateFileW(u"\\Nowhere\\x.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(CreateFileW(u"\\missing.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileW(u"\\..\\escape.txt", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  std::u16string longName(300, u'a');
  EXPECT_EQ(CreateFileW(longName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);

  DWORD count;
  EXPECT_FALSE(WriteFile(reinterpret_cast<HANDLE>(0x123450), "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, nullptr, 0, &count, nullptr));

  // A read-only handle refuses writes.
  HANDLE file = CreateFileW(u"\\ro.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  CloseHandle(file);
  EXPECT_EQ(CreateFileW(u"\\ro.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  file = CreateFileW(u"\\ro.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(WriteFile(file, "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(file);
}

TEST(Files, CreateDirectoryReportsAnExistingFolder) {
  TDeviceRoot root("kv-platform");
  EXPECT_TRUE(CreateDirectoryW(u"\\Program Files", nullptr));
  EXPECT_TRUE(CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr));
  EXPECT_FALSE(CreateDirectoryW(u"\\Program Files", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(u"\\A\\B\\C", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(ModeOf(root.Path() + "/Program Files/Korvanet"), 0700u);
}

}  // namespace
