#include <windows.h>
#include <shellapi.h>

#include "platform/paths.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/pages.h"

namespace kbt::ui {

BOOL DataFoldersPage::OnInit() {
  SetItemText(IDC_DATA_FOLDER, Request().DataFolder);
  SetItemText(IDC_FAVORITES_FOLDER, Request().FavoritesFolder);
  exploreIcon_ = LoadSmallIcon(Sheet().Instance(), IDI_EXPLORE_FOLDER);
  for (int button : {IDC_EXPLORE_FAVORITES, IDC_EXPLORE_DATA}) {
    ::SendMessageW(Item(button), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(exploreIcon_.Get()));
  }
  return TRUE;
}

void DataFoldersPage::OnSetActive() {
  // An empty text is no folder; a folder created meanwhile is accepted on the next visit.
  const Text data = ItemText(IDC_DATA_FOLDER);
  const Text favorites = ItemText(IDC_FAVORITES_FOLDER);
  const bool dataOk = !data.empty() && platform::IsExistingFolder(data);
  const bool favoritesOk = !favorites.empty() && platform::IsExistingFolder(favorites);
  SetButtons(dataOk && favoritesOk ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
  ::InvalidateRect(Item(IDC_DATA_FOLDER), nullptr, TRUE);
  ::InvalidateRect(Item(IDC_FAVORITES_FOLDER), nullptr, TRUE);
  ::EnableWindow(Item(IDC_EXPLORE_DATA), dataOk);
  ::EnableWindow(Item(IDC_EXPLORE_FAVORITES), favoritesOk);
}

int DataFoldersPage::OnWizNext() { return IDD_DETAILS; }

int DataFoldersPage::OnWizBack() {
  return Request().GetMode() == OperationMode::Restore ? IDD_RESTORE_LOCATION : IDD_OPERATION;
}

void DataFoldersPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  int field = 0;
  if (id == IDC_EXPLORE_DATA) field = IDC_DATA_FOLDER;
  if (id == IDC_EXPLORE_FAVORITES) field = IDC_FAVORITES_FOLDER;
  if (field == 0) return;
  const Text folder = ItemText(field);
  ::ShellExecuteW(Window(), L"open", win32::W(folder), nullptr, nullptr, SW_SHOW);
}

}  // namespace kbt::ui
