#include "ui/wizard_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include "res/resource.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {

std::wstring g_desktop;

// The property sheet's own button ids.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

int ButtonId(WizardButton button) {
  switch (button) {
    case WizardButton::Back: return kBackButton;
    case WizardButton::Next: return kNextButton;
    case WizardButton::Finish: return kFinishButton;
    case WizardButton::Cancel: return IDCANCEL;
  }
  return 0;
}

int PressIndex(WizardButton button) {
  switch (button) {
    case WizardButton::Back: return PSBTN_BACK;
    case WizardButton::Next: return PSBTN_NEXT;
    case WizardButton::Finish: return PSBTN_FINISH;
    case WizardButton::Cancel: return PSBTN_CANCEL;
  }
  return 0;
}

// The filter combo box of the common file dialogs.
constexpr int kFileTypeCombo = 0x470;

enum class Kind { Wizard, MessageBox, FileDialog };

struct Search {
  DWORD processId;
  Kind kind;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (owner != search->processId || std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
  const bool isWizard = ::GetDlgItem(window, kNextButton) != nullptr;
  const bool isBox = ::GetDlgItem(window, 0xFFFF) != nullptr;
  const bool isFileDialog = ::GetDlgItem(window, kFileTypeCombo) != nullptr;
  bool wanted = false;
  switch (search->kind) {
    case Kind::Wizard: wanted = isWizard; break;
    case Kind::MessageBox: wanted = isBox && !isWizard && !isFileDialog; break;
    case Kind::FileDialog: wanted = isFileDialog; break;
  }
  if (wanted) search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> Find(DWORD processId, Kind kind) {
  Search search{processId, kind, {}};
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

void SetToolDesktop(const std::wstring& name) { g_desktop = name; }

std::wstring ScreenshotFolder() {
  std::wstring folder = Environment(L"KBT_SCREENSHOTS");
  if (folder.empty()) {
    folder = BuildFolder() + L"\\screenshots";
  } else if (folder[0] == L'/') {
    // A Unix path from the shell that started Wine: the same folder on drive Z.
    for (wchar_t& c : folder) {
      if (c == L'/') c = L'\\';
    }
    folder = L"Z:" + folder;
  }
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

WizardSession::WizardSession(const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + ToolPath() + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring desktop = g_desktop;
  if (!desktop.empty()) startup.lpDesktop = &desktop[0];
  if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
    process_ = PROCESS_INFORMATION{};
    return;
  }
  ::WaitForInputIdle(process_.hProcess, 10000);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 20000) {
    const std::vector<HWND> wizards = Find(process_.dwProcessId, Kind::Wizard);
    if (!wizards.empty()) {
      sheet_ = wizards.front();
      break;
    }
    if (::WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  if (sheet_) WaitForPage(IDD_WELCOME);
}

WizardSession::~WizardSession() {
  if (process_.hProcess) {
    if (!exited_ && ::WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.hProcess, 999);
      ::WaitForSingleObject(process_.hProcess, 5000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }
}

HWND WizardSession::Page() const {
  DWORD_PTR page = 0;
  if (!sheet_ || !::SendMessageTimeoutW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_BLOCK, 5000, &page)) return nullptr;
  return reinterpret_cast<HWND>(page);
}

int WizardSession::PageId() const {
  struct Marker {
    int dialog;
    int control;
  };
  static const Marker kMarkers[] = {
      {IDD_WELCOME, IDC_WELCOME_TITLE},       {IDD_OPERATION, IDC_MODE_BACKUP},
      {IDD_DATA_FOLDERS, IDC_DATA_FOLDER},    {IDD_DETAILS, IDC_INCLUDE_DATA},
      {IDD_BACKUP_LOCATION, IDC_BACKUP_PATH}, {IDD_RESTORE_LOCATION, IDC_RESTORE_PATH},
      {IDD_RESTORE_PREVIEW, IDC_PREVIEW_LIST}, {IDD_COMPLETION, IDC_RESULT_TEXT},
  };
  HWND page = Page();
  if (!page) return 0;
  for (const Marker& marker : kMarkers) {
    if (::GetDlgItem(page, marker.control)) return marker.dialog;
  }
  return 0;
}

bool WizardSession::WaitForPage(int dialogId, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  do {
    Settle();
    // The completion page counts as shown once its operation has ended and Finish is enabled, the
    // preview once its plan shows.
    const bool ready = dialogId == IDD_COMPLETION        ? IsEnabled(WizardButton::Finish)
                       : dialogId == IDD_RESTORE_PREVIEW ? Visible(IDC_PREVIEW_UNDO)
                                                         : true;
    if (PageId() == dialogId && ready) return true;
    ::Sleep(20);
  } while (::GetTickCount() - start < timeoutMs);
  return false;
}

std::wstring WizardSession::Caption() const {
  wchar_t caption[512] = {};
  if (sheet_) ::GetWindowTextW(sheet_, caption, 512);
  return caption;
}

void WizardSession::Settle() const {
  if (!sheet_) return;
  // Messages the tool posts to itself (the button states) come after our sent ones: go round twice.
  for (int round = 0; round < 3; ++round) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(sheet_, WM_NULL, 0, 0, SMTO_BLOCK, 60000, &ignored);
    ::WaitForInputIdle(process_.hProcess, 2000);
    ::Sleep(15);
  }
  // The restore page checks a file once the typing stops, beside its input: "checking" is its
  // message without the error icon.
  HWND page = Page();
  auto checking = [page] {
    return page && ::IsWindowVisible(::GetDlgItem(page, IDC_RESTORE_ERROR)) &&
           !::IsWindowVisible(::GetDlgItem(page, IDC_RESTORE_ERROR_ICON));
  };
  const DWORD start = ::GetTickCount();
  if (!checking()) return;
  while (checking() && ::GetTickCount() - start < 60000) ::Sleep(20);
  Settle();
}

void WizardSession::Press(WizardButton button) {
  ::PostMessageW(sheet_, PSM_PRESSBUTTON, PressIndex(button), 0);
  Settle();
}

bool WizardSession::IsEnabled(WizardButton button) const {
  HWND control = ::GetDlgItem(sheet_, ButtonId(button));
  return control && ::IsWindowVisible(control) && ::IsWindowEnabled(control);
}

std::wstring WizardSession::EnabledButtons() const {
  std::wstring out;
  const std::pair<WizardButton, const wchar_t*> buttons[] = {
      {WizardButton::Back, L"Back"}, {WizardButton::Next, L"Next"}, {WizardButton::Finish, L"Finish"}};
  for (const auto& [button, name] : buttons) {
    if (!IsEnabled(button)) continue;
    if (!out.empty()) out += L" ";
    out += name;
  }
  return out;
}

HWND WizardSession::Control(int id) const {
  HWND page = Page();
  return page ? ::GetDlgItem(page, id) : nullptr;
}

void WizardSession::Click(int id) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(Control(id), BM_CLICK, 0, 0, SMTO_BLOCK, 10000, &ignored);
  Settle();
}

void WizardSession::PostClick(int id) {
  ::PostMessageW(Control(id), BM_CLICK, 0, 0);
  Settle();
}

std::wstring WizardSession::Text(int id) const { return ControlText(Page(), id); }

void WizardSession::SetText(int id, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, 10000,
                        &ignored);
  Settle();
}

void WizardSession::Type(int id, const std::wstring& characters) {
  HWND control = Control(id);
  for (wchar_t c : characters) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(control, WM_CHAR, c, 1, SMTO_BLOCK, 5000, &ignored);
  }
  Settle();
}

namespace {
void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  ::SendInput(1, &input, sizeof input);
}
}  // namespace

void WizardSession::Keys(std::initializer_list<WORD> keys, WORD modifier) {
  for (WORD key : keys) {
    // Key strokes go to the foreground window, which a message box of the tool may be.
    std::vector<HWND> boxes = MessageBoxes();
    ::SetForegroundWindow(boxes.empty() ? sheet_ : boxes.front());
    if (modifier) SendKey(modifier, false);
    SendKey(key, false);
    SendKey(key, true);
    if (modifier) SendKey(modifier, true);
    ::Sleep(30);
    if (::WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) Settle();
  }
}

void WizardSession::TypeKeys(const std::wstring& text) {
  for (wchar_t c : text) {
    const SHORT scan = ::VkKeyScanW(c);
    Keys({static_cast<WORD>(scan & 0xFF)}, (scan & 0x100) ? VK_SHIFT : 0);
  }
}

HWND WizardSession::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

int WizardSession::FocusId() const {
  HWND focus = Focus();
  return focus ? ::GetDlgCtrlID(focus) : 0;
}

namespace {
// A block of memory in the tool's process, for messages that carry pointers.
class RemoteBlock {
 public:
  RemoteBlock(HANDLE process, size_t size)
      : process_(process), address_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBlock() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  BYTE* Address() const { return static_cast<BYTE*>(address_); }
  bool Write(size_t offset, const void* data, size_t size) const {
    return address_ && ::WriteProcessMemory(process_, Address() + offset, data, size, nullptr);
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return address_ && ::ReadProcessMemory(process_, Address() + offset, data, size, nullptr);
  }

 private:
  HANDLE process_;
  void* address_;
};

constexpr int kRemoteText = 1024;
}  // namespace

std::vector<std::wstring> WizardSession::ListRows(int id, int column) const {
  std::vector<std::wstring> rows;
  HWND list = Control(id);
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  RemoteBlock block(process_.hProcess, sizeof(LVITEMW) + kRemoteText * sizeof(wchar_t));
  for (int row = 0; row < count; ++row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(block.Address() + sizeof(LVITEMW));
    item.cchTextMax = kRemoteText;
    if (!block.Write(0, &item, sizeof item)) break;
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(block.Address()));
    wchar_t text[kRemoteText] = {};
    block.Read(sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t));
    rows.push_back(text);
  }
  return rows;
}

std::wstring WizardSession::ListHeading(int id) const {
  RemoteBlock block(process_.hProcess, sizeof(LVCOLUMNW) + kRemoteText * sizeof(wchar_t));
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = reinterpret_cast<wchar_t*>(block.Address() + sizeof(LVCOLUMNW));
  column.cchTextMax = kRemoteText;
  if (!block.Write(0, &column, sizeof column)) return std::wstring();
  if (!::SendMessageW(Control(id), LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(block.Address()))) return L"";
  wchar_t text[kRemoteText] = {};
  block.Read(sizeof(LVCOLUMNW), text, sizeof text - sizeof(wchar_t));
  return text;
}

bool WizardSession::Checked(int id) const {
  return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool WizardSession::Enabled(int id) const { return ::IsWindowEnabled(Control(id)) != FALSE; }

bool WizardSession::Visible(int id) const { return ::IsWindowVisible(Control(id)) != FALSE; }

std::vector<HWND> WizardSession::MessageBoxes() const { return Find(process_.dwProcessId, Kind::MessageBox); }

bool WizardSession::WaitForMessageBox(MessageBoxSeen& seen, DWORD timeoutMs) const {
  const DWORD start = ::GetTickCount();
  do {
    const std::vector<HWND> boxes = MessageBoxes();
    if (!boxes.empty()) {
      seen = MessageBoxSeen{};
      seen.window = boxes.front();
      wchar_t caption[1024] = {};
      ::GetWindowTextW(seen.window, caption, 1024);
      seen.caption = caption;
      seen.text = ControlText(seen.window, 0xFFFF);
      HWND yes = ::GetDlgItem(seen.window, IDYES);
      HWND no = ::GetDlgItem(seen.window, IDNO);
      seen.yesNo = yes && no && ::IsWindowVisible(yes) && ::IsWindowVisible(no);
      seen.noIsDefault = no && (::GetWindowLongW(no, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
      // Icon handles mean nothing in another process; the exclamation icon is the yellow one.
      ::Sleep(100);
      for (HWND child = ::GetWindow(seen.window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !::IsWindowVisible(child)) continue;
        const Capture icon = CaptureWindow(child);
        int yellow = 0;
        for (uint32_t pixel : icon.pixels) {
          const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
          if (r > 190 && g > 150 && b < 90) ++yellow;
        }
        if (yellow > 20) seen.warningIcon = true;
      }
      return true;
    }
    ::Sleep(30);
  } while (::GetTickCount() - start < timeoutMs);
  return false;
}

void WizardSession::Answer(const MessageBoxSeen& box, int button) {
  ::PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  const DWORD start = ::GetTickCount();
  while (::IsWindow(box.window) && ::GetTickCount() - start < 5000) ::Sleep(20);
  if (!exited_ && ::WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) Settle();
}

HWND WizardSession::WaitForFileDialog(DWORD timeoutMs) const {
  const DWORD start = ::GetTickCount();
  do {
    const std::vector<HWND> dialogs = Find(process_.dwProcessId, Kind::FileDialog);
    if (!dialogs.empty()) {
      ::Sleep(200);
      return dialogs.front();
    }
    ::Sleep(30);
  } while (::GetTickCount() - start < timeoutMs);
  return nullptr;
}

std::vector<std::wstring> WizardSession::ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    if (::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 511) ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

DWORD WizardSession::WaitForExit(DWORD timeoutMs) {
  if (::WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  exited_ = true;
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

DWORD WizardSession::CancelAndConfirm() {
  Press(WizardButton::Cancel);
  // Where closing loses nothing, the wizard closes without a question.
  const DWORD closed = WaitForExit(500);
  if (closed != STILL_ACTIVE) return closed;
  MessageBoxSeen box;
  if (!WaitForMessageBox(box)) return STILL_ACTIVE;
  Answer(box, IDYES);
  return WaitForExit();
}

Capture WizardSession::Screenshot() const {
  if (!sheet_) return Capture();
  // Brought to the front first, so that nothing covers it.
  ::SetForegroundWindow(sheet_);
  Settle();
  ::RedrawWindow(sheet_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  Settle();
  ::Sleep(100);
  return CaptureWindow(sheet_);
}

Capture WizardSession::AsShown() const {
  if (!sheet_) return Capture();
  ::SetForegroundWindow(sheet_);
  Settle();
  ::Sleep(100);
  return CaptureWindow(sheet_);
}

bool WizardSession::OpenRestoreLocation() {
  Press(WizardButton::Next);
  if (!WaitForPage(IDD_OPERATION)) return false;
  Click(IDC_MODE_RESTORE);
  Press(WizardButton::Next);
  return WaitForPage(IDD_RESTORE_LOCATION);
}

bool WizardSession::SaveScreenshot(const std::wstring& name) const {
  return SavePng(Screenshot(), ScreenshotFolder() + L"\\" + name + L".png");
}

}  // namespace kbt::testing
