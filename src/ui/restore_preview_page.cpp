// The page that says what a restore will change before it changes anything.
#include <algorithm>
#include <utility>
#include <vector>

#include "operations/restore/restore_preview.h"
#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/local_texts.h"
#include "platform/paths.h"
#include "ui/pages.h"
#include "ui/text_layout.h"
#include "ui/window_messages.h"

namespace kbt::ui {
namespace {

// A string of '|'-separated parts, as the column headings and the kinds of change are kept.
std::vector<Text> Parts(unsigned id) {
  std::vector<Text> parts(1);
  for (char16_t c : platform::LoadText(id)) {
    if (c == u'|') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

enum Kind { kChanged, kAdded, kReplaced, kNew, kMoved, kReplacedNewer, kKinds };
enum Column { kChangeColumn, kNameColumn, kNowColumn, kBackupColumn, kColumns };

Text FileState(uint64_t size, uint32_t dosTime) {
  const Text date = DosDateTimeText(dosTime);
  return date.empty() ? SizeText(size) : SizeText(size) + u", " + date;
}

// A value by its key below the client's own, where all of the client's settings lie.
Text ValueName(const Text& key, const Text& name) {
  if (EqualsIgnoreAsciiCase(key, names::kClientKey)) return name;
  const Text client = Text(names::kClientKey) + u'\\';
  const bool below = key.size() > client.size() && EqualsIgnoreAsciiCase(key.substr(0, client.size()), client);
  return (below ? key.substr(client.size()) : key) + u'\\' + name;
}

// A value as short as a cell takes it: its start and its end, which for a folder tell the most.
Text Shortened(const Text& text) {
  constexpr size_t kHead = 16, kTail = 20;
  if (text.size() <= kHead + kTail + 1) return text;
  return text.substr(0, kHead) + u'\u2026' + text.substr(text.size() - kTail);
}

}  // namespace

BOOL RestorePreviewPage::OnInit() {
  HWND list = Item(IDC_PREVIEW_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP);
  RECT client{};
  ::GetClientRect(list, &client);
  std::vector<Text> headings = Parts(IDS_PREVIEW_COLUMNS);
  headings.resize(kColumns);
  const int width = client.right - client.left;
  for (int i = 0; i < kColumns; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width / kColumns;
    column.pszText = const_cast<wchar_t*>(win32::W(headings[static_cast<size_t>(i)]));
    ListView_InsertColumn(list, i, &column);
  }
  return TRUE;
}

void RestorePreviewPage::AddRow(const std::vector<Text>& cells, const Text& tip) {
  HWND list = Item(IDC_PREVIEW_LIST);
  tips_.push_back(tip);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(list);
  item.pszText = const_cast<wchar_t*>(win32::W(cells[0]));
  const int row = ListView_InsertItem(list, &item);
  for (size_t i = 1; i < cells.size() && row >= 0; ++i) {
    ListView_SetItemText(list, row, static_cast<int>(i), const_cast<wchar_t*>(win32::W(cells[i])));
  }
}

// The kind and the file states as wide as their texts; the name takes what they leave.
void RestorePreviewPage::FitColumns() {
  HWND list = Item(IDC_PREVIEW_LIST);
  RECT client{};
  ::GetClientRect(list, &client);
  int rest = client.right - client.left - ::GetSystemMetrics(SM_CXVSCROLL);
  std::vector<Text> headings = Parts(IDS_PREVIEW_COLUMNS);
  headings.resize(kColumns);
  // Not LVSCW_AUTOSIZE_USEHEADER: on the last column it takes all that is left.
  for (int column : {kChangeColumn, kNowColumn, kBackupColumn}) {
    ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE);
    const int heading = ListView_GetStringWidth(list, win32::W(headings[static_cast<size_t>(column)])) + 16;
    const int width = std::max(ListView_GetColumnWidth(list, column), heading);
    ListView_SetColumnWidth(list, column, width);
    rest -= width;
  }
  ListView_SetColumnWidth(list, kNameColumn, std::max(rest, static_cast<int>(client.right - client.left) / 4));
}

RestorePreviewPage::~RestorePreviewPage() {
  if (planner_.joinable()) planner_.join();
}

void RestorePreviewPage::SetLine(int id, const Text& text) {
  SetItemText(id, text);
  ::ShowWindow(Item(id), text.empty() ? SW_HIDE : SW_SHOW);
}

void RestorePreviewPage::OnSetActive() {
  // The button that starts the restore says so; it waits for the plan.
  HWND next = ::GetDlgItem(SheetWindow(), kNextButton);
  if (nextText_.empty()) {
    wchar_t text[64] = {};
    ::GetWindowTextW(next, text, 64);
    nextText_ = win32::FromW(text);
  }
  ::SetWindowTextW(next, win32::W(platform::LoadText(IDS_RESTORE_BUTTON)));
  WidenNext();
  SetButtons(PSWIZB_BACK);
  // The details page may have changed what the restore covers: the preview is made anew each time.
  ListView_DeleteAllItems(Item(IDC_PREVIEW_LIST));
  tips_.clear();
  for (int id : {IDC_PREVIEW_BACKUP, IDC_PREVIEW_FILES, IDC_PREVIEW_UNDO}) SetLine(id, Text());
  SetLine(IDC_PREVIEW_SETTINGS, platform::LoadText(IDS_PREVIEW_WORKING));
  Layout();
  StartPlan();
}

void RestorePreviewPage::StartPlan() {
  // A plan that still runs was made for an earlier visit: the next one starts when it ends.
  if (planner_.joinable()) {
    again_ = true;
    return;
  }
  const OperationRequest& request = Request();
  plan_ = std::make_unique<Plan>();
  plan_->archive = request.ArchivePath;
  plan_->dataFolder = request.DataFolder;
  plan_->favoritesFolder = request.FavoritesFolder;
  plan_->selection = request.GetSelection();
  plan_->password = request.Password;
  Plan* plan = plan_.get();
  HWND window = Window();
  planner_ = std::thread([plan, window] {
    try {
      plan->startable = PreviewRestore(plan->archive, plan->dataFolder, plan->favoritesFolder, plan->selection,
                                       plan->preview, plan->password);
    } catch (...) {
      plan->startable = false;  // a text that cannot be converted: nothing to restore from
    }
    ::PostMessageW(window, kPreviewedMessage, 0, 0);
  });
}

void RestorePreviewPage::PlanEnded() {
  if (!planner_.joinable()) return;
  planner_.join();
  const std::unique_ptr<Plan> plan = std::move(plan_);
  if (again_) {
    again_ = false;
    StartPlan();
    return;
  }
  // A plan that ends after the user left the page is not shown; the next visit makes its own.
  if (::IsWindowVisible(Window())) ShowPlan(*plan);
}

void RestorePreviewPage::ShowPlan(const Plan& plan) {
  const OperationRequest& request = Request();
  const RestorePreview& preview = plan.preview;
  const uint32_t selection = plan.selection;
  std::vector<Text> kinds = Parts(IDS_PREVIEW_KINDS);
  kinds.resize(kKinds);
  std::vector<Text> headings = Parts(IDS_PREVIEW_COLUMNS);
  headings.resize(kColumns);
  Text backup, settings, files;
  if (!preview.created.empty()) {
    const Text name = platform::FileNamePart(plan.archive);
    backup = preview.comment.empty()
                 ? FormatText(platform::LoadText(IDS_PREVIEW_BACKUP), {name, CreatedText(preview.created)})
                 : FormatText(platform::LoadText(IDS_PREVIEW_BACKUP_COMMENT), {name, CreatedText(preview.created), preview.comment});
  }
  if (!plan.startable) {
    settings = FormatText(platform::LoadText(IDS_PREVIEW_REFUSED), {preview.problems.empty() ? Text() : preview.problems[0]});
  } else {
    if (selection & DataSelection::Settings) {
      settings = FormatText(platform::LoadText(IDS_PREVIEW_SETTINGS),
                            {DecimalText(preview.changedValues), DecimalText(preview.addedValues),
                             DecimalText(preview.unchangedValues)});
    }
    files = FormatText(platform::LoadText(IDS_PREVIEW_FILES),
                       {DecimalText(preview.replacedFiles), DecimalText(preview.addedFiles)});
    if (preview.movedFiles > 0) {
      files += u"\r\n" + FormatText(platform::LoadText(IDS_PREVIEW_MOVED), {DecimalText(preview.movedFiles)});
    }
    if (preview.newerFiles > 0) {
      files += u"\r\n" + FormatText(platform::LoadText(IDS_PREVIEW_NEWER), {DecimalText(preview.newerFiles)});
    }
    for (const SettingChange& change : preview.settings) {
      const Text name = ValueName(change.key, change.name);
      Text tip = name;
      if (!change.added) tip += u"\r\n" + headings[kNowColumn] + u": " + change.now;
      tip += u"\r\n" + headings[kBackupColumn] + u": " + change.restored;
      AddRow({kinds[change.added ? kAdded : kChanged], name, Shortened(change.now), Shortened(change.restored)}, tip);
    }
    for (const FileChange& change : preview.files) {
      const Kind kind = change.moved ? kMoved : change.newerNow ? kReplacedNewer : change.replaced ? kReplaced : kNew;
      // A file that goes elsewhere is named by the place it goes to.
      AddRow({kinds[kind], change.moved ? change.destination : change.name,
              change.replaced ? FileState(change.sizeNow, change.dosTimeNow) : Text(),
              FileState(change.sizeInArchive, change.dosTimeInArchive)});
    }
    // What the restore cannot write is said before it starts, too.
    for (const Text& problem : preview.problems) AddRow({Text(), problem});
  }
  FitColumns();
  SetLine(IDC_PREVIEW_BACKUP, backup);
  SetLine(IDC_PREVIEW_SETTINGS, settings);
  SetLine(IDC_PREVIEW_FILES, files);
  SetLine(IDC_PREVIEW_UNDO, platform::LoadText(request.UndoPointWanted ? IDS_PREVIEW_UNDO : IDS_PREVIEW_NO_UNDO));
  Layout();
  SetButtons(plan.startable ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
  // Where the focus waited on a button, Enter now presses Restore; a choice of the user's stays.
  HWND focus = ::GetFocus();
  if (!focus || ::GetParent(focus) == SheetWindow()) PlaceFocusLater();
}

void RestorePreviewPage::Layout() {
  HWND page = Window();
  const int gap = DialogUnitsHigh(page, 2);
  const int bottom = StackControls(page, {IDC_PREVIEW_BACKUP, IDC_PREVIEW_SETTINGS, IDC_PREVIEW_FILES, IDC_PREVIEW_UNDO,
                                          IDC_PREVIEW_SHOW_LIST}, 0, gap, HWND_TOP);
  // The list takes what the texts leave, whether it shows or not.
  RECT client{}, label{}, list{};
  ::GetClientRect(page, &client);
  ::GetWindowRect(Item(IDC_PREVIEW_LIST_LABEL), &label);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&label), 2);
  ::GetWindowRect(Item(IDC_PREVIEW_LIST), &list);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&list), 2);
  const int labelHeight = label.bottom - label.top;
  const int listTop = bottom + gap + labelHeight + 1;
  ::SetWindowPos(Item(IDC_PREVIEW_LIST_LABEL), Item(IDC_PREVIEW_SHOW_LIST), label.left, bottom + gap, label.right - label.left,
                 labelHeight, SWP_NOACTIVATE);
  ::SetWindowPos(Item(IDC_PREVIEW_LIST), Item(IDC_PREVIEW_LIST_LABEL), list.left, listTop, list.right - list.left,
                 std::max<int>(client.bottom - listTop, DialogUnitsHigh(page, 24)), SWP_NOACTIVATE);
}

void RestorePreviewPage::WidenNext() {
  HWND sheet = SheetWindow(), next = ::GetDlgItem(sheet, kNextButton), back = ::GetDlgItem(sheet, kBackButton);
  if (widened_ || !next || !back) return;
  Text text = platform::LoadText(IDS_RESTORE_BUTTON);
  text.erase(std::remove(text.begin(), text.end(), u'&'), text.end());
  HDC dc = ::GetDC(next);
  if (!dc) return;
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(next, WM_GETFONT, 0, 0)));
  SIZE size{};
  const bool measured = ::GetTextExtentPoint32W(dc, win32::W(text), static_cast<int>(text.size()), &size) != FALSE;
  ::SelectObject(dc, old);
  ::ReleaseDC(next, dc);
  ::GetWindowRect(next, &nextBounds_);
  ::MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&nextBounds_), 2);
  ::GetWindowRect(back, &backBounds_);
  ::MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&backBounds_), 2);
  // The margin a button keeps on each side of its text: as much as the text is high.
  const int extra = size.cx + 2 * size.cy - (nextBounds_.right - nextBounds_.left);
  if (!measured || extra <= 0) return;
  widened_ = true;
  ::SetWindowPos(next, nullptr, nextBounds_.left - extra, nextBounds_.top, nextBounds_.right - nextBounds_.left + extra,
                 nextBounds_.bottom - nextBounds_.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(back, nullptr, backBounds_.left - extra, backBounds_.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RestorePreviewPage::RestoreButtons() {
  if (!widened_) return;
  widened_ = false;
  HWND sheet = SheetWindow();
  for (auto [id, bounds] : {std::pair<int, RECT>{kNextButton, nextBounds_}, std::pair<int, RECT>{kBackButton, backBounds_}}) {
    ::SetWindowPos(::GetDlgItem(sheet, id), nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool RestorePreviewPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& answer) {
  if (message != kPreviewedMessage) return false;
  PlanEnded();
  answer = TRUE;
  return true;
}

bool RestorePreviewPage::OnNotify(const NMHDR& header, LRESULT&) {
  // The whole values of a setting where the pointer rests on its row.
  if (header.idFrom == IDC_PREVIEW_LIST && header.code == LVN_GETINFOTIPW) {
    auto& info = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
    const size_t row = static_cast<size_t>(info.iItem);
    if (info.iItem >= 0 && row < tips_.size() && !tips_[row].empty() && info.pszText && info.cchTextMax > 0) {
      const Text& tip = tips_[row];
      const size_t length = std::min(tip.size(), static_cast<size_t>(info.cchTextMax - 1));
      std::copy(tip.begin(), tip.begin() + static_cast<std::ptrdiff_t>(length), info.pszText);
      info.pszText[length] = L'\0';
    }
    return true;
  }
  // Leaving the page, whichever way: Next is Next again.
  if (header.code == PSN_KILLACTIVE && !nextText_.empty()) {
    ::SetWindowTextW(::GetDlgItem(SheetWindow(), kNextButton), win32::W(nextText_));
    RestoreButtons();
  }
  return false;
}

void RestorePreviewPage::OnCommand(int id, int code) {
  if (id != IDC_PREVIEW_SHOW_LIST || code != BN_CLICKED) return;
  const bool shown = ::IsDlgButtonChecked(Window(), IDC_PREVIEW_SHOW_LIST) == BST_CHECKED;
  ::ShowWindow(Item(IDC_PREVIEW_LIST_LABEL), shown ? SW_SHOW : SW_HIDE);
  ::ShowWindow(Item(IDC_PREVIEW_LIST), shown ? SW_SHOW : SW_HIDE);
}

}  // namespace kbt::ui
