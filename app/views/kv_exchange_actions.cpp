#include "app/views/kv_exchange_actions.h"

#include <commdlg.h>

#include <initializer_list>
#include <sstream>
#include <string>

#include "app/views/kv_device_file.h"
#include "app/views/kv_modal_scope.h"
#include "app/views/kv_question.h"
#include "exchange/contacts_exchange.h"
#include "exchange/exchange_text.h"
#include "exchange/messages_exchange.h"
#include "exchange/summary_text.h"
#include "kernel/errors.h"
#include "kernel/log.h"

namespace {

const WCHAR KImportContactsTitle[] = u"Import contacts";
const WCHAR KExportContactsTitle[] = u"Export contacts";
const WCHAR KExportMessagesTitle[] = u"Export messages";

// The file types offered, in the order of the formats below.
const WCHAR KContactTypes[] = u"vCard (*.vcf)\0*.vcf\0CSV (*.csv)\0*.csv\0JSON (*.json)\0*.json\0";
const kvexchange::TContactFormat KContactFormats[] = {kvexchange::EContactsVCard, kvexchange::EContactsCsv,
                                                      kvexchange::EContactsJson};
const WCHAR KMessageTypes[] = u"JSON (*.json)\0*.json\0CSV (*.csv)\0*.csv\0Android backup XML (*.xml)\0*.xml\0";
const kvexchange::TMessageFormat KMessageFormats[] = {kvexchange::EMessagesJson, kvexchange::EMessagesCsv,
                                                      kvexchange::EMessagesXml};
// An import tells the format apart by what the file holds.
const WCHAR KContactFiles[] =
    u"Contacts (*.vcf;*.csv;*.json)\0*.vcf;*.csv;*.json\0vCard (*.vcf)\0*.vcf\0CSV (*.csv)\0*.csv\0"
    u"JSON (*.json)\0*.json\0All files (*.*)\0*.*\0";
// Refusals listed in the import's box; the rest are counted.
const size_t KRefusalsShown = 5;

// The chosen file's path, empty when the user cancelled; aType is the type
// chosen (from 1).
std::u16string ChooseFile(HWND aWindow, bool aSave, LPCWSTR aTitle, LPCWSTR aTypes, LPCWSTR aName, LPCWSTR aExtension,
                          DWORD& aType) {
  WCHAR file[MAX_PATH] = {};
  lstrcpyW(file, aName);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = aWindow;
  ofn.lpstrFilter = aTypes;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = u"\\My Documents";
  ofn.lpstrTitle = aTitle;
  ofn.lpstrDefExt = aExtension;
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (aSave ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  TKvModalScope modal;
  if (!(aSave ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) {
    if (DWORD error = CommDlgExtendedError(); error != 0)
      LogMessage(KLogFilePath, u"KvChooseFile - failed 0x%1!x!", error);
    return {};
  }
  aType = ofn.nFilterIndex;
  return file;
}

// The format: the one the file's extension names, else the type chosen.
int FormatIndex(const std::u16string& aPath, std::initializer_list<LPCWSTR> aExtensions, DWORD aChosenType) {
  size_t dot = aPath.rfind(u'.');
  if (dot != std::u16string::npos && dot > aPath.rfind(u'\\')) {
    int index = 0;
    for (LPCWSTR extension : aExtensions) {
      if (lstrcmpiW(aPath.c_str() + dot + 1, extension) == 0) return index;
      ++index;
    }
  }
  return aChosenType >= 1 && aChosenType <= aExtensions.size() ? static_cast<int>(aChosenType) - 1 : 0;
}

std::u16string BoxText(const std::string& aText) {
  std::u16string text = kvexchange::Utf16(aText);
  while (!text.empty() && text.back() == u'\n') text.pop_back();
  return text;
}

void ShowBox(HWND aWindow, LPCWSTR aCaption, const std::u16string& aText, UINT aIcon) {
  KvShowBoxL(aWindow, aCaption, aText, MB_OK | aIcon);
}

// Writes what an export made, and says so.
int Finish(HWND aWindow, LPCWSTR aTitle, const std::u16string& aPath, const std::string& aText, int aCount,
           const char* aWhat) {
  std::u16string error;
  if (!KvWriteDeviceFileL(aPath.c_str(), aText, error)) {
    ShowBox(aWindow, aTitle, error, MB_ICONEXCLAMATION);
    return KErrGeneral;
  }
  ShowBox(aWindow, aTitle, BoxText(kvexchange::ExportedText(aCount, aWhat)) + u"\n" + aPath, MB_ICONINFORMATION);
  return KErrNone;
}

}  // namespace

int KvImportContactsL(HWND aWindow, CKveContactsDatabase& aContacts) {
  DWORD type = 1;
  std::u16string path = ChooseFile(aWindow, false, KImportContactsTitle, KContactFiles, u"", nullptr, type);
  if (path.empty()) return KErrNone;
  LogMessage(KLogFilePath, u"KvImportContactsL %1!s!", path.c_str());
  std::string text;
  std::u16string readError;
  if (!KvReadDeviceFileL(path.c_str(), kvexchange::EInputContacts, text, readError)) {
    ShowBox(aWindow, KImportContactsTitle, readError, MB_ICONEXCLAMATION);
    return KErrGeneral;
  }
  kvexchange::TImportSummary summary;
  std::string error;
  if (!kvexchange::ImportContactsL(aContacts, text, "", false, summary, error)) {
    ShowBox(aWindow, KImportContactsTitle, path + u": " + BoxText(error), MB_ICONEXCLAMATION);
    return KErrGeneral;
  }
  LogMessage(KLogFilePath, u"KvImportContactsL added %1!d!, skipped %2!d!, refused %3!d!", summary.iAdded,
             summary.iSkipped, static_cast<int>(summary.iRefused.size()));
  ShowBox(aWindow, KImportContactsTitle, BoxText(kvexchange::ImportSummaryText(summary, false, KRefusalsShown)),
          summary.iRefused.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
  return KErrNone;
}

int KvExportContactsL(HWND aWindow, CKveContactsDatabase& aContacts) {
  DWORD type = 1;
  std::u16string path = ChooseFile(aWindow, true, KExportContactsTitle, KContactTypes, u"contacts.vcf", u"vcf", type);
  if (path.empty()) return KErrNone;
  LogMessage(KLogFilePath, u"KvExportContactsL %1!s!", path.c_str());
  kvexchange::TContactExport request;
  request.iFormat = KContactFormats[FormatIndex(path, {u"vcf", u"csv", u"json"}, type)];
  std::ostringstream out;
  int count = kvexchange::ExportContactsL(aContacts, request, out);
  return Finish(aWindow, KExportContactsTitle, path, out.str(), count, "contact");
}

int KvExportMessagesL(HWND aWindow, CKveMessagesDatabase& aMessages) {
  DWORD type = 1;
  std::u16string path = ChooseFile(aWindow, true, KExportMessagesTitle, KMessageTypes, u"messages.json", u"json", type);
  if (path.empty()) return KErrNone;
  LogMessage(KLogFilePath, u"KvExportMessagesL %1!s!", path.c_str());
  kvexchange::TMessageFormat format = KMessageFormats[FormatIndex(path, {u"json", u"csv", u"xml"}, type)];
  std::ostringstream out;
  int count = kvexchange::ExportMessagesL(aMessages, format, "all", out);
  return Finish(aWindow, KExportMessagesTitle, path, out.str(), count, "message");
}
