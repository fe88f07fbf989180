// ui_stall_bench: how long the wizard's window stops answering while the restore preview is made
// over a large data file. Under Wine, beside BackupTool.exe:
//   wine ui_stall_bench.exe [megabytes]
// It seeds a client profile in HKCU (removed again), backs it up, changes the file's last byte
// so that the preview must read all of it, walks the wizard to the preview and, from a thread
// of its own, measures the longest time the wizard took to answer a message until the preview
// shows its plan.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "support/win32/tool_runner.h"
#include "ui/wizard_driver.h"

namespace {
using kbt::testing::WizardButton;
using kbt::testing::WizardSession;
using Clock = std::chrono::steady_clock;

const wchar_t* const kClientKey = L"Software\\Kestrove";

bool SetString(const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kClientKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != 0) return false;
  const LONG result = ::RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return result == 0;
}

bool WriteData(const std::wstring& path, size_t megabytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<unsigned char> block(1 << 20);
  uint64_t state = 0x9E3779B97F4A7C15u;
  bool ok = true;
  for (size_t m = 0; m < megabytes && ok; ++m) {
    for (auto& byte : block) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      byte = static_cast<unsigned char>(state & 0x3F);  // compressible about 4:3, like real data
    }
    DWORD written = 0;
    ok = ::WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written == block.size();
  }
  ::CloseHandle(file);
  return ok;
}

// The last byte then differs from the backup's copy: the comparison reads the whole file.
bool FlipLastByte(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end{};
  end.QuadPart = -1;
  unsigned char byte = 0;
  DWORD done = 0;
  bool ok = ::SetFilePointerEx(file, end, nullptr, FILE_END) && ::ReadFile(file, &byte, 1, &done, nullptr) && done == 1;
  byte ^= 0xFF;
  ok = ok && ::SetFilePointerEx(file, end, nullptr, FILE_END) && ::WriteFile(file, &byte, 1, &done, nullptr);
  ::CloseHandle(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 300;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"kbt-ui-stall";
  const std::wstring data = root + L"\\data", favorites = root + L"\\favorites", archive = root + L"\\stall.zip";
  ::CreateDirectoryW(root.c_str(), nullptr);
  ::CreateDirectoryW(data.c_str(), nullptr);
  ::CreateDirectoryW(favorites.c_str(), nullptr);
  int status = 1;
  if (SetString(L"Data Path", data) && SetString(L"Favorites Folder", favorites) &&
      WriteData(data + L"\\history.dat", megabytes) &&
      kbt::testing::RunTool(L"/backup \"" + archive + L"\"").exitCode == 0 && FlipLastByte(data + L"\\history.dat")) {
    WizardSession wizard;
    bool walked = wizard.Started();
    auto next = [&](int page) { return walked && (wizard.Press(WizardButton::Next), wizard.WaitForPage(page, 600000)); };
    walked = next(IDD_OPERATION);
    if (walked) wizard.Click(IDC_MODE_RESTORE);
    walked = next(IDD_RESTORE_LOCATION);
    if (walked) wizard.SetText(IDC_RESTORE_PATH, archive);
    // The location page's own check reads the archive on its thread: Next waits for it.
    for (int i = 0; walked && i < 6000 && !wizard.IsEnabled(WizardButton::Next); ++i) ::Sleep(100);
    walked = next(IDD_DATA_FOLDERS) && next(IDD_DETAILS);
    std::atomic<bool> done{false};
    double longest = 0;
    HWND sheet = wizard.Sheet();
    std::thread pinger([&] {
      while (!done) {
        const auto start = Clock::now();
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(sheet, WM_NULL, 0, 0, SMTO_BLOCK, 60000, &ignored);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (ms > longest) longest = ms;
        ::Sleep(2);
      }
    });
    const auto start = Clock::now();
    if (walked) ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    walked = walked && wizard.WaitForPage(IDD_RESTORE_PREVIEW, 600000);
    const double planned = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    done = true;
    pinger.join();
    if (walked) {
      std::printf("data %zu MB: preview shown after %.0f ms; longest wait for the window %.1f ms\n", megabytes, planned,
                  longest);
      status = 0;
    } else {
      std::printf("the wizard did not reach the preview\n");
    }
    if (wizard.Started()) wizard.CancelAndConfirm();
  } else {
    std::printf("the profile or its backup could not be made\n");
  }
  ::DeleteFileW((data + L"\\history.dat").c_str());
  ::DeleteFileW(archive.c_str());
  ::RemoveDirectoryW(data.c_str());
  ::RemoveDirectoryW(favorites.c_str());
  ::RemoveDirectoryW(root.c_str());
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kClientKey);
  return status;
}
