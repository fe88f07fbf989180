#include <shlobj.h>

#include "platform/places.h"
#include "platform/win32/unique_handles_win32.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
using win32::W;

namespace {


constexpr size_t kLongestPath = 32767;
// Below this the plain spelling works everywhere; above it only the extended form does.
constexpr size_t kPlainPathLimit = 248;

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Device names stay devices with any extension and in any folder: "C:\x\NUL.bmp" is NUL.
bool IsDeviceName(const Text& component) {
  Text base = component.substr(0, component.find(u'.'));
  for (char16_t& c : base) c = LowerAscii(c);
  static const char16_t* const kNames[] = {u"con", u"prn", u"aux", u"nul", u"conin$", u"conout$", u"clock$"};
  for (const char16_t* name : kNames) {
    if (base == name) return true;
  }
  if (base.size() == 4 && (base.compare(0, 3, u"com") == 0 || base.compare(0, 3, u"lpt") == 0)) {
    const char16_t n = base[3];
    return (n >= u'0' && n <= u'9') || n == 0xB9 || n == 0xB2 || n == 0xB3;  // also COM¹ ²³
  }
  return false;
}

bool IsPlainComponent(const Text& component) {
  if (component.empty() || component == u"." || component == u"..") return false;
  if (component.back() == u'.' || component.back() == u' ') return false;
  for (char16_t c : component) {
    if (c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*' ||
        c == u'/')
      return false;
  }
  return !IsDeviceName(component);
}

// The form the file functions take for any length.
Text Extended(const Text& path) { return path.size() < kPlainPathLimit ? path : u"\\\\?\\" + path; }

bool Exists(const Text& path) { return ::GetFileAttributesW(W(Extended(path))) != INVALID_FILE_ATTRIBUTES; }

// The final path of an existing file or folder, in its plain DOS spelling.
bool FinalPath(const Text& existing, Text& final) {
  win32::UniqueFileHandle handle(::CreateFileW(W(Extended(existing)), 0,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return false;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return false;
    if (length < buffer.size()) {
      final = win32::FromW(buffer.data(), length);
      break;
    }
    if (length > kLongestPath + 8) return false;
    buffer.resize(length + 1);
  }
  if (final.compare(0, 8, u"\\\\?\\UNC\\") == 0) {
    final = u"\\\\" + final.substr(8);
  } else if (final.compare(0, 4, u"\\\\?\\") == 0) {
    final = final.substr(4);
  }
  return true;
}

void AddFolder(std::vector<Text>& folders, const Text& folder) {
  if (folder.empty()) return;
  Text resolved;
  folders.push_back(ResolvePath(folder, resolved) ? resolved : folder);
}

}  // namespace

bool IsPlainLocalPath(const Text& path) {
  if (path.size() < 3 || path.size() > kLongestPath) return false;
  if (!IsAsciiLetter(path[0]) || path[1] != u':' || path[2] != u'\\') return false;
  size_t start = 3;
  // A trailing separator (how folders are often written) ends the loop without an empty component.
  while (start < path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == Text::npos) end = path.size();
    if (!IsPlainComponent(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool ResolvePath(const Text& path, Text& resolved) {
  if (!IsPlainLocalPath(path)) return false;
  Text existing = path;
  while (existing.size() > 3 && existing.back() == u'\\') existing.pop_back();
  Text rest;
  while (!Exists(existing)) {
    const size_t last = existing.rfind(u'\\');
    // A drive root that does not exist has nothing above it to go on with.
    if (last == Text::npos || last < 2 || existing.size() <= 3) return false;
    const Text component = existing.substr(last + 1);
    if (!rest.empty()) rest.insert(0, 1, u'\\');
    rest.insert(0, component);
    existing.resize(last == 2 ? 3 : last);
  }
  Text final;
  if (!FinalPath(existing, final)) return false;
  if (!rest.empty()) {
    if (final.empty() || final.back() != u'\\') final += u'\\';
    final += rest;
  }
  resolved = final;
  return true;
}

bool IsOnNetworkVolume(const Text& resolved) {
  if (resolved.compare(0, 2, u"\\\\") == 0) return true;
  if (resolved.size() < 3 || !IsAsciiLetter(resolved[0]) || resolved[1] != u':') return true;
  const Text root = resolved.substr(0, 2) + u"\\";
  const UINT type = ::GetDriveTypeW(W(root));
  return type == DRIVE_REMOTE || type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN;
}

std::vector<Text> ProtectedFolders() {
  static const int kFolders[] = {
      CSIDL_WINDOWS,        CSIDL_SYSTEM,          CSIDL_SYSTEMX86,          CSIDL_PROGRAM_FILES,
      CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_COMMON_APPDATA,
      CSIDL_STARTMENU,      CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS,          CSIDL_COMMON_PROGRAMS,
      CSIDL_STARTUP,        CSIDL_COMMON_STARTUP,  CSIDL_ALTSTARTUP,         CSIDL_COMMON_ALTSTARTUP};
  std::vector<Text> folders;
  wchar_t buffer[MAX_PATH] = {};  // the shell fills at most MAX_PATH characters here
  for (int folder : kFolders) {
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer)))
      AddFolder(folders, win32::FromW(buffer));
  }
  // The shell keeps its own folders (Start menu, SendTo, Templates, Recent, ...) below these.
  for (int folder : {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA}) {
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer)))
      AddFolder(folders, win32::FromW(buffer) + u"\\Microsoft");
  }
  // Every profile but the user's own: other users', the Default and the Public one.
  for (int folder : {CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_PICTURES, CSIDL_COMMON_DESKTOPDIRECTORY}) {
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer)))
      AddFolder(folders, win32::FromW(buffer));
  }
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    Text own;
    const Text profile = win32::FromW(buffer);
    Text profiles = profile;
    while (!profiles.empty() && profiles.back() != u'\\') profiles.pop_back();
    if (ResolvePath(profile, own) && profiles.size() > 3) {
      WIN32_FIND_DATAW data;
      const win32::UniqueFindHandle find(::FindFirstFileW(W(profiles + u"*"), &data));
      for (bool more = static_cast<bool>(find); more; more = ::FindNextFileW(find.Get(), &data) != FALSE) {
        const Text name = win32::FromW(data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == u"." || name == u"..") continue;
        Text other;
        if (ResolvePath(profiles + name, other) && !(IsSameOrBelow(other, own) && IsSameOrBelow(own, other))) {
          folders.push_back(other);
        }
      }
    }
  }
  return folders;
}

bool IsSameOrBelow(const Text& path, const Text& folder) {
  Text base = folder;
  while (!base.empty() && base.back() == u'\\') base.pop_back();
  if (base.empty() || path.size() < base.size()) return false;
  if (path.size() > base.size() && path[base.size()] != u'\\') return false;
  return ::CompareStringOrdinal(W(path), static_cast<int>(base.size()), W(base), static_cast<int>(base.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace kbt::platform
