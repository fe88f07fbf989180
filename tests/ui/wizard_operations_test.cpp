// The location pages, the completion page, and every operation run from the wizard end to end.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <prsht.h>

#include <cstring>
#include <set>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "res/resource.h"
#include "support/win32/tool_runner.h"
#include "ui/wizard_fixture.h"

namespace kbt::testing {
namespace {

constexpr uint32_t kInvalidRed = 0xC80000;  // RGB(200, 0, 0)
constexpr int kNextButtonId = 0x3024;
constexpr const wchar_t* kBackupDone = L"The backup was completed.";
constexpr const wchar_t* kRestoreDone = L"The restore was completed.";
constexpr const wchar_t* kResetDone = L"The reset was completed.";

bool IsRedPixel(uint32_t p) { return ((p >> 16) & 255) > 170 && ((p >> 8) & 255) < 90 && (p & 255) < 90; }
bool IsBluePixel(uint32_t p) { return (p & 255) > 150 && ((p >> 16) & 255) < 110; }

// The stored creation time in the user's own date and time format.
std::wstring UsersDateTime(const Text& created) {
  platform::LocalTime time;
  if (!ParseBackupTime(created, time)) return L"unparsed";
  const SYSTEMTIME system{time.year, time.month, 0, time.day, time.hour, time.minute, time.second, 0};
  wchar_t date[80] = {}, clock[80] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &system, nullptr, date, 80);
  ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &system, nullptr, clock, 80);
  return std::wstring(date) + L" " + clock;
}

std::wstring SizeText(uint64_t bytes) {
  wchar_t size[64] = {};
  ::StrFormatByteSizeW(static_cast<LONGLONG>(bytes), size, 64);
  return size;
}

std::wstring ButtonText(HWND sheet, int id) {
  wchar_t text[64] = {};
  ::GetWindowTextW(::GetDlgItem(sheet, id), text, 64);
  return text;
}

// The screen as the wizard left it matches a full repaint: nothing hidden stays drawn.
::testing::AssertionResult ShowsNoStaleParts(WizardSession& wizard) {
  const Capture shown = wizard.AsShown();
  const Capture repainted = wizard.Screenshot();
  if (shown.Empty() || shown.pixels.size() != repainted.pixels.size()) return ::testing::AssertionFailure() << "no capture";
  size_t differ = 0;
  for (size_t i = 0; i < shown.pixels.size(); ++i) differ += shown.pixels[i] != repainted.pixels[i] ? 1 : 0;
  if (differ == 0) return ::testing::AssertionSuccess();
  SavePng(shown, ScreenshotFolder() + L"\\stale-parts.png");
  return ::testing::AssertionFailure() << differ << " pixels differ from a full repaint (stale-parts.png)";
}

// A file another program holds open: the location page takes it, but a backup cannot replace it.
struct HeldFile {
  explicit HeldFile(const std::wstring& path)
      : handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {}
  ~HeldFile() {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  HANDLE handle;
};

int CountPixels(const Capture& shot, const RECT& area, bool (*test)(uint32_t)) {
  int found = 0;
  for (int y = area.top; y < area.bottom && y < shot.height; ++y) {
    for (int x = area.left; x < area.right && x < shot.width; ++x) found += test(shot.At(x, y)) ? 1 : 0;
  }
  return found;
}

// A client profile with data files and settings to back up, restore and reset.
class OperationsTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    ASSERT_TRUE(WriteText(data / u"history.dat", "history bytes"));
    ASSERT_TRUE(WriteText(data / u"folders.dat", "folders bytes"));
    ASSERT_TRUE(WriteText(data / u"custom.dat", "custom bytes"));
    ASSERT_TRUE(WriteText(favorites / u"favorites.dat", "favorites bytes"));
    SeedString(u"Software\\Kestrove\\Connection Data", u"Host", u"ftp.example.com");
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 7);
  }
  void TearDown() override {
    for (const Text& archive : archives_) static_cast<void>(platform::RemoveFile(archive));  // not every test writes each
    WizardTest::TearDown();
  }
  // An archive path the test removes again.
  Text Archive(const Text& path) {
    archives_.push_back(path);
    return path;
  }
  // Goes from the welcome page to the page given, through the pages of the current mode.
  static void NextUntil(WizardSession& wizard, std::initializer_list<int> pages) {
    for (int page : pages) {
      wizard.Press(WizardButton::Next);
      ASSERT_TRUE(wizard.WaitForPage(page)) << "expected page " << page << ", shown " << wizard.PageId();
    }
  }
  static void ChooseMode(WizardSession& wizard, int radio) {
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
    wizard.Click(radio);
  }
  // A backup made from the command line, for the restore tests.
  Text MakeBackup(const Text& path) {
    const ToolRun run = RunTool(L"/backup \"" + Wide(path) + L"\"");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(FileExists(path));
    return Archive(path);
  }
  bool CompletedSuccessfully(WizardSession& wizard, const wchar_t* text) {
    if (!wizard.WaitForPage(IDD_COMPLETION, 60000)) return false;
    EXPECT_EQ(wizard.EnabledButtons(), L"Finish");
    EXPECT_FALSE(wizard.IsEnabled(WizardButton::Cancel)) << "Finish closes";
    std::wstring messages;
    for (const std::wstring& row : wizard.ListRows(IDC_RESULT_LIST)) messages += row + L" | ";
    EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), text) << "messages: " << messages.c_str();
    EXPECT_FALSE(wizard.Visible(IDC_RESULT_LIST)) << "no list after a success";
    EXPECT_TRUE(wizard.Visible(IDC_RESULT_ICON));
    EXPECT_TRUE(ShowsNoStaleParts(wizard));
    const Capture shot = wizard.Screenshot();
    EXPECT_GT(CountPixels(shot, RectWithin(wizard.Control(IDC_RESULT_ICON), wizard.Sheet()), IsBluePixel), 20)
        << "the information icon";
    return wizard.Text(IDC_RESULT_TEXT) == text;
  }

  std::vector<Text> archives_;
};

TEST_F(OperationsTest, BackupWithACommentThenTheRestorePageProposesIt) {
  Text documents;
  ASSERT_TRUE(platform::GetDocumentsFolder(documents));
  Text archive;
  {
    WizardSession wizard;
    ASSERT_TRUE(wizard.Started());
    NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
    const std::wstring path = wizard.Text(IDC_BACKUP_PATH);
    const std::wstring prefix = Wide(documents) + L"\\Kestrove Client Backup-";
    ASSERT_EQ(path.substr(0, prefix.size()), prefix) << path.c_str();
    const std::wstring stamp = path.substr(prefix.size());
    ASSERT_EQ(stamp.size(), 19u) << "yyyymmdd-hhmmss.zip";
    EXPECT_EQ(stamp[8], L'-');
    EXPECT_EQ(stamp.substr(15), L".zip");
    EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
    archive = Archive(Narrow(path));
    wizard.Type(IDC_BACKUP_COMMENT, L"Before the move");
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(CompletedSuccessfully(wizard, kBackupDone));
    // Where the backup went, how large it is, and the way to it.
    platform::File written;
    uint64_t bytes = 0;
    ASSERT_TRUE(written.Open(archive, platform::FileMode::ReadShared) && written.Size(&bytes));
    written.Close();
    wchar_t size[64] = {};
    ::StrFormatByteSizeW(static_cast<LONGLONG>(bytes), size, 64);
    EXPECT_TRUE(wizard.Visible(IDC_BACKUP_SAVED));
    EXPECT_EQ(wizard.Text(IDC_BACKUP_SAVED), L"The backup was saved as:\r\n" + path + L"\r\nSize: " + size);
    for (int i = 0; i < 8 && wizard.FocusId() != IDC_BACKUP_FOLDER_LINK; ++i) wizard.Keys({VK_TAB});
    ASSERT_EQ(wizard.FocusId(), IDC_BACKUP_FOLDER_LINK);
    wizard.Keys({VK_RETURN});
    // The file browser's window is named by the folder. Its first start in a new prefix takes long.
    const std::wstring folderName = Wide(documents).substr(Wide(documents).find_last_of(L'\\') + 1);
    HWND folder = nullptr;
    for (int i = 0; i < 600 && !folder; ++i, ::Sleep(100)) folder = ::FindWindowW(nullptr, folderName.c_str());
    ASSERT_NE(folder, nullptr) << "Enter on the link opens the backup's folder";
    ::PostMessageW(folder, WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.PageId(), IDD_COMPLETION) << "and leaves the wizard open";
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(archive, identity));
  EXPECT_EQ(identity.comment, u"Before the move");

  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  EXPECT_EQ(wizard.Text(IDC_RESTORE_PATH), Wide(archive));
  EXPECT_EQ(wizard.Text(IDC_RESTORE_COMMENT), L"Before the move");
  EXPECT_EQ(wizard.Text(IDC_CREATED_DATE), UsersDateTime(identity.created));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
}

TEST_F(OperationsTest, RestoreBringsTheProfileBack) {
  const Text archive = MakeBackup(backups / u"backup.zip");
  ASSERT_TRUE(platform::RemoveFile(data / u"history.dat"));
  ASSERT_TRUE(platform::RemoveFile(favorites / u"favorites.dat"));
  DeleteKey(u"Software\\Kestrove\\Connection Data");
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_RESTORE_PREVIEW, IDD_COMPLETION});
  ASSERT_TRUE(CompletedSuccessfully(wizard, kRestoreDone));
  EXPECT_EQ(ReadBytes(data / u"history.dat"), std::vector<uint8_t>({'h', 'i', 's', 't', 'o', 'r', 'y', ' ', 'b', 'y',
                                                                     't', 'e', 's'}));
  EXPECT_TRUE(FileExists(favorites / u"favorites.dat"));
  const StoredValue host = ReadValue(u"Software\\Kestrove\\Connection Data", u"Host");
  ASSERT_TRUE(host.exists);
  EXPECT_EQ(host.data, StringBytes(u"ftp.example.com"));
  EXPECT_EQ(wizard.Text(IDC_CHANGES_SUMMARY),
            L"The backup \"backup.zip\" was restored.\r\nSettings restored: 4\r\nFiles restored: 4");
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

// A machine the client never ran on: no client key, so the data folder is the default one, which
// does not exist yet. The restore makes it, and nothing before the last page does.
TEST_F(OperationsTest, RestoreOntoANewMachineMakesTheDataFolderAtTheEnd) {
  const Text archive = MakeBackup(backups / u"backup.zip");
  Text fresh;
  ASSERT_TRUE(platform::GetAppDataFolder(fresh));
  platform::AppendPath(fresh, names::kDataFolderName);
  // An empty one left by an earlier run stands for no folder.
  if (FolderIsEmpty(fresh)) RemoveTree(fresh);
  ASSERT_FALSE(platform::IsExistingFolder(fresh)) << "the prefix already has the default data folder";
  const struct Cleanup {
    Text folder;
    ~Cleanup() { RemoveTree(folder); }
  } cleanup{fresh};
  DeleteKey(names::kClientKey);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
  NextUntil(wizard, {IDD_DATA_FOLDERS});
  EXPECT_EQ(wizard.Text(IDC_DATA_FOLDER), Wide(fresh));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_EQ(wizard.Text(IDC_DATA_STATUS), L"This folder does not exist yet. The restore will create it.");
  EXPECT_FALSE(wizard.Visible(IDC_DATA_STATUS_ICON)) << "no fault";
  EXPECT_FALSE(wizard.Enabled(IDC_EXPLORE_DATA));
  NextUntil(wizard, {IDD_DETAILS, IDD_RESTORE_PREVIEW});
  EXPECT_FALSE(platform::IsExistingFolder(fresh)) << "made before the last page";
  NextUntil(wizard, {IDD_COMPLETION});
  EXPECT_TRUE(CompletedSuccessfully(wizard, kRestoreDone));
  EXPECT_EQ(ReadBytes(fresh + u"\\history.dat"), std::vector<uint8_t>({'h', 'i', 's', 't', 'o', 'r', 'y', ' ', 'b', 'y',
                                                                        't', 'e', 's'}));
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

TEST_F(OperationsTest, TheUndoLinkTakesTheRestoreBackRightThere) {
  const Text archive = MakeBackup(backups / u"backup.zip");
  ASSERT_TRUE(WriteText(data / u"history.dat", "today's history"));
  DeleteKey(u"Software\\Kestrove\\Connection Data");
  const RegistrySnapshot today = ClientSettingsSnapshot();
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_RESTORE_PREVIEW, IDD_COMPLETION});
  ASSERT_TRUE(CompletedSuccessfully(wizard, kRestoreDone));
  ASSERT_TRUE(ReadValue(u"Software\\Kestrove\\Connection Data", u"Host").exists) << "restored";
  EXPECT_TRUE(wizard.Visible(IDC_UNDO_TEXT));
  EXPECT_EQ(wizard.Text(IDC_UNDO_TEXT), L"The state before the restore was saved, so that the restore can be undone.");
  ASSERT_TRUE(wizard.Visible(IDC_UNDO_LINK));
  EXPECT_NE(wizard.Text(IDC_UNDO_LINK).find(L">Undo this restore<"), std::wstring::npos) << "named by what it undoes";

  // From the keyboard: Tab reaches the link, and Space follows it.
  for (int i = 0; i < 8 && wizard.FocusId() != IDC_UNDO_LINK; ++i) wizard.Keys({VK_TAB});
  ASSERT_EQ(wizard.FocusId(), IDC_UNDO_LINK);
  wizard.Keys({VK_SPACE});
  for (int i = 0; i < 600 && wizard.Text(IDC_RESULT_TEXT) != L"The restore was undone."; ++i) ::Sleep(100);
  wizard.Settle();
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The restore was undone.");
  EXPECT_EQ(wizard.EnabledButtons(), L"Finish");
  EXPECT_TRUE(ShowsNoStaleParts(wizard)) << "the hidden link is not left drawn";
  EXPECT_FALSE(wizard.Visible(IDC_RESULT_LIST));
  EXPECT_FALSE(wizard.Visible(IDC_UNDO_LINK)) << "the undo is undone from the command line";
  EXPECT_TRUE(wizard.Visible(IDC_UNDO_TEXT)) << "the undo's own undo point";
  EXPECT_EQ(ClientSettingsSnapshot(), today) << "the value the restore added is gone again";
  EXPECT_EQ(ReadBytes(data / u"history.dat"), std::vector<uint8_t>({'t', 'o', 'd', 'a', 'y', '\'', 's', ' ', 'h', 'i',
                                                                     's', 't', 'o', 'r', 'y'}));
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

TEST_F(OperationsTest, ResetDeletesAfterTheConfirmation) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESET);
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS});
  wizard.Press(WizardButton::Next);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  EXPECT_EQ(box.text, L"Are you sure you want to reset all data and settings?");
  EXPECT_TRUE(FileExists(data / u"history.dat")) << "nothing is deleted before the answer";
  wizard.Answer(box, IDYES);
  ASSERT_TRUE(CompletedSuccessfully(wizard, kResetDone));
  EXPECT_FALSE(FileExists(data / u"history.dat"));
  EXPECT_FALSE(FileExists(favorites / u"favorites.dat"));
  EXPECT_FALSE(ReadValue(u"Software\\Kestrove\\Connection Data", u"Host").exists);
  EXPECT_EQ(wizard.Text(IDC_CHANGES_SUMMARY), L"The Kestrove Client's settings and data files were deleted.");
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

TEST_F(OperationsTest, BackupWithResetAfterItAsksAndNoKeepsEverything) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_BACKUP);
  wizard.Click(IDC_RESET_AFTER_BACKUP);
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  const Text archive = Archive(backups / u"then-reset.zip");
  wizard.SetText(IDC_BACKUP_PATH, Wide(archive));
  wizard.Press(WizardButton::Next);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  EXPECT_TRUE(box.noIsDefault);
  wizard.Answer(box, IDNO);
  EXPECT_EQ(wizard.PageId(), IDD_BACKUP_LOCATION);
  EXPECT_FALSE(FileExists(archive)) << "nothing ran";
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  // Yes backs up and then resets.
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  wizard.Answer(box, IDYES);
  ASSERT_TRUE(CompletedSuccessfully(wizard, L"The backup and the reset were completed."));
  EXPECT_TRUE(FileExists(archive));
  EXPECT_FALSE(FileExists(data / u"history.dat"));
  // Both results, and the way back from the reset.
  EXPECT_TRUE(wizard.Visible(IDC_BACKUP_SAVED));
  EXPECT_EQ(wizard.Text(IDC_CHANGES_SUMMARY), L"The Kestrove Client's settings and data files were deleted.");
  EXPECT_EQ(wizard.Text(IDC_UNDO_TEXT), L"The state before the reset was saved, so that the reset can be undone.");
  ASSERT_TRUE(wizard.Visible(IDC_UNDO_LINK));
  EXPECT_NE(wizard.Text(IDC_UNDO_LINK).find(L">Undo this reset<"), std::wstring::npos);
  EXPECT_TRUE(ShowsNoStaleParts(wizard));
  for (int i = 0; i < 8 && wizard.FocusId() != IDC_UNDO_LINK; ++i) wizard.Keys({VK_TAB});
  ASSERT_EQ(wizard.FocusId(), IDC_UNDO_LINK);
  wizard.Keys({VK_SPACE});
  for (int i = 0; i < 600 && wizard.Text(IDC_RESULT_TEXT) != L"The reset was undone."; ++i) ::Sleep(100);
  wizard.Settle();
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The reset was undone.");
  EXPECT_FALSE(wizard.Visible(IDC_BACKUP_SAVED)) << "the page tells the undo alone";
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

// The backup page refuses a file the tool backs up beside the field, and asks before it writes over
// any other existing file, No being the default: No keeps the file and the page, Yes writes.
TEST_F(OperationsTest, BackupOverAnExistingFileAsksFirst) {
  const Text archive = Archive(backups / u"older.zip");
  ASSERT_TRUE(WriteText(archive, "an older file"));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  EXPECT_FALSE(wizard.Visible(IDC_BACKUP_ERROR));
  wizard.SetText(IDC_BACKUP_PATH, Wide(data / u"history.dat"));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_TRUE(wizard.Visible(IDC_BACKUP_ERROR));
  EXPECT_EQ(wizard.Text(IDC_BACKUP_ERROR), L"\"" + Wide(data / u"history.dat") +
                                               L"\" is one of the files this tool backs up: a backup there would "
                                               L"replace it. Please choose another name.");
  wizard.SetText(IDC_BACKUP_PATH, Wide(backups / u"older"));
  EXPECT_FALSE(wizard.Visible(IDC_BACKUP_ERROR));
  EXPECT_EQ(wizard.Text(IDC_BACKUP_FULL_PATH), L"The backup will be written to: " + Wide(archive)) << "\".zip\" is added";
  wizard.Press(WizardButton::Next);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  EXPECT_EQ(box.text, L"older.zip already exists. Do you want to replace it?");
  EXPECT_TRUE(box.yesNo && box.noIsDefault && box.warningIcon);
  wizard.Answer(box, IDNO);
  EXPECT_EQ(wizard.PageId(), IDD_BACKUP_LOCATION);
  EXPECT_EQ(ReadBytes(archive).size(), 13u) << "No keeps the file";
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  wizard.Answer(box, IDYES);
  ASSERT_TRUE(CompletedSuccessfully(wizard, kBackupDone));
  BackupIdentity identity;
  EXPECT_TRUE(ReadBackupIdentity(archive, identity)) << "Yes writes the backup over it";
}

TEST_F(OperationsTest, BackupLocationProposesTheFolderOfTheLastBackup) {
  MakeBackup(backups / u"last.zip");
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  const std::wstring proposed = Wide(backups.Path()) + L"\\Kestrove Client Backup-";
  EXPECT_EQ(wizard.Text(IDC_BACKUP_PATH).substr(0, proposed.size()), proposed);
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
}

TEST_F(OperationsTest, BackupLocationChecksThePathAsItIsTyped) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  auto redPixels = [&wizard] {
    const Capture shot = wizard.Screenshot();
    return shot.Count(kInvalidRed, RectWithin(wizard.Control(IDC_BACKUP_PATH), wizard.Sheet()));
  };
  EXPECT_EQ(redPixels(), 0);
  EXPECT_FALSE(wizard.Visible(IDC_BACKUP_ERROR));
  // Each path the backup would fail on is refused here, with its reason beside the field.
  auto reason = [&wizard] { return wizard.Visible(IDC_BACKUP_ERROR_ICON) ? wizard.Text(IDC_BACKUP_ERROR) : L"(no icon)"; };
  const Text missing = backups / u"missing";
  const std::pair<Text, std::wstring> refused[] = {
      {backups / u"a?b.zip", L"The name \"a?b.zip\" contains \"?\", which no file or folder name can contain. Please remove it."},
      {backups / u"nul.zip", L"\"nul.zip\" is a name Windows keeps for a device, so no file can have it. Please choose another name."},
      {backups.Path(), L"\"" + Wide(backups.Path()) + L"\" is a folder. Add a file name to it, or choose the file with Browse."},
      {missing + u"\\backup.zip", L"The folder \"" + Wide(missing) + L"\" does not exist. Create it, or choose another folder."},
  };
  for (const auto& [path, why] : refused) {
    wizard.SetText(IDC_BACKUP_PATH, Wide(path));
    EXPECT_EQ(wizard.EnabledButtons(), L"Back") << ToUtf8(path);
    EXPECT_EQ(reason(), why);
    EXPECT_GT(redPixels(), 10) << ToUtf8(path);
    EXPECT_EQ(wizard.Visible(IDC_CREATE_FOLDER), path == missing + u"\\backup.zip") << ToUtf8(path);
  }
  // The missing folder is made on request, and the path is then taken.
  wizard.Click(IDC_CREATE_FOLDER);
  EXPECT_TRUE(platform::IsExistingFolder(missing));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_FALSE(wizard.Visible(IDC_BACKUP_ERROR));
  EXPECT_FALSE(wizard.Visible(IDC_CREATE_FOLDER));
  EXPECT_EQ(wizard.FocusId(), IDC_BACKUP_PATH) << "the focus leaves the button that went";
  wizard.SetText(IDC_BACKUP_PATH, Wide(backups / u"backup.zip"));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_EQ(redPixels(), 0);
  wizard.SetText(IDC_BACKUP_PATH, L"");
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_EQ(wizard.Text(IDC_BACKUP_ERROR), L"Type the name of the backup file, or choose where it goes with Browse.");
  // A relative name lies in the documents folder, and the page says so; ".." is resolved.
  Text documents;
  ASSERT_TRUE(platform::GetDocumentsFolder(documents));
  Text parent = documents;
  platform::RemoveLastComponent(parent);
  wizard.SetText(IDC_BACKUP_PATH, L"sub\\..\\..\\up.zip");
  EXPECT_EQ(wizard.Text(IDC_BACKUP_FULL_PATH), L"The backup will be written to: " + Wide(parent) + L"\\up.zip");
  wizard.SetText(IDC_BACKUP_PATH, L"missing\\backup.zip");
  EXPECT_EQ(wizard.EnabledButtons(), L"Back") << "a relative path in a missing folder";
  wizard.SetText(IDC_BACKUP_PATH, L"backup.zip");
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next") << "a bare name goes beside the default backup";
  EXPECT_EQ(wizard.Text(IDC_BACKUP_FULL_PATH), L"The backup will be written to: " + Wide(documents) + L"\\backup.zip");
  // The comment takes 128 characters at most.
  wizard.Type(IDC_BACKUP_COMMENT, std::wstring(129, L'c'));
  EXPECT_EQ(wizard.Text(IDC_BACKUP_COMMENT), std::wstring(128, L'c'));
  // Going back and returning judges the path again.
  wizard.SetText(IDC_BACKUP_PATH, L"missing\\backup.zip");
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DETAILS));
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_BACKUP_LOCATION));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_TRUE(wizard.Visible(IDC_CREATE_FOLDER));
  EXPECT_EQ(wizard.Text(IDC_BACKUP_PATH), L"missing\\backup.zip") << "the texts survive going back and forth";
}

TEST_F(OperationsTest, RestoreLocationAcceptsOnlyBackupsOfThisTool) {
  const Text backup = MakeBackup(backups / u"good.zip");
  // An empty zip archive: only the end record, without a comment.
  const Text foreign = backups / u"foreign.zip";
  std::vector<uint8_t> empty = {'P', 'K', 5, 6};
  empty.resize(22, 0);
  ASSERT_TRUE(WriteBytes(foreign, empty));
  // A backup whose first entry's CRC in the central directory is wrong: its data no longer matches.
  const Text damaged = backups / u"damaged.zip";
  std::vector<uint8_t> bytes = ReadBytes(backup);
  const std::string text(bytes.begin(), bytes.end());
  const size_t central = text.find(std::string("PK\x01\x02", 4));
  ASSERT_NE(central, std::string::npos);
  bytes[central + 16] ^= 0xFF;
  ASSERT_TRUE(WriteBytes(damaged, bytes));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  EXPECT_EQ(wizard.Text(IDC_RESTORE_PATH), Wide(backup)) << "the last backup is proposed";
  const std::wstring created = wizard.Text(IDC_CREATED_DATE);
  EXPECT_FALSE(created.empty());
  auto redPixels = [&wizard] {
    const Capture shot = wizard.Screenshot();
    return shot.Count(kInvalidRed, RectWithin(wizard.Control(IDC_RESTORE_PATH), wizard.Sheet()));
  };
  // Errors show as errors, beside their icon; the comment field holds only comments.
  auto error = [&wizard] {
    EXPECT_EQ(wizard.Text(IDC_RESTORE_COMMENT), L"");
    return wizard.Visible(IDC_RESTORE_ERROR_ICON) ? wizard.Text(IDC_RESTORE_ERROR) : L"(no icon)";
  };
  EXPECT_FALSE(wizard.Visible(IDC_RESTORE_ERROR));
  wizard.SetText(IDC_RESTORE_PATH, Wide(foreign));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_EQ(error(), L"This zip file was not written by the Kestrove Client Backup Tool, so it cannot be restored. "
                     L"Please choose a backup file.");
  EXPECT_EQ(wizard.Text(IDC_CREATED_DATE), L"");
  wizard.SetText(IDC_RESTORE_PATH, Wide(damaged));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_EQ(error(), L"This backup file is damaged or incomplete, perhaps the copy was interrupted: its entry "
                     L"\"settings.reg\" cannot be read. Copy it again from where it was made, or choose another backup file.");
  EXPECT_EQ(wizard.Text(IDC_CREATED_DATE), created) << "a damaged backup still tells when it was made";
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_RESTORE_LOCATION));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back") << "coming back does not let a damaged backup through";
  EXPECT_EQ(redPixels(), 0) << "an existing file is not red, even when it is no backup";
  wizard.SetText(IDC_RESTORE_PATH, Wide(data.Path()));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_GT(redPixels(), 10) << "a folder is no file";
  EXPECT_EQ(error(), L"This is a folder. Choose the backup file in it with Browse.");
  wizard.SetText(IDC_RESTORE_PATH, Wide(backup));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_EQ(wizard.Text(IDC_CREATED_DATE), created) << "a valid archive fills the fields again";
  EXPECT_EQ(redPixels(), 0);
  EXPECT_FALSE(wizard.Visible(IDC_RESTORE_FULL_PATH)) << "the path read is the path typed";
  // A bare name lies where the backup page puts it: beside the last backup, ".zip" added.
  wizard.SetText(IDC_RESTORE_PATH, L"good");
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_EQ(wizard.Text(IDC_CREATED_DATE), created);
  EXPECT_EQ(wizard.Text(IDC_RESTORE_FULL_PATH), L"The restore reads: " + Wide(backup));
}

TEST_F(OperationsTest, FailedBackupShowsTheMessagesUnderTheErrorIcon) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  // The page lets the path pass, but another program holds the file, so the backup cannot replace
  // it. Its long name makes the message far wider than the list.
  const std::wstring path = Wide(Archive(backups / u"a file whose name is much longer than the list of failures is wide.zip"));
  const HeldFile held(path);
  ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
  wizard.SetText(IDC_BACKUP_PATH, path);
  ASSERT_EQ(wizard.EnabledButtons(), L"Back Next");
  wizard.Press(WizardButton::Next);
  MessageBoxSeen replace;
  ASSERT_TRUE(wizard.WaitForMessageBox(replace));
  wizard.Answer(replace, IDYES);
  ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Finish") << "another place may be tried";
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The backup could not be completed.");
  EXPECT_TRUE(wizard.Visible(IDC_RESULT_LIST));
  EXPECT_TRUE(ShowsNoStaleParts(wizard));
  EXPECT_EQ(wizard.ListHeading(IDC_RESULT_LIST), L"Error Description");
  const std::vector<std::wstring> rows = wizard.ListRows(IDC_RESULT_LIST);
  ASSERT_FALSE(rows.empty());
  bool named = false;
  for (const std::wstring& row : rows) named = named || row.find(path) != std::wstring::npos;
  EXPECT_TRUE(named) << "a message names the archive: " << rows.front().c_str();
  // The selected message shows whole in the box below the list, where it can be copied.
  ASSERT_TRUE(wizard.Visible(IDC_RESULT_DETAILS));
  EXPECT_EQ(wizard.Text(IDC_RESULT_DETAILS), rows.front());
  // Tab reaches the list and then the box, in reading order.
  int previous = 0;
  for (int i = 0; i < 6 && wizard.FocusId() != IDC_RESULT_DETAILS; ++i) {
    previous = wizard.FocusId();
    wizard.Keys({VK_TAB});
  }
  ASSERT_EQ(wizard.FocusId(), IDC_RESULT_DETAILS);
  EXPECT_EQ(previous, IDC_RESULT_LIST);
  wizard.Keys({'C'}, VK_CONTROL);
  std::wstring copied;
  if (::OpenClipboard(nullptr)) {
    if (HANDLE text = ::GetClipboardData(CF_UNICODETEXT)) {
      copied = static_cast<const wchar_t*>(::GlobalLock(text));
      ::GlobalUnlock(text);
    }
    ::CloseClipboard();
  }
  EXPECT_EQ(copied, rows.front());
  const Capture shot = wizard.Screenshot();
  EXPECT_GT(CountPixels(shot, RectWithin(wizard.Control(IDC_RESULT_ICON), wizard.Sheet()), IsRedPixel), 20)
      << "the error icon";
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

// A backup that fails on the last page changed nothing: Back leads to its place, and the second
// run from the same wizard tells only its own result.
TEST_F(OperationsTest, BackAfterAFailedBackupTriesAnotherPlace) {
  const Text held = Archive(backups / u"held.zip");
  ASSERT_TRUE(WriteText(held, "held open"));
  // Another program holds the file without sharing it: the finished archive cannot take its place.
  HANDLE holder = ::CreateFileW(Wide(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  wizard.SetText(IDC_BACKUP_PATH, Wide(held));
  wizard.Press(WizardButton::Next);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  wizard.Answer(box, IDYES);
  ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
  ::CloseHandle(holder);
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The backup could not be completed.");
  ASSERT_EQ(wizard.EnabledButtons(), L"Back Finish");
  EXPECT_FALSE(wizard.IsEnabled(WizardButton::Cancel));
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_BACKUP_LOCATION));
  EXPECT_TRUE(wizard.IsEnabled(WizardButton::Cancel));
  const Text archive = Archive(backups / u"second.zip");
  wizard.SetText(IDC_BACKUP_PATH, Wide(archive));
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(CompletedSuccessfully(wizard, kBackupDone)) << "the first run's messages are not the second's";
  EXPECT_NE(wizard.Text(IDC_BACKUP_SAVED).find(Wide(archive)), std::wstring::npos);
  BackupIdentity identity;
  EXPECT_TRUE(ReadBackupIdentity(archive, identity));
  EXPECT_EQ(ReadValue(names::kToolKey, names::kLastFileValue).data, StringBytes(archive));
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

// Data that does not compress, so that the backup takes a while.
std::vector<uint8_t> IncompressibleBytes() {
  std::vector<uint8_t> bytes(48u << 20);
  uint64_t state = 0x9E3779B97F4A7C15u;
  for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    memcpy(&bytes[i], &state, 8);
  }
  return bytes;
}

TEST_F(OperationsTest, LongBackupMovesTheBarAndKeepsPainting) {
  ASSERT_TRUE(WriteBytes(data / u"history.dat", IncompressibleBytes()));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  wizard.SetText(IDC_BACKUP_PATH, Wide(Archive(backups / u"large.zip")));
  // Posted without waiting for the tool to idle, which it does not while the backup runs.
  ::PostMessageW(wizard.Sheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
  std::set<DWORD_PTR> positions;
  std::set<std::wstring> files;
  std::vector<uint32_t> picture;
  int pictures = 0;
  const DWORD start = ::GetTickCount();
  while (!wizard.IsEnabled(WizardButton::Finish) && ::GetTickCount() - start < 60000) {
    HWND page = wizard.Page();
    HWND bar = page ? ::GetDlgItem(page, IDC_PROGRESS_BAR) : nullptr;
    DWORD_PTR position = 0;
    if (bar && ::IsWindowVisible(bar) && ::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_BLOCK, 1000, &position)) {
      positions.insert(position);
      files.insert(ControlText(page, IDC_PROGRESS_FILE));
      const Capture shot = CaptureWindow(bar);
      if (shot.pixels != picture) ++pictures;
      picture = shot.pixels;
    }
    ::Sleep(10);
  }
  EXPECT_GE(positions.size(), 2u);
  EXPECT_GE(pictures, 2) << "the bar is painted anew while the backup runs";
  size_t percents = 0;
  for (const std::wstring& file : files) percents += file.find(L" % - " + Wide(data / u"history.dat")) != std::wstring::npos;
  EXPECT_GE(percents, 2u) << "the file being worked on, and how far";
  ASSERT_TRUE(CompletedSuccessfully(wizard, kBackupDone));
  EXPECT_FALSE(wizard.Visible(IDC_PROGRESS_BAR));
}

TEST_F(OperationsTest, RestoreRunsOnTheRestorePagesPathAfterTheBackupPageWasVisited) {
  const Text backup = MakeBackup(backups / u"kept.zip");
  ASSERT_TRUE(platform::RemoveFile(data / u"history.dat"));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  ASSERT_EQ(wizard.Text(IDC_RESTORE_PATH), Wide(backup));
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Click(IDC_MODE_BACKUP);
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  Archive(Narrow(wizard.Text(IDC_BACKUP_PATH)));
  for (int page : {IDD_DETAILS, IDD_DATA_FOLDERS, IDD_OPERATION}) {
    wizard.Press(WizardButton::Back);
    ASSERT_TRUE(wizard.WaitForPage(page));
  }
  wizard.Click(IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_RESTORE_PREVIEW, IDD_COMPLETION});
  ASSERT_TRUE(CompletedSuccessfully(wizard, kRestoreDone)) << "the restore read the archive the restore page showed";
  EXPECT_TRUE(FileExists(data / u"history.dat"));
}

TEST_F(OperationsTest, BackupRunsOnTheBackupPagesPathAfterTheRestorePageWasVisited) {
  const Text earlier = MakeBackup(backups / u"earlier.zip");
  const std::vector<uint8_t> earlierBytes = ReadBytes(earlier);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  const Text archive = Archive(backups / u"new.zip");
  wizard.SetText(IDC_BACKUP_PATH, Wide(archive));
  for (int page : {IDD_DETAILS, IDD_DATA_FOLDERS, IDD_OPERATION}) {
    wizard.Press(WizardButton::Back);
    ASSERT_TRUE(wizard.WaitForPage(page));
  }
  wizard.Click(IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  ASSERT_EQ(wizard.Text(IDC_RESTORE_PATH), Wide(earlier));
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Click(IDC_MODE_BACKUP);
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION, IDD_COMPLETION});
  ASSERT_TRUE(CompletedSuccessfully(wizard, kBackupDone));
  EXPECT_TRUE(FileExists(archive));
  EXPECT_EQ(ReadBytes(earlier), earlierBytes) << "the restore page's archive is never written over";
}

TEST_F(OperationsTest, RestorePreviewTellsWhatWillChangeAndItsButtonRestores) {
  const Text archive = MakeBackup(backups / u"preview.zip");
  ASSERT_TRUE(WriteText(data / u"history.dat", "today's longer history"));
  // Written a day after the backup, whatever the clock's steps.
  uint32_t written = 0;
  ASSERT_TRUE(platform::GetLastWriteDosTime(data / u"history.dat", &written));
  ASSERT_TRUE(platform::SetFileTimesFromDos(data / u"history.dat", written + (1u << 16)));
  ASSERT_TRUE(platform::RemoveFile(favorites / u"favorites.dat"));
  SeedString(u"Software\\Kestrove\\Connection Data", u"Host", u"ftp.example.org");
  DeleteKey(u"Software\\Kestrove\\Transfer");
  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(archive, identity));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS});
  const std::wstring next = ButtonText(wizard.Sheet(), kNextButtonId);
  NextUntil(wizard, {IDD_RESTORE_PREVIEW});
  const std::wstring settings = wizard.Text(IDC_PREVIEW_SETTINGS);
  // Changed: the host only; the folder values name this machine's folders already.
  EXPECT_EQ(wizard.Text(IDC_PREVIEW_BACKUP), L"From the backup \"preview.zip\" of " + UsersDateTime(identity.created) + L".");
  EXPECT_EQ(settings.substr(0, 28), L"Settings: 1 changed, 1 new, ") << settings.c_str();
  EXPECT_EQ(wizard.Text(IDC_PREVIEW_FILES),
            L"Files: 1 replaced, 1 new.\r\nFiles on this computer that are newer than their copies in the backup: 1.");
  EXPECT_EQ(wizard.Text(IDC_PREVIEW_UNDO),
            L"An undo point is written before the first change, so that the restore can be undone.");
  EXPECT_EQ(ButtonText(wizard.Sheet(), kNextButtonId), L"&Restore");
  EXPECT_FALSE(wizard.Visible(IDC_PREVIEW_LIST)) << "the list waits behind its box";
  wizard.Click(IDC_PREVIEW_SHOW_LIST);
  EXPECT_TRUE(wizard.Visible(IDC_PREVIEW_LIST));
  const std::vector<std::wstring> kinds = wizard.ListRows(IDC_PREVIEW_LIST);
  EXPECT_EQ(kinds, (std::vector<std::wstring>{L"Changed", L"New", L"Replaced (newer now)", L"New"}));
  const size_t replaced = 2;
  EXPECT_EQ(wizard.ListRows(IDC_PREVIEW_LIST, 1).at(0), L"Connection Data\\Host");
  EXPECT_EQ(wizard.ListRows(IDC_PREVIEW_LIST, 2).at(0), L"ftp.example.org");
  EXPECT_EQ(wizard.ListRows(IDC_PREVIEW_LIST, 3).at(0), L"ftp.example.com");
  EXPECT_EQ(wizard.ListRows(IDC_PREVIEW_LIST, 1).at(replaced), L"history.dat");
  EXPECT_EQ(wizard.ListRows(IDC_PREVIEW_LIST, 2).at(replaced).substr(0, SizeText(22).size() + 2), SizeText(22) + L", ");
  EXPECT_EQ(wizard.ListRows(IDC_PREVIEW_LIST, 3).at(replaced).substr(0, SizeText(13).size() + 2), SizeText(13) + L", ");
  EXPECT_NE(wizard.ListRows(IDC_PREVIEW_LIST, 3).at(replaced).find(L':'), std::wstring::npos) << "with the hour";
  // Back gives Next its own text again; the restore button restores.
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DETAILS));
  EXPECT_EQ(ButtonText(wizard.Sheet(), kNextButtonId), next);
  NextUntil(wizard, {IDD_RESTORE_PREVIEW, IDD_COMPLETION});
  ASSERT_TRUE(CompletedSuccessfully(wizard, kRestoreDone));
  EXPECT_EQ(ReadBytes(data / u"history.dat").size(), 13u);
  EXPECT_TRUE(FileExists(favorites / u"favorites.dat"));
}

// A protected backup made in the wizard, then restored there: a wrong password first, which is
// named beside its field and changes nothing.
TEST_F(OperationsTest, AProtectedBackupIsRestoredOnceItsPasswordIsRight) {
  const Text archive = Archive(backups / u"locked.zip");
  {
    WizardSession wizard;
    ASSERT_TRUE(wizard.Started());
    NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
    wizard.SetText(IDC_BACKUP_PATH, Wide(archive));
    EXPECT_FALSE(wizard.Visible(IDC_PASSWORD));
    wizard.Click(IDC_PROTECT);
    EXPECT_TRUE(wizard.Visible(IDC_PASSWORD) && wizard.Visible(IDC_PASSWORD_CONFIRM) && wizard.Visible(IDC_PASSWORD_NOTE));
    const struct {
      const wchar_t *password, *confirm, *reason;
    } steps[] = {{L"", L"", L"Type the password in both fields."},
                 {L"p\u00e4ss word", L"", L"Type the password in both fields."},
                 {L"p\u00e4ss word", L"p\u00e4ss wort", L"The two passwords differ."},
                 {L"p\u00e4ss word", L"p\u00e4ss word", L""}};
    for (const auto& step : steps) {
      wizard.SetText(IDC_PASSWORD, step.password);
      wizard.SetText(IDC_PASSWORD_CONFIRM, step.confirm);
      EXPECT_EQ(wizard.Visible(IDC_PASSWORD_REASON) ? wizard.Text(IDC_PASSWORD_REASON) : L"", step.reason);
      EXPECT_EQ(wizard.EnabledButtons(), step.reason[0] ? L"Back" : L"Back Next") << step.confirm;
    }
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(CompletedSuccessfully(wizard, kBackupDone));
    EXPECT_TRUE(wizard.Visible(IDC_CHANGES_SUMMARY));
    EXPECT_EQ(wizard.Text(IDC_CHANGES_SUMMARY),
              L"The backup is protected with a password. Without it the backup cannot be opened.");
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_EQ(reader.Protection(), ArchiveProtection::Protected);
  reader.Close();

  ASSERT_TRUE(platform::RemoveFile(data / u"history.dat"));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_RESTORE);
  NextUntil(wizard, {IDD_RESTORE_LOCATION});
  wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
  EXPECT_TRUE(wizard.Visible(IDC_RESTORE_PASSWORD_PROMPT) && wizard.Visible(IDC_RESTORE_PASSWORD));
  EXPECT_FALSE(wizard.Visible(IDC_RESTORE_ERROR)) << "a protected backup is no damaged one";
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  wizard.SetText(IDC_RESTORE_PASSWORD, L"p\u00e4ss wort");
  EXPECT_TRUE(wizard.Visible(IDC_RESTORE_PASSWORD_REASON));
  EXPECT_EQ(wizard.Text(IDC_RESTORE_PASSWORD_REASON), L"The password is not correct.");
  EXPECT_FALSE(wizard.Visible(IDC_RESTORE_ERROR));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_FALSE(FileExists(data / u"history.dat"));
  wizard.SetText(IDC_RESTORE_PASSWORD, L"p\u00e4ss word");
  EXPECT_FALSE(wizard.Visible(IDC_RESTORE_PASSWORD_REASON));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_RESTORE_PREVIEW});
  EXPECT_EQ(wizard.Text(IDC_PREVIEW_FILES), L"Files: 0 replaced, 1 new.") << "the preview read the protected archive";
  NextUntil(wizard, {IDD_COMPLETION});
  ASSERT_TRUE(CompletedSuccessfully(wizard, kRestoreDone));
  EXPECT_EQ(ReadBytes(data / u"history.dat"), std::vector<uint8_t>({'h', 'i', 's', 't', 'o', 'r', 'y', ' ', 'b', 'y',
                                                                     't', 'e', 's'}));
}

TEST_F(OperationsTest, CancelStopsALongBackupAndKeepsTheEarlierArchive) {
  ASSERT_TRUE(WriteBytes(data / u"history.dat", IncompressibleBytes()));
  const Text archive = Archive(backups / u"earlier.zip");
  ASSERT_TRUE(WriteText(archive, "the earlier backup"));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  ChooseMode(wizard, IDC_MODE_BACKUP);
  wizard.Click(IDC_RESET_AFTER_BACKUP);
  NextUntil(wizard, {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  wizard.SetText(IDC_BACKUP_PATH, Wide(archive));
  wizard.Press(WizardButton::Next);
  MessageBoxSeen box;
  for (const wchar_t* question : {L"already exists", L"reset"}) {  // the earlier file, then the reset
    ASSERT_TRUE(wizard.WaitForMessageBox(box));
    EXPECT_NE(box.text.find(question), std::wstring::npos) << box.text.c_str();
    wizard.Answer(box, IDYES);
  }
  // Cancel once the large file is on its way.
  std::wstring shown;
  const DWORD start = ::GetTickCount();
  while (shown.find(L" % - " + Wide(data / u"history.dat")) == std::wstring::npos && ::GetTickCount() - start < 60000) {
    HWND page = wizard.Page();
    shown = page ? ControlText(page, IDC_PROGRESS_FILE) : L"";
    ::Sleep(5);
  }
  ASSERT_NE(shown.find(L" % - "), std::wstring::npos) << "the page shows how far the backup is";
  ::PostMessageW(wizard.Sheet(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
  EXPECT_TRUE(wizard.MessageBoxes().empty()) << "cancelling a backup loses nothing: no question";
  // Told as plainly as a success: no error, no list of one.
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The backup was cancelled. Nothing was changed.");
  EXPECT_FALSE(wizard.Visible(IDC_RESULT_LIST));
  EXPECT_EQ(CountPixels(wizard.Screenshot(), RectWithin(wizard.Control(IDC_RESULT_ICON), wizard.Sheet()), IsRedPixel), 0);
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Finish");
  EXPECT_EQ(ReadBytes(archive), std::vector<uint8_t>({'t', 'h', 'e', ' ', 'e', 'a', 'r', 'l', 'i', 'e', 'r', ' ', 'b',
                                                      'a', 'c', 'k', 'u', 'p'}));
  EXPECT_TRUE(FileExists(data / u"history.dat")) << "no reset after a cancelled backup";
  EXPECT_FALSE(ReadValue(names::kToolKey, names::kLastFileValue).exists) << "nor is it remembered";
  WIN32_FIND_DATAW found{};
  size_t files = 0;
  HANDLE find = ::FindFirstFileW((Wide(backups.Path()) + L"\\*").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &found)) {
    files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
  }
  if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
  EXPECT_EQ(files, 1u) << "the earlier archive, no pending archive";
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

TEST_F(OperationsTest, GermanWizardReportsInGerman) {
  WizardSession wizard(L"/language=1031");
  ASSERT_TRUE(wizard.Started());
  NextUntil(wizard, {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION});
  const std::wstring path = Wide(Archive(backups / u"held.zip"));
  const HeldFile held(path);
  ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
  wizard.SetText(IDC_BACKUP_PATH, path);
  wizard.Press(WizardButton::Next);
  MessageBoxSeen replace;
  ASSERT_TRUE(wizard.WaitForMessageBox(replace));
  wizard.Answer(replace, IDYES);
  ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
  EXPECT_EQ(wizard.Caption(), L"Kestrove Client Datensicherung - Vorgang abgeschlossen");
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"Die Sicherung konnte nicht abgeschlossen werden.");
  EXPECT_EQ(wizard.ListHeading(IDC_RESULT_LIST), L"Fehlerbeschreibung");
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);

  WizardSession again(L"/language=1031");
  ASSERT_TRUE(again.Started());
  ChooseMode(again, IDC_MODE_RESET);
  NextUntil(again, {IDD_DATA_FOLDERS, IDD_DETAILS});
  again.Press(WizardButton::Next);
  MessageBoxSeen box;
  ASSERT_TRUE(again.WaitForMessageBox(box));
  EXPECT_EQ(box.text, L"Sind Sie sicher, dass Sie alle Daten und Einstellungen zur\u00fccksetzen m\u00f6chten?");
  again.Answer(box, IDYES);
  EXPECT_TRUE(CompletedSuccessfully(again, L"Das Zur\u00fccksetzen wurde erfolgreich abgeschlossen."));
}

}  // namespace
}  // namespace kbt::testing

namespace kbt::testing {
namespace {

// The file name field of the common file dialogs: a combo box with an edit, or a plain edit.
void SetFileName(HWND dialog, const std::wstring& path) {
  for (int id : {0x47C, 0x480}) {
    if (HWND field = ::GetDlgItem(dialog, id)) ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  }
}

void PressDialogButton(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

TEST_F(WizardTest, BackupBrowseOffersTheFilterAndConfirmsAnOverwrite) {
  const Text existing = backups / u"existing.zip";
  ASSERT_TRUE(WriteText(existing, "an older file"));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  for (int page : {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(page));
  }
  const std::wstring proposed = wizard.Text(IDC_BACKUP_PATH);
  wizard.PostClick(IDC_BROWSE_BACKUP);
  HWND dialog = wizard.WaitForFileDialog();
  ASSERT_NE(dialog, nullptr);
  const std::vector<std::wstring> filters = WizardSession::ComboItems(::GetDlgItem(dialog, 0x470));
  EXPECT_EQ(filters, std::vector<std::wstring>({L"Kestrove Client Backup File (*.zip)", L"All Files"}));
  PressDialogButton(dialog, IDCANCEL);
  wizard.Settle();
  EXPECT_EQ(wizard.Text(IDC_BACKUP_PATH), proposed) << "cancelling changes nothing";

  wizard.PostClick(IDC_BROWSE_BACKUP);
  dialog = wizard.WaitForFileDialog();
  ASSERT_NE(dialog, nullptr);
  SetFileName(dialog, Wide(existing));
  PressDialogButton(dialog, IDOK);
  MessageBoxSeen overwrite;
  ASSERT_TRUE(wizard.WaitForMessageBox(overwrite)) << "an existing file is not taken without asking";
  wizard.Answer(overwrite, IDYES);
  const DWORD start = ::GetTickCount();
  while (wizard.Text(IDC_BACKUP_PATH) == proposed && ::GetTickCount() - start < 5000) wizard.Settle();
  EXPECT_EQ(wizard.Text(IDC_BACKUP_PATH), Wide(existing));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  // The dialog asked for this path: Next does not ask again.
  wizard.Press(WizardButton::Next);
  EXPECT_TRUE(wizard.MessageBoxes().empty());
  ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
  wizard.Press(WizardButton::Finish);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

TEST_F(WizardTest, RestoreBrowseTakesTheChosenFileInGerman) {
  const Text archive = backups / u"chosen.zip";
  ASSERT_TRUE(WriteText(archive, "not a zip"));
  WizardSession wizard(L"/language=1031");
  ASSERT_TRUE(wizard.Started());
  ASSERT_TRUE(wizard.OpenRestoreLocation());
  wizard.PostClick(IDC_BROWSE_RESTORE);
  HWND dialog = wizard.WaitForFileDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WizardSession::ComboItems(::GetDlgItem(dialog, 0x470)),
            std::vector<std::wstring>({L"Sicherungsdatei", L"Alle Dateien"}));
  SetFileName(dialog, Wide(archive));
  PressDialogButton(dialog, IDOK);
  const DWORD start = ::GetTickCount();
  while (wizard.Text(IDC_RESTORE_PATH).empty() && ::GetTickCount() - start < 5000) wizard.Settle();
  EXPECT_EQ(wizard.Text(IDC_RESTORE_PATH), Wide(archive));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back") << "the file is no backup";
}

}  // namespace
}  // namespace kbt::testing
