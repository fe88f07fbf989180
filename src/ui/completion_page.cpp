#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "operations/result_log.h"
#include "platform/paths.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/local_texts.h"
#include "ui/pages.h"
#include "ui/text_layout.h"
#include "ui/window_messages.h"

namespace kbt::ui {
namespace {

UINT ImageListColourFlag() {
  int bits = 32;
  if (HDC screen = ::GetDC(nullptr)) {
    bits = ::GetDeviceCaps(screen, BITSPIXEL);
    ::ReleaseDC(nullptr, screen);
  }
  switch (bits) {
    case 4: return ILC_COLOR4;
    case 8: return ILC_COLOR8;
    case 16: return ILC_COLOR16;
    case 24: return ILC_COLOR24;
    default: return ILC_COLOR32;
  }
}

constexpr int kProgressRange = 1000;
// Enough for every window of the page, and bounded should one of them never validate.
constexpr int kPaintRounds = 32;

}  // namespace

BOOL CompletionPage::OnInit() {
  HWND list = Item(IDC_RESULT_LIST);
  images_ = UniqueImageList(::ImageList_Create(16, 16, ImageListColourFlag(), 1, 1));
  if (images_) {
    ::ImageList_SetBkColor(images_.Get(), ::GetSysColor(COLOR_WINDOW));
    const UniqueIcon failure = LoadSmallIcon(Sheet().Instance(), IDI_FAILURE);
    if (failure) ::ImageList_ReplaceIcon(images_.Get(), -1, failure.Get());
  }
  // A message wider than the list shows whole in a tip, and the selected one in the box below it.
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
  // The list shares the image list, which this page owns and releases.
  ListView_SetImageList(list, images_.Get(), LVSIL_SMALL);

  Text heading = platform::LoadText(IDS_ERROR_DESCRIPTION);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = ListView_GetStringWidth(list, win32::W(heading)) + 15;
  column.pszText = const_cast<wchar_t*>(win32::W(heading));
  ListView_InsertColumn(list, 0, &column);
  RECT client{};
  ::GetClientRect(list, &client);
  ListView_SetColumnWidth(list, 0, client.right - client.left);
  ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETRANGE32, 0, kProgressRange);
  return TRUE;
}

void CompletionPage::SetFinalButtons() {
  SetButtons(mayGoBack_ ? PSWIZB_BACK | PSWIZB_FINISH : PSWIZB_FINISH);
  ::EnableWindow(::GetDlgItem(SheetWindow(), IDCANCEL), FALSE);
}

void CompletionPage::OnSetActive() {
  // An operation never runs twice: the page shows its result until Finish, or Back after a
  // backup that wrote nothing.
  if (ran_) {
    SetFinalButtons();
    return;
  }
  ran_ = true;
  firstMessage_ = Request().Log.Size();
  StartRun();
}

int CompletionPage::OnWizBack() {
  if (!mayGoBack_) return kStay;
  ran_ = false;
  mayGoBack_ = false;
  ::EnableWindow(::GetDlgItem(SheetWindow(), IDCANCEL), TRUE);
  return IDD_BACKUP_LOCATION;
}

void CompletionPage::StartRun() {
  for (int id : {IDC_RESULT_LIST, IDC_RESULT_DETAILS_LABEL, IDC_RESULT_DETAILS, IDC_RESULT_ICON, IDC_UNDO_TEXT,
                 IDC_UNDO_LINK, IDC_BACKUP_SAVED, IDC_BACKUP_FOLDER_LINK, IDC_CHANGES_SUMMARY}) {
    ::ShowWindow(Item(id), SW_HIDE);
  }
  ListView_DeleteAllItems(Item(IDC_RESULT_LIST));
  SetItemText(IDC_RESULT_DETAILS, Text());
  SetButtons(PSWIZB_DISABLEDFINISH);
  // Only a backup stops on Cancel; anything else runs to its end.
  ::EnableWindow(::GetDlgItem(SheetWindow(), IDCANCEL), Request().GetMode() == OperationMode::Backup);
  SetItemText(IDC_RESULT_TEXT, platform::LoadText(IDS_OPERATION_RUNNING));
  progressPosition_ = -1;
  progressFile_.clear();
  SetItemText(IDC_PROGRESS_FILE, Text());
  ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, 0, 0);
  ::ShowWindow(Item(IDC_PROGRESS_BAR), SW_SHOW);
  ::ShowWindow(Item(IDC_PROGRESS_FILE), SW_SHOW);
  // The sheet shows the page only after this activation: the operation runs once it is shown.
  ::PostMessageW(Window(), kRunMessage, 0, 0);
}

bool CompletionPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& answer) {
  if (message != kRunMessage) return false;
  RepaintNow();
  RunOperation();
  answer = TRUE;
  return true;
}

void CompletionPage::RunOperation() {
  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  Request().Progress = [this](const Text& file, uint64_t done, uint64_t total) {
    return ShowProgress(file, done, total);
  };
  running_ = true;
  cancelled_ = false;
  const bool succeeded = RunWithUndoPoint();
  running_ = false;
  // The password has done its work; only whether there was one is still needed below.
  protectedBackup_ = Request().GetMode() == OperationMode::Backup && !Request().Password.empty();
  Wipe(Request().Password);
  Request().Progress = nullptr;
  ::SetCursor(previous);
  ::ShowWindow(Item(IDC_PROGRESS_BAR), SW_HIDE);
  ::ShowWindow(Item(IDC_PROGRESS_FILE), SW_HIDE);
  const RunSummary& summary = Request().Summary;
  mayGoBack_ = Request().GetMode() == OperationMode::Backup && !summary.archiveWritten;
  ShowResult(succeeded);
  RepaintNow();
  SetFinalButtons();
  PlaceFocusLater();
}

bool CompletionPage::RunWithUndoPoint() {
  OperationRequest& request = Request();
  // No, the default, leaves everything as it is; the reason shows as the operation's failure.
  request.ConfirmWithoutUndoPoint = [this](const Text& question) { return Confirm(question, SheetCaption()); };
  request.ConfirmDamagedInterrupted = [this](const Text& question) { return Confirm(question, SheetCaption()); };
  const bool succeeded = request.Run();
  request.ConfirmWithoutUndoPoint = nullptr;
  request.ConfirmDamagedInterrupted = nullptr;
  return succeeded;
}

Text CompletionPage::Headline(bool succeeded) {
  const OperationRequest& request = Request();
  const RunSummary& summary = request.Summary;
  int id = IDS_OPERATION_FAILED;
  switch (request.GetMode()) {
    case OperationMode::Backup:
      if (summary.cancelled) {
        id = IDS_BACKUP_CANCELLED_RESULT;
      } else if (succeeded) {
        id = summary.resetAfterBackup ? IDS_BACKUP_RESET_DONE : IDS_BACKUP_DONE;
      } else if (summary.archiveWritten) {
        id = summary.resetAfterBackup ? IDS_BACKUP_DONE_RESET_FAILED : IDS_BACKUP_WITH_PROBLEMS;
      } else {
        id = IDS_BACKUP_NOT_COMPLETED;
      }
      break;
    case OperationMode::Restore: id = succeeded ? IDS_RESTORE_DONE : IDS_RESTORE_NOT_COMPLETED; break;
    case OperationMode::Reset: id = succeeded ? IDS_RESET_DONE : IDS_RESET_NOT_COMPLETED; break;
    case OperationMode::Undo:
      id = !succeeded ? IDS_UNDO_FAILED : undone_ == OperationMode::Reset ? IDS_RESET_UNDONE : IDS_RESTORE_UNDONE;
      break;
    case OperationMode::Verify: break;
  }
  return platform::LoadText(static_cast<unsigned>(id));
}

Text CompletionPage::ChangesSummary(bool succeeded) {
  const OperationRequest& request = Request();
  if (!succeeded) return Text();
  const RunSummary& summary = request.Summary;
  if (request.GetMode() == OperationMode::Restore) {
    return FormatText(platform::LoadText(IDS_RESTORE_SUMMARY),
                      {platform::FileNamePart(request.ArchivePath), DecimalText(summary.restoredValues),
                       DecimalText(summary.restoredFiles)});
  }
  const bool reset = request.GetMode() == OperationMode::Reset ||
                     (request.GetMode() == OperationMode::Backup && summary.resetAfterBackup);
  if (!reset) return Text();
  const uint32_t selection = request.GetSelection();
  const bool settings = (selection & DataSelection::Settings) != 0, data = (selection & DataSelection::ApplicationData) != 0;
  return platform::LoadText(settings && data ? IDS_RESET_SUMMARY_ALL : settings ? IDS_RESET_SUMMARY_SETTINGS : IDS_RESET_SUMMARY_DATA);
}

void CompletionPage::ShowResult(bool succeeded) {
  const RunSummary& summary = Request().Summary;
  SetItemText(IDC_RESULT_TEXT, Headline(succeeded));
  // A cancel is the user's choice, told as plainly as a success.
  const bool failed = !succeeded && !summary.cancelled;
  // As large as the headline's text at this DPI, not the 16 pixels of 96 DPI.
  int size = 16;
  if (HDC screen = ::GetDC(nullptr)) {
    size = ::MulDiv(16, ::GetDeviceCaps(screen, LOGPIXELSY), 96);
    ::ReleaseDC(nullptr, screen);
  }
  resultIcon_ = UniqueIcon(static_cast<HICON>(::LoadImageW(Sheet().Instance(),
                                                             MAKEINTRESOURCEW(failed ? IDI_FAILURE : IDI_SUCCESS_MARK),
                                                             IMAGE_ICON, size, size, 0)));
  HWND icon = Item(IDC_RESULT_ICON);
  ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(resultIcon_.Get()), 0);
  ::ShowWindow(icon, SW_SHOW);
  if (summary.archiveWritten) ShowBackupSaved();
  Text changes = ChangesSummary(succeeded);
  if (summary.archiveWritten && protectedBackup_) {
    changes += (changes.empty() ? Text() : Text(u"\r\n")) + platform::LoadText(IDS_BACKUP_PROTECTED_DONE);
  }
  SetItemText(IDC_CHANGES_SUMMARY, changes);
  ::ShowWindow(Item(IDC_CHANGES_SUMMARY), changes.empty() ? SW_HIDE : SW_SHOW);
  ShowUndoPoint(succeeded);
  // What a run found and put right on its way (an earlier operation cut short) is told too.
  ShowMessages(failed);
  Layout();
}

void CompletionPage::ShowUndoPoint(bool succeeded) {
  const OperationRequest& request = Request();
  const OperationMode mode = request.GetMode();
  const bool changes = mode == OperationMode::Restore || mode == OperationMode::Reset || mode == OperationMode::Undo ||
                       (mode == OperationMode::Backup && request.Summary.resetAfterBackup);
  const Text& point = request.UndoPointPath;
  // Without an undo point a run that failed changed nothing, or its messages say what.
  if (!changes || (point.empty() && !succeeded)) return;
  const bool restore = mode == OperationMode::Restore;
  unsigned text = IDS_NO_UNDO_POINT_WRITTEN;
  if (!point.empty()) text = mode == OperationMode::Undo ? IDS_UNDO_SAVED_UNDO : restore ? IDS_UNDO_SAVED_RESTORE : IDS_UNDO_SAVED_RESET;
  SetItemText(IDC_UNDO_TEXT, platform::LoadText(text));
  ::ShowWindow(Item(IDC_UNDO_TEXT), SW_SHOW);
  // An undo itself is undone from the command line; the wizard offers the one step back.
  const bool offer = !point.empty() && mode != OperationMode::Undo;
  if (offer) SetItemText(IDC_UNDO_LINK, platform::LoadText(restore ? IDS_UNDO_RESTORE_LINK : IDS_UNDO_RESET_LINK));
  ::ShowWindow(Item(IDC_UNDO_LINK), offer ? SW_SHOW : SW_HIDE);
}

void CompletionPage::StartUndo() {
  OperationRequest& request = Request();
  if (request.UndoPointPath.empty()) return;
  undone_ = request.GetMode() == OperationMode::Restore ? OperationMode::Restore : OperationMode::Reset;
  request.SetMode(OperationMode::Undo);
  request.ArchivePath = request.UndoPointPath;
  request.UndoPointWanted = true;
  firstMessage_ = request.Log.Size();
  mayGoBack_ = false;
  StartRun();
}

bool CompletionPage::ShowProgress(const Text& file, uint64_t done, uint64_t total) {
  const int position = total == 0 ? kProgressRange : static_cast<int>(done * kProgressRange / total);
  // Painting costs time: only a new file or a visible step is shown.
  if (position != progressPosition_ || file != progressFile_) {
    const bool newPercent = position / 10 != progressPosition_ / 10 || file != progressFile_;
    progressPosition_ = position;
    progressFile_ = file;
    ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (newPercent) {
      SetItemText(IDC_PROGRESS_FILE, FormatText(platform::LoadText(IDS_PROGRESS_PERCENT),
                                                {DecimalText(static_cast<uint64_t>(position / 10)), file}));
    }
  }
  MSG message;
  if (Request().GetMode() != OperationMode::Backup) {
    // Paints what changed and nothing else: no input reaches the wizard until the operation ends.
    for (int i = 0; i < kPaintRounds && ::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) {
      ::DispatchMessageW(&message);
    }
    return true;
  }
  // A backup can be cancelled: the sheet takes its input, and Cancel asks this page to stop.
  for (int i = 0; i < kPaintRounds && !cancelled_ && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!::IsDialogMessageW(SheetWindow(), &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return !cancelled_;
}

void CompletionPage::ShowMessages(bool failures) {
  const std::vector<Text>& messages = Request().Log.Entries();
  size_t end = messages.size();
  // The cancel is said by the headline; a list of it alone would read as a failure.
  if (Request().Summary.cancelled && end > firstMessage_) --end;
  if (!failures && end <= firstMessage_) return;
  HWND list = Item(IDC_RESULT_LIST);
  Text heading = platform::LoadText(failures ? IDS_ERROR_DESCRIPTION : IDS_NOTES_HEADING);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = const_cast<wchar_t*>(win32::W(heading));
  ListView_SetColumn(list, 0, &column);
  int row = 0;
  for (size_t i = firstMessage_; i < end; ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row++;
    item.iImage = failures ? 0 : I_IMAGENONE;
    item.pszText = const_cast<wchar_t*>(win32::W(messages[i]));
    ListView_InsertItem(list, &item);
  }
  ::ShowWindow(list, SW_SHOW);
  ::ShowWindow(Item(IDC_RESULT_DETAILS_LABEL), SW_SHOW);
  ::ShowWindow(Item(IDC_RESULT_DETAILS), SW_SHOW);
  // The first message is shown whole at once; selecting another shows that one.
  if (row > 0) ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CompletionPage::ShowBackupSaved() {
  const Text& path = Request().ArchivePath;
  SetItemText(IDC_BACKUP_SAVED, FormatText(platform::LoadText(IDS_BACKUP_SAVED), {path, SizeText(Request().Summary.archiveBytes)}));
  SetItemText(IDC_BACKUP_FOLDER_LINK, platform::LoadText(IDS_SHOW_BACKUP_LINK));
  ::ShowWindow(Item(IDC_BACKUP_SAVED), SW_SHOW);
  ::ShowWindow(Item(IDC_BACKUP_FOLDER_LINK), SW_SHOW);
}

void CompletionPage::Layout() {
  HWND page = Window();
  const int gap = DialogUnitsHigh(page, 4);
  RECT client{};
  ::GetClientRect(page, &client);
  const int pageBottom = client.bottom - DialogUnitsHigh(page, 4);
  // The headline beside its icon, at least as high as the icon.
  HWND headline = Item(IDC_RESULT_TEXT);
  RECT icon{}, text{};
  ::GetWindowRect(Item(IDC_RESULT_ICON), &icon);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&icon), 2);
  ::GetWindowRect(headline, &text);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&text), 2);
  const int headlineHeight = TextHeight(headline);
  ::SetWindowPos(headline, nullptr, text.left, text.top, text.right - text.left, headlineHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  const int top = std::max<int>(icon.bottom, text.top + headlineHeight) + gap;
  // Reading order: what was written, what changed, how to undo it, then the messages.
  int bottom = StackControls(page, {IDC_BACKUP_SAVED, IDC_BACKUP_FOLDER_LINK, IDC_CHANGES_SUMMARY, IDC_UNDO_TEXT, IDC_UNDO_LINK},
                             top, gap, headline);
  HWND list = Item(IDC_RESULT_LIST);
  if (!(::GetWindowLongPtrW(list, GWL_STYLE) & WS_VISIBLE)) return;
  HWND after = headline;
  for (int id : {IDC_UNDO_LINK, IDC_UNDO_TEXT, IDC_CHANGES_SUMMARY, IDC_BACKUP_FOLDER_LINK, IDC_BACKUP_SAVED}) {
    if (::GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) {
      after = Item(id);
      break;
    }
  }
  // The box below the list shows the chosen message whole; the list takes the room that is left.
  HWND label = Item(IDC_RESULT_DETAILS_LABEL), details = Item(IDC_RESULT_DETAILS);
  const int labelHeight = TextHeight(label);
  const int listTop = bottom == top ? top : bottom + gap;
  const int room = pageBottom - listTop - labelHeight - 2 * gap;
  const int detailsHeight = std::min(DialogUnitsHigh(page, 36), room / 2);
  const int listHeight = room - detailsHeight;
  RECT box{};
  ::GetWindowRect(list, &box);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
  const int width = box.right - box.left;
  ::SetWindowPos(list, after, box.left, listTop, width, listHeight, SWP_NOACTIVATE);
  ::SetWindowPos(label, list, box.left, listTop + listHeight + gap, width, labelHeight, SWP_NOACTIVATE);
  ::SetWindowPos(details, label, box.left, listTop + listHeight + gap + labelHeight + gap / 2, width, detailsHeight,
                 SWP_NOACTIVATE);
}

void CompletionPage::ShowBackupInFolder() {
  const Text parameters = Text(u"/select,\"") + Request().ArchivePath + u"\"";
  ::ShellExecuteW(Window(), L"open", L"explorer.exe", win32::W(parameters), nullptr, SW_SHOWNORMAL);
}

bool CompletionPage::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.code == PSN_QUERYCANCEL) {
    // While an operation runs the wizard stays; Cancel stops a backup, which loses nothing.
    if (running_ && Request().GetMode() == OperationMode::Backup) {
      cancelled_ = true;
      ::EnableWindow(::GetDlgItem(SheetWindow(), IDCANCEL), FALSE);
    }
    // Once the result shows, closing loses nothing: no question.
    result = running_ ? TRUE : FALSE;
    return true;
  }
  if (header.hwndFrom == Item(IDC_BACKUP_FOLDER_LINK) && header.code == NM_CLICK) {
    ShowBackupInFolder();
    result = 1;
    return true;
  }
  // The link control tells its clicks without a control id.
  if (header.hwndFrom == Item(IDC_UNDO_LINK) && header.code == NM_CLICK) {
    StartUndo();
    result = 1;
    return true;
  }
  if (header.idFrom != IDC_RESULT_LIST || header.code != LVN_ITEMCHANGED) return false;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  const std::vector<Text>& messages = Request().Log.Entries();
  const size_t index = firstMessage_ + static_cast<size_t>(change.iItem >= 0 ? change.iItem : 0);
  if ((change.uNewState & LVIS_SELECTED) && change.iItem >= 0 && index < messages.size()) {
    SetItemText(IDC_RESULT_DETAILS, messages[index]);
  }
  result = 0;
  return true;
}

}  // namespace kbt::ui
