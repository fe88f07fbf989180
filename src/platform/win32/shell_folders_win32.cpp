#include <shlobj.h>

#include "platform/shell_folders.h"
#include "platform/win32/wide.h"

namespace kbt::platform {

namespace {
bool GetFolderLocation(int csidl, Text& folder) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr) return false;
  wchar_t buffer[MAX_PATH] = {};
  const bool ok = ::SHGetPathFromIDListW(items, buffer) != FALSE;
  ::CoTaskMemFree(items);
  if (ok) folder = win32::FromW(buffer);
  return ok;
}
}  // namespace

bool GetAppDataFolder(Text& folder) { return GetFolderLocation(CSIDL_APPDATA, folder); }
bool GetLocalAppDataFolder(Text& folder) { return GetFolderLocation(CSIDL_LOCAL_APPDATA, folder); }

bool GetDocumentsFolder(Text& folder) {
  wchar_t buffer[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PERSONAL, FALSE)) return false;
  folder = win32::FromW(buffer);
  return true;
}

}  // namespace kbt::platform
