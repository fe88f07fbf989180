#include <windows.h>
#include <shellapi.h>

#include "platform/tool_version.h"
#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/pages.h"
#include "ui/wizard_sheet.h"

namespace kbt::ui {

BOOL WelcomePage::OnInit() {
  const LRESULT titleFont = ::SendMessageW(SheetWindow(), WizardSheet::TitleFontMessage(), 0, 0);
  if (titleFont) ::SendMessageW(Item(IDC_WELCOME_TITLE), WM_SETFONT, static_cast<WPARAM>(titleFont), TRUE);

  Text version = platform::LoadText(IDS_VERSION_PREFIX);
  Text number;
  if (GetToolVersion(number)) version += number;
  SetItemText(IDC_VERSION, version);

  // The link controls read their markup from the text they are given.
  SetItemText(IDC_WEBSITE_LINK, platform::LoadText(IDS_WEBSITE_LINK));
  SetItemText(IDC_SUPPORT_LINK, platform::LoadText(IDS_SUPPORT_LINK));
  return TRUE;
}

void WelcomePage::OnSetActive() { SetButtons(PSWIZB_NEXT); }

namespace {
// Only a link control's click carries an NMLINK; reading any other NM_CLICK as one would read past it.
bool IsLinkControl(HWND window) {
  wchar_t name[32] = {};
  return window && ::GetClassNameW(window, name, 32) > 0 && win32::FromW(name) == names::kLinkWindowClass;
}
}  // namespace

bool WelcomePage::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.code != NM_CLICK || !IsLinkControl(header.hwndFrom)) return false;
  const auto& link = reinterpret_cast<const NMLINK&>(header);
  ::ShellExecuteW(Window(), L"open", link.item.szUrl, nullptr, nullptr, SW_SHOW);
  result = 1;
  return true;
}

}  // namespace kbt::ui
