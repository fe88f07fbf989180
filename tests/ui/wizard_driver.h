#pragma once
// Drives the wizard of a running BackupTool.exe from another process: pages, buttons, controls,
// message boxes and screenshots.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "ui/screen_capture.h"

namespace kbt::testing {

enum class WizardButton { Back, Next, Finish, Cancel };

struct MessageBoxSeen {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  bool yesNo = false;       // has Yes and No buttons
  bool noIsDefault = false;  // No is the default button
  bool warningIcon = false;  // shows the exclamation icon
};

// The desktop the tool's windows go to; empty for the default one.
void SetToolDesktop(const std::wstring& name);

class WizardSession {
 public:
  // Starts the tool with the arguments and waits for its wizard.
  explicit WizardSession(const std::wstring& arguments = L"");
  ~WizardSession();
  WizardSession(const WizardSession&) = delete;
  WizardSession& operator=(const WizardSession&) = delete;

  bool Started() const { return sheet_ != nullptr; }
  DWORD ProcessId() const { return process_.dwProcessId; }
  HWND Sheet() const { return sheet_; }
  HWND Page() const;
  // The dialog id of the page shown, found by a control only that page has; 0 when unknown.
  int PageId() const;
  // Waits until the page with this dialog id is shown and the wizard is idle.
  bool WaitForPage(int dialogId, DWORD timeoutMs = 10000);
  // From the welcome page to the restore location page.
  bool OpenRestoreLocation();
  std::wstring Caption() const;

  // Posted, so that a message box it opens does not block the driver; then waits until idle.
  void Press(WizardButton button);
  bool IsEnabled(WizardButton button) const;
  // Enabled buttons among Back, Next and Finish as "Back Next", "Finish", ...
  std::wstring EnabledButtons() const;

  HWND Control(int id) const;
  void Click(int id);
  void PostClick(int id);
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);
  // Types characters one by one, as the keyboard would.
  void Type(int id, const std::wstring& characters);
  // Real key strokes (SendInput) to the wizard in front, each with the modifier held when one is given.
  void Keys(std::initializer_list<WORD> keys, WORD modifier = 0);
  // Real key strokes typing the text into whatever has the focus.
  void TypeKeys(const std::wstring& text);
  // The window with the keyboard focus in the tool, and its control id (0 for none).
  HWND Focus() const;
  int FocusId() const;
  // The rows of a list view (the texts of one column), and the heading of its first column.
  std::vector<std::wstring> ListRows(int id, int column = 0) const;
  std::wstring ListHeading(int id) const;
  bool Checked(int id) const;
  bool Enabled(int id) const;
  bool Visible(int id) const;

  // Lets the tool handle what was sent and posted to it.
  void Settle() const;
  std::vector<HWND> MessageBoxes() const;
  bool WaitForMessageBox(MessageBoxSeen& seen, DWORD timeoutMs = 10000) const;
  void Answer(const MessageBoxSeen& box, int button);
  // The Open or Save As dialog of the tool; null when none shows within the time.
  HWND WaitForFileDialog(DWORD timeoutMs = 10000) const;
  // The entries of a combo box in another window of the tool.
  static std::vector<std::wstring> ComboItems(HWND combo);
  // Waits for the process to end; STILL_ACTIVE when it did not.
  DWORD WaitForExit(DWORD timeoutMs = 15000);
  // Cancels the wizard and confirms where it asks; the exit code.
  DWORD CancelAndConfirm();

  Capture Screenshot() const;
  // What the screen shows now, without asking the wizard to paint anew.
  Capture AsShown() const;
  // Saves a screenshot under the screenshot folder; false when it could not be written.
  bool SaveScreenshot(const std::wstring& name) const;

 private:
  PROCESS_INFORMATION process_{};
  HWND sheet_ = nullptr;
  bool exited_ = false;
};

// Where screenshots go: the folder named by KBT_SCREENSHOTS, else "screenshots" beside the tests.
std::wstring ScreenshotFolder();

}  // namespace kbt::testing
