// Every text of every page fits its control in both languages, measured with the control's own
// font: the pages are built here from BackupTool.exe's own templates; the header texts are
// measured against the header of the running wizard. Run once as it is (96 DPI) and once more in
// a child process for each of 120 and 144 DPI.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/non_localizable.h"
#include "res/resource.h"
#include "support/win32/tool_runner.h"
#include "ui/gdi_owners.h"
#include "ui/link_control.h"
#include "ui/wizard_driver.h"

namespace kbt::testing {
namespace {

constexpr LANGID kLanguages[] = {1033, 1031};
constexpr int kPages[] = {IDD_WELCOME,         IDD_OPERATION,        IDD_DATA_FOLDERS, IDD_DETAILS,
                          IDD_BACKUP_LOCATION, IDD_RESTORE_LOCATION, IDD_RESTORE_PREVIEW, IDD_COMPLETION};
constexpr int kSunkenLineHeader = 0x3027;  // the line under the sheet's header

// Where a window's client area starts in a picture of the window with its frame.
POINT ClientOffset(HWND window) {
  POINT client{0, 0};
  ::ClientToScreen(window, &client);
  RECT frame{};
  ::GetWindowRect(window, &frame);
  return {client.x - frame.left, client.y - frame.top};
}

std::wstring ModuleString(HMODULE module, unsigned id, LANGID language) {
  HRSRC block = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  const auto* p = block ? static_cast<const wchar_t*>(::LockResource(::LoadResource(module, block))) : nullptr;
  if (!p) return std::wstring();
  for (unsigned i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

// A font of this process that the test owns.
struct Font {
  explicit Font(HFONT handle) : handle(handle) {}
  ~Font() {
    if (handle) ::DeleteObject(handle);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT handle;
};

// The extent DrawText needs for the text within this width.
SIZE Needed(HFONT font, const std::wstring& text, int width, UINT format) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  RECT rect{0, 0, width, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return SIZE{rect.right, rect.bottom};
}

// Dark, as ui::InkOf counts it.
bool IsInk(uint32_t pixel) { return (pixel & 0x808080) == 0; }

INT_PTR CALLBACK QuietPage(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class TextFit : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ui::RegisterLinkControl(::GetModuleHandleW(nullptr));
    module_ = ::LoadLibraryExW(ToolPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
    owner_ = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    if (owner_) ::DestroyWindow(owner_);
    if (module_) ::FreeLibrary(module_);
  }

  // Texts the pages set at run time, in the font they draw them with.
  std::vector<std::wstring> RunTimeTexts(int page, int control, LANGID language) const {
    std::vector<std::wstring> texts;
    const std::pair<int, int> passwordTexts[] = {{IDC_PASSWORD_REASON, IDS_PASSWORD_MISSING},
                                                 {IDC_PASSWORD_REASON, IDS_PASSWORDS_DIFFER},
                                                 {IDC_RESTORE_PASSWORD_REASON, IDS_PASSWORD_WRONG},
                                                 {IDC_CHANGES_SUMMARY, IDS_BACKUP_PROTECTED_DONE}};
    for (const auto& [id, text] : passwordTexts) {
      if (id == control) texts.push_back(ModuleString(module_, text, language));
    }
    if (page == IDD_COMPLETION && control == IDC_RESULT_TEXT) {
      for (int id : {IDS_OPERATION_FAILED, IDS_OPERATION_RUNNING, IDS_BACKUP_DONE, IDS_RESTORE_DONE, IDS_RESET_DONE,
                     IDS_BACKUP_RESET_DONE, IDS_BACKUP_NOT_COMPLETED, IDS_RESTORE_NOT_COMPLETED, IDS_RESET_NOT_COMPLETED,
                     IDS_BACKUP_DONE_RESET_FAILED, IDS_BACKUP_WITH_PROBLEMS, IDS_BACKUP_CANCELLED_RESULT,
                     IDS_RESTORE_UNDONE, IDS_RESET_UNDONE, IDS_UNDO_FAILED}) {
        texts.push_back(ModuleString(module_, id, language));
      }
    } else if (page == IDD_COMPLETION && control == IDC_UNDO_TEXT) {
      for (int id : {IDS_UNDO_SAVED_RESTORE, IDS_UNDO_SAVED_RESET, IDS_UNDO_SAVED_UNDO, IDS_NO_UNDO_POINT_WRITTEN}) {
        texts.push_back(ModuleString(module_, id, language));
      }
    } else if (page == IDD_BACKUP_LOCATION && control == IDC_BACKUP_FULL_PATH) {
      std::wstring text = ModuleString(module_, IDS_FULL_BACKUP_PATH, language);
      text.replace(text.find(L"%s"), 2, L"C:\\users\\wineuser\\Documents\\Kestrove Client Backup-20261231-235959.zip");
      texts = {text};
    } else if (page == IDD_RESTORE_PREVIEW || page == IDD_RESTORE_LOCATION) {
      // The counts at their widest, and the errors and states of the restore page.
      const std::pair<int, int> shown[] = {
          {IDC_PREVIEW_SETTINGS, IDS_PREVIEW_SETTINGS}, {IDC_PREVIEW_FILES, IDS_PREVIEW_FILES},
          {IDC_PREVIEW_UNDO, IDS_PREVIEW_UNDO},         {IDC_PREVIEW_UNDO, IDS_PREVIEW_NO_UNDO},
          {IDC_PREVIEW_SETTINGS, IDS_PREVIEW_WORKING},
          {IDC_RESTORE_ERROR, IDS_RESTORE_DAMAGED_ENTRY}, {IDC_RESTORE_ERROR, IDS_CHECKING_BACKUP},
          {IDC_RESTORE_ERROR, IDS_RESTORE_NOT_BACKUP},    {IDC_RESTORE_ERROR, IDS_RESTORE_NO_FILE},
          {IDC_RESTORE_ERROR, IDS_RESTORE_TYPE_PATH},     {IDC_RESTORE_ERROR, IDS_RESTORE_CANNOT_OPEN}};
      for (const auto& [id, text] : shown) {
        if (id != control) continue;
        std::wstring filled = ModuleString(module_, text, language);
        for (size_t at = filled.find(L"%s"); at != std::wstring::npos; at = filled.find(L"%s")) filled.replace(at, 2, L"1000");
        texts.push_back(filled);
      }
    } else if (control == IDC_DATA_STATUS || control == IDC_FAVORITES_STATUS || control == IDC_DETAILS_REASON ||
               control == IDC_BACKUP_ERROR) {
      // Why a page holds Next back, with a usual path where one is named.
      const int notes[] = {IDS_FOLDER_NOT_THERE, IDS_NOTHING_CHOSEN, IDS_BACKUP_IN_CLIENT_FOLDER, IDS_FOLDER_MISSING,
                           IDS_NAME_BAD_CHARACTER, IDS_NAME_RESERVED};
      for (int note : notes) {
        if ((note == IDS_NOTHING_CHOSEN) != (control == IDC_DETAILS_REASON) ||
            (note == IDS_FOLDER_NOT_THERE) != (control == IDC_DATA_STATUS || control == IDC_FAVORITES_STATUS)) {
          continue;
        }
        std::wstring filled = ModuleString(module_, note, language);
        for (size_t at = filled.find(L"%s"); at != std::wstring::npos; at = filled.find(L"%s")) {
          filled.replace(at, 2, L"C:\\users\\wineuser\\AppData\\Roaming\\Kestrove");
        }
        texts.push_back(filled);
      }
    } else if (page == IDD_WELCOME && control == IDC_VERSION) {
      texts = {ModuleString(module_, IDS_VERSION_PREFIX, language) + L"2.0.0.0"};
    }
    return texts;
  }

  void CheckPage(int page, LANGID language, std::vector<std::wstring>& misfits) const {
    HRSRC found = ::FindResourceExW(module_, RT_DIALOG, MAKEINTRESOURCEW(page), language);
    ASSERT_NE(found, nullptr);
    const auto* dialog = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(module_, found)));
    HWND window = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), dialog, owner_, QuietPage, 0);
    ASSERT_NE(window, nullptr) << page;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      CheckControl(page, language, child, misfits);
    }
    ::DestroyWindow(window);
  }

  void CheckControl(int page, LANGID language, HWND control, std::vector<std::wstring>& misfits) const {
    wchar_t name[32] = {};
    ::GetClassNameW(control, name, 32);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const int id = ::GetDlgCtrlID(control);
    RECT client{};
    ::GetClientRect(control, &client);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(control, buffer, 1024);
    std::vector<std::wstring> texts = RunTimeTexts(page, id, language);
    if (buffer[0]) texts.push_back(buffer);

    UINT format = 0;
    int box = 0;  // room the control keeps for its check box or radio circle
    Font own(nullptr);
    const bool isStatic = _wcsicmp(name, L"Static") == 0;
    const bool isButton = _wcsicmp(name, L"Button") == 0;
    const LONG type = style & (isStatic ? SS_TYPEMASK : BS_TYPEMASK);
    if (isStatic && (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT)) {
      format = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) |
               ((style & SS_EDITCONTROL) ? DT_EDITCONTROL : 0);
    } else if (isButton && (type == BS_AUTORADIOBUTTON || type == BS_AUTOCHECKBOX)) {
      format = DT_SINGLELINE;
      box = ::GetSystemMetrics(SM_CXMENUCHECK) + 4;
    } else {
      return;
    }
    // The fonts the pages give some controls at run time.
    if (page == IDD_OPERATION && type == BS_AUTORADIOBUTTON) {
      LOGFONTW regular{};
      ::GetObjectW(font, sizeof regular, &regular);
      own.handle = ui::BoldLike(regular, reinterpret_cast<const wchar_t*>(names::kTitleFontFace)).Release();
    } else if (page == IDD_WELCOME && id == IDC_WELCOME_TITLE) {
      LOGFONTW title{};
      ::GetObjectW(font, sizeof title, &title);
      wcscpy_s(title.lfFaceName, reinterpret_cast<const wchar_t*>(names::kTitleFontFace));
      title.lfWeight = FW_BOLD;
      title.lfCharSet = DEFAULT_CHARSET;
      HDC screen = ::GetDC(nullptr);
      title.lfHeight = -::MulDiv(12, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
      ::ReleaseDC(nullptr, screen);
      own.handle = ::CreateFontIndirectW(&title);
    }
    if (own.handle) font = own.handle;
    const int width = client.right - box;
    for (const std::wstring& text : texts) {
      const SIZE needed = Needed(font, text, width, format);
      if (needed.cx > width || needed.cy > client.bottom) {
        misfits.push_back(L"page " + std::to_wstring(page) + L" language " + std::to_wstring(language) +
                          L" control " + std::to_wstring(id) + L": needs " + std::to_wstring(needed.cx) + L" x " +
                          std::to_wstring(needed.cy) + L", has " + std::to_wstring(width) + L" x " +
                          std::to_wstring(client.bottom) + L": " + text);
      }
    }
  }

  HMODULE module_ = nullptr;
  HWND owner_ = nullptr;
};

std::string Report(const std::vector<std::wstring>& misfits) {
  std::string out;
  for (const std::wstring& misfit : misfits) {
    for (wchar_t c : misfit) out += c < 128 ? static_cast<char>(c) : '?';
    out += "\n";
  }
  return out;
}

TEST_F(TextFit, EveryTextOfEveryPageFitsItsControl) {
  std::vector<std::wstring> misfits;
  for (LANGID language : kLanguages) {
    for (int page : kPages) CheckPage(page, language, misfits);
  }
  EXPECT_TRUE(misfits.empty()) << Report(misfits);
}

// The sheet draws the header titles in the bold and the subtitles in the plain icon-title font,
// from the left margin to the header bitmap and down to the line under the header; the subtitle
// starts below the title's line (the layout of WizardSheet::PaintHeaderTexts).
TEST_F(TextFit, EveryHeaderTextFitsTheHeader) {
  struct Header {
    int title;
    int subtitle;
  };
  const Header headers[] = {{IDS_OPERATIONS_TITLE, IDS_OPERATIONS_SUBTITLE}, {IDS_SETTINGS_TITLE, IDS_SETTINGS_SUBTITLE},
                            {IDS_DETAILS_TITLE, IDS_DETAILS_SUBTITLE},       {IDS_BACKUP_TITLE, IDS_BACKUP_SUBTITLE},
                            {IDS_RESTORE_TITLE, IDS_RESTORE_SUBTITLE}};
  LOGFONTW iconTitle{};
  ::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof iconTitle, &iconTitle, 0);
  Font plain(::CreateFontIndirectW(&iconTitle));
  Font bold(ui::BoldLike(iconTitle, reinterpret_cast<const wchar_t*>(names::kTitleFontFace)).Release());
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  auto scaled = [dpi](int pixels) { return ::MulDiv(pixels, dpi, 96); };
  std::vector<std::wstring> misfits;
  for (LANGID language : kLanguages) {
    WizardSession wizard(language == 1031 ? L"/language=1031" : L"");
    ASSERT_TRUE(wizard.Started());
    if (language == 1033) {
      // The welcome page's picture keeps its emblem whole: white arrows, none at the panel's sides.
      const Capture welcome = wizard.Screenshot();
      const POINT client = ClientOffset(wizard.Sheet());
      const int left = client.x, top = client.y;
      const RECT panel{left, top, left + 160, top + scaled(200)};  // the picture is 165 px wide
      const RECT sides[] = {{panel.left, panel.top, panel.left + 8, panel.bottom},
                            {panel.right - 8, panel.top, panel.right, panel.bottom}};
      EXPECT_GT(welcome.Count(0xFFFFFF, panel), 1000) << "no emblem in the welcome picture";
      for (const RECT& side : sides) EXPECT_EQ(welcome.Count(0xFFFFFF, side), 0) << "the emblem is cut at a side";
    }
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
    RECT line{};
    HWND lineHeader = ::GetDlgItem(wizard.Sheet(), kSunkenLineHeader);
    ASSERT_NE(lineHeader, nullptr);
    ::GetWindowRect(lineHeader, &line);
    ::MapWindowPoints(nullptr, wizard.Sheet(), reinterpret_cast<POINT*>(&line), 2);
    const int bitmapLeft = line.right + 1 - 69;
    const int bottom = line.top - 1;
    for (const Header& header : headers) {
      const std::wstring title = ModuleString(module_, header.title, language);
      const std::wstring subtitle = ModuleString(module_, header.subtitle, language);
      const int titleWidth = bitmapLeft - scaled(20);
      const int subtitleWidth = bitmapLeft - scaled(40);
      const SIZE titleNeeds = Needed(bold.handle, title, titleWidth, DT_SINGLELINE);
      const SIZE subtitleNeeds = Needed(plain.handle, subtitle, subtitleWidth, DT_WORDBREAK);
      const int below = scaled(10) + titleNeeds.cy + 1;
      const int subtitleTop = below > scaled(25) ? below : scaled(25);
      if (titleNeeds.cx > titleWidth) misfits.push_back(L"header title: " + title);
      if (subtitleNeeds.cx > subtitleWidth || subtitleTop + subtitleNeeds.cy > bottom) {
        misfits.push_back(L"header subtitle, language " + std::to_wstring(language) + L": needs " +
                          std::to_wstring(subtitleNeeds.cx) + L" x " + std::to_wstring(subtitleNeeds.cy) + L", has " +
                          std::to_wstring(subtitleWidth) + L" x " + std::to_wstring(bottom - subtitleTop) + L": " +
                          subtitle);
      }
    }
    // As drawn: the title in bold, and a free line between it and the subtitle.
    const Capture shot = wizard.Screenshot();
    const POINT client = ClientOffset(wizard.Sheet());
    const int dx = client.x, dy = client.y;
    std::vector<int> rowInk;
    for (int y = dy; y < dy + bottom; ++y) {
      int ink = 0;
      for (int x = dx + scaled(20); x < dx + bitmapLeft; ++x) ink += IsInk(shot.At(x, y)) ? 1 : 0;
      rowInk.push_back(ink);
    }
    size_t row = 0;
    while (row < rowInk.size() && rowInk[row] == 0) ++row;
    int titleInk = 0;
    for (; row < rowInk.size() && rowInk[row] > 0; ++row) titleInk += rowInk[row];
    bool subtitleBelow = false;
    for (; row < rowInk.size(); ++row) subtitleBelow = subtitleBelow || rowInk[row] > 0;
    EXPECT_TRUE(subtitleBelow) << "language " << language << ": the title runs into the subtitle";
    const std::wstring title = ModuleString(module_, IDS_OPERATIONS_TITLE, language);
    HDC screenDc = ::GetDC(nullptr);
    const int plainInk = ui::InkOf(screenDc, plain.handle, title.c_str());
    const int boldInk = ui::InkOf(screenDc, bold.handle, title.c_str());
    ::ReleaseDC(nullptr, screenDc);
    EXPECT_GT(titleInk, (plainInk + boldInk) / 2)
        << "language " << language << ": the title is not bold";
    EXPECT_EQ(wizard.CancelAndConfirm(), 0u);
  }
  EXPECT_TRUE(misfits.empty()) << Report(misfits);
}

// The same checks at 120 and 144 DPI: Wine takes the system DPI from "LogPixels" under
// HKCU\Control Panel\Desktop when a process starts, so a child run of these tests sees it.
class TextFitAtDpi : public ::testing::TestWithParam<DWORD> {};

TEST_P(TextFitAtDpi, EveryTextFits) {
  wchar_t marker[8] = {};
  if (::GetEnvironmentVariableW(L"KBT_TEXT_FIT_CHILD", marker, 8) > 0) {
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), _wtoi(marker)) << "the prefix was set to that DPI";
    ::ReleaseDC(nullptr, screen);
    return;
  }
  HKEY desktop = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &desktop, nullptr),
            ERROR_SUCCESS);
  DWORD before = 0, size = sizeof before;
  const bool had = ::RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before),
                                      &size) == ERROR_SUCCESS;
  const DWORD dpi = GetParam();
  ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);

  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=TextFit*";
  ::SetEnvironmentVariableW(L"KBT_TEXT_FIT_CHILD", std::to_wstring(dpi).c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started =
      ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
  ::SetEnvironmentVariableW(L"KBT_TEXT_FIT_CHILD", nullptr);
  DWORD code = 1;
  if (started) {
    ::WaitForSingleObject(child.hProcess, 300000);
    ::GetExitCodeProcess(child.hProcess, &code);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
  }
  if (had) {
    ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before), sizeof before);
  } else {
    ::RegDeleteValueW(desktop, L"LogPixels");
  }
  ::RegCloseKey(desktop);
  ASSERT_TRUE(started);
  EXPECT_EQ(code, 0u) << "the text-fit tests at " << dpi << " DPI (their output is above)";
}

INSTANTIATE_TEST_SUITE_P(Dpi, TextFitAtDpi, ::testing::Values(120u, 144u));

}  // namespace
}  // namespace kbt::testing
