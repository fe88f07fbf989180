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
    tips_.Add(Window(), Item(button));
  }
  return TRUE;
}

bool DataFoldersPage::CheckFolder(int field, int explore, int description, FieldNote& note) {
  // An empty text is no folder; a folder created meanwhile is accepted on the next visit.
  const Text folder = ItemText(field);
  const bool exists = !folder.empty() && platform::IsExistingFolder(folder);
  // A restore onto a new machine makes the folders it writes to; nothing is made before it runs.
  const bool restore = Request().GetMode() == OperationMode::Restore;
  const bool made = !exists && restore && !folder.empty();
  note.Show(Window(), exists ? Text() : platform::LoadText(made ? IDS_FOLDER_WILL_BE_CREATED : IDS_FOLDER_NOT_THERE),
            !made);
  ::ShowWindow(Item(description), note.Shown() ? SW_HIDE : SW_SHOW);
  ::EnableWindow(Item(explore), exists);
  ::InvalidateRect(Item(field), nullptr, TRUE);
  return exists || made;
}

void DataFoldersPage::OnSetActive() {
  const bool dataOk = CheckFolder(IDC_DATA_FOLDER, IDC_EXPLORE_DATA, IDC_DATA_DESCRIPTION, dataNote_);
  const bool favoritesOk =
      CheckFolder(IDC_FAVORITES_FOLDER, IDC_EXPLORE_FAVORITES, IDC_FAVORITES_DESCRIPTION, favoritesNote_);
  SetButtons(dataOk && favoritesOk ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
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
