// Pictures of every page in both languages, for the documentation (docs/screenshots).
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "res/resource.h"
#include "ui/wizard_fixture.h"

namespace kbt::testing {
namespace {

struct Language {
  const wchar_t* arguments;
  const wchar_t* suffix;
};

// The pictures show the client's usual folders; they are made for the test and removed after it.
class ScreenshotTest : public ClientRegistryTest, public ::testing::WithParamInterface<Language> {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    Text appData;
    ASSERT_TRUE(platform::GetAppDataFolder(appData));
    data_ = appData;
    platform::AppendPath(data_, names::kDataFolderName);
    favorites_ = data_;
    platform::AppendPath(favorites_, u"Favorites");
    createdData_ = platform::MakeDirectory(data_) == platform::kSuccess;
    createdFavorites_ = platform::MakeDirectory(favorites_) == platform::kSuccess;
    SeedString(names::kClientKey, names::kDataPathValue, data_, platform::kRegExpandSz);
    SeedString(names::kClientKey, names::kFavoritesFolderValue, favorites_, platform::kRegExpandSz);
  }
  void TearDown() override {
    if (createdData_) {
      RemoveTree(data_);
    } else if (createdFavorites_) {
      RemoveTree(favorites_);
    }
    ClientRegistryTest::TearDown();
  }

  void Save(WizardSession& wizard, const std::wstring& page) {
    EXPECT_TRUE(wizard.SaveScreenshot(page + L"-" + GetParam().suffix)) << "screenshot of " << page.c_str();
  }

  Text data_, favorites_;
  bool createdData_ = false, createdFavorites_ = false;
};

TEST_P(ScreenshotTest, PagesBeforeTheOperation) {
  WizardSession wizard(GetParam().arguments);
  ASSERT_TRUE(wizard.Started());
  Save(wizard, L"1-welcome");
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  Save(wizard, L"2-operation");
  wizard.Click(IDC_MODE_RESET);
  Save(wizard, L"2-operation-reset");
  wizard.Click(IDC_MODE_BACKUP);
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DATA_FOLDERS));
  Save(wizard, L"3-data-folders");
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DETAILS));
  Save(wizard, L"4-details");
  wizard.Click(IDC_INCLUDE_DATA);
  wizard.Click(IDC_INCLUDE_SETTINGS);
  Save(wizard, L"4-details-nothing-chosen");
  wizard.Click(IDC_INCLUDE_DATA);
  wizard.Click(IDC_INCLUDE_SETTINGS);
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_BACKUP_LOCATION));
  wizard.SetText(IDC_BACKUP_COMMENT, L"Before moving to the new laptop");
  Save(wizard, L"5-backup-location");
  const std::wstring proposed = wizard.Text(IDC_BACKUP_PATH);
  wizard.SetText(IDC_BACKUP_PATH, Wide(platform::FolderOf(Narrow(proposed))) + L"\\Kestrove\\Backup.zip");
  Save(wizard, L"5-backup-location-missing-folder");
  EXPECT_EQ(wizard.CancelAndConfirm(), 0u);
}

TEST_P(ScreenshotTest, LocationsAndResults) {
  Text archive;
  ASSERT_TRUE(WriteText(data_ + u"\\history.dat", "history"));
  SeedString(u"Software\\Kestrove\\Connection Data", u"Host", u"ftp.example.com");
  {
    WizardSession wizard(GetParam().arguments);
    ASSERT_TRUE(wizard.Started());
    for (int page : {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
      wizard.Press(WizardButton::Next);
      ASSERT_TRUE(wizard.WaitForPage(page));
    }
    archive = Narrow(wizard.Text(IDC_BACKUP_PATH));
    wizard.SetText(IDC_BACKUP_COMMENT, L"Before moving to the new laptop");
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
    Save(wizard, L"7-complete");
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  {
    WizardSession wizard(GetParam().arguments);
    ASSERT_TRUE(wizard.Started());
    ASSERT_TRUE(wizard.OpenRestoreLocation());
    Save(wizard, L"6-restore-location");
    // A copy that stopped short.
    const std::vector<uint8_t> whole = ReadBytes(archive);
    const Text cut = archive + u".part.zip";
    ASSERT_TRUE(WriteBytes(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2)));
    wizard.SetText(IDC_RESTORE_PATH, Wide(cut));
    Save(wizard, L"6-restore-location-damaged");
    static_cast<void>(platform::RemoveFile(cut));
    wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
    // Today's profile differs from the backup's: the preview has something to tell.
    ASSERT_TRUE(WriteText(data_ + u"\\history.dat", "today's history"));
    SeedString(u"Software\\Kestrove\\Connection Data", u"Host", u"ftp.example.org");
    for (int page : {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_RESTORE_PREVIEW}) {
      wizard.Press(WizardButton::Next);
      ASSERT_TRUE(wizard.WaitForPage(page));
    }
    wizard.Click(IDC_PREVIEW_SHOW_LIST);
    Save(wizard, L"6-restore-preview");
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
    Save(wizard, L"7-complete-restore");
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  static_cast<void>(platform::RemoveFile(archive));  // the journey may have written none
  {
    // A file another program holds where the archive should be: the backup fails and says why.
    WizardSession wizard(GetParam().arguments);
    ASSERT_TRUE(wizard.Started());
    for (int page : {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
      wizard.Press(WizardButton::Next);
      ASSERT_TRUE(wizard.WaitForPage(page));
    }
    // One of the client's files: refused beside the field before Next.
    wizard.SetText(IDC_BACKUP_PATH, Wide(data_ + u"\\history.dat"));
    EXPECT_EQ(wizard.EnabledButtons(), L"Back");
    Save(wizard, L"5-backup-location-refused");
    const std::wstring heldPath = Wide(archive);
    HANDLE held = ::CreateFileW(heldPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    wizard.SetText(IDC_BACKUP_PATH, heldPath);
    wizard.Press(WizardButton::Next);
    MessageBoxSeen replace;
    if (wizard.WaitForMessageBox(replace)) wizard.Answer(replace, IDYES);
    const bool failed = wizard.WaitForPage(IDD_COMPLETION, 60000);
    ::CloseHandle(held);
    static_cast<void>(platform::RemoveFile(archive));
    ASSERT_TRUE(failed);
    Save(wizard, L"7-complete-failed");
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  {
    // A backup with the reset after it tells both, with the way back from the reset.
    for (const char16_t* name : {u"\\history.dat", u"\\custom.dat", u"\\folders.dat"}) {
      ASSERT_TRUE(WriteText(data_ + name, "data"));
    }
    ASSERT_TRUE(WriteText(favorites_ + u"\\favorites.dat", "favorites"));
    WizardSession wizard(GetParam().arguments);
    ASSERT_TRUE(wizard.Started());
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
    wizard.Click(IDC_RESET_AFTER_BACKUP);
    for (int page : {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
      wizard.Press(WizardButton::Next);
      ASSERT_TRUE(wizard.WaitForPage(page));
    }
    wizard.SetText(IDC_BACKUP_PATH, Wide(archive));  // written anew, and removed below
    wizard.Press(WizardButton::Next);
    MessageBoxSeen box;
    while (wizard.WaitForMessageBox(box, 2000)) wizard.Answer(box, IDYES);  // the earlier file, the reset
    ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
    Save(wizard, L"7-complete-backup-reset");
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  static_cast<void>(platform::RemoveFile(archive));
}

TEST_P(ScreenshotTest, ProtectedBackupAndRestore) {
  Text archive;
  {
    WizardSession wizard(GetParam().arguments);
    ASSERT_TRUE(wizard.Started());
    for (int page : {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
      wizard.Press(WizardButton::Next);
      ASSERT_TRUE(wizard.WaitForPage(page));
    }
    archive = Narrow(wizard.Text(IDC_BACKUP_PATH));
    wizard.Click(IDC_PROTECT);
    wizard.SetText(IDC_PASSWORD, L"secret");
    wizard.SetText(IDC_PASSWORD_CONFIRM, L"secre");
    Save(wizard, L"5-backup-location-protected");
    wizard.SetText(IDC_PASSWORD_CONFIRM, L"secret");
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
    Save(wizard, L"7-complete-protected");
    wizard.Press(WizardButton::Finish);
    EXPECT_EQ(wizard.WaitForExit(), 0u);
  }
  {
    WizardSession wizard(GetParam().arguments);
    ASSERT_TRUE(wizard.Started());
    ASSERT_TRUE(wizard.OpenRestoreLocation());
    wizard.SetText(IDC_RESTORE_PASSWORD, L"secre");
    Save(wizard, L"6-restore-location-password");
    EXPECT_EQ(wizard.CancelAndConfirm(), 0u);
  }
  static_cast<void>(platform::RemoveFile(archive));
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenshotTest,
                         ::testing::Values(Language{L"", L"en"}, Language{L"/language=1031", L"de"}),
                         [](const ::testing::TestParamInfo<Language>& info) {
                           return info.param.suffix[0] == L'e' ? std::string("English") : std::string("German");
                         });

}  // namespace
}  // namespace kbt::testing
