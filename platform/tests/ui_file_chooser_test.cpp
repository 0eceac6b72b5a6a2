// The file chooser (GetOpenFileNameW, GetSaveFileNameW) on the headless
// screen, over a temporary device root: a file chosen with the stylus and
// with keys, a cancel, a save under a new name, the overwrite prompt and the
// structure's answers. The chooser runs on a thread of its own, as on the
// program's user interface thread, while the test taps and types.
#include <commdlg.h>
#include <dlgs.h>

#include <filesystem>
#include <fstream>
#include <future>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "testing/device_root.h"
#include "ui/dialogs/device_folders.h"
#include "ui/dialogs/file_filters.h"
#include "ui_test_support.h"
#include "wait_until.h"

namespace ui = kvplatform::uitest;
namespace kui = kvplatform::ui;
using Texts = std::vector<std::u16string>;

namespace {

constexpr WCHAR kContactFilters[] = u"vCard (*.vcf)\0*.vcf\0CSV (*.csv)\0*.csv\0All files (*.*)\0*.*\0";

struct Chosen {
  BOOL ok = FALSE;
  DWORD error = 0;
  std::u16string file;
  OPENFILENAMEW ofn{};
};

class FileChooserTest : public ::testing::Test {
 protected:
  FileChooserTest() {
    setenv("KORVANET_DISPLAY", "headless", 1);
    unsetenv("KORVANET_MESSAGEBOX");  // the overwrite prompt is a real box here
    std::filesystem::path documents = std::filesystem::path(root_.Path()) / "My Documents";
    std::filesystem::create_directories(documents / "Cards" / "Old");
    Write(documents / "a.vcf");
    Write(documents / "notes.txt");
    Write(documents / "Cards" / "b.vcf");
    Write(documents / "Cards" / "c.csv");
  }

  static void Write(const std::filesystem::path& path) { std::ofstream(path) << "BEGIN:VCARD\r\nEND:VCARD\r\n"; }

  // Runs the chooser on a thread of its own; `prepare` fills in the rest.
  template <typename Prepare>
  static std::future<Chosen> Run(bool save, Prepare prepare) {
    return std::async(std::launch::async, [save, prepare] {
      HWND owner = uitest_support::MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
      Chosen chosen;
      WCHAR file[MAX_PATH] = {};
      chosen.ofn.lStructSize = sizeof(OPENFILENAMEW);
      chosen.ofn.hwndOwner = owner;
      chosen.ofn.lpstrFile = file;
      chosen.ofn.nMaxFile = MAX_PATH;
      chosen.ofn.lpstrFilter = kContactFilters;
      chosen.ofn.nFilterIndex = 1;
      prepare(chosen.ofn);
      chosen.ok = save ? GetSaveFileNameW(&chosen.ofn) : GetOpenFileNameW(&chosen.ofn);
      chosen.error = CommDlgExtendedError();
      chosen.file = chosen.ofn.lpstrFile;
      chosen.ofn.lpstrFile = nullptr;
      DestroyWindow(owner);
      return chosen;
    });
  }

  static Chosen Result(std::future<Chosen>& run) {
    EXPECT_EQ(run.wait_for(kvtest::kHungTest), std::future_status::ready);
    return run.get();
  }

  // The chooser once it is on the screen.
  static HWND WaitForChooser() {
    HWND found = nullptr;
    kvtest::WaitUntil([&] {
      ui::WaitIdle();
      HWND names = ui::FindByClass(u"EDIT");
      found = names != nullptr && GetDlgCtrlID(names) == edt1 ? GetParent(names) : nullptr;
      return found != nullptr && ui::StateOf(found).visible;
    });
    return found;
  }

  static Texts Rows(HWND dialog, int list) {
    Texts rows;
    HWND box = GetDlgItem(dialog, list);
    int count = static_cast<int>(SendMessageW(box, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      WCHAR text[MAX_PATH] = {};
      SendMessageW(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      rows.push_back(text);
    }
    return rows;
  }
  static std::u16string Text(HWND dialog, int id) { return ui::TextOf(GetDlgItem(dialog, id)); }

  // The middle of a list box row on the screen.
  static POINT RowPoint(HWND box, int row) {
    RECT r{};
    SendMessageW(box, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(box, &p);
    return p;
  }
  static POINT RowPoint(HWND dialog, int list, int row) { return RowPoint(GetDlgItem(dialog, list), row); }

  static bool Focused(HWND dialog, int id) { return ui::StateOf(GetDlgItem(dialog, id)).focused; }

  static std::string Shot(const std::string& name) { return uitest_support::ScreenshotPath("file_chooser_" + name); }

  TDeviceRoot root_{"kv-platform"};
};

TEST_F(FileChooserTest, FiltersPatternsAndDevicePaths) {
  std::vector<kui::FileFilter> filters = kui::ParseFileFilters(u"Contacts\0*.vcf; *.CSV\0All\0*.*\0Broken\0");
  ASSERT_EQ(filters.size(), 2u);  // a caption without patterns is dropped
  EXPECT_EQ(filters[0].patterns, (Texts{u"*.vcf", u"*.CSV"}));
  EXPECT_TRUE(kui::MatchesFilter(filters[0], u"Friends.VCF"));
  EXPECT_TRUE(kui::MatchesFilter(filters[0], u"list.csv"));
  EXPECT_FALSE(kui::MatchesFilter(filters[0], u"list.csv.txt"));
  EXPECT_FALSE(kui::MatchesFilter(filters[0], u"vcf"));
  EXPECT_TRUE(kui::MatchesFilter(filters[1], u"README"));  // "*.*" takes names without a dot too
  EXPECT_EQ(kui::FilterExtension(filters[0]), u"vcf");
  EXPECT_EQ(kui::FilterExtension(filters[1]), u"");
  EXPECT_EQ(kui::ExtensionOf(u"a.tar.gz"), u"gz");
  EXPECT_EQ(kui::ExtensionOf(u".profile"), u"");

  EXPECT_EQ(kui::NormalDevicePath(u"/My Documents//Cards\\.\\Old\\.."), u"\\My Documents\\Cards");
  EXPECT_EQ(kui::NormalDevicePath(u"\\..\\..\\x"), u"\\x");  // never above the root
  EXPECT_EQ(kui::ResolveDevicePath(u"\\My Documents", u"Cards\\b.vcf"), u"\\My Documents\\Cards\\b.vcf");
  EXPECT_EQ(kui::ResolveDevicePath(u"\\My Documents", u"\\Temp\\x"), u"\\Temp\\x");
  EXPECT_EQ(kui::ParentFolder(u"\\My Documents"), u"\\");
  EXPECT_EQ(kui::LastPart(u"\\"), u"");
  EXPECT_FALSE(kui::IsValidFileName(u"a:b"));
  EXPECT_FALSE(kui::IsValidFileName(u".."));

  // Folders and files apart, sorted without regard to case; hidden host entries left out.
  std::filesystem::path documents = std::filesystem::path(root_.Path()) / "My Documents";
  std::filesystem::create_directories(documents / "archive");
  Write(documents / ".hidden");
  Write(documents / "B.json");
  kui::FolderListing listing = kui::ListDeviceFolder(u"\\my documents");
  EXPECT_EQ(listing.folders, (Texts{u"archive", u"Cards"}));
  EXPECT_EQ(listing.files, (Texts{u"a.vcf", u"B.json", u"notes.txt"}));
  EXPECT_TRUE(kui::IsDeviceFolder(u"\\"));
  EXPECT_TRUE(kui::IsDeviceFile(u"\\My Documents\\Cards\\B.VCF"));
  EXPECT_FALSE(kui::IsDeviceFile(u"\\My Documents\\Cards"));

}

TEST_F(FileChooserTest, AFileIsChosenWithTheStylus) {
  auto run = Run(false, [](OPENFILENAMEW& ofn) { ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST; });
  HWND dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  // It starts in the documents, over the whole screen below the taskbar, with the vCards only.
  EXPECT_EQ(ui::TextOf(dialog), u"Open");
  EXPECT_TRUE(uitest_support::SameRect(ui::StateOf(dialog).screenRect, uitest_support::kBelowTaskbar));
  EXPECT_EQ(Text(dialog, stc1), u"\\My Documents");
  EXPECT_EQ(Rows(dialog, lst2), (Texts{u"..", u"Cards"}));
  EXPECT_EQ(Rows(dialog, lst1), (Texts{u"a.vcf"}));
  EXPECT_EQ(Text(dialog, cmb1), u"vCard (*.vcf)");
  EXPECT_TRUE(Focused(dialog, edt1));
  ASSERT_TRUE(ui::SaveScreenshot(Shot("open")));

  // A double tap on a folder opens it once: the second tap does not open
  // the row that comes under the stylus in the folder's own list.
  POINT cards = RowPoint(dialog, lst2, 1);
  ui::DoubleTap(cards.x, cards.y);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents\\Cards"; }));
  ui::WaitIdle();
  EXPECT_EQ(Text(dialog, stc1), u"\\My Documents\\Cards");
  EXPECT_EQ(Rows(dialog, lst2), (Texts{u"..", u"Old"}));
  EXPECT_EQ(Rows(dialog, lst1), (Texts{u"b.vcf"}));
  // ".." goes up; a single tap opens a folder again.
  POINT up = RowPoint(dialog, lst2, 0);
  ui::Tap(up.x, up.y);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents"; }));
  cards = RowPoint(dialog, lst2, 1);
  ui::Tap(cards.x, cards.y);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents\\Cards"; }));

  // A tap on a file puts its name in the field; another type shows other files.
  POINT file = RowPoint(dialog, lst1, 0);
  ui::Tap(file.x, file.y);
  EXPECT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, edt1) == u"b.vcf"; }));
  ui::TapWindow(GetDlgItem(dialog, cmb1));
  HWND dropDown = nullptr;
  ASSERT_TRUE(kvtest::WaitUntil([&] {
    dropDown = ui::FindByClass(u"ComboLBox");
    return dropDown != nullptr && ui::StateOf(dropDown).visible;
  }));
  ui::WaitIdle();
  POINT all = RowPoint(dropDown, 2);
  ui::Tap(all.x, all.y);  // "All files (*.*)"
  EXPECT_TRUE(kvtest::WaitUntil([&] { return Rows(dialog, lst1) == Texts{u"b.vcf", u"c.csv"}; }));
  ASSERT_TRUE(ui::SaveScreenshot(Shot("open_all_files")));

  // A double tap on a file is OK.
  file = RowPoint(dialog, lst1, 1);
  ui::DoubleTap(file.x, file.y);
  Chosen chosen = Result(run);
  EXPECT_TRUE(chosen.ok);
  EXPECT_EQ(chosen.file, u"\\My Documents\\Cards\\c.csv");
  EXPECT_EQ(chosen.ofn.nFilterIndex, 3u);
}

TEST_F(FileChooserTest, AFileIsChosenWithKeysAndEscapeCancels) {
  auto run = Run(false, [](OPENFILENAMEW& ofn) { ofn.lpstrTitle = u"Import contacts"; });
  HWND dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::TextOf(dialog), u"Import contacts");
  // Tab goes round: name, type, OK, Cancel, then the folders and the files.
  for (int id : {cmb1, IDOK, IDCANCEL, lst2}) {
    ui::PressKey(VK_TAB);
    EXPECT_TRUE(Focused(dialog, id)) << id;
  }
  // The arrows choose a folder row, Enter opens it, Backspace goes back up
  // with the folder just left chosen, so Enter opens it again.
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_RETURN);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents\\Cards"; }));
  EXPECT_TRUE(ui::StateOf(dialog).visible);
  ui::PressKey(VK_BACK);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents"; }));
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog, lst2), LB_GETCURSEL, 0, 0), 1);
  ui::PressKey(VK_RETURN);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents\\Cards"; }));
  // Into the files: the arrow fills the name field, Enter is OK.
  ui::PressKey(VK_TAB);
  EXPECT_TRUE(Focused(dialog, lst1));
  ui::PressKey(VK_DOWN);
  EXPECT_EQ(Text(dialog, edt1), u"b.vcf");
  ASSERT_TRUE(ui::SaveScreenshot(Shot("keys")));
  ui::PressKey(VK_RETURN);
  Chosen chosen = Result(run);
  EXPECT_TRUE(chosen.ok);
  EXPECT_EQ(chosen.file, u"\\My Documents\\Cards\\b.vcf");

  // A name given with its folder starts there. Escape: FALSE, no error,
  // the buffer as it was.
  run = Run(false, [](OPENFILENAMEW& ofn) { lstrcpyW(ofn.lpstrFile, u"Cards\\start.vcf"); });
  dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Text(dialog, stc1), u"\\My Documents\\Cards");
  EXPECT_EQ(Text(dialog, edt1), u"start.vcf");
  ui::PressKey(VK_ESCAPE);
  chosen = Result(run);
  EXPECT_FALSE(chosen.ok);
  EXPECT_EQ(chosen.error, 0u);
  EXPECT_EQ(chosen.file, u"Cards\\start.vcf");

  // From lpstrInitialDir: a typed name that is not there, with
  // OFN_FILEMUSTEXIST, gives a warning and the chooser stays; a typed folder
  // opens, and a typed path from there is chosen.
  run = Run(false, [](OPENFILENAMEW& ofn) {
    ofn.lpstrInitialDir = u"\\My Documents\\Cards";
    ofn.Flags = OFN_FILEMUSTEXIST;
  });
  dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  ui::TypeText(u"missing.vcf");
  ui::PressKey(VK_RETURN);
  HWND box = nullptr;
  ASSERT_TRUE(kvtest::WaitUntil([&] { return (box = ui::FindByClass(u"KvMessageBox")) != nullptr; }));
  std::vector<kvplatform::MessageBoxRecord> boxes = kvplatform::MessageBoxHistory();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, u"\\My Documents\\Cards\\missing.vcf\nThere is no such file.");
  ui::WaitIdle();
  ui::PressKey(VK_RETURN);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(IsWindow(dialog));
  SendMessageW(GetDlgItem(dialog, edt1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u".."));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, stc1) == u"\\My Documents"; }));
  EXPECT_EQ(Text(dialog, edt1), u"");
  SendMessageW(GetDlgItem(dialog, edt1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Cards\\b.vcf"));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  chosen = Result(run);
  EXPECT_TRUE(chosen.ok);
  EXPECT_EQ(chosen.file, u"\\My Documents\\Cards\\b.vcf");
}

TEST_F(FileChooserTest, SavingTakesANewNameWithTheTypesExtensionAndAsksBeforeReplacing) {
  auto prepare = [](OPENFILENAMEW& ofn) {
    lstrcpyW(ofn.lpstrFile, u"contacts.vcf");
    ofn.lpstrDefExt = u"vcf";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  };
  // A new name typed without an extension gets the chosen type's.
  auto run = Run(true, prepare);
  HWND dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::TextOf(dialog), u"Save As");
  EXPECT_EQ(Text(dialog, edt1), u"contacts.vcf");
  ui::TypeText(u"friends");  // over the chosen name
  ui::PressKey(VK_TAB);
  ui::PressKey(VK_DOWN);  // CSV
  EXPECT_TRUE(kvtest::WaitUntil([&] { return Rows(dialog, lst1).empty(); }));
  ASSERT_TRUE(ui::SaveScreenshot(Shot("save")));
  ui::PressKey(VK_RETURN);
  Chosen chosen = Result(run);
  EXPECT_TRUE(chosen.ok);
  EXPECT_EQ(chosen.file, u"\\My Documents\\friends.csv");
  EXPECT_EQ(chosen.ofn.nFilterIndex, 2u);

  // A name with the old type's extension takes the new type's.
  run = Run(true, prepare);
  dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  ui::PressKey(VK_TAB);
  ui::PressKey(VK_DOWN);
  EXPECT_TRUE(kvtest::WaitUntil([&] { return Text(dialog, edt1) == u"contacts.csv"; }));
  ui::PressKey(VK_ESCAPE);
  EXPECT_FALSE(Result(run).ok);

  // An existing file: the prompt's "No" (its default, Enter) keeps the
  // chooser; its "Yes" takes the file.
  run = Run(true, prepare);
  dialog = WaitForChooser();
  ASSERT_NE(dialog, nullptr);
  ui::TypeText(u"a");
  for (int answer = 0; answer < 2; ++answer) {
    ui::PressKey(VK_RETURN);
    HWND box = nullptr;
    ASSERT_TRUE(kvtest::WaitUntil([&] { return (box = ui::FindByClass(u"KvMessageBox")) != nullptr; }));
    ui::WaitIdle();
    EXPECT_EQ(kvplatform::MessageBoxHistory().back().text,
              u"\\My Documents\\a.vcf\nA file of this name is there already. Replace it?");
    if (answer == 0) {
      ASSERT_TRUE(ui::SaveScreenshot(Shot("overwrite_prompt")));
      ui::PressKey(VK_RETURN);
      ASSERT_TRUE(kvtest::WaitUntil([&] { return !IsWindow(box); }));
      ui::WaitIdle();
      EXPECT_TRUE(ui::StateOf(dialog).visible);
    } else {
      RECT client{};
      GetClientRect(box, &client);
      POINT yes{56 + 26, client.bottom - 8 - 11};  // the first of two buttons, centred at the bottom
      ClientToScreen(box, &yes);
      ui::Tap(yes.x, yes.y);
    }
  }
  chosen = Result(run);
  EXPECT_TRUE(chosen.ok);
  EXPECT_EQ(chosen.file, u"\\My Documents\\a.vcf");
}

}  // namespace
