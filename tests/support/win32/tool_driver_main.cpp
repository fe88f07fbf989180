// tooldriver: runs BackupTool.exe with the given arguments, prints every message box it shows
// (answering OK), its standard error and its exit code. Used by scripts/demo and scripted checks.
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/win32/tool_runner.h"

namespace {
std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += L" ";
    const std::wstring argument = argv[i];
    arguments += argument.find(L' ') != std::wstring::npos ? L"\"" + argument + L"\"" : argument;
  }
  kbt::testing::ToolOptions options;
  options.captureStandardError = true;
  const kbt::testing::ToolRun run = kbt::testing::RunTool(arguments, options);
  for (const auto& box : run.boxes) {
    std::printf("[message box] %s\n", Utf8(box.caption).c_str());
    std::string text = Utf8(box.text);
    for (char& c : text) {
      if (c == '\r') c = ' ';
    }
    std::printf("%s\n", text.c_str());
  }
  if (!run.standardError.empty()) std::printf("[standard error]\n%s", run.standardError.c_str());
  std::printf("[exit code] %ld\n", static_cast<long>(run.exitCode));
  return run.timedOut ? 2 : 0;
}
