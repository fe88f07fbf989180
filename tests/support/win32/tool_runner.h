#pragma once
// Starts BackupTool.exe, answers the message boxes it shows, and reports what happened.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kbt::testing {

struct SeenBox {
  std::wstring caption;
  std::wstring text;
  HWND owner = nullptr;
  UINT icon = 0;  // MB_ICON* guessed from the box's icon control, 0 when unknown
  std::wstring wrappedLine;  // the first line of the text that the box breaks, if any
};

struct ToolRun {
  DWORD exitCode = STILL_ACTIVE;
  bool timedOut = false;
  std::vector<SeenBox> boxes;
  std::string standardError;   // only when captured
  std::string standardOutput;  // only when captured
};

struct ToolOptions {
  int answer = IDOK;          // button pressed on every message box
  DWORD timeoutMs = 120000;
  bool captureStandardError = false;
  bool captureStandardOutput = false;
  std::wstring workingFolder;  // empty: the test's own
  std::wstring program;        // empty: BackupTool.exe
};

// The folder of the running test program, where BackupTool.exe is built beside it.
std::wstring BuildFolder();
std::wstring ToolPath();

ToolRun RunTool(const std::wstring& arguments, const ToolOptions& options = {});

// A top-level window of the client's main window class, for the running-client check.
class FakeClientWindow {
 public:
  explicit FakeClientWindow(const std::wstring& title);
  ~FakeClientWindow();
  HWND Handle() const { return window_; }

 private:
  HWND window_ = nullptr;
};

// Reads the static text of a dialog control by id.
std::wstring ControlText(HWND dialog, int id);

}  // namespace kbt::testing
