#include <gtest/gtest.h>

#include <kvplatform.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "kernel/hwndmap.h"
#include "kernel/registry.h"
#include "kernel/requests.h"
#include "kernel/tests/log_fixture.h"

namespace {

HWND Window(uintptr_t aValue) { return reinterpret_cast<HWND>(aValue); }

const WCHAR KKey[] = u"Software\\Veltramonic\\Korvanet";

}  // namespace

using WindowMapTest = LoggingTest;

TEST_F(WindowMapTest, OrderedByUnsignedHandleWithPendingFallback) {
  ASSERT_EQ(EpocInitGlobals(), 0);
  SetLogging(1);
  CHWndMap* map = EpocWindowMap();
  ASSERT_NE(map, nullptr);
  int frame = 0, view = 0, dialog = 0, creating = 0;
  EXPECT_EQ(map->AddMapping(&frame, Window(0x80000001u)), 0);
  EXPECT_EQ(map->AddMapping(&view, Window(0x7FFFFFFFu)), 0);
  EXPECT_EQ(map->AddMapping(&dialog, Window(5)), 0);
  EXPECT_EQ(map->AddMapping(&dialog, Window(5)), KErrAlreadyExists);
  ASSERT_EQ(map->Count(), 3);
  EXPECT_EQ(map->At(0).iWindow, Window(5));
  EXPECT_EQ(map->At(2).iWindow, Window(0x80000001u));  // above 0x7FFFFFFF as unsigned
  EXPECT_EQ(map->Find(Window(0x80000001u)), &frame);
  EXPECT_EQ(map->Find(Window(5)), &dialog);

  EXPECT_EQ(map->Find(Window(9)), nullptr);
  map->SetPendingControl(&creating);
  EXPECT_EQ(map->Find(Window(9)), &creating);  // a window still being created
  map->SetPendingControl(nullptr);

  map->RemoveMapping(&frame, Window(5));  // another control's window
  EXPECT_TRUE(Logged("HWndMap Panic 2"));
  map->RemoveMapping(&frame, Window(77));
  EXPECT_TRUE(Logged("HWndMap Panic 1"));
  EXPECT_EQ(map->Count(), 3);
  map->RemoveMapping(&dialog, Window(5));
  EXPECT_EQ(map->Count(), 2);
  EpocReleaseGlobals();
  EXPECT_EQ(EpocWindowMap(), nullptr);
}

using RegistryTest = LoggingTest;

TEST_F(RegistryTest, ValuesRoundTripAndTypeMismatchesAreLogged) {
  kvplatform::ReloadRegistry();  // the registry of this test's root
  CEpocRegistry::SaveRegistryString(KKey, u"SMSC", u"+4712345678");  // creates the whole path
  CEpocRegistry::SaveRegistryInt(KKey, u"DebugLog", 1);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, KKey, 0, 0, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"SMSC", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 24u);  // 11 characters and the terminator
  RegCloseKey(key);

  LPWSTR smsc = CEpocRegistry::GetRegistryString(KKey, u"SMSC");
  ASSERT_NE(smsc, nullptr);
  EXPECT_EQ(std::u16string(smsc), u"+4712345678");
  std::free(smsc);
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"DebugLog"), 1);
  CEpocRegistry::SaveRegistryInt(KKey, u"DebugLog", -7);
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"DebugLog"), -7);

  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKey, u"SMSC"), 0);
  EXPECT_TRUE(Logged("CEpocRegistry::GetRegistryInt RegQueryValueExW returned 234, type=1"));  // more data than 4 bytes
  EXPECT_EQ(CEpocRegistry::GetRegistryString(KKey, u"DebugLog"), nullptr);
  EXPECT_TRUE(Logged("CEpocRegistry::GetRegistryString DebugLog - RegQueryValueExW returned 0, type=4"));
  EXPECT_EQ(CEpocRegistry::GetRegistryString(KKey, u"Missing"), nullptr);
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(u"Software\\Nobody", u"DebugLog"), 0);
  bool openFailure = false;
  for (const std::string& message : Messages())
    openFailure |= message.rfind("CEpocRegistry::GetRegistryInt RegOpenKeyEx ERROR ", 0) == 0;
  EXPECT_TRUE(openFailure) << ::testing::PrintToString(Messages());
}
