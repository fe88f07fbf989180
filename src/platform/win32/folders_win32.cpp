#include "platform/folders.h"

#include "platform/paths.h"
#include "platform/win32/unique_handles_win32.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
using win32::W;

namespace {
// The names of the files, or of the folders, directly in a folder.
bool ListNames(const Text& folder, bool folders, std::vector<Text>& names) {
  names.clear();
  Text pattern = folder;
  AppendPath(pattern, u"*");
  WIN32_FIND_DATAW data;
  const win32::UniqueFindHandle find(::FindFirstFileW(W(pattern), &data));
  // An empty folder lists "." and "..", so no match at all means that the folder could not be read.
  if (!find) return !folders && ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const Text name = win32::FromW(data.cFileName);
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder == folders && name != u"." && name != u"..") names.push_back(name);
  } while (::FindNextFileW(find.Get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}
}  // namespace

bool ListFileNames(const Text& folder, std::vector<Text>& names) { return ListNames(folder, false, names); }

bool ListFolderNames(const Text& folder, std::vector<Text>& names) { return ListNames(folder, true, names); }

bool CreateNewFile(const Text& path) {
  const win32::UniqueFileHandle handle(
      ::CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(handle);
}

}  // namespace kbt::platform
