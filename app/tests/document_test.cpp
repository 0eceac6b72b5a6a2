// The document's settings in the registry, its data folders and its stores.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include <kvplatform.h>

#include "app/document/kv_application.h"
#include "app/document/kv_document.h"
#include "app/tests/app_fixture.h"
#include "kernel/log.h"
#include "kernel/registry.h"

namespace {

// A value's type and size as stored, or type 0 when it is missing.
void StoredValue(LPCWSTR aName, DWORD& aType, DWORD& aSize) {
  aType = 0;
  aSize = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, KKvRegistryKey, 0, 0, &key) != ERROR_SUCCESS) return;
  if (RegQueryValueExW(key, aName, nullptr, &aType, nullptr, &aSize) != ERROR_SUCCESS) aType = 0;
  RegCloseKey(key);
}

LPWSTR Copy(const char16_t* aText) {
  size_t bytes = (std::char_traits<char16_t>::length(aText) + 1) * sizeof(char16_t);
  auto* text = static_cast<LPWSTR>(std::malloc(bytes));
  std::memcpy(text, aText, bytes);
  return text;
}

}  // namespace

TEST_F(AppTest, WithoutAKeyTheDefaultsHoldAndTheFirstCommitWritesAllThree) {
  std::unique_ptr<CKvApplication> application(CKvApplication::NewL());
  auto* document = static_cast<CKvDocument*>(application->CreateDocumentL());
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(application->CreateDocumentL(), document);
  EXPECT_EQ(document->Application(), application.get());
  EXPECT_EQ(document->DoLogging(), 0);
  EXPECT_EQ(LoggingOn(), 0);
  ASSERT_NE(document->SmscNumber(), nullptr);
  EXPECT_EQ(std::u16string(document->SmscNumber()), u"");
  EXPECT_FALSE(document->MessageView());
  for (const char* folder : {"/Program Files", "/Program Files/Korvanet", "/Program Files/Korvanet/Data"})
    EXPECT_TRUE(std::filesystem::is_directory(iRoot + folder)) << folder;

  DWORD type, size;
  StoredValue(KKvSmscValue, type, size);
  EXPECT_EQ(type, 0u);
  document->CommitSettingsL();
  kvplatform::ReloadRegistry();
  StoredValue(KKvDebugLogValue, type, size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size, 4u);
  StoredValue(KKvSmscValue, type, size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 2u);  // the empty text, terminated
  StoredValue(KKvMessageViewValue, type, size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(AppTest, StoredSettingsAreLoadedTypeMismatchesReadAsDefaultsAndCommitNormalises) {
  CEpocRegistry::SaveRegistryString(KKvRegistryKey, KKvDebugLogValue, u"1");  // text, not a number
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvSmscValue, 5);            // number, not text
  CEpocRegistry::SaveRegistryInt(KKvRegistryKey, KKvMessageViewValue, 2);
  std::unique_ptr<CKvApplication> application(CKvApplication::NewL());
  auto* document = static_cast<CKvDocument*>(application->CreateDocumentL());
  EXPECT_EQ(document->DoLogging(), 0);
  EXPECT_EQ(std::u16string(document->SmscNumber()), u"");
  EXPECT_TRUE(document->MessageView());

  document->SetDoLogging(1);
  EXPECT_EQ(LoggingOn(), 1);
  document->SetSmscNumber(Copy(u"+447785016005"));
  document->SetSmscNumber(Copy(u"+441632960000"));  // the first is freed (ASan would see a leak)
  document->CommitSettingsL();
  EXPECT_EQ(CountLog("CKvDocument::CommitSettingsL"), 1);
  EXPECT_EQ(CountLog("CKvDocument::SetSmscNumber +441632960000"), 1);
  kvplatform::ReloadRegistry();
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvMessageViewValue), 1);
  EXPECT_EQ(CEpocRegistry::GetRegistryInt(KKvRegistryKey, KKvDebugLogValue), 1);

  // A second start reads back what was committed, logging from the start.
  application.reset(CKvApplication::NewL());
  document = static_cast<CKvDocument*>(application->CreateDocumentL());
  EXPECT_EQ(std::u16string(document->SmscNumber()), u"+441632960000");
  EXPECT_EQ(document->DoLogging(), 1);
  EXPECT_TRUE(document->MessageView());
  EXPECT_GE(CountLog("CKvDocument::NewL - Log Started"), 1);
  EXPECT_EQ(CountLog("CKvDocument::NewL - Program location ERROR 183"), 1);  // exists: only logged

  document->SetSmscNumber(nullptr);
  EXPECT_EQ(std::u16string(document->SmscNumber()), u"");
  EXPECT_EQ(CountLog("CKvDocument::SetSmscNumber NULL"), 1);
}
