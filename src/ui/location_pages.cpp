// The pages that name the archive: where a backup goes, and which backup a restore reads.
#include <windows.h>
#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "operations/backup/backup_target.h"
#include "operations/client/file_checks.h"
#include "operations/backup/last_backup.h"
#include "operations/result_log.h"
#include "operations/restore/verify.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/local_texts.h"
#include "ui/pages.h"
#include "ui/window_messages.h"

namespace kbt::ui {
namespace {

constexpr COLORREF kInvalidPathColour = RGB(200, 0, 0);
// The restore page's check has ended.

// The filter pairs of string 133, each part ended by a NUL and the list by a second one.
std::vector<wchar_t> FileFilter() {
  const Text pairs = platform::LoadText(IDS_FILE_FILTER);
  std::vector<wchar_t> filter(pairs.begin(), pairs.end());
  for (wchar_t& c : filter) {
    if (c == L'|') c = L'\0';
  }
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  return filter;
}

// Shows the Save As or Open dialog starting from the current path; false when cancelled.
bool ChooseFile(HWND owner, bool save, const Text& current, Text& chosen) {
  wchar_t file[MAX_PATH] = {};
  const size_t length = current.size() < MAX_PATH ? current.size() : MAX_PATH - 1;
  std::wmemcpy(file, win32::W(current), length);
  const std::vector<wchar_t> filter = FileFilter();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.data();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = L"zip";
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
  if (save) dialog.Flags |= OFN_OVERWRITEPROMPT;
  if (!(save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog))) return false;
  chosen = win32::FromW(file);
  return true;
}

INT_PTR ColourEdit(HDC dc, bool valid) {
  ::SetTextColor(dc, valid ? ::GetSysColor(COLOR_WINDOWTEXT) : kInvalidPathColour);
  ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
  return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
}

// Where backups go unless the user names another folder: the folder of the last backup while it
// is there, else the documents folder.
Text DefaultBackupFolder() {
  Text last = LastBackupPath();
  if (!last.empty() && !platform::IsRelativePath(last)) {
    platform::RemoveLastComponent(last);
    if (!last.empty() && platform::IsExistingFolder(last)) return last;
  }
  Text documents;
  return platform::GetDocumentsFolder(documents) ? documents : Text();
}

// The browse buttons show an icon; their text names them for the keyboard and screen readers.
UniqueIcon SetBrowseIcon(HINSTANCE instance, HWND button) {
  UniqueIcon icon = LoadSmallIcon(instance, IDI_BROWSE);
  ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.Get()));
  return icon;
}

Text DefaultArchivePath(const Text& folder) {
  const platform::LocalTime now = platform::GetLocalTime();
  wchar_t name[64] = {};
  std::swprintf(name, 64, L"%04u%02u%02u-%02u%02u%02u", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  // A drive root already ends in its separator.
  return platform::PathIn(folder, names::kDefaultArchivePrefix + win32::FromW(name) + names::kArchiveExtension);
}

}  // namespace

BOOL BackupLocationPage::OnInit() {
  // Setting the text stores and checks it like any change.
  browseIcon_ = SetBrowseIcon(Sheet().Instance(), Item(IDC_BROWSE_BACKUP));
  // Once, not on every key press: the typed path is checked against it as it changes.
  defaultFolder_ = DefaultBackupFolder();
  SetItemText(IDC_BACKUP_PATH, DefaultArchivePath(defaultFolder_));
  ::SendDlgItemMessageW(Window(), IDC_BACKUP_COMMENT, EM_LIMITTEXT, kCommentLimit, 0);
  return TRUE;
}

Text BackupLocationPage::FullPath() const {
  Text typed = ItemText(IDC_BACKUP_PATH);
  if (typed.empty()) return typed;
  typed = WithArchiveExtension(typed);
  if (!platform::IsRelativePath(typed)) return platform::CanonicalPath(typed);
  // Not the working folder, which depends on how the tool was started.
  Text full = defaultFolder_;
  if (full.empty()) return typed;
  platform::AppendPath(full, typed);
  return platform::CanonicalPath(full);
}

void BackupLocationPage::StorePath() {
  const Text full = FullPath();
  Request().ArchivePath = full;
  SetItemText(IDC_BACKUP_FULL_PATH, full.empty() ? Text() : FormatText(platform::LoadText(IDS_FULL_BACKUP_PATH), {full}));
  Text folder = full;
  platform::RemoveLastComponent(folder);
  const bool folderExists = !platform::IsRelativePath(full) && !folder.empty() && platform::IsExistingFolder(folder);
  // The backup's own rule, shown before Next rather than as a failure after it.
  const Text refusal = folderExists ? BackupTargetRefusal(full, Request().DataFolder, Request().FavoritesFolder) : Text();
  refused_ = !refusal.empty();
  usable_ = folderExists && !refused_;
  if (!refusal.empty() && !errorIcon_) {
    errorIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_FAILURE);
    ::SendMessageW(Item(IDC_BACKUP_ERROR_ICON), STM_SETICON, reinterpret_cast<WPARAM>(errorIcon_.Get()), 0);
  }
  SetItemText(IDC_BACKUP_ERROR, refusal);
  ::ShowWindow(Item(IDC_BACKUP_ERROR), refusal.empty() ? SW_HIDE : SW_SHOW);
  ::ShowWindow(Item(IDC_BACKUP_ERROR_ICON), refusal.empty() ? SW_HIDE : SW_SHOW);
  ShowPasswordFields();
}

void BackupLocationPage::CheckPasswords() {
  passwordProblem_.clear();
  if (protect_) {
    Text password = SecretItemText(IDC_PASSWORD), confirm = SecretItemText(IDC_PASSWORD_CONFIRM);
    if (password.empty() || confirm.empty()) {
      passwordProblem_ = platform::LoadText(IDS_PASSWORD_MISSING);
    } else if (password != confirm) {
      passwordProblem_ = platform::LoadText(IDS_PASSWORDS_DIFFER);
    }
    Wipe(password);
    Wipe(confirm);
  }
  SetItemText(IDC_PASSWORD_REASON, passwordProblem_);
}

void BackupLocationPage::ShowPasswordFields() {
  const bool shown = protect_ && !refused_;
  for (int id : {IDC_PASSWORD_LABEL, IDC_PASSWORD, IDC_CONFIRM_LABEL, IDC_PASSWORD_CONFIRM, IDC_PASSWORD_NOTE}) {
    ::ShowWindow(Item(id), shown ? SW_SHOW : SW_HIDE);
  }
  ::ShowWindow(Item(IDC_PASSWORD_REASON), shown && !passwordProblem_.empty() ? SW_SHOW : SW_HIDE);
}

void BackupLocationPage::UpdateButtons() {
  SetButtons(usable_ && passwordProblem_.empty() ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

void BackupLocationPage::OnSetActive() {
  // The path shown here is the one a backup writes, whatever another page stored meanwhile.
  StorePath();
  SetButtons(refused_ || !passwordProblem_.empty() ? PSWIZB_BACK : PSWIZB_BACK | PSWIZB_NEXT);
}

bool BackupLocationPage::MayReplace(const Text& path) const {
  if (!IsExistingFile(path) || EqualsIgnoreAsciiCase(path, replaceConfirmed_)) return true;
  return Confirm(FormatText(platform::LoadText(IDS_CONFIRM_REPLACE), {platform::FileNamePart(path)}), SheetCaption());
}

int BackupLocationPage::OnWizNext() {
  StorePath();
  CheckPasswords();
  if (refused_ || !passwordProblem_.empty() || !MayReplace(Request().ArchivePath)) return kStay;
  const bool deletes = Request().ResetAfterBackup && Request().GetSelection() != 0;
  if (!ConfirmDeletion(deletes)) return kStay;
  // Held from here until the backup has run.
  Wipe(Request().Password);
  if (protect_) Request().Password = SecretItemText(IDC_PASSWORD);
  return IDD_COMPLETION;
}

int BackupLocationPage::OnWizBack() {
  StorePath();
  return IDD_DETAILS;
}

void BackupLocationPage::OnCommand(int id, int code) {
  if (id == IDC_BACKUP_PATH && code == EN_CHANGE) {
    StorePath();
    SetButtons(usable_ ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    ::InvalidateRect(Item(IDC_BACKUP_PATH), nullptr, TRUE);
  } else if (id == IDC_BACKUP_COMMENT && code == EN_CHANGE) {
    Request().Comment = ItemText(IDC_BACKUP_COMMENT);
  } else if (id == IDC_BROWSE_BACKUP && code == BN_CLICKED) {
    Browse();
  } else if (id == IDC_PROTECT && code == BN_CLICKED) {
    protect_ = ::IsDlgButtonChecked(Window(), IDC_PROTECT) == BST_CHECKED;
    if (!protect_) {
      WipeItem(IDC_PASSWORD);
      WipeItem(IDC_PASSWORD_CONFIRM);
    }
    CheckPasswords();
    ShowPasswordFields();
    UpdateButtons();
  } else if ((id == IDC_PASSWORD || id == IDC_PASSWORD_CONFIRM) && code == EN_CHANGE) {
    CheckPasswords();
    ShowPasswordFields();
    UpdateButtons();
  }
}

void BackupLocationPage::Browse() {
  Text chosen;
  if (!ChooseFile(Window(), true, FullPath(), chosen)) return;
  // The dialog asked already before it let an existing file be chosen.
  const bool asked = IsExistingFile(chosen);
  SetItemText(IDC_BACKUP_PATH, chosen);
  replaceConfirmed_ = asked ? FullPath() : Text();
}

bool BackupLocationPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) {
  if (message == WM_DESTROY) {
    WipeItem(IDC_PASSWORD);
    WipeItem(IDC_PASSWORD_CONFIRM);
    return false;
  }
  if (message != WM_CTLCOLOREDIT) return false;
  const bool isPath = reinterpret_cast<HWND>(lParam) == Item(IDC_BACKUP_PATH);
  answer = ColourEdit(reinterpret_cast<HDC>(wParam), !isPath || usable_);
  return true;
}

BOOL RestoreLocationPage::OnInit() {
  browseIcon_ = SetBrowseIcon(Sheet().Instance(), Item(IDC_BROWSE_RESTORE));
  // Proposing the last backup only reads: the check of an archive changes nothing.
  const Text last = LastBackupPath();
  if (!last.empty()) SetItemText(IDC_RESTORE_PATH, last);
  return TRUE;
}

bool RestoreLocationPage::FileExists() const { return IsExistingFile(ItemText(IDC_RESTORE_PATH)); }

void RestoreLocationPage::OnSetActive() {
  // The path shown here is the one a restore reads, whatever another page stored meanwhile.
  Request().ArchivePath = ItemText(IDC_RESTORE_PATH);
  SetButtons(restorable_ ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
  ::InvalidateRect(Item(IDC_RESTORE_PATH), nullptr, TRUE);
}

int RestoreLocationPage::OnWizNext() {
  Request().ArchivePath = ItemText(IDC_RESTORE_PATH);
  if (!protected_) Wipe(Request().Password);
  return IDD_DATA_FOLDERS;
}

int RestoreLocationPage::OnWizBack() {
  Request().ArchivePath = ItemText(IDC_RESTORE_PATH);
  return IDD_OPERATION;
}

RestoreLocationPage::~RestoreLocationPage() {
  if (checker_.joinable()) checker_.join();
}

void RestoreLocationPage::ShowError(const Text& text, bool icon) {
  if (icon && !errorIcon_) {
    errorIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_FAILURE);
    ::SendMessageW(Item(IDC_RESTORE_ERROR_ICON), STM_SETICON, reinterpret_cast<WPARAM>(errorIcon_.Get()), 0);
  }
  SetItemText(IDC_RESTORE_ERROR, text);
  ::ShowWindow(Item(IDC_RESTORE_ERROR), text.empty() ? SW_HIDE : SW_SHOW);
  ::ShowWindow(Item(IDC_RESTORE_ERROR_ICON), icon && !text.empty() ? SW_SHOW : SW_HIDE);
}

void RestoreLocationPage::ShowPasswordField(bool shown, const Text& reason) {
  for (int id : {IDC_RESTORE_PASSWORD_PROMPT, IDC_RESTORE_PASSWORD_LABEL, IDC_RESTORE_PASSWORD}) {
    ::ShowWindow(Item(id), shown ? SW_SHOW : SW_HIDE);
  }
  SetItemText(IDC_RESTORE_PASSWORD_REASON, reason);
  ::ShowWindow(Item(IDC_RESTORE_PASSWORD_REASON), shown && !reason.empty() ? SW_SHOW : SW_HIDE);
}

// Another archive: the password typed for the last one is not kept.
void RestoreLocationPage::ForgetPassword() {
  protected_ = false;
  ShowPasswordField(false, Text());
  WipeItem(IDC_RESTORE_PASSWORD);
  Wipe(Request().Password);
}

// Cheap, on every key press: the path is stored, and Next waits for the check of the file.
void RestoreLocationPage::PathChanged() {
  ForgetPassword();
  const Text path = ItemText(IDC_RESTORE_PATH);
  Request().ArchivePath = path;
  ::InvalidateRect(Item(IDC_RESTORE_PATH), nullptr, TRUE);
  restorable_ = false;
  SetButtons(PSWIZB_BACK);
  SetItemText(IDC_RESTORE_COMMENT, Text());
  SetItemText(IDC_CREATED_DATE, Text());
  ::KillTimer(Window(), kCheckTimer);
  if (!IsExistingFile(path)) {
    ShowError(path.empty() ? Text() : platform::LoadText(IDS_NO_SUCH_FILE), true);
    return;
  }
  ShowError(platform::LoadText(IDS_CHECKING_BACKUP), false);
  ::SetTimer(Window(), kCheckTimer, kCheckDelayMs, nullptr);
}

void RestoreLocationPage::StartCheck() {
  if (checker_.joinable()) return;  // the path is checked again when the running check ends
  check_ = std::make_unique<Check>();
  check_->path = ItemText(IDC_RESTORE_PATH);
  check_->dataFolder = Request().DataFolder;
  check_->favoritesFolder = Request().FavoritesFolder;
  if (protected_) check_->password = SecretItemText(IDC_RESTORE_PASSWORD);
  Check* check = check_.get();
  HWND window = Window();
  checker_ = std::thread([check, window] {
    try {
      check->report = VerifyArchive(check->path, check->dataFolder, check->favoritesFolder, check->password);
    } catch (...) {
      check->report = VerifyReport();  // a text that cannot be converted: no backup to restore
    }
    ::PostMessageW(window, kCheckedMessage, 0, 0);
  });
}

// The check of "/verify": only a sound backup lets the restore go on; a damaged or foreign file
// is named as such, beside the error icon.
void RestoreLocationPage::CheckEnded() {
  if (!checker_.joinable()) return;
  checker_.join();
  const std::unique_ptr<Check> check = std::move(check_);
  const Text path = ItemText(IDC_RESTORE_PATH);
  Text typed = protected_ ? SecretItemText(IDC_RESTORE_PASSWORD) : Text();
  const bool stale = check->path != path || typed != check->password;
  Wipe(typed);
  if (stale) {
    // Typed on meanwhile. A pending timer starts that path's check; one that fired found this running.
    if (!IsExistingFile(path)) return;
    if (::KillTimer(Window(), kCheckTimer)) {
      ::SetTimer(Window(), kCheckTimer, kCheckDelayMs, nullptr);
    } else {
      StartCheck();
    }
    return;
  }
  const VerifyReport& report = check->report;
  restorable_ = report.state == ArchiveState::Sound;
  SetItemText(IDC_CREATED_DATE, report.created.empty() ? Text() : CreatedText(report.created));
  // A protected backup is checked whole once its password is right; the verifier tells a wrong
  // one before any entry is read.
  if (report.password == PasswordCheck::Missing || report.password == PasswordCheck::Wrong) {
    protected_ = true;
    restorable_ = false;
    SetItemText(IDC_RESTORE_COMMENT, report.comment);
    ShowError(Text(), false);
    ShowPasswordField(true, report.password == PasswordCheck::Wrong ? platform::LoadText(IDS_PASSWORD_WRONG) : Text());
    if (::IsWindowVisible(Window())) SetButtons(PSWIZB_BACK);
    return;
  }
  if (report.password == PasswordCheck::Right) {
    ShowPasswordField(true, Text());
    Wipe(Request().Password);
    if (restorable_) Request().Password = check->password;
  }
  switch (report.state) {
    case ArchiveState::Sound:
      SetItemText(IDC_RESTORE_COMMENT, report.comment);
      ShowError(Text(), false);
      break;
    case ArchiveState::Damaged: ShowError(platform::LoadText(IDS_RESTORE_ARCHIVE_DAMAGED), true); break;
    case ArchiveState::Unreadable: ShowError(FormatText(platform::LoadText(IDS_NOT_A_BACKUP), {path}), true); break;
  }
  // A check that ends after the user went Back leaves the buttons to the page now shown.
  if (::IsWindowVisible(Window())) SetButtons(restorable_ ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

// Each change of the password is checked anew, after the typing stops.
void RestoreLocationPage::PasswordChanged() {
  Wipe(Request().Password);
  restorable_ = false;
  SetButtons(PSWIZB_BACK);
  ShowPasswordField(true, Text());
  ::KillTimer(Window(), kCheckTimer);
  ShowError(platform::LoadText(IDS_CHECKING_BACKUP), false);
  ::SetTimer(Window(), kCheckTimer, kCheckDelayMs, nullptr);
}

void RestoreLocationPage::OnCommand(int id, int code) {
  if (id == IDC_RESTORE_PATH && code == EN_CHANGE) {
    PathChanged();
  } else if (id == IDC_RESTORE_PASSWORD && code == EN_CHANGE) {
    if (protected_) PasswordChanged();
  } else if (id == IDC_BROWSE_RESTORE && code == BN_CLICKED) {
    Browse();
  }
}

void RestoreLocationPage::Browse() {
  Text chosen;
  if (ChooseFile(Window(), false, ItemText(IDC_RESTORE_PATH), chosen)) SetItemText(IDC_RESTORE_PATH, chosen);
}

bool RestoreLocationPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) {
  if (message == WM_TIMER && wParam == kCheckTimer) {
    ::KillTimer(Window(), kCheckTimer);
    StartCheck();
    answer = TRUE;
    return true;
  }
  if (message == kCheckedMessage) {
    CheckEnded();
    answer = TRUE;
    return true;
  }
  if (message == WM_DESTROY) {
    WipeItem(IDC_RESTORE_PASSWORD);
    return false;
  }
  if (message != WM_CTLCOLOREDIT) return false;
  const bool isPath = reinterpret_cast<HWND>(lParam) == Item(IDC_RESTORE_PATH);
  answer = ColourEdit(reinterpret_cast<HDC>(wParam), !isPath || FileExists());
  return true;
}

}  // namespace kbt::ui
