#include "ui/wizard_page.h"

#include <vector>

#include "platform/win32/message_box_win32.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/window_messages.h"
#include "ui/wizard_sheet.h"

namespace kbt::ui {
namespace {
// Posted on activation, so that it comes after the sheet has switched pages and set its buttons.

HWND UsableButton(HWND sheet, int id) {
  HWND button = ::GetDlgItem(sheet, id);
  return button && ::IsWindowVisible(button) && ::IsWindowEnabled(button) ? button : nullptr;
}
}  // namespace

WizardPage::WizardPage(WizardSheet& sheet, const PageDescription& description)
    : sheet_(sheet), description_(description) {}

bool WizardPage::Describe(HINSTANCE instance, LANGID language, PROPSHEETPAGEW& page) {
  page = PROPSHEETPAGEW{};
  page.dwSize = sizeof page;
  page.dwFlags = description_.flags & ~static_cast<DWORD>(PSP_HASHELP);
  page.hInstance = instance;
  page.pfnDlgProc = DialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);

  // The default lookup follows the user interface language, which a chosen language may not be.
  const void* chosen = nullptr;
  if (language != 0) {
    if (HRSRC found = ::FindResourceExW(instance, RT_DIALOG,
                                        MAKEINTRESOURCEW(description_.dialogId), language)) {
      if (HGLOBAL loaded = ::LoadResource(instance, found)) chosen = ::LockResource(loaded);
    }
  }
  if (chosen) {
    page.dwFlags |= PSP_DLGINDIRECT;
    page.pResource = static_cast<PROPSHEETPAGE_RESOURCE>(chosen);
  } else {
    if (!::FindResourceW(instance, MAKEINTRESOURCEW(description_.dialogId), RT_DIALOG)) return false;
    page.pszTemplate = MAKEINTRESOURCEW(description_.dialogId);
  }

  page.dwFlags &= ~static_cast<DWORD>(PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE);
  if (description_.titleId != 0) {
    title_ = platform::LoadText(static_cast<unsigned>(description_.titleId));
    page.dwFlags |= PSP_USEHEADERTITLE;
    page.pszHeaderTitle = win32::W(title_);
  }
  if (description_.subtitleId != 0) {
    subtitle_ = platform::LoadText(static_cast<unsigned>(description_.subtitleId));
    page.dwFlags |= PSP_USEHEADERSUBTITLE;
    page.pszHeaderSubTitle = win32::W(subtitle_);
  }
  return true;
}

OperationRequest& WizardPage::Request() { return sheet_.Request(); }

Text WizardPage::ItemText(int id) const {
  HWND item = Item(id);
  const int length = item ? ::GetWindowTextLengthW(item) : 0;
  if (length <= 0) return Text();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(item, buffer.data(), length + 1);
  return win32::FromW(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void Wipe(Text& text) {
  text.resize(text.capacity());
  if (!text.empty()) ::SecureZeroMemory(text.data(), text.size() * sizeof(char16_t));
  text.clear();
}

Text WizardPage::SecretItemText(int id) const {
  HWND item = Item(id);
  const int length = item ? ::GetWindowTextLengthW(item) : 0;
  if (length <= 0) return Text();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(item, buffer.data(), length + 1);
  Text text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<size_t>(got > 0 ? got : 0));
  ::SecureZeroMemory(buffer.data(), buffer.size() * sizeof(wchar_t));
  return text;
}

void WizardPage::WipeItem(int id) const {
  HWND item = Item(id);
  const int length = item ? ::GetWindowTextLengthW(item) : 0;
  if (length <= 0) return;
  // The same length again reuses the control's buffer, so the characters themselves are overwritten.
  ::SetWindowTextW(item, std::wstring(static_cast<size_t>(length), L' ').c_str());
  ::SetWindowTextW(item, L"");
}

void WizardPage::SetItemText(int id, const Text& text) const { ::SetDlgItemTextW(window_, id, win32::W(text)); }

void WizardPage::SetButtons(DWORD buttons) const {
  ::PostMessageW(SheetWindow(), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}

bool WizardPage::Confirm(const TextRef& text, const TextRef& caption) const {
  return ShowMessage(window_, text, caption, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

bool WizardPage::ConfirmDeletion(bool deletes) const {
  if (!deletes) return true;
  return Confirm(IDS_CONFIRM_RESET, SheetCaption());
}

Text WizardPage::SheetCaption() const {
  wchar_t caption[256] = {};
  ::GetWindowTextW(SheetWindow(), caption, 256);
  return win32::FromW(caption);
}

LRESULT WizardPage::Navigate(int target) {
  if (target == 0) return 0;
  const int index = target == kStay ? -1 : sheet_.IndexOf(target);
  if (index < 0) return -1;
  // The sheet finds pages by template id only when it loaded the template itself, so the page
  // turns the sheet to its target and tells the sheet to stay.
  PropSheet_SetCurSel(SheetWindow(), nullptr, index);
  return -1;
}

void WizardPage::RepaintNow() const {
  RECT area{};
  ::GetWindowRect(window_, &area);
  ::MapWindowPoints(nullptr, SheetWindow(), reinterpret_cast<POINT*>(&area), 2);
  ::RedrawWindow(SheetWindow(), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void WizardPage::PlaceFocusLater() const { ::PostMessageW(window_, kPlaceFocusMessage, 0, 0); }

void WizardPage::PlaceFocus() const {
  HWND sheet = SheetWindow();
  // Enter presses Finish where it shows, else Next where it is enabled.
  HWND defaultButton = UsableButton(sheet, kFinishButton);
  if (!defaultButton) defaultButton = UsableButton(sheet, kNextButton);
  if (defaultButton) ::SendMessageW(sheet, DM_SETDEFID, static_cast<WPARAM>(::GetDlgCtrlID(defaultButton)), 0);
  HWND target = FirstFocus();
  if (!target || !::IsWindowVisible(target) || !::IsWindowEnabled(target)) target = defaultButton;
  if (!target) target = UsableButton(sheet, kBackButton);
  if (target) ::SendMessageW(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

bool WizardPage::HandleNotify(const NMHDR& header, LRESULT& result) {
  result = 0;
  if (OnNotify(header, result)) return true;
  if (header.hwndFrom != window_ && header.hwndFrom != SheetWindow()) return false;
  switch (header.code) {
    case PSN_SETACTIVE:
      OnSetActive();
      PlaceFocusLater();
      return true;
    case PSN_QUERYCANCEL:
      // TRUE keeps the wizard open.
      result = !ClosingLosesChoices() || Confirm(IDS_CONFIRM_CLOSE, IDS_CONFIRM_CLOSE_CAPTION) ? FALSE : TRUE;
      return true;
    case PSN_WIZNEXT:
      result = Navigate(OnWizNext());
      return true;
    case PSN_WIZBACK:
      result = Navigate(OnWizBack());
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK WizardPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* page = reinterpret_cast<WizardPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
    page->window_ = window;
    return page->OnInit();
  }
  auto* page = reinterpret_cast<WizardPage*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!page) return FALSE;
  switch (message) {
    case WM_COMMAND:
      page->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!page->HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_NCDESTROY:
      page->window_ = nullptr;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return FALSE;
    case kPlaceFocusMessage:
      // Only while the page is still the one shown.
      if (::IsWindowVisible(window)) page->PlaceFocus();
      return TRUE;
    default: {
      INT_PTR answer = FALSE;
      return page->OnMessage(message, wParam, lParam, answer) ? answer : FALSE;
    }
  }
}

}  // namespace kbt::ui
