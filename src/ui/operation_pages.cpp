// The pages that choose what the operation does: its mode, and the kinds of data it covers.
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/pages.h"

namespace kbt::ui {

namespace {
constexpr int kModeRadios[] = {IDC_MODE_BACKUP, IDC_MODE_RESTORE, IDC_MODE_RESET};
}  // namespace

void OperationPage::Choose(int radio) {
  // One mode at a time, and Tab comes into the group on the chosen one.
  ::CheckRadioButton(Window(), IDC_MODE_BACKUP, IDC_MODE_RESET, radio);
  for (int id : kModeRadios) {
    HWND button = Item(id);
    const LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
    ::SetWindowLongPtrW(button, GWL_STYLE, id == radio ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  }
}

HWND OperationPage::FirstFocus() const {
  for (int id : kModeRadios) {
    if (::IsDlgButtonChecked(Window(), id) == BST_CHECKED) return Item(id);
  }
  return Item(IDC_MODE_BACKUP);
}

BOOL OperationPage::OnInit() {
  // "/restore" without a path comes here with the restore chosen.
  const bool restore = Request().GetMode() == OperationMode::Restore;
  Choose(restore ? IDC_MODE_RESTORE : IDC_MODE_BACKUP);
  if (!restore) Request().SetMode(OperationMode::Backup);
  ::EnableWindow(Item(IDC_RESET_AFTER_BACKUP), restore ? FALSE : TRUE);
  warningIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_WARNING_TRIANGLE);
  ::SendMessageW(Item(IDC_WARNING_ICON), STM_SETICON, reinterpret_cast<WPARAM>(warningIcon_.Get()), 0);
  static_assert(std::size(kModeRadios) == std::tuple_size_v<decltype(boldFonts_)>, "one bold font per mode");
  for (size_t i = 0; i < std::size(kModeRadios); ++i) {
    HWND radio = Item(kModeRadios[i]);
    boldFonts_[i] = CopyFontBold(radio, reinterpret_cast<const wchar_t*>(names::kTitleFontFace));
    if (boldFonts_[i]) ::SendMessageW(radio, WM_SETFONT, reinterpret_cast<WPARAM>(boldFonts_[i].Get()), TRUE);
  }
  return TRUE;
}

void OperationPage::OnSetActive() { SetButtons(PSWIZB_BACK | PSWIZB_NEXT); }

int OperationPage::OnWizNext() {
  return Request().GetMode() == OperationMode::Restore ? IDD_RESTORE_LOCATION : IDD_DATA_FOLDERS;
}

void OperationPage::ShowWarning(bool shown) {
  const int command = shown ? SW_SHOW : SW_HIDE;
  ::ShowWindow(Item(IDC_WARNING_TEXT), command);
  ::ShowWindow(Item(IDC_WARNING_ICON), command);
}

void OperationPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  ::KillTimer(Window(), kBlinkTimer);
  if (id == IDC_MODE_BACKUP || id == IDC_MODE_RESTORE || id == IDC_MODE_RESET) Choose(id);
  switch (id) {
    case IDC_MODE_BACKUP:
      Request().SetMode(OperationMode::Backup);
      ShowWarning(false);
      ::EnableWindow(Item(IDC_RESET_AFTER_BACKUP), TRUE);
      break;
    case IDC_MODE_RESTORE:
      Request().SetMode(OperationMode::Restore);
      ShowWarning(false);
      ::EnableWindow(Item(IDC_RESET_AFTER_BACKUP), FALSE);
      break;
    case IDC_MODE_RESET:
      Request().SetMode(OperationMode::Reset);
      ShowWarning(true);
      ::EnableWindow(Item(IDC_RESET_AFTER_BACKUP), FALSE);
      ticks_ = 0;
      ::SetTimer(Window(), kBlinkTimer, kBlinkPeriodMs, nullptr);
      break;
    case IDC_RESET_AFTER_BACKUP:
      Request().ResetAfterBackup = ::IsDlgButtonChecked(Window(), IDC_RESET_AFTER_BACKUP) == BST_CHECKED;
      break;
    default:
      break;
  }
}

bool OperationPage::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& answer) {
  if (message != WM_TIMER) return false;
  ++ticks_;
  if (wParam == kBlinkTimer) {
    ShowWarning(!::IsWindowVisible(Item(IDC_WARNING_ICON)));
    if (ticks_ == kBlinkTicks) ::KillTimer(Window(), kBlinkTimer);
  }
  answer = TRUE;
  return true;
}

BOOL DetailsPage::OnInit() {
  const uint32_t selection = Request().GetSelection();
  ::CheckDlgButton(Window(), IDC_INCLUDE_DATA,
                   (selection & DataSelection::ApplicationData) ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(Window(), IDC_INCLUDE_SETTINGS, (selection & DataSelection::Settings) ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

// An operation on nothing would report a success it did not have: Next waits for a ticked box,
// and the page says so.
void DetailsPage::OnSetActive() {
  const bool chosen = Request().GetSelection() != 0;
  nothingChosen_.Show(Window(), chosen ? Text() : platform::LoadText(IDS_NOTHING_CHOSEN), true);
  SetButtons(chosen ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

int DetailsPage::OnWizNext() {
  switch (Request().GetMode()) {
    case OperationMode::Backup:
      return IDD_BACKUP_LOCATION;
    case OperationMode::Reset:
      return ConfirmDeletion(Request().GetSelection() != 0) ? IDD_COMPLETION : kStay;
    case OperationMode::Restore:
      return IDD_RESTORE_PREVIEW;
    default:
      return IDD_COMPLETION;
  }
}

int DetailsPage::OnWizBack() { return IDD_DATA_FOLDERS; }

void DetailsPage::OnCommand(int, int code) {
  if (code != BN_CLICKED) return;
  OperationRequest& request = Request();
  if (::IsDlgButtonChecked(Window(), IDC_INCLUDE_DATA) == BST_CHECKED) {
    request.AddSelection(DataSelection::ApplicationData);
  } else {
    request.RemoveSelection(DataSelection::ApplicationData);
  }
  if (::IsDlgButtonChecked(Window(), IDC_INCLUDE_SETTINGS) == BST_CHECKED) {
    request.AddSelection(DataSelection::Settings);
  } else {
    request.RemoveSelection(DataSelection::Settings);
  }
  OnSetActive();
}

}  // namespace kbt::ui
