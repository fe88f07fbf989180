#include "archive/directory_path.h"

#include "platform/files.h"
#include "platform/paths.h"

namespace kbt {

platform::Status CreateDirectoryPath(const Text& path) {
  using namespace platform;
  // Nothing to walk in these: the folder part of a bare file name, or a lone root.
  if (path.size() < 2) return IsExistingFolder(path) ? kAlreadyExists : kPathNotFound;

  const Status first = MakeDirectory(path);
  if (first == kSuccess) return kSuccess;
  // A path this long can't be walked within the system's limit: one attempt only.
  if (path.size() > kLongestPath || first == kFileExists || first == kFilenameTooLong) return first;

  Text buffer = path;
  AddTrailingSeparator(buffer);
  // Windows paths start with a drive root such as "C:\"; the substitute's with "/".
  const size_t start = kPathSeparator == u'/' ? 1 : 3;
  if (buffer.size() <= start) return first;

  // Every prefix that ends before a separator, the path itself last; only the last result counts.
  Status last = first;
  for (size_t i = start; i < buffer.size(); ++i) {
    if (buffer[i] == kPathSeparator) last = MakeDirectory(buffer.substr(0, i));
  }
  return last;
}

}  // namespace kbt
