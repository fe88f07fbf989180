#include "ui/field_notes.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "res/resource.h"

namespace kbt::ui {

void FieldNote::Show(HWND page, const Text& text, bool fault) {
  HWND icon = ::GetDlgItem(page, iconId_);
  if (fault && !icon_) {
    // Small icon size at the screen's DPI: 16 pixels at 96.
    HDC screen = ::GetDC(nullptr);
    const int size = screen ? ::MulDiv(16, ::GetDeviceCaps(screen, LOGPIXELSY), 96) : 16;
    if (screen) ::ReleaseDC(nullptr, screen);
    icon_ = UniqueIcon(static_cast<HICON>(::LoadImageW(reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(page, GWLP_HINSTANCE)),
                                                      MAKEINTRESOURCEW(IDI_FAILURE), IMAGE_ICON, size, size, 0)));
    ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(icon_.Get()), 0);
  }
  shown_ = !text.empty();
  ::SetDlgItemTextW(page, textId_, reinterpret_cast<const wchar_t*>(text.c_str()));
  ::ShowWindow(::GetDlgItem(page, textId_), shown_ ? SW_SHOW : SW_HIDE);
  ::ShowWindow(icon, shown_ && fault ? SW_SHOW : SW_HIDE);
}

ButtonTips::~ButtonTips() {
  // The page destroys the tips it owns when it closes first.
  if (tips_ && ::IsWindow(tips_)) ::DestroyWindow(tips_);
}

void ButtonTips::Add(HWND page, HWND button) {
  if (!button) return;
  if (!tips_) {
    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr,
                              reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(page, GWLP_HINSTANCE)), nullptr);
    if (!tips_) return;
  }
  const int length = ::GetWindowTextLengthW(button);
  std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  ::GetWindowTextW(button, text.data(), length + 1);
  // "B&rowse..." reads "Browse" in its tip.
  std::wstring tip;
  for (const wchar_t* c = text.data(); *c; ++c) {
    if (*c == L'&' && c[1] != L'&') continue;
    tip += *c;
  }
  while (!tip.empty() && tip.back() == L'.') tip.pop_back();
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = page;
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  tool.lpszText = &tip[0];
  ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace kbt::ui
