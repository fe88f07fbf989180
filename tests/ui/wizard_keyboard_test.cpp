// The three journeys driven by real key strokes alone, and where the focus is on every page.
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "res/resource.h"
#include "support/win32/tool_runner.h"
#include "ui/wizard_fixture.h"

namespace kbt::testing {
namespace {

// The property sheet's own buttons.
constexpr int kBack = 0x3023;
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;

class KeyboardTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    ASSERT_TRUE(WriteText(data / u"history.dat", "history bytes"));
    ASSERT_TRUE(WriteText(favorites / u"favorites.dat", "favorites bytes"));
  }
  // Enter on a page, then the page it leads to and the control that has the focus there.
  static void EnterLeadsTo(WizardSession& wizard, int page, int focused) {
    wizard.Keys({VK_RETURN});
    ASSERT_TRUE(wizard.WaitForPage(page)) << "shown " << wizard.PageId() << ", expected " << page;
    wizard.Settle();
    EXPECT_EQ(wizard.FocusId(), focused) << "on page " << page;
  }
  static bool IsDefault(HWND button) { return (::GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON; }
};

TEST_F(KeyboardTest, BackupByKeysWritesARelativeNameIntoTheDocumentsFolder) {
  Text documents;
  ASSERT_TRUE(platform::GetDocumentsFolder(documents));
  Text archive = documents;
  platform::AppendPath(archive, u"keys.zip");
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Settle();
  EXPECT_EQ(wizard.FocusId(), kNext) << "the welcome page starts on Next, not on a link";
  EnterLeadsTo(wizard, IDD_OPERATION, IDC_MODE_BACKUP);
  // The arrows go round the three modes and nowhere else.
  const int expected[] = {IDC_MODE_RESTORE, IDC_MODE_RESET, IDC_MODE_BACKUP};
  for (int radio : expected) {
    wizard.Keys({VK_DOWN});
    EXPECT_EQ(wizard.FocusId(), radio);
    EXPECT_TRUE(wizard.Checked(radio));
  }
  wizard.Keys({VK_UP});
  EXPECT_EQ(wizard.FocusId(), IDC_MODE_RESET);
  wizard.Keys({VK_DOWN});
  ASSERT_TRUE(wizard.Checked(IDC_MODE_BACKUP));
  // Tab in reading order: the chosen mode, its box, then the sheet's buttons.
  wizard.Keys({VK_TAB});
  EXPECT_EQ(wizard.FocusId(), IDC_RESET_AFTER_BACKUP);
  wizard.Keys({VK_TAB});
  EXPECT_EQ(wizard.FocusId(), kBack);
  wizard.Keys({VK_TAB}, VK_SHIFT);
  wizard.Keys({VK_TAB}, VK_SHIFT);
  EXPECT_EQ(wizard.FocusId(), IDC_MODE_BACKUP) << "Tab comes back into the group on the chosen mode";
  EnterLeadsTo(wizard, IDD_DATA_FOLDERS, kNext);
  EnterLeadsTo(wizard, IDD_DETAILS, IDC_INCLUDE_DATA);
  EnterLeadsTo(wizard, IDD_BACKUP_LOCATION, IDC_BACKUP_PATH);
  // The focus selects the whole path, so typing replaces it.
  wizard.TypeKeys(L"keys.zip");
  EXPECT_EQ(wizard.Text(IDC_BACKUP_PATH), L"keys.zip");
  EXPECT_NE(wizard.Text(IDC_BACKUP_FULL_PATH).find(Wide(archive)), std::wstring::npos)
      << wizard.Text(IDC_BACKUP_FULL_PATH).c_str();
  EnterLeadsTo(wizard, IDD_COMPLETION, kFinish);
  EXPECT_TRUE(IsDefault(::GetDlgItem(wizard.Sheet(), kFinish)));
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The backup was completed.");
  wizard.Keys({VK_RETURN});
  EXPECT_EQ(wizard.WaitForExit(), 0u);
  EXPECT_TRUE(FileExists(archive));
  EXPECT_EQ(ReadValue(names::kToolKey, names::kLastFileValue).data, StringBytes(archive))
      << "the full path is remembered, not the typed name";
  static_cast<void>(platform::RemoveFile(archive));  // the journey may have written none
}

TEST_F(KeyboardTest, RestoreByKeys) {
  const Text archive = backups / u"keys-restore.zip";
  ASSERT_EQ(RunTool(L"/backup \"" + Wide(archive) + L"\"").exitCode, 0u);
  ASSERT_TRUE(platform::RemoveFile(data / u"history.dat"));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  EnterLeadsTo(wizard, IDD_OPERATION, IDC_MODE_BACKUP);
  wizard.Keys({VK_DOWN});
  EnterLeadsTo(wizard, IDD_RESTORE_LOCATION, IDC_RESTORE_PATH);
  EXPECT_EQ(wizard.Text(IDC_RESTORE_PATH), Wide(archive));
  // A path that fails the check leaves Enter without a button to press, not with Back.
  wizard.TypeKeys(L"nothing.zip");
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  wizard.Keys({VK_RETURN});
  ASSERT_EQ(wizard.PageId(), IDD_RESTORE_LOCATION);
  wizard.SetText(IDC_RESTORE_PATH, Wide(archive));
  EnterLeadsTo(wizard, IDD_DATA_FOLDERS, kNext);
  EnterLeadsTo(wizard, IDD_DETAILS, IDC_INCLUDE_DATA);
  EnterLeadsTo(wizard, IDD_RESTORE_PREVIEW, kNext);
  EnterLeadsTo(wizard, IDD_COMPLETION, kFinish);
  EXPECT_EQ(wizard.Text(IDC_RESULT_TEXT), L"The restore was completed.");
  wizard.Keys({VK_RETURN});
  EXPECT_EQ(wizard.WaitForExit(), 0u);
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  static_cast<void>(platform::RemoveFile(archive));  // the journey may have written none
}

TEST_F(KeyboardTest, ResetByKeysAsksTwiceAndEscapeThenCloses) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  EnterLeadsTo(wizard, IDD_OPERATION, IDC_MODE_BACKUP);
  wizard.Keys({VK_UP});
  ASSERT_TRUE(wizard.Checked(IDC_MODE_RESET));
  EnterLeadsTo(wizard, IDD_DATA_FOLDERS, kNext);
  EnterLeadsTo(wizard, IDD_DETAILS, IDC_INCLUDE_DATA);
  wizard.Keys({VK_SPACE});
  EXPECT_FALSE(wizard.Checked(IDC_INCLUDE_DATA));
  wizard.Keys({VK_SPACE});
  EXPECT_TRUE(wizard.Checked(IDC_INCLUDE_DATA));
  // Enter on the question takes its default, No: nothing is deleted.
  wizard.Keys({VK_RETURN});
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  wizard.Keys({VK_RETURN});
  EXPECT_TRUE(wizard.MessageBoxes().empty());
  EXPECT_EQ(wizard.PageId(), IDD_DETAILS);
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  // Tab to Yes, Space presses it.
  wizard.Keys({VK_RETURN});
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  wizard.Keys({VK_TAB, VK_SPACE});
  ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETION, 60000));
  wizard.Settle();
  EXPECT_EQ(wizard.FocusId(), kFinish);
  EXPECT_FALSE(FileExists(data / u"history.dat"));
  // The result loses nothing when the wizard closes: Escape closes it without a question.
  wizard.Keys({VK_ESCAPE});
  EXPECT_EQ(wizard.WaitForExit(), 0u) << "a question would keep it open";
}

}  // namespace
}  // namespace kbt::testing
