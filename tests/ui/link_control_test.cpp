// The hyperlink control inside this process: markup, hit test, notification, state, clean-up.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/link_control.h"

namespace kbt::ui {
namespace {

struct MarkupCase {
  const wchar_t* markup;
  const wchar_t* display;
  const wchar_t* target;
  const char* fault;
};

const MarkupCase kMarkup[] = {
    {L"<a href=\"T\">Shown</a>", L"Shown", L"T", "the href form"},
    {L"<a id=\"abc\">Shown</a>", L"Shown", L"abc", "the id form"},
    {L"plain text", L"plain text", L"", "text without an anchor is shown whole"},
    {L"before <a href=\"x\">in</a> after", L"in", L"x", "text around the element is not shown"},
    {L"<a href=\"x\">open", L"", L"x", "no closing tag shows nothing"},
    {L"<a href=\"x\"", L"", L"x", "no '>' shows nothing"},
    {L"<a href=\"x>shown</a>", L"shown", L"", "an unclosed quotation mark gives no target"},
    {L"<a class=\"c\">shown</a>", L"shown", L"", "no known attribute gives an empty target"},
    {L"<a href=x>shown</a>", L"shown", L"", "the value must be quoted"},
    {L"<A HREF=\"x\">shown</A>", L"<A HREF=\"x\">shown</A>", L"", "the tags are matched as written"},
    {L"", L"", L"", "empty text"},
};

TEST(LinkMarkup, DisplayAndTarget) {
  for (const MarkupCase& c : kMarkup) {
    const LinkMarkup link = ParseLinkMarkup(c.markup);
    EXPECT_EQ(link.display, c.display) << c.fault;
    EXPECT_EQ(link.target, c.target) << c.fault;
  }
}

TEST(LinkMarkup, LongTextsAreCutToTheBuffers) {
  const std::wstring target(5000, L't');
  const LinkMarkup link = ParseLinkMarkup(L"<a href=\"" + target + L"\">" + std::wstring(3000, L'd') + L"</a>");
  EXPECT_EQ(link.target.size(), kLinkTextCapacity - 1);
  EXPECT_EQ(link.display.size(), kLinkTextCapacity - 1);
  // A surrogate pair is never split.
  std::wstring pairs;
  for (int i = 0; i < 200; ++i) pairs += L"\xD83D\xDE00";
  EXPECT_FALSE(IS_HIGH_SURROGATE(ParseLinkMarkup(pairs).display.back()));
}

// A parent window that records what its link control tells it.
class LinkControlTest : public ::testing::Test {
 protected:
  static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
      auto* self = reinterpret_cast<LinkControlTest*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
      const auto* link = reinterpret_cast<const NMLINK*>(lParam);
      if (self && link->hdr.code == NM_CLICK) {
        self->clicks.push_back(link->item.szUrl);
        self->lastMask = link->item.mask;
        self->lastFrom = link->hdr.hwndFrom;
        self->lastId = link->hdr.idFrom;
      }
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  void SetUp() override {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    ASSERT_TRUE(RegisterLinkControl(instance));
    ASSERT_TRUE(RegisterLinkControl(instance)) << "registering twice is harmless";
    WNDCLASSW parentClass{};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = instance;
    parentClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    parentClass.lpszClassName = L"KbtLinkTestParent";
    ::RegisterClassW(&parentClass);
    parent = ::CreateWindowExW(0, L"KbtLinkTestParent", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 200,
                               nullptr, nullptr, instance, nullptr);
    ASSERT_NE(parent, nullptr);
    ::SetWindowLongPtrW(parent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    link = ::CreateWindowExW(WS_EX_TRANSPARENT, L"MySysLink", L"ignored", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10,
                             300, 40, parent, reinterpret_cast<HMENU>(3065), instance, nullptr);
    ASSERT_NE(link, nullptr);
    ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ::SetWindowTextW(link, L"<a href=\"https://www.example.com/t\">Shown</a>");
    Pump();
  }

  void TearDown() override {
    if (parent) ::DestroyWindow(parent);
    Pump();
  }

  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }

  int Property(const wchar_t* name) const { return static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(link, name))); }
  void Send(UINT message, int x, int y) { ::SendMessageW(link, message, 0, MAKELPARAM(x, y)); }

  HWND parent = nullptr;
  HWND link = nullptr;
  std::vector<std::wstring> clicks;
  UINT lastMask = 0;
  HWND lastFrom = nullptr;
  UINT_PTR lastId = 99;
};

TEST_F(LinkControlTest, TextGivenAtCreationIsNotShown) {
  HWND fresh = ::CreateWindowExW(0, L"MySysLink", L"<a href=\"x\">created</a>", WS_CHILD, 0, 0, 100, 20, parent,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(::GetPropW(fresh, L"cx")), 0);
  EXPECT_EQ(static_cast<const wchar_t*>(::GetPropW(fresh, L"WindowText"))[0], L'\0');
  ::DestroyWindow(fresh);
}

TEST_F(LinkControlTest, MeasuresTheDisplayedTextWithItsUnderlinedFont) {
  const int width = Property(L"cx");
  const int height = Property(L"cy");
  EXPECT_GT(width, 10);
  EXPECT_GT(height, 5);
  HFONT own = static_cast<HFONT>(::GetPropW(link, L"hFont"));
  ASSERT_NE(own, nullptr);
  LOGFONTW description{};
  ASSERT_NE(::GetObjectW(own, sizeof description, &description), 0);
  EXPECT_TRUE(description.lfUnderline);
  // A larger font is measured again, and the clickable area follows.
  LOGFONTW larger = description;
  larger.lfHeight = description.lfHeight * 2;
  larger.lfUnderline = FALSE;
  HFONT big = ::CreateFontIndirectW(&larger);
  ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
  EXPECT_GT(Property(L"cx"), width);
  EXPECT_GT(Property(L"cy"), height);
  EXPECT_NE(::GetPropW(link, L"hFont"), big) << "the control keeps its own copy";
  ::DeleteObject(big);
}

TEST_F(LinkControlTest, AFontItCannotReadIsNeitherKeptNorLeaksTheOldOne) {
  HFONT own = static_cast<HFONT>(::GetPropW(link, L"hFont"));
  ASSERT_NE(own, nullptr);
  ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(WHITE_BRUSH)), TRUE);
  EXPECT_EQ(::GetPropW(link, L"hFont"), nullptr) << "a handle the control did not make is never its to delete";
  LOGFONTW description{};
  EXPECT_EQ(::GetObjectW(own, sizeof description, &description), 0) << "the font it made is released";
  EXPECT_NE(::GetObjectW(::GetStockObject(WHITE_BRUSH), sizeof(LOGBRUSH), &description), 0);
}

TEST_F(LinkControlTest, ClickOnTheLinkNotifiesTheParentWithTheTarget) {
  Send(WM_LBUTTONDOWN, 2, 2);
  EXPECT_EQ(::GetCapture(), link);
  EXPECT_EQ(::GetFocus(), link);
  EXPECT_EQ(Property(L"HasFocus"), 1);
  Send(WM_LBUTTONUP, 2, 2);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], L"https://www.example.com/t");
  EXPECT_EQ(lastMask, static_cast<UINT>(LIF_ITEMINDEX | LIF_URL));
  EXPECT_EQ(lastFrom, link);
  EXPECT_EQ(lastId, 0u);
  EXPECT_EQ(::GetCapture(), nullptr);
}

// Enter must reach the link rather than press the dialog's default button; a held key acts once.
TEST_F(LinkControlTest, EnterAndSpaceFollowTheLink) {
  MSG enter{link, WM_KEYDOWN, VK_RETURN, 1, 0, {0, 0}};
  EXPECT_EQ(::SendMessageW(link, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTMESSAGE,
            DLGC_WANTMESSAGE);
  MSG tab{link, WM_KEYDOWN, VK_TAB, 1, 0, {0, 0}};
  EXPECT_EQ(::SendMessageW(link, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&tab)), 0) << "Tab still moves on";
  ::SendMessageW(link, WM_KEYDOWN, VK_RETURN, 1);
  ::SendMessageW(link, WM_KEYDOWN, VK_SPACE, 1);
  ::SendMessageW(link, WM_KEYDOWN, VK_SPACE, 1 | (1 << 30));
  EXPECT_EQ(clicks, std::vector<std::wstring>(2, L"https://www.example.com/t"));
}

TEST_F(LinkControlTest, PressOnTheLinkReleasedElsewhereSendsNothing) {
  Send(WM_LBUTTONDOWN, 2, 2);
  Send(WM_MOUSEMOVE, Property(L"cx") + 20, 2);
  Send(WM_LBUTTONUP, Property(L"cx") + 20, 2);
  EXPECT_TRUE(clicks.empty());
  EXPECT_EQ(::GetCapture(), nullptr) << "the capture is released in every case";
  Send(WM_LBUTTONDOWN, 2, 2);
  Send(WM_LBUTTONUP, -5, 2) /* left of the control, while captured */;
  EXPECT_TRUE(clicks.empty());
}

TEST_F(LinkControlTest, HitTestIncludesTheRightAndBottomEdge) {
  const int cx = Property(L"cx"), cy = Property(L"cy");
  struct Point {
    int x, y;
    int onItem;
  };
  const Point points[] = {{0, 0, 1}, {cx, cy, 1}, {cx + 1, 0, 0}, {0, cy + 1, 0}, {cx / 2, cy / 2, 1}};
  for (const Point& p : points) {
    Send(WM_MOUSEMOVE, p.x, p.y);
    EXPECT_EQ(Property(L"IsOnItem"), p.onItem) << p.x << "," << p.y;
    ::SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    const HCURSOR expected = p.onItem ? static_cast<HCURSOR>(::GetPropW(link, L"IDC_HAND")) : ::LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_EQ(::GetCursor(), expected) << p.x << "," << p.y;
  }
  Send(WM_LBUTTONDOWN, cx, cy);
  Send(WM_LBUTTONUP, cx, cy);
  EXPECT_EQ(clicks.size(), 1u) << "a click on the edge pixel counts";
}

TEST_F(LinkControlTest, HandCursorComesFromTheProgramsResources) {
  HCURSOR hand = static_cast<HCURSOR>(::GetPropW(link, L"IDC_HAND"));
  ASSERT_NE(hand, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(hand, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 0u);
  EXPECT_EQ(info.hbmColor, nullptr) << "a monochrome cursor";
  BITMAP mask{};
  ::GetObjectW(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, 32);
  EXPECT_EQ(mask.bmHeight, 64);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
}

TEST_F(LinkControlTest, FocusComesAndGoes) {
  ::SetFocus(link);
  EXPECT_EQ(Property(L"HasFocus"), 1);
  ::SetFocus(parent);
  EXPECT_EQ(Property(L"HasFocus"), 0);
}

TEST_F(LinkControlTest, LongTextIsCutNeverOverrun) {
  // Cut inside the display text: the closing tag is lost, so nothing is shown, but the target stays.
  const std::wstring markup = L"<a href=\"t\">" + std::wstring(1000, L'y') + L"</a>";
  ::SetWindowTextW(link, markup.c_str());
  const auto* stored = static_cast<const wchar_t*>(::GetPropW(link, L"WindowText"));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(std::wstring(stored), markup.substr(0, kLinkTextCapacity - 1));
  EXPECT_EQ(Property(L"cx"), 0);
  Send(WM_LBUTTONDOWN, 0, 0);
  Send(WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], L"t");
  // Cut inside the target: its closing quotation mark is lost, so the target is empty.
  ::SetWindowTextW(link, (L"<a href=\"" + std::wstring(1000, L'x') + L"\">shown</a>").c_str());
  Send(WM_LBUTTONDOWN, 0, 0);
  Send(WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[1], L"");
}

TEST_F(LinkControlTest, PlainTextClickSendsAnEmptyTarget) {
  ::SetWindowTextW(link, L"no link here");
  Send(WM_LBUTTONDOWN, 1, 1);
  Send(WM_LBUTTONUP, 1, 1);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], L"");
}

// Checks at the very end of the control's life which of its properties are left.
LRESULT CALLBACK WatchProperties(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR leftOver) {
  if (message == WM_NCDESTROY) {
    auto* names = reinterpret_cast<std::vector<std::wstring>*>(leftOver);
    ::EnumPropsExW(
        window,
        [](HWND, LPWSTR name, HANDLE, ULONG_PTR into) -> BOOL {
          if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::wstring>*>(into)->push_back(name);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(names));
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(LinkControlTest, DestroyRemovesEveryProperty) {
  ::SetFocus(link);
  std::vector<std::wstring> leftOver;
  ASSERT_TRUE(::SetWindowSubclass(link, WatchProperties, 1, reinterpret_cast<DWORD_PTR>(&leftOver)));
  ::DestroyWindow(link);
  for (const wchar_t* name : {L"WindowText", L"HasFocus", L"hFont", L"IDC_HAND", L"cx", L"cy", L"IsOnItem"}) {
    for (const std::wstring& left : leftOver) EXPECT_NE(left, name);
  }
}

}  // namespace
}  // namespace kbt::ui
