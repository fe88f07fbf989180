// The order of the pages in each mode, the buttons on each page, and the confirmation on cancel.
#include "res/resource.h"
#include "support/win32/tool_runner.h"
#include "ui/wizard_fixture.h"

namespace kbt::testing {
namespace {

struct Step {
  WizardButton press;
  int page;                // the page it leads to
  const wchar_t* buttons;  // enabled among Back, Next and Finish
};

// Presses each button in turn and checks the page it shows and the buttons enabled there.
void Walk(WizardSession& wizard, const std::vector<Step>& steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    wizard.Press(steps[i].press);
    ASSERT_TRUE(wizard.WaitForPage(steps[i].page)) << "step " << i << " shows page " << wizard.PageId();
    EXPECT_EQ(wizard.EnabledButtons(), steps[i].buttons) << "step " << i << " on page " << steps[i].page;
  }
}

constexpr WizardButton kNext = WizardButton::Next;
constexpr WizardButton kBack = WizardButton::Back;

TEST_F(WizardTest, BackupJourneyGoesThroughTheBackupLocationAndBackTheSameWay) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  EXPECT_EQ(wizard.Caption(), L"Kestrove Client Backup Tool");
  EXPECT_EQ(wizard.EnabledButtons(), L"Next") << "the first page has no Back";
  Walk(wizard, {{kNext, IDD_OPERATION, L"Back Next"},
                {kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kNext, IDD_DETAILS, L"Back Next"},
                {kNext, IDD_BACKUP_LOCATION, L"Back Next"},
                {kBack, IDD_DETAILS, L"Back Next"},
                {kBack, IDD_DATA_FOLDERS, L"Back Next"},
                {kBack, IDD_OPERATION, L"Back Next"},
                {kBack, IDD_WELCOME, L"Next"}});
  EXPECT_EQ(wizard.CancelAndConfirm(), 0u);
}

TEST_F(WizardTest, EveryPageHasItsCaption) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  const std::pair<int, const wchar_t*> captions[] = {
      {IDD_OPERATION, L"Kestrove Client Backup Tool - Operation"},
      {IDD_DATA_FOLDERS, L"Kestrove Client Backup Tool - Settings"},
      {IDD_DETAILS, L"Kestrove Client Backup Tool - Details"},
      {IDD_BACKUP_LOCATION, L"Kestrove Client Backup Tool - Location"},
  };
  for (const auto& [page, caption] : captions) {
    wizard.Press(kNext);
    ASSERT_TRUE(wizard.WaitForPage(page));
    EXPECT_EQ(wizard.Caption(), caption);
  }
}

TEST_F(WizardTest, RestoreJourneyVisitsTheRestoreLocationFirstAndComesBackToIt) {
  // A remembered backup lets the restore page go on (the backup records itself as the last one).
  const Text archive = backups / u"remembered.zip";
  ASSERT_EQ(RunTool(L"/backup \"" + Wide(archive) + L"\"").exitCode, 0u);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  Walk(wizard, {{kNext, IDD_OPERATION, L"Back Next"}});
  wizard.Click(IDC_MODE_RESTORE);
  Walk(wizard, {{kNext, IDD_RESTORE_LOCATION, L"Back Next"},
                {kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kBack, IDD_RESTORE_LOCATION, L"Back Next"},
                {kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kNext, IDD_DETAILS, L"Back Next"},
                {kBack, IDD_DATA_FOLDERS, L"Back Next"},
                {kBack, IDD_RESTORE_LOCATION, L"Back Next"},
                {kBack, IDD_OPERATION, L"Back Next"}});
  EXPECT_EQ(wizard.Caption(), L"Kestrove Client Backup Tool - Operation");
  EXPECT_EQ(wizard.CancelAndConfirm(), 0u);
}

TEST_F(WizardTest, RestoreWithoutRememberedArchiveAllowsOnlyBack) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(kNext);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Click(IDC_MODE_RESTORE);
  Walk(wizard, {{kNext, IDD_RESTORE_LOCATION, L"Back"}});
  EXPECT_EQ(wizard.Text(IDC_RESTORE_PATH), L"");
  EXPECT_FALSE(KeyExists(names::kToolKey)) << "the page only reads the last backup: it creates no key";
}

TEST_F(WizardTest, ChoosingBackupAfterRestoreSendsBackFromDataFoldersToTheOperationPage) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(kNext);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Click(IDC_MODE_RESTORE);
  Walk(wizard, {{kNext, IDD_RESTORE_LOCATION, L"Back"}, {kBack, IDD_OPERATION, L"Back Next"}});
  wizard.Click(IDC_MODE_BACKUP);
  Walk(wizard, {{kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kBack, IDD_OPERATION, L"Back Next"},
                {kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kNext, IDD_DETAILS, L"Back Next"},
                {kNext, IDD_BACKUP_LOCATION, L"Back Next"}});
}

TEST_F(WizardTest, ResetJourneyNeverShowsALocationPageAndAsksBeforeItDeletes) {
  WriteText(data / u"history.dat", "kept");
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(kNext);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Click(IDC_MODE_RESET);
  Walk(wizard, {{kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kBack, IDD_OPERATION, L"Back Next"},
                {kNext, IDD_DATA_FOLDERS, L"Back Next"},
                {kNext, IDD_DETAILS, L"Back Next"}});
  // Next from the details page leads to the reset itself: the user is asked first, No the default.
  wizard.Press(kNext);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  EXPECT_EQ(box.text, L"Are you sure you want to reset all data and settings?");
  EXPECT_EQ(box.caption, L"Kestrove Client Backup Tool - Details");
  EXPECT_TRUE(box.yesNo);
  EXPECT_TRUE(box.noIsDefault);
  EXPECT_TRUE(box.warningIcon);
  wizard.Answer(box, IDNO);
  EXPECT_EQ(wizard.PageId(), IDD_DETAILS) << "No keeps the wizard where it was";
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  EXPECT_EQ(ReadValue(names::kClientKey, names::kFavoritesFolderValue).exists, true);
}

TEST_F(WizardTest, CancelAnsweredNoKeepsEveryPageAsItWas) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  for (int page : {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
    wizard.Press(kNext);
    ASSERT_TRUE(wizard.WaitForPage(page));
    const std::wstring buttons = wizard.EnabledButtons();
    wizard.Press(WizardButton::Cancel);
    MessageBoxSeen box;
    ASSERT_TRUE(wizard.WaitForMessageBox(box)) << "page " << page;
    EXPECT_EQ(box.caption, L"Close");
    EXPECT_EQ(box.text, L"Do you really want to close this application?");
    EXPECT_TRUE(box.yesNo);
    EXPECT_TRUE(box.noIsDefault) << "No is the default answer";
    EXPECT_TRUE(box.warningIcon);
    wizard.Answer(box, IDNO);
    EXPECT_EQ(wizard.PageId(), page);
    EXPECT_EQ(wizard.EnabledButtons(), buttons) << "page " << page;
  }
}

// Before anything is chosen, closing loses nothing: no question.
TEST_F(WizardTest, CancelOnTheWelcomePageClosesAtOnce) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(WizardButton::Cancel);
  EXPECT_EQ(wizard.WaitForExit(), 0u) << "a question would keep it open";
}

TEST_F(WizardTest, CancelAnsweredYesClosesWithExitCodeZeroAndChangesNothing) {
  ASSERT_TRUE(WriteText(data / u"history.dat", "history"));
  ASSERT_TRUE(WriteText(favorites / u"favorites.dat", "favorites"));
  SeedString(u"Software\\Kestrove\\Queue", names::kLastFileValue, data / u"queue.que");
  // A start only reads: from here on nothing may change.
  const RegistrySnapshot before = SnapshotKey(names::kClientKey);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(kNext);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Click(IDC_MODE_RESET);
  wizard.Press(kNext);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DATA_FOLDERS));
  wizard.Press(kNext);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DETAILS));
  EXPECT_EQ(wizard.CancelAndConfirm(), 0u);
  EXPECT_EQ(SnapshotKey(names::kClientKey), before);
  EXPECT_EQ(ReadBytes(data / u"history.dat"), std::vector<uint8_t>({'h', 'i', 's', 't', 'o', 'r', 'y'}));
  EXPECT_TRUE(FileExists(favorites / u"favorites.dat"));
}

TEST_F(WizardTest, SheetIsCentredOnTheWorkArea) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  RECT area{}, sheet{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  ::GetWindowRect(wizard.Sheet(), &sheet);
  const LONG expectedLeft = (area.left + area.right) / 2 - (sheet.right - sheet.left) / 2;
  const LONG expectedTop = (area.top + area.bottom) / 2 - (sheet.bottom - sheet.top) / 2;
  EXPECT_NEAR(sheet.left, expectedLeft, 1);
  EXPECT_NEAR(sheet.top, expectedTop, 1);
}

}  // namespace
}  // namespace kbt::testing
