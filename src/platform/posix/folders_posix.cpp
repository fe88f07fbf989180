#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

namespace kbt::platform {
namespace {
struct DirectoryTraits {
  using Type = DIR*;
  static Type Invalid() { return nullptr; }
  static bool Close(Type directory) { return ::closedir(directory) == 0; }
};
}  // namespace

bool ListFileNames(const Text& folder, std::vector<Text>& names) {
  names.clear();
  const UniqueHandle<DirectoryTraits> directory(::opendir(ToUtf8(folder).c_str()));
  if (!directory) return false;
  while (const dirent* entry = ::readdir(directory.Get())) {
    Text path = folder;
    const Text name = FromUtf8(entry->d_name);
    AppendPath(path, name);
    struct stat info {};
    if (::stat(ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(name);
  }
  return true;
}

bool ListFolderNames(const Text& folder, std::vector<Text>& names) {
  names.clear();
  const UniqueHandle<DirectoryTraits> directory(::opendir(ToUtf8(folder).c_str()));
  if (!directory) return false;
  while (const dirent* entry = ::readdir(directory.Get())) {
    const Text name = FromUtf8(entry->d_name);
    if (name == u"." || name == u"..") continue;
    Text path = folder;
    AppendPath(path, name);
    struct stat info {};
    if (::lstat(ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) names.push_back(name);
  }
  return true;
}

bool CreateNewFile(const Text& path) {
  const int fd = ::open(ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace kbt::platform
