#include "ui/text_layout.h"

#include <vector>

namespace kbt::ui {

int DialogUnitsHigh(HWND page, int units) {
  RECT area{0, 0, 0, units};
  ::MapDialogRect(page, &area);
  return area.bottom;
}

int TextHeight(HWND control) {
  RECT client{};
  ::GetClientRect(control, &client);
  const int length = ::GetWindowTextLengthW(control);
  std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  ::GetWindowTextW(control, text.data(), length + 1);
  HDC dc = ::GetDC(control);
  if (!dc) return client.bottom;
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  RECT needed{0, 0, client.right, 0};
  const LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
  // A path without spaces breaks where the edit control would break it, as the static draws it.
  const UINT flags = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | ((style & SS_EDITCONTROL) ? DT_EDITCONTROL : 0);
  if (length > 0) ::DrawTextW(dc, text.data(), length, &needed, flags);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return needed.bottom > metrics.tmHeight ? needed.bottom : metrics.tmHeight;
}

namespace {
bool IsStaticText(HWND control) {
  wchar_t name[16] = {};
  ::GetClassNameW(control, name, 16);
  return ::lstrcmpiW(name, L"Static") == 0 && (::GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON;
}
}  // namespace

int StackControls(HWND page, std::initializer_list<int> ids, int top, int gap, HWND after) {
  int bottom = top;
  bool first = true;
  for (int id : ids) {
    HWND control = ::GetDlgItem(page, id);
    if (!control || !(::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT bounds{};
    ::GetWindowRect(control, &bounds);
    ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bounds), 2);
    const int y = first ? top : bottom + gap;
    const int height = IsStaticText(control) ? TextHeight(control) : bounds.bottom - bounds.top;
    ::SetWindowPos(control, after, bounds.left, y, bounds.right - bounds.left, height, SWP_NOACTIVATE);
    after = control;
    bottom = y + height;
    first = false;
  }
  return bottom;
}

}  // namespace kbt::ui
