// Path functions of the native build: the shell's semantics with '/' as the separator.
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "platform/paths.h"

namespace kbt::platform {

const char16_t kPathSeparator = u'/';

void AppendPath(Text& path, const Text& more) {
  size_t start = 0;
  while (start < more.size() && more[start] == u'/') ++start;
  if (!path.empty() && path.back() != u'/') path += u'/';
  path += more.substr(start);
}

void RemoveLastComponent(Text& path) {
  const size_t last = path.rfind(u'/');
  if (last == Text::npos) {
    path.clear();
  } else if (last == 0) {
    path.resize(1);
  } else {
    path.resize(last);
  }
}

Text FileNamePart(const Text& path) {
  const size_t last = path.rfind(u'/');
  return last == Text::npos ? path : path.substr(last + 1);
}

void AddTrailingSeparator(Text& path) {
  if (path.empty() || path.back() != u'/') path += u'/';
}

bool IsRelativePath(const Text& path) { return path.empty() || path[0] != u'/'; }

Text CanonicalPath(const Text& path) { return detail::CollapseDots(path, IsRelativePath(path) ? 0 : 1, u'/', false); }

bool IsExistingFolder(const Text& path) {
  struct stat info {};
  return !path.empty() && ::stat(ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The native build has no drives: a missing top folder ("/media" of "/media/x") stands for one.
bool IsOnAbsentDrive(const Text& path) {
  if (IsRelativePath(path)) return false;
  const size_t end = path.find(u'/', 1);
  const Text top = path.substr(0, end);
  return top.size() > 1 && !IsExistingFolder(top);
}

bool UnExpandEnvironment(const Text& path, Text& unexpanded) {
  for (const char* name : {"APPDATA", "USERPROFILE", "HOME"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const Text prefix = FromUtf8(value);
    if (path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
        (path.size() == prefix.size() || path[prefix.size()] == u'/')) {
      unexpanded = u"%" + FromUtf8(name) + u"%" + path.substr(prefix.size());
      return true;
    }
  }
  return false;
}

}  // namespace kbt::platform
