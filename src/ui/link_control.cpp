#include "ui/link_control.h"

#include <commctrl.h>

#include <cwchar>

#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt::ui {
namespace {

const wchar_t* Name(const char16_t* name) { return reinterpret_cast<const wchar_t*>(name); }

const wchar_t* const kText = Name(names::kLinkTextProperty);
const wchar_t* const kFocus = Name(names::kLinkFocusProperty);
const wchar_t* const kFont = Name(names::kLinkFontProperty);
const wchar_t* const kCursor = Name(names::kLinkCursorProperty);
const wchar_t* const kWidth = Name(names::kLinkWidthProperty);
const wchar_t* const kHeight = Name(names::kLinkHeightProperty);
const wchar_t* const kHover = Name(names::kLinkHoverProperty);

// Everything after the prefix up to the next quotation mark; empty without a closing one.
bool QuotedAfter(const std::wstring& text, const wchar_t* prefix, std::wstring& value) {
  const size_t start = text.find(prefix);
  if (start == std::wstring::npos) return false;
  const size_t open = start + std::wcslen(prefix);
  const size_t close = text.find(L'"', open);
  value = close == std::wstring::npos ? std::wstring() : text.substr(open, close - open);
  return true;
}

// Work buffers hold kLinkTextCapacity characters; longer parts are cut, never overrun.
std::wstring Cut(std::wstring text) {
  size_t limit = kLinkTextCapacity - 1;
  if (text.size() <= limit) return text;
  if (IS_HIGH_SURROGATE(text[limit - 1])) --limit;
  text.resize(limit);
  return text;
}

INT_PTR Number(HWND window, const wchar_t* name) { return reinterpret_cast<INT_PTR>(::GetPropW(window, name)); }
void SetNumber(HWND window, const wchar_t* name, INT_PTR value) {
  ::SetPropW(window, name, reinterpret_cast<HANDLE>(value));
}

std::wstring StoredText(HWND window) {
  const auto* text = static_cast<const wchar_t*>(::GetPropW(window, kText));
  return text ? std::wstring(text) : std::wstring();
}

HFONT OwnFont(HWND window) { return static_cast<HFONT>(::GetPropW(window, kFont)); }

void Measure(HWND window) {
  const std::wstring display = ParseLinkMarkup(StoredText(window)).display;
  SIZE size{};
  if (HDC dc = ::GetDC(window)) {
    HGDIOBJ previous = OwnFont(window) ? ::SelectObject(dc, OwnFont(window)) : nullptr;
    ::GetTextExtentPoint32W(dc, display.c_str(), static_cast<int>(display.size()), &size);
    if (previous) ::SelectObject(dc, previous);
    ::ReleaseDC(window, dc);
  }
  SetNumber(window, kWidth, size.cx);
  SetNumber(window, kHeight, size.cy);
  ::InvalidateRect(window, nullptr, TRUE);
}

RECT LinkArea(HWND window) {
  return RECT{0, 0, static_cast<LONG>(Number(window, kWidth)), static_cast<LONG>(Number(window, kHeight))};
}

// Both edges belong to the link.
bool IsOnLink(HWND window, LPARAM point) {
  const int x = static_cast<short>(LOWORD(point));
  const int y = static_cast<short>(HIWORD(point));
  return x >= 0 && y >= 0 && x <= Number(window, kWidth) && y <= Number(window, kHeight);
}

void StoreText(HWND window, const wchar_t* text) {
  auto* buffer = static_cast<wchar_t*>(::GetPropW(window, kText));
  if (!buffer) return;
  const std::wstring cut = Cut(text ? std::wstring(text) : std::wstring());
  std::wmemset(buffer, L'\0', kLinkTextCapacity);
  std::wmemcpy(buffer, cut.c_str(), cut.size());
}

// The control owns only fonts it made; one it cannot read is not kept, so it is never deleted.
void TakeFont(HWND window, HFONT font) {
  LOGFONTW description{};
  HFONT underlined = nullptr;
  if (font && ::GetObjectType(font) == OBJ_FONT && ::GetObjectW(font, sizeof description, &description) != 0) {
    description.lfUnderline = TRUE;
    underlined = ::CreateFontIndirectW(&description);
  }
  if (HFONT previous = OwnFont(window)) ::DeleteObject(previous);
  SetNumber(window, kFont, reinterpret_cast<INT_PTR>(underlined));
  Measure(window);
}

void EraseBackground(HWND window, HDC dc) {
  if ((::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT) == 0) return;
  HWND parent = ::GetParent(window);
  auto brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(parent, GCLP_HBRBACKGROUND));
  // Dialogs have no class brush: they hand out their background with the static controls' colour.
  if (!brush) brush = reinterpret_cast<HBRUSH>(::SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(window)));
  if (!brush) return;
  RECT client{};
  ::GetClientRect(window, &client);
  ::FillRect(dc, &client, brush);
}

void Paint(HWND window) {
  if (!::GetUpdateRect(window, nullptr, FALSE)) return;
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(window, &paint);
  if (!dc) return;
  ::SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previous = OwnFont(window) ? ::SelectObject(dc, OwnFont(window)) : nullptr;
  ::SetTextColor(dc, RGB(0, 0, 180));
  const std::wstring display = ParseLinkMarkup(StoredText(window)).display;
  ::TextOutW(dc, 0, 0, display.c_str(), static_cast<int>(display.size()));
  if (Number(window, kFocus) == 1) {
    const RECT area = LinkArea(window);
    ::DrawFocusRect(dc, &area);
  }
  if (previous) ::SelectObject(dc, previous);
  ::EndPaint(window, &paint);
}

void NotifyParent(HWND window) {
  NMLINK link{};
  link.hdr.hwndFrom = window;
  link.hdr.idFrom = 0;
  link.hdr.code = NM_CLICK;
  link.item.mask = LIF_ITEMINDEX | LIF_URL;
  link.item.iLink = 0;
  const std::wstring target = ParseLinkMarkup(StoredText(window)).target;
  const size_t length = target.size() < L_MAX_URL_LENGTH ? target.size() : L_MAX_URL_LENGTH - 1;
  std::wmemcpy(link.item.szUrl, target.c_str(), length);
  ::SendMessageW(::GetParent(window), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
}

void Create(HWND window) {
  SetNumber(window, kFocus, 0);
  SetNumber(window, kFont, 0);
  SetNumber(window, kWidth, 0);
  SetNumber(window, kHeight, 0);
  SetNumber(window, kHover, 0);
  auto module = reinterpret_cast<HINSTANCE>(::GetClassLongPtrW(window, GCLP_HMODULE));
  ::SetPropW(window, kCursor, ::LoadImageW(module, MAKEINTRESOURCEW(IDC_HAND_CURSOR), IMAGE_CURSOR, 0, 0, 0));
  ::SetPropW(window, kText, ::LocalAlloc(LPTR, kLinkTextCapacity * sizeof(wchar_t)));
}

void Destroy(HWND window) {
  if (HFONT font = OwnFont(window)) ::DeleteObject(font);
  ::RemovePropW(window, kFont);
  ::RemovePropW(window, kFocus);
  ::RemovePropW(window, kWidth);
  ::RemovePropW(window, kHeight);
  ::RemovePropW(window, kHover);
  if (HANDLE cursor = ::RemovePropW(window, kCursor)) ::DestroyCursor(static_cast<HCURSOR>(cursor));
  if (HANDLE text = ::RemovePropW(window, kText)) ::LocalFree(text);
}

LRESULT CALLBACK LinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      Create(window);
      break;
    case WM_SETTEXT:
      StoreText(window, reinterpret_cast<const wchar_t*>(lParam));
      Measure(window);
      break;
    case WM_SETFONT:
      TakeFont(window, reinterpret_cast<HFONT>(wParam));
      break;
    case WM_ERASEBKGND:
      EraseBackground(window, reinterpret_cast<HDC>(wParam));
      break;
    case WM_PAINT:
      Paint(window);
      break;
    case WM_SETFOCUS:
      SetNumber(window, kFocus, 1);
      if (HDC dc = ::GetDC(window)) {
        const RECT area = LinkArea(window);
        ::DrawFocusRect(dc, &area);
        ::ReleaseDC(window, dc);
      }
      break;
    case WM_KILLFOCUS:
      SetNumber(window, kFocus, 0);
      ::InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_MOUSEMOVE:
      if (IsOnLink(window, lParam)) {
        SetNumber(window, kHover, 1);
        ::SetCursor(static_cast<HCURSOR>(::GetPropW(window, kCursor)));
      } else {
        SetNumber(window, kHover, 0);
      }
      break;
    case WM_SETCURSOR:
      ::SetCursor(Number(window, kHover) == 1 ? static_cast<HCURSOR>(::GetPropW(window, kCursor))
                                               : ::LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    case WM_LBUTTONDOWN:
      ::SetFocus(window);
      ::SetCapture(window);
      break;
    case WM_LBUTTONUP:
      if (IsOnLink(window, lParam)) NotifyParent(window);
      ::ReleaseCapture();
      break;
    case WM_RBUTTONDOWN:
      ::SetFocus(window);
      break;
    case WM_GETDLGCODE:
      // Enter belongs to the link while it has the focus, not to the dialog's default button.
      if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN) {
        return DLGC_WANTMESSAGE;
      }
      break;
    case WM_KEYDOWN:
      // Space and Enter follow the link like a click, once per press however long it is held.
      if ((wParam == VK_SPACE || wParam == VK_RETURN) && (lParam & (1 << 30)) == 0) NotifyParent(window);
      break;
    case WM_DESTROY:
      Destroy(window);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LinkMarkup ParseLinkMarkup(const std::wstring& markup) {
  LinkMarkup link;
  const size_t anchor = markup.find(L"<a ");
  if (anchor == std::wstring::npos) {
    link.display = Cut(markup);
  } else {
    const size_t open = markup.find(L'>', anchor);
    const size_t close = open == std::wstring::npos ? open : markup.find(L"</a>", open);
    if (close != std::wstring::npos) link.display = Cut(markup.substr(open + 1, close - open - 1));
  }
  if (!QuotedAfter(markup, L"<a href=\"", link.target)) QuotedAfter(markup, L"<a id=\"", link.target);
  link.target = Cut(link.target);
  return link;
}

bool RegisterLinkControl(HINSTANCE instance) {
  WNDCLASSW linkClass{};
  linkClass.lpfnWndProc = LinkProc;
  linkClass.hInstance = instance;
  linkClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  linkClass.lpszClassName = Name(names::kLinkWindowClass);
  if (::RegisterClassW(&linkClass)) return true;
  return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace kbt::ui
