#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/pages.h"

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
  return TRUE;
}

void CompletionPage::OnSetActive() {
  SetButtons(PSWIZB_FINISH);
  // The wizard cannot be left on this page, and an operation must never run twice.
  if (ran_) return;
  ran_ = true;

  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  const bool succeeded = Request().Run();
  ::SetCursor(previous);

  HWND icon = Item(IDC_RESULT_ICON);
  if (succeeded) {
    resultIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_SUCCESS_MARK);
  } else {
    SetItemText(IDC_RESULT_TEXT, platform::LoadText(IDS_OPERATION_FAILED));
    resultIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_FAILURE);
    ShowFailures();
  }
  ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(resultIcon_.Get()), 0);
  ::ShowWindow(icon, SW_SHOW);
}

void CompletionPage::ShowFailures() {
  HWND list = Item(IDC_RESULT_LIST);
  int row = 0;
  for (const Text& message : Request().Log.Entries()) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row++;
    item.iImage = 0;
    item.pszText = const_cast<wchar_t*>(win32::W(message));
    ListView_InsertItem(list, &item);
  }
  ::ShowWindow(list, SW_SHOW);
  ::ShowWindow(Item(IDC_RESULT_DETAILS), SW_SHOW);
  // The first message is shown whole at once; selecting another shows that one.
  if (row > 0) ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

bool CompletionPage::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom != IDC_RESULT_LIST || header.code != LVN_ITEMCHANGED) return false;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  const std::vector<Text>& messages = Request().Log.Entries();
  if ((change.uNewState & LVIS_SELECTED) && change.iItem >= 0 && static_cast<size_t>(change.iItem) < messages.size()) {
    SetItemText(IDC_RESULT_DETAILS, messages[static_cast<size_t>(change.iItem)]);
  }
  result = 0;
  return true;
}

}  // namespace kbt::ui
