// The pages that name the archive: where a backup goes, and which backup a restore reads.
#include <windows.h>
#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "archive/directory_path.h"
#include "operations/backup/backup_target.h"
#include "operations/client/file_checks.h"
#include "operations/backup/last_backup.h"
#include "operations/result_log.h"
#include "operations/restore/verify.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/texts.h"
#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/local_texts.h"
#include "ui/pages.h"
#include "ui/window_messages.h"

namespace kbt::ui {
namespace {

constexpr COLORREF kInvalidPathColour = RGB(200, 0, 0);

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

// Shows the Save As or Open dialog; false when cancelled. It starts at the current path when its
// folder is there, else in 'startFolder' (never in the program's folder, the dialog's own choice).
bool ChooseFile(HWND owner, bool save, const Text& current, const Text& startFolder, Text& chosen) {
  const Text folder = platform::FolderOf(current);
  const bool fromCurrent = !current.empty() && !folder.empty() && platform::IsExistingFolder(folder);
  const Text initial = fromCurrent ? current : Text();
  wchar_t file[MAX_PATH] = {};
  const size_t length = initial.size() < MAX_PATH ? initial.size() : MAX_PATH - 1;
  std::wmemcpy(file, win32::W(initial), length);
  const std::vector<wchar_t> filter = FileFilter();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.data();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  if (!fromCurrent && !startFolder.empty()) dialog.lpstrInitialDir = win32::W(startFolder);
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

// The browse buttons show an icon; their text names them for the keyboard and screen readers, and
// shows as their tip.
UniqueIcon SetBrowseIcon(HINSTANCE instance, HWND page, HWND button, ButtonTips& tips) {
  UniqueIcon icon = LoadSmallIcon(instance, IDI_BROWSE);
  ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.Get()));
  tips.Add(page, button);
  return icon;
}

// A typed archive path as both pages take it: absolute, with ".zip" added to a name without an
// extension. A relative path lies in the default backup folder, not in the working folder, which
// depends on how the tool was started; without that folder it stays relative.
Text ResolveArchivePath(const Text& typed, const Text& defaultFolder) {
  if (typed.empty()) return typed;
  Text full = typed;
  if (platform::IsRelativePath(typed)) {
    if (defaultFolder.empty()) return typed;
    full = defaultFolder;
    platform::AppendPath(full, typed);
  }
  return WithArchiveExtension(platform::CanonicalPath(full));
}

Text DefaultArchivePath(const Text& folder) {
  const platform::LocalTime now = platform::GetLocalTime();
  wchar_t name[64] = {};
  std::swprintf(name, 64, L"%04u%02u%02u-%02u%02u%02u", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  // A drive root already ends in its separator.
  return platform::PathIn(folder, names::kDefaultArchivePrefix + win32::FromW(name) + names::kArchiveExtension);
}

// What the restore page says of a file that is no sound backup, with what to do next.
Text CheckFailureText(const VerifyReport& report) {
  switch (report.fault) {
    case ArchiveFault::Incomplete: return platform::LoadText(IDS_RESTORE_DAMAGED);
    case ArchiveFault::Damaged:
      return report.damagedEntry.empty() ? platform::LoadText(IDS_RESTORE_DAMAGED)
                                         : FormatText(platform::LoadText(IDS_RESTORE_DAMAGED_ENTRY), {report.damagedEntry});
    case ArchiveFault::NotZip: return platform::LoadText(IDS_RESTORE_NOT_ZIP);
    case ArchiveFault::NotBackup: return platform::LoadText(IDS_RESTORE_NOT_BACKUP);
    case ArchiveFault::CannotOpen: {
      const Text why = report.systemReason.empty() ? platform::LoadText(IDS_REASON_UNKNOWN) : report.systemReason;
      return FormatText(platform::LoadText(IDS_RESTORE_CANNOT_OPEN), {why});
    }
    case ArchiveFault::NoPath: return platform::LoadText(IDS_RESTORE_TYPE_PATH);
    case ArchiveFault::None: break;
  }
  // A protected archive's refusals name their own cause.
  return report.problems.empty() ? platform::LoadText(IDS_RESTORE_NOT_BACKUP) : report.problems.front();
}

}  // namespace

BOOL BackupLocationPage::OnInit() {
  browseIcon_ = SetBrowseIcon(Sheet().Instance(), Window(), Item(IDC_BROWSE_BACKUP), tips_);
  // Once, not on every key press: the typed path is checked against it as it changes.
  defaultFolder_ = DefaultBackupFolder();
  // Setting the text stores and checks it like any change.
  SetItemText(IDC_BACKUP_PATH, DefaultArchivePath(defaultFolder_));
  ::SendDlgItemMessageW(Window(), IDC_BACKUP_COMMENT, EM_LIMITTEXT, kCommentLimit, 0);
  return TRUE;
}

Text BackupLocationPage::FullPath() const { return ResolveArchivePath(ItemText(IDC_BACKUP_PATH), defaultFolder_); }

void BackupLocationPage::StorePath() {
  const Text full = FullPath();
  Request().ArchivePath = full;
  SetItemText(IDC_BACKUP_FULL_PATH, full.empty() ? Text() : FormatText(platform::LoadText(IDS_FULL_BACKUP_PATH), {full}));
  // Everything the backup would fail on that the page can see, judged here rather than on the
  // last page, where the user can no longer go back.
  const Text folder = platform::FolderOf(full);
  const bool typed = !full.empty() && !platform::IsRelativePath(full);
  const Text nameProblem = typed ? ArchiveNameProblem(full) : Text();
  const bool isFolder = typed && platform::IsExistingFolder(full);
  const bool missingFolder =
      typed && nameProblem.empty() && !isFolder && !folder.empty() && !platform::IsExistingFolder(folder);
  Text reason;
  if (!typed) {
    reason = platform::LoadText(IDS_TYPE_BACKUP_PATH);
  } else if (!nameProblem.empty()) {
    reason = nameProblem;
  } else if (isFolder) {
    reason = FormatText(platform::LoadText(IDS_PATH_IS_FOLDER), {full});
  } else if (missingFolder) {
    reason = FormatText(platform::LoadText(IDS_FOLDER_MISSING), {folder});
  } else {
    // The backup's own rule, shown before Next rather than as a failure after it.
    reason = BackupTargetRefusal(full, Request().DataFolder, Request().FavoritesFolder);
  }
  usable_ = reason.empty();
  reason_.Show(Window(), reason, true);
  ::ShowWindow(Item(IDC_CREATE_FOLDER), missingFolder ? SW_SHOW : SW_HIDE);
  ::InvalidateRect(Item(IDC_BACKUP_PATH), nullptr, TRUE);
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

// The password rows and the path's reason share their place: the reason comes first.
void BackupLocationPage::ShowPasswordFields() {
  const bool shown = protect_ && usable_;
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
  UpdateButtons();
}

bool BackupLocationPage::MayReplace(const Text& path) const {
  if (!IsExistingFile(path) || EqualsIgnoreAsciiCase(path, replaceConfirmed_)) return true;
  return Confirm(FormatText(platform::LoadText(IDS_CONFIRM_REPLACE), {platform::FileNamePart(path)}), SheetCaption());
}

int BackupLocationPage::OnWizNext() {
  StorePath();
  CheckPasswords();
  if (!usable_ || !passwordProblem_.empty() || !MayReplace(Request().ArchivePath)) return kStay;
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
    UpdateButtons();
  } else if (id == IDC_BACKUP_COMMENT && code == EN_CHANGE) {
    Request().Comment = ItemText(IDC_BACKUP_COMMENT);
  } else if (id == IDC_BROWSE_BACKUP && code == BN_CLICKED) {
    Browse();
  } else if (id == IDC_CREATE_FOLDER && code == BN_CLICKED) {
    CreateFolder();
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
  if (!ChooseFile(Window(), true, FullPath(), defaultFolder_, chosen)) return;
  // The dialog asked already before it let an existing file be chosen.
  const bool asked = IsExistingFile(chosen);
  SetItemText(IDC_BACKUP_PATH, chosen);
  replaceConfirmed_ = asked ? FullPath() : Text();
}

void BackupLocationPage::CreateFolder() {
  const Text folder = platform::FolderOf(FullPath());
  const platform::Status made = CreateDirectoryPath(folder);
  // The button goes with the reason it answers: the focus returns to the path.
  ::SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_BACKUP_PATH)), TRUE);
  StorePath();
  UpdateButtons();
  if (made != platform::kSuccess && !platform::IsExistingFolder(folder)) {
    Text why = platform::ErrorText(static_cast<long>(made));
    if (why.empty()) why = platform::LoadText(IDS_REASON_UNKNOWN);
    reason_.Show(Window(), FormatText(platform::LoadText(IDS_CREATE_FOLDER_FAILED), {folder, why}), true);
    ::ShowWindow(Item(IDC_CREATE_FOLDER), SW_HIDE);
  }
}

bool BackupLocationPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) {
  if (message == WM_DESTROY) {
    WipeItem(IDC_PASSWORD);
    WipeItem(IDC_PASSWORD_CONFIRM);
    return false;
  }
  if (message != WM_CTLCOLOREDIT) return false;
  const bool isPath = reinterpret_cast<HWND>(lParam) == Item(IDC_BACKUP_PATH);
  answer = ColourEdit(reinterpret_cast<HDC>(wParam), !isPath || usable_ || ItemText(IDC_BACKUP_PATH).empty());
  return true;
}

BOOL RestoreLocationPage::OnInit() {
  browseIcon_ = SetBrowseIcon(Sheet().Instance(), Window(), Item(IDC_BROWSE_RESTORE), tips_);
  defaultFolder_ = DefaultBackupFolder();
  // Proposing the last backup only reads: the check of an archive changes nothing.
  const Text last = LastBackupPath();
  if (last.empty()) {
    PathChanged();  // says what the empty field wants
  } else {
    SetItemText(IDC_RESTORE_PATH, last);
  }
  return TRUE;
}

Text RestoreLocationPage::FullPath() const { return ResolveArchivePath(ItemText(IDC_RESTORE_PATH), defaultFolder_); }

void RestoreLocationPage::OnSetActive() {
  // The path shown here is the one a restore reads, whatever another page stored meanwhile.
  Request().ArchivePath = FullPath();
  SetButtons(restorable_ ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
  ::InvalidateRect(Item(IDC_RESTORE_PATH), nullptr, TRUE);
}

int RestoreLocationPage::OnWizNext() {
  Request().ArchivePath = FullPath();
  if (!protected_) Wipe(Request().Password);
  return IDD_DATA_FOLDERS;
}

int RestoreLocationPage::OnWizBack() {
  Request().ArchivePath = FullPath();
  return IDD_OPERATION;
}

RestoreLocationPage::~RestoreLocationPage() {
  if (checker_.joinable()) checker_.join();
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
  const Text typed = ItemText(IDC_RESTORE_PATH);
  const Text path = FullPath();
  Request().ArchivePath = path;
  // Where a typed name leads, when that is not what was typed.
  const bool resolved = !typed.empty() && path != typed;
  SetItemText(IDC_RESTORE_FULL_PATH, resolved ? FormatText(platform::LoadText(IDS_RESTORE_FULL_PATH), {path}) : Text());
  ::ShowWindow(Item(IDC_RESTORE_FULL_PATH), resolved ? SW_SHOW : SW_HIDE);
  ::InvalidateRect(Item(IDC_RESTORE_PATH), nullptr, TRUE);
  restorable_ = false;
  SetButtons(PSWIZB_BACK);
  SetItemText(IDC_RESTORE_COMMENT, Text());
  SetItemText(IDC_CREATED_DATE, Text());
  ::KillTimer(Window(), kCheckTimer);
  if (path.empty()) {
    // With the icon: a note without one is the check that runs.
    reason_.Show(Window(), platform::LoadText(IDS_RESTORE_TYPE_PATH), true);
  } else if (platform::IsExistingFolder(path)) {
    reason_.Show(Window(), platform::LoadText(IDS_RESTORE_IS_FOLDER), true);
  } else if (!IsExistingFile(path)) {
    reason_.Show(Window(), platform::LoadText(IDS_RESTORE_NO_FILE), true);
  } else {
    reason_.Show(Window(), platform::LoadText(IDS_CHECKING_BACKUP), false);
    ::SetTimer(Window(), kCheckTimer, kCheckDelayMs, nullptr);
  }
}

void RestoreLocationPage::StartCheck() {
  if (checker_.joinable()) return;  // the path is checked again when the running check ends
  check_ = std::make_unique<Check>();
  check_->path = FullPath();
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

// The check of "/verify": only a sound backup lets the restore go on. The note says what is wrong
// with any other file, and what to do about it.
void RestoreLocationPage::CheckEnded() {
  if (!checker_.joinable()) return;
  checker_.join();
  const std::unique_ptr<Check> check = std::move(check_);
  const Text path = FullPath();
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
    reason_.Show(Window(), Text(), false);
    ShowPasswordField(true, report.password == PasswordCheck::Wrong ? platform::LoadText(IDS_PASSWORD_WRONG) : Text());
    if (::IsWindowVisible(Window())) SetButtons(PSWIZB_BACK);
    return;
  }
  if (report.password == PasswordCheck::Right) {
    ShowPasswordField(true, Text());
    Wipe(Request().Password);
    if (restorable_) Request().Password = check->password;
  }
  if (restorable_) SetItemText(IDC_RESTORE_COMMENT, report.comment);
  reason_.Show(Window(), restorable_ ? Text() : CheckFailureText(report), true);
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
  reason_.Show(Window(), platform::LoadText(IDS_CHECKING_BACKUP), false);
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
  if (ChooseFile(Window(), false, FullPath(), defaultFolder_, chosen)) SetItemText(IDC_RESTORE_PATH, chosen);
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
  const Text path = isPath ? FullPath() : Text();
  answer = ColourEdit(reinterpret_cast<HDC>(wParam), path.empty() || IsExistingFile(path));
  return true;
}

}  // namespace kbt::ui
