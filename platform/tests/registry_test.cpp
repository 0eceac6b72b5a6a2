// The registry: values, sizes and errors; persistence across processes; a
// process killed while writing; a damaged file moved aside.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>
#include <kvplatform.h>
#include <windows.h>

#include "testing/device_root.h"

namespace {

constexpr const char16_t* kKey = u"Software\\Veltramonic\\Korvanet";

HKEY CreateKey() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0, nullptr, &key, &disposition), ERROR_SUCCESS);
  return key;
}

LONG SetDword(HKEY key, LPCWSTR name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG SetText(HKEY key, LPCWSTR name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

std::u16string GetText(HKEY key, LPCWSTR name) {
  WCHAR buffer[256] = {};
  DWORD size = sizeof buffer, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) return u"?";
  return type == REG_SZ ? std::u16string(buffer) : u"?";
}

// A DWORD value, or `missing` when it cannot be read.
DWORD GetDword(HKEY key, LPCWSTR name, DWORD missing = 0xFFFFFFFF) {
  DWORD value = 0, size = sizeof value;
  return RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS
             ? value
             : missing;
}

bool HasDamagedCopy(const std::string& root) {
  for (auto& entry : std::filesystem::directory_iterator(root))
    if (entry.path().filename().string().find("registry.reg.damaged-") == 0) return true;
  return false;
}

TEST(Registry, ValuesSizesAndErrors) {
  TDeviceRoot root("kv-platform");
  HKEY missing = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, 0, &missing), ERROR_FILE_NOT_FOUND);

  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0, nullptr, &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\veltramonic\\KORVANET", 0, nullptr, 0, 0, nullptr, &again,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  HKEY parent = nullptr;  // every missing part was created
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Veltramonic", 0, 0, &parent), ERROR_SUCCESS);

  EXPECT_EQ(SetDword(key, u"DebugLog", 1), ERROR_SUCCESS);
  EXPECT_EQ(SetText(key, u"SMSC", u"+447785016005"), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(again, u"smsc", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 14u * sizeof(WCHAR));
  WCHAR small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, u"SMSC", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u * sizeof(WCHAR));
  EXPECT_EQ(GetText(key, u"SMSC"), u"+447785016005");

  EXPECT_EQ(GetDword(key, u"DebugLog"), 1u);
  DWORD value = 0;
  size = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, u"MessageView", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExW(key, u"Bad", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 2),
            ERROR_INVALID_PARAMETER);

  RegCloseKey(key);
  RegCloseKey(again);
  RegCloseKey(parent);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetDword(key, u"DebugLog", 0), ERROR_INVALID_HANDLE);
}

TEST(Registry, ValuesSurviveARestartOfTheProcess) {
  TDeviceRoot root("kv-platform");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HKEY key = CreateKey();
    SetText(key, u"SMSC", u"+31 6 \"quoted\" \\ é ✓");
    SetDword(key, u"MessageView", 2);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  kvplatform::ReloadRegistry();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, u"SMSC"), u"+31 6 \"quoted\" \\ é ✓");
  // Written by another process after this one read the file: seen at once.
  child = fork();
  if (child == 0) {
    SetDword(CreateKey(), u"DebugLog", 7);
    _exit(0);
  }
  waitpid(child, &status, 0);
  EXPECT_EQ(GetDword(key, u"DebugLog"), 7u);
  RegCloseKey(key);
  EXPECT_EQ(std::filesystem::status(kvplatform::RegistryFilePath()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(Registry, AProcessKilledWhileWritingLeavesAWholeFile) {
  TDeviceRoot root("kv-platform");
  std::mt19937 random(12345);
  int roundsWithValues = 0;
  for (int round = 0; round < 12; ++round) {
    int written[2];
    ASSERT_EQ(pipe(written), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(written[0]);
      HKEY key = CreateKey();
      for (DWORD i = 0;; ++i) {
        SetDword(key, u"Counter", i);
        SetText(key, u"Text", std::u16string(1 + i % 200, u'x'));
        if (i == 0) close(written[1]);  // the first values are in the file
      }
    }
    // Once the child has written, kill it at a random point of its later writes
    // (the pause picks the point; nothing waits on it).
    close(written[1]);
    char none;
    ASSERT_EQ(read(written[0], &none, 1), 0);
    close(written[0]);
    usleep(random() % 20000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    kvplatform::ReloadRegistry();
    ASSERT_FALSE(HasDamagedCopy(root.Path())) << "round " << round;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, 0, &key) == ERROR_SUCCESS) {
      roundsWithValues += GetDword(key, u"Counter") != 0xFFFFFFFF;
      RegCloseKey(key);
    }
  }
  EXPECT_EQ(roundsWithValues, 12);  // whatever the moment of the kill, the last whole file is there
}

TEST(Registry, ADamagedFileIsMovedAsideAndTheSettingsStartEmpty) {
  TDeviceRoot root("kv-platform");
  {
    std::ofstream out(kvplatform::RegistryFilePath());
    out << "Korvanet registry 1\n[HKEY_CURRENT_USER\\Software]\n\"Broken=dword:zz\n";
  }
  kvplatform::ReloadRegistry();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, 0, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(HasDamagedCopy(root.Path()));
  // The program goes on with a fresh file.
  key = CreateKey();
  EXPECT_EQ(SetDword(key, u"DebugLog", 1), ERROR_SUCCESS);
  kvplatform::ReloadRegistry();
  EXPECT_EQ(GetDword(key, u"DebugLog"), 1u);
  RegCloseKey(key);
}

// Found by fuzzing: a text value holding a NUL was saved cut at the NUL.
TEST(Registry, ATextWithANulInsideSurvivesTheNextSave) {
  TDeviceRoot root("kv-platform");
  std::filesystem::copy_file(KV_TEST_DATA "/registry-nul-in-text.reg", kvplatform::RegistryFilePath());
  kvplatform::ReloadRegistry();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\X", 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(key, u"Other", 1), ERROR_SUCCESS);  // rewrites the file
  kvplatform::ReloadRegistry();
  WCHAR buffer[32] = {};
  DWORD size = sizeof buffer, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"A", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::u16string(buffer, size / sizeof(WCHAR)), std::u16string(u"before\0after\0", 13));
  EXPECT_FALSE(HasDamagedCopy(root.Path()));
  RegCloseKey(key);
}

// Found by fuzzing: bytes that are not UTF-8 in a key name turned into other
// characters on the next save, so the key and its values were lost.
TEST(Registry, AFileThatIsNotUtf8IsMovedAside) {
  TDeviceRoot root("kv-platform");
  std::filesystem::copy_file(KV_TEST_DATA "/registry-invalid-utf8.reg", kvplatform::RegistryFilePath());
  kvplatform::ReloadRegistry();
  EXPECT_TRUE(HasDamagedCopy(root.Path()));
  EXPECT_EQ(kvplatform::FromUtf8("\xC0\xAF"), u"\xFFFD\xFFFD");  // overlong
  EXPECT_EQ(kvplatform::FromUtf8("\xED\xA0\x80").front(), u'\xFFFD');  // a surrogate
  EXPECT_EQ(kvplatform::FromUtf8("\xF4\x90\x80\x80").front(), u'\xFFFD');  // beyond U+10FFFF
  EXPECT_EQ(kvplatform::FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
}

}  // namespace
