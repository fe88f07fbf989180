#pragma once
// The pages of the wizard, in the order of the sheet.
#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "operations/restore/restore_preview.h"
#include "operations/restore/verify.h"

#include "res/resource.h"
#include "ui/field_notes.h"
#include "ui/gdi_owners.h"
#include "ui/wizard_page.h"
#include "ui/wizard_sheet.h"

namespace kbt::ui {

class WelcomePage : public WizardPage {
 public:
  using WizardPage::WizardPage;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  // Nothing is chosen yet.
  bool ClosingLosesChoices() const override { return false; }
};

class OperationPage : public WizardPage {
 public:
  using WizardPage::WizardPage;
  static constexpr UINT_PTR kBlinkTimer = 1;
  static constexpr UINT kBlinkPeriodMs = 400;
  static constexpr int kBlinkTicks = 6;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  int OnWizNext() override;
  void OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) override;
  HWND FirstFocus() const override;

 private:
  void ShowWarning(bool shown);
  void Choose(int radio);
  UniqueIcon warningIcon_;
  std::array<UniqueFont, 3> boldFonts_;
  int ticks_ = 0;
};

class DataFoldersPage : public WizardPage {
 public:
  using WizardPage::WizardPage;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  int OnWizNext() override;
  int OnWizBack() override;
  void OnCommand(int id, int code) override;

 private:
  // Whether the operation may go on with this folder; the note beside it says why not, or that a
  // restore will make it.
  bool CheckFolder(int field, int explore, int description, FieldNote& note);
  UniqueIcon exploreIcon_;
  ButtonTips tips_;
  FieldNote dataNote_{IDC_DATA_STATUS, IDC_DATA_STATUS_ICON};
  FieldNote favoritesNote_{IDC_FAVORITES_STATUS, IDC_FAVORITES_STATUS_ICON};
};

class DetailsPage : public WizardPage {
 public:
  using WizardPage::WizardPage;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  int OnWizNext() override;
  int OnWizBack() override;
  void OnCommand(int id, int code) override;
  HWND FirstFocus() const override { return Item(IDC_INCLUDE_DATA); }

 private:
  FieldNote nothingChosen_{IDC_DETAILS_REASON, IDC_DETAILS_REASON_ICON};
};

class BackupLocationPage : public WizardPage {
 public:
  using WizardPage::WizardPage;
  static constexpr int kCommentLimit = 128;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  int OnWizNext() override;
  int OnWizBack() override;
  void OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) override;
  HWND FirstFocus() const override { return Item(IDC_BACKUP_PATH); }

 private:
  // The typed path as the backup writes it.
  Text FullPath() const;
  // Stores the full path in the request, shows it under the field, and judges whether a backup may
  // go there; if not, the note says why, and offers to create a missing folder.
  void StorePath();
  void Browse();
  void CreateFolder();
  // Asks before an existing file is replaced, unless the Browse dialog asked for that path already.
  bool MayReplace(const Text& path) const;
  // Whether the two password fields agree, and if not, why, beside them.
  void CheckPasswords();
  // The password fields while the box is ticked and the path is usable; a path's reason takes
  // their place.
  void ShowPasswordFields();
  void UpdateButtons();
  UniqueIcon browseIcon_;
  ButtonTips tips_;
  FieldNote reason_{IDC_BACKUP_ERROR, IDC_BACKUP_ERROR_ICON};
  Text defaultFolder_;  // where a relative path lies
  Text replaceConfirmed_;
  bool usable_ = false;   // a backup may be written at the path
  bool protect_ = false;  // "Protect with a password" is ticked
  Text passwordProblem_;  // empty when the ticked fields agree
};

class RestoreLocationPage : public WizardPage {
 public:
  using WizardPage::WizardPage;
  // The check waits for the typing to stop.
  static constexpr UINT_PTR kCheckTimer = 2;
  static constexpr UINT kCheckDelayMs = 400;
  ~RestoreLocationPage() override;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  int OnWizNext() override;
  int OnWizBack() override;
  void OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) override;
  HWND FirstFocus() const override { return Item(IDC_RESTORE_PATH); }

 private:
  // The typed path as the restore reads it: resolved as the backup page resolves a path.
  Text FullPath() const;
  void PathChanged();
  // Reads the whole archive, so it runs beside the page: the page takes input meanwhile.
  void StartCheck();
  void CheckEnded();
  // The password field of a protected archive, with why the password was refused beside it.
  void ShowPasswordField(bool shown, const Text& reason);
  void ForgetPassword();
  void PasswordChanged();
  void Browse();
  UniqueIcon browseIcon_;
  ButtonTips tips_;
  FieldNote reason_{IDC_RESTORE_ERROR, IDC_RESTORE_ERROR_ICON};
  Text defaultFolder_;  // where a relative path lies, and where Browse starts without one

  struct Check {
    Text path, dataFolder, favoritesFolder, password;
    VerifyReport report;
    ~Check() { Wipe(password); }
  };
  std::thread checker_;
  std::unique_ptr<Check> check_;  // the checker's, until it has ended
  bool restorable_ = false;  // the path names a sound backup
  bool protected_ = false;   // and a protected one: the check takes the typed password
};

class RestorePreviewPage : public WizardPage {
 public:
  using WizardPage::WizardPage;
  ~RestorePreviewPage() override;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  int OnWizNext() override { return IDD_COMPLETION; }
  int OnWizBack() override { return IDD_DETAILS; }
  void OnCommand(int id, int code) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) override;

 private:
  struct Plan {
    Text archive, dataFolder, favoritesFolder, password;
    uint32_t selection = 0;
    RestorePreview preview;
    bool startable = false;
    ~Plan() { Wipe(password); }
  };
  // Reads the existing files to compare them, so it runs beside the page: the page takes input meanwhile.
  void StartPlan();
  void PlanEnded();
  void ShowPlan(const Plan& plan);
  void SetLine(int id, const Text& text);
  void AddRow(const std::vector<Text>& cells, const Text& tip = Text());
  void FitColumns();
  void Layout();
  // Next, which says Restore here, as wide as its text needs; Back moves aside for it.
  void WidenNext();
  void RestoreButtons();
  Text nextText_;  // the sheet's own text of Next
  RECT nextBounds_{}, backBounds_{};  // as the sheet placed them, while Next is widened
  bool widened_ = false;
  std::vector<Text> tips_;  // by row: the whole values of a setting, shown where the row is pointed at
  std::thread planner_;
  std::unique_ptr<Plan> plan_;  // the planner's, until it has ended
  bool again_ = false;  // the page was shown anew while a plan ran: that one is out of date
};

class CompletionPage : public WizardPage {
 public:
  using WizardPage::WizardPage;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  // Back only after a backup that wrote nothing, to try another place.
  int OnWizBack() override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) override;

 private:
  // Hides the last result and shows the page working; the run follows once the page is painted.
  void StartRun();
  void RunOperation();
  // The operation after its undo point; asks whether to go on when the undo point failed.
  bool RunWithUndoPoint();
  // The headline, the summaries, the undo point and the messages of the run that ended.
  void ShowResult(bool succeeded);
  Text Headline(bool succeeded);
  // What the run changed: the restored backup or what a reset deleted.
  Text ChangesSummary(bool succeeded);
  // Where the undo point is, and the link that undoes the operation.
  void ShowUndoPoint(bool succeeded);
  void StartUndo();
  // False once the user has cancelled a backup.
  bool ShowProgress(const Text& file, uint64_t done, uint64_t total);
  void ShowMessages(bool failures);
  // Where the backup went and how large it is, with the link that shows it in its folder.
  void ShowBackupSaved();
  void ShowBackupInFolder();
  // Puts the shown texts one below the other, the messages in the room that is left.
  void Layout();
  // Back after a backup that changed nothing, Finish always; Cancel is off, as nothing is lost.
  void SetFinalButtons();
  UniqueImageList images_;
  UniqueIcon resultIcon_;
  Text progressFile_;
  int progressPosition_ = -1;
  // The first of the log's messages that belongs to the operation shown.
  size_t firstMessage_ = 0;
  bool ran_ = false;
  bool running_ = false;
  bool cancelled_ = false;  // the user cancelled the backup that runs
  bool mayGoBack_ = false;  // the backup wrote nothing: another place may be tried
  bool protectedBackup_ = false;  // the backup that ran had a password
  // What the undo puts back: a restore or a reset.
  OperationMode undone_ = OperationMode::Restore;
};

}  // namespace kbt::ui
