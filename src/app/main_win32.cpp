// The Windows entry: process set-up, the main logic, shut-down.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "app/fault_exit_win32.h"
#include "app/main_logic.h"
#include "platform/win32/message_box_win32.h"
#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/wizard_entry.h"

namespace kbt {
namespace {

OperationRequest g_request(OperationMode::Backup);

// A standard handle the caller redirected to a file or pipe; null when there is none.
HANDLE Redirected(DWORD standardHandle) {
  HANDLE handle = ::GetStdHandle(standardHandle);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_UNKNOWN) return nullptr;
  return handle;
}

// Writes each line in UTF-8 to a standard handle the caller redirected; false when there is none.
bool WriteLines(DWORD standardHandle, const std::vector<Text>& lines) {
  HANDLE handle = Redirected(standardHandle);
  if (!handle) return false;
  for (const Text& entry : lines) {
    const std::string line = ToUtf8(entry) + "\n";
    DWORD written = 0;
    if (!::WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) break;
  }
  return true;
}

// A scheduled run has nobody to press OK: where the caller redirected an output, the text goes
// there instead of into a message box.
bool WriteInstead(const TextRef& text, bool outputFirst) {
  const std::vector<Text> lines{text.Resolve()};
  return (outputFirst && WriteLines(STD_OUTPUT_HANDLE, lines)) || WriteLines(STD_ERROR_HANDLE, lines);
}

class Win32Shell : public AppShell {
 public:
  void ShowUsage(const Text& problem) override {
    // A command line that is not understood is a failure: standard error only, and its own icon.
    const Text usage = platform::LoadText(IDS_USAGE);
    const Text text = problem.empty() ? usage : problem + u"\r\n\r\n" + usage;
    if (WriteInstead(text, problem.empty())) return;
    const UINT icon = problem.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
    ShowMessage(nullptr, text, IDS_USAGE_CAPTION, MB_OK | icon | MB_TASKMODAL);
  }

  bool WarnIfClientRuns() override {
    HWND client = ::FindWindowW(win32::W(names::kClientWindowClass), nullptr);
    if (!client) return false;
    ::ShowWindow(client, SW_SHOW);
    ::SetForegroundWindow(client);
    if (WriteInstead(IDS_CLIENT_RUNNING, false)) return true;
    wchar_t title[128] = {};
    ::GetWindowTextW(client, title, 128);
    ShowMessage(client, IDS_CLIENT_RUNNING, win32::FromW(title), MB_OK | MB_ICONEXCLAMATION);
    return true;
  }

  void RunWizard(OperationRequest& request) override { kbt::RunWizard(request); }

  // A caller that redirected standard error gets the messages there, one per line in UTF-8.
  void ReportLog(const ResultLog& log) override { WriteLines(STD_ERROR_HANDLE, log.Entries()); }

  void ReportAside(const Text& message) override { WriteLines(STD_ERROR_HANDLE, {message}); }

  void ReportVerify(const VerifyReport& report, const Text& archivePath) override {
    if (WriteLines(STD_OUTPUT_HANDLE, report.lines) || WriteLines(STD_ERROR_HANDLE, report.lines)) return;
    const UINT icon = report.restorable ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
    ShowMessage(nullptr, report.Summary(archivePath), IDS_VERIFY_CAPTION, MB_OK | icon | MB_TASKMODAL);
  }
};

}  // namespace
}  // namespace kbt

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandTail, int) {
  kbt::InstallFaultExit();
  ::CoInitialize(nullptr);
  ::InitCommonControls();
  kbt::RegisterWizardClasses(instance);
  kbt::Win32Shell shell;
  const int exitCode = kbt::RunMainLogic(kbt::win32::FromW(commandTail), kbt::g_request, shell);
  ::CoUninitialize();
  return exitCode;
}
