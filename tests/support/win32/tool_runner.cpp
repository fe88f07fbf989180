#include "support/win32/tool_runner.h"

#include <set>

namespace kbt::testing {
namespace {

struct BoxSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectBoxes(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  ::GetClassNameW(window, className, 64);
  if (owner == search->processId && std::wstring(className) == L"#32770" && ::IsWindowVisible(window) &&
      ::GetDlgItem(window, 0xFFFF) != nullptr) {
    search->found.push_back(window);
  }
  return TRUE;
}

void PumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void DrainPipe(HANDLE pipe, std::string& into) {
  if (!pipe) return;
  DWORD available = 0;
  while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
    into.append(buffer, got);
  }
}

LRESULT CALLBACK ClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// The first line of its text that the box breaks: measured with the message font that boxes use,
// against the width of the box's text control.
std::wstring WrappedLine(HWND box, const std::wstring& text) {
  RECT area{};
  HWND control = ::GetDlgItem(box, 0xFFFF);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!control || !::GetClientRect(control, &area) ||
      !::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    return L"(the box cannot be measured)";
  }
  HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  std::wstring wrapped;
  for (size_t start = 0; start <= text.size() && wrapped.empty();) {
    const size_t end = std::min(text.find(L"\r\n", start), text.size());
    const std::wstring line = text.substr(start, end - start);
    RECT broken = area, whole = area;
    ::DrawTextW(dc, line.c_str(), -1, &broken, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    ::DrawTextW(dc, line.c_str(), -1, &whole, DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
    if (broken.bottom - broken.top > whole.bottom - whole.top) wrapped = line;
    start = end + 2;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  ::DeleteObject(font);
  return wrapped;
}

}  // namespace

std::wstring ControlText(HWND dialog, int id) {
  wchar_t buffer[4096] = {};
  ::GetDlgItemTextW(dialog, id, buffer, 4096);
  return buffer;
}

std::wstring BuildFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring ToolPath() { return BuildFolder() + L"\\BackupTool.exe"; }

ToolRun RunTool(const std::wstring& arguments, const ToolOptions& options) {
  ToolRun run;
  std::wstring commandLine = L"\"" + (options.program.empty() ? ToolPath() : options.program) + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // One pipe for each stream the test captures; the child inherits only their write ends.
  HANDLE errorRead = nullptr, errorWrite = nullptr, outputRead = nullptr, outputWrite = nullptr;
  auto openPipe = [&](bool wanted, HANDLE& readEnd, HANDLE& writeEnd) {
    if (wanted && ::CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) {
      ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    }
  };
  openPipe(options.captureStandardError, errorRead, errorWrite);
  openPipe(options.captureStandardOutput, outputRead, outputWrite);
  const bool redirect = errorWrite || outputWrite;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  // Streams the test does not capture are none at all, as for a start from the desktop: the
  // tool would otherwise write into this test's own redirected output instead of showing its box.
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = errorWrite;
  startup.hStdOutput = outputWrite;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION process{};
  std::wstring mutableLine = commandLine;
  if (!::CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, redirect, 0, nullptr,
                        options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(), &startup,
                        &process)) {
    run.exitCode = ::GetLastError();
    run.timedOut = true;
    for (HANDLE pipe : {errorRead, errorWrite, outputRead, outputWrite}) {
      if (pipe) ::CloseHandle(pipe);
    }
    return run;
  }
  if (errorWrite) ::CloseHandle(errorWrite);
  if (outputWrite) ::CloseHandle(outputWrite);

  std::set<HWND> answered;
  const DWORD start = ::GetTickCount();
  for (;;) {
    PumpMessages();
    DrainPipe(errorRead, run.standardError);
    DrainPipe(outputRead, run.standardOutput);
    if (::WaitForSingleObject(process.hProcess, 30) == WAIT_OBJECT_0) break;
    BoxSearch search{process.dwProcessId, {}};
    ::EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
      if (answered.count(box)) continue;
      SeenBox seen;
      wchar_t caption[1024] = {};
      ::GetWindowTextW(box, caption, 1024);
      seen.caption = caption;
      seen.text = ControlText(box, 0xFFFF);
      seen.wrappedLine = WrappedLine(box, seen.text);
      seen.owner = ::GetWindow(box, GW_OWNER);
      run.boxes.push_back(seen);
      answered.insert(box);
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(options.answer, BN_CLICKED), 0);
    }
    if (::GetTickCount() - start > options.timeoutMs) {
      run.timedOut = true;
      ::TerminateProcess(process.hProcess, 999);
      ::WaitForSingleObject(process.hProcess, 5000);
      break;
    }
  }
  DrainPipe(errorRead, run.standardError);
  DrainPipe(outputRead, run.standardOutput);
  ::GetExitCodeProcess(process.hProcess, &run.exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (errorRead) ::CloseHandle(errorRead);
  if (outputRead) ::CloseHandle(outputRead);
  return run;
}

FakeClientWindow::FakeClientWindow(const std::wstring& title) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ClientProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"Kestrove_MainViewClass";
  ::RegisterClassW(&windowClass);
  window_ = ::CreateWindowExW(0, L"Kestrove_MainViewClass", title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                              nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

FakeClientWindow::~FakeClientWindow() {
  if (window_) ::DestroyWindow(window_);
  PumpMessages();
}

}  // namespace kbt::testing
