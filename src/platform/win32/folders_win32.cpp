#include "platform/folders.h"

#include "platform/paths.h"
#include "platform/win32/unique_handles_win32.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
using win32::W;


bool ListFileNames(const Text& folder, std::vector<Text>& names) {
  names.clear();
  Text pattern = folder;
  AppendPath(pattern, u"*");
  WIN32_FIND_DATAW data;
  const win32::UniqueFindHandle find(::FindFirstFileW(W(pattern), &data));
  if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(win32::FromW(data.cFileName));
  } while (::FindNextFileW(find.Get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool ListFolderNames(const Text& folder, std::vector<Text>& names) {
  names.clear();
  Text pattern = folder;
  AppendPath(pattern, u"*");
  WIN32_FIND_DATAW data;
  const win32::UniqueFindHandle find(::FindFirstFileW(W(pattern), &data));
  if (!find) return false;
  do {
    const Text name = win32::FromW(data.cFileName);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != u"." && name != u"..") names.push_back(name);
  } while (::FindNextFileW(find.Get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool CreateNewFile(const Text& path) {
  const win32::UniqueFileHandle handle(
      ::CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(handle);
}

}  // namespace kbt::platform
