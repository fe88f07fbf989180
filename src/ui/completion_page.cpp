#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "operations/result_log.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/pages.h"
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
  successText_ = ItemText(IDC_RESULT_TEXT);
  ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETRANGE32, 0, kProgressRange);
  return TRUE;
}

void CompletionPage::OnSetActive() {
  // The wizard cannot be left on this page, and an operation must never run twice.
  if (ran_) {
    SetButtons(PSWIZB_FINISH);
    return;
  }
  ran_ = true;
  SetButtons(PSWIZB_DISABLEDFINISH);
  SetItemText(IDC_RESULT_TEXT, platform::LoadText(IDS_OPERATION_RUNNING));
  ::ShowWindow(Item(IDC_PROGRESS_BAR), SW_SHOW);
  ::ShowWindow(Item(IDC_PROGRESS_FILE), SW_SHOW);
  // The sheet shows the page only after this activation: the operation runs once it is shown.
  ::PostMessageW(Window(), kRunMessage, 0, 0);
}

bool CompletionPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& answer) {
  if (message != kRunMessage) return false;
  // The label goes with the list of failures, which an undo has hidden; what was hidden before
  // the run is gone from the screen while it runs.
  ::ShowWindow(Item(IDC_RESULT_DETAILS_LABEL), SW_HIDE);
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
  const bool hadPassword = !Request().Password.empty();
  Wipe(Request().Password);
  Request().Progress = nullptr;
  ::EnableWindow(::GetDlgItem(SheetWindow(), IDCANCEL), TRUE);
  ::SetCursor(previous);
  ::ShowWindow(Item(IDC_PROGRESS_BAR), SW_HIDE);
  ::ShowWindow(Item(IDC_PROGRESS_FILE), SW_HIDE);

  HWND icon = Item(IDC_RESULT_ICON);
  const bool undo = Request().GetMode() == OperationMode::Undo;
  if (succeeded) {
    SetItemText(IDC_RESULT_TEXT, undo ? platform::LoadText(IDS_UNDO_DONE) : successText_);
    resultIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_SUCCESS_MARK);
    if (Request().GetMode() == OperationMode::Backup) ShowBackupSaved();
    if (Request().GetMode() == OperationMode::Backup && hadPassword) {
      SetItemText(IDC_BACKUP_PROTECTED, platform::LoadText(IDS_BACKUP_PROTECTED_DONE));
      ::ShowWindow(Item(IDC_BACKUP_PROTECTED), SW_SHOW);
    }
    // What a run found and put right on its way (an earlier operation cut short) is told too.
    if (Request().Log.Size() > firstMessage_) ShowFailures();
  } else if (cancelled_) {
    SetItemText(IDC_RESULT_TEXT, platform::LoadText(IDS_BACKUP_CANCELLED_RESULT));
    resultIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_WARNING_TRIANGLE);
    ShowFailures();
  } else {
    SetItemText(IDC_RESULT_TEXT, platform::LoadText(undo ? IDS_UNDO_FAILED : IDS_OPERATION_FAILED));
    resultIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_FAILURE);
    ShowFailures();
  }
  ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(resultIcon_.Get()), 0);
  ::ShowWindow(icon, SW_SHOW);
  ShowUndoPoint();
  RepaintNow();
  SetButtons(PSWIZB_FINISH);
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

void CompletionPage::ShowUndoPoint() {
  const OperationMode mode = Request().GetMode();
  if (mode != OperationMode::Restore && mode != OperationMode::Reset && mode != OperationMode::Undo) return;
  const Text& point = Request().UndoPointPath;
  SetItemText(IDC_UNDO_TEXT, point.empty() ? platform::LoadText(IDS_NO_UNDO_POINT_WRITTEN)
                                           : FormatText(platform::LoadText(IDS_UNDO_POINT_WRITTEN), {point}));
  ::ShowWindow(Item(IDC_UNDO_TEXT), SW_SHOW);
  // An undo itself is undone from the command line; the wizard offers the one step back.
  const bool offer = !point.empty() && mode != OperationMode::Undo;
  if (offer) SetItemText(IDC_UNDO_LINK, platform::LoadText(IDS_UNDO_LINK));
  ::ShowWindow(Item(IDC_UNDO_LINK), offer ? SW_SHOW : SW_HIDE);
}

void CompletionPage::StartUndo() {
  OperationRequest& request = Request();
  if (request.UndoPointPath.empty()) return;
  request.SetMode(OperationMode::Undo);
  request.ArchivePath = request.UndoPointPath;
  request.UndoPointWanted = true;
  firstMessage_ = request.Log.Size();
  ListView_DeleteAllItems(Item(IDC_RESULT_LIST));
  SetItemText(IDC_RESULT_DETAILS, Text());
  for (int id : {IDC_RESULT_LIST, IDC_RESULT_DETAILS, IDC_RESULT_ICON, IDC_UNDO_TEXT, IDC_UNDO_LINK}) {
    ::ShowWindow(Item(id), SW_HIDE);
  }
  SetButtons(PSWIZB_DISABLEDFINISH);
  SetItemText(IDC_RESULT_TEXT, platform::LoadText(IDS_OPERATION_RUNNING));
  progressPosition_ = -1;
  progressFile_.clear();
  ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, 0, 0);
  ::ShowWindow(Item(IDC_PROGRESS_BAR), SW_SHOW);
  ::ShowWindow(Item(IDC_PROGRESS_FILE), SW_SHOW);
  ::PostMessageW(Window(), kRunMessage, 0, 0);
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

void CompletionPage::ShowFailures() {
  HWND list = Item(IDC_RESULT_LIST);
  int row = 0;
  const std::vector<Text>& messages = Request().Log.Entries();
  for (size_t i = firstMessage_; i < messages.size(); ++i) {
    const Text& message = messages[i];
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row++;
    item.iImage = 0;
    item.pszText = const_cast<wchar_t*>(win32::W(message));
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
  platform::File archive;
  uint64_t bytes = 0;
  if (!archive.Open(path, platform::FileMode::ReadShared) || !archive.Size(&bytes)) return;
  wchar_t size[64] = {};
  ::StrFormatByteSizeW(static_cast<LONGLONG>(bytes), size, 64);
  SetItemText(IDC_BACKUP_SAVED, FormatText(platform::LoadText(IDS_BACKUP_SAVED), {path, win32::FromW(size)}));
  SetItemText(IDC_BACKUP_FOLDER_LINK, platform::LoadText(IDS_SHOW_BACKUP_LINK));
  ::ShowWindow(Item(IDC_BACKUP_SAVED), SW_SHOW);
  ::ShowWindow(Item(IDC_BACKUP_FOLDER_LINK), SW_SHOW);
}

void CompletionPage::ShowBackupInFolder() {
  const Text parameters = Text(u"/select,\"") + Request().ArchivePath + u"\"";
  ::ShellExecuteW(Window(), L"open", L"explorer.exe", win32::W(parameters), nullptr, SW_SHOWNORMAL);
}

bool CompletionPage::OnNotify(const NMHDR& header, LRESULT& result) {
  // While an operation runs the wizard stays; Cancel stops a backup, which loses nothing.
  if (header.code == PSN_QUERYCANCEL && running_) {
    if (Request().GetMode() == OperationMode::Backup) {
      cancelled_ = true;
      ::EnableWindow(::GetDlgItem(SheetWindow(), IDCANCEL), FALSE);
    }
    result = TRUE;
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
