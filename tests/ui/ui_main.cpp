// ui_tests: drives the real BackupTool.exe, and tests the hyperlink control in this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/wizard_driver.h"

namespace {

// On a desktop of its own, as Wine draws it inside a window, the wizard gets its frame as on
// Windows, and nothing else on the display covers it.
void UseOwnDesktop() {
  const wchar_t* name = L"kbt-ui";
  HKEY desktops = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &desktops, nullptr) == ERROR_SUCCESS) {
    const wchar_t size[] = L"1024x768";
    ::RegSetValueExW(desktops, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(size), sizeof size);
    ::RegCloseKey(desktops);
  }
  HDESK desktop = ::CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (desktop && ::SetThreadDesktop(desktop)) kbt::testing::SetToolDesktop(name);
}

// Wine draws caption buttons with Marlett and dialogs with Tahoma; where it did not install its
// own copies into the prefix, the test prefix gets them, so pictures look as on Windows.
void InstallWineFonts() {
  wchar_t windows[MAX_PATH] = {};
  if (!::GetWindowsDirectoryW(windows, MAX_PATH)) return;
  for (const wchar_t* name : {L"marlett.ttf", L"tahoma.ttf", L"tahomabd.ttf"}) {
    const std::wstring from = std::wstring(L"Z:\\usr\\share\\wine\\fonts\\") + name;
    const std::wstring to = std::wstring(windows) + L"\\Fonts\\" + name;
    if (::GetFileAttributesW(from.c_str()) != INVALID_FILE_ATTRIBUTES) ::CopyFileW(from.c_str(), to.c_str(), TRUE);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Like the tool, so that measurements here see the same pixels at any DPI.
  ::SetProcessDPIAware();
  InstallWineFonts();
  UseOwnDesktop();
  return RUN_ALL_TESTS();
}
