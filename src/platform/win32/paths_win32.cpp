#include <shlwapi.h>

#include <vector>

#include "platform/paths.h"
#include "platform/files.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
using win32::W;

const char16_t kPathSeparator = u'\\';

namespace {
// The shell's path functions work in buffers of MAX_PATH; longer paths are joined by hand.
std::vector<wchar_t> Buffer(const Text& text, size_t extra) {
  std::vector<wchar_t> buffer(text.size() + extra + MAX_PATH + 2, L'\0');
  std::copy(text.begin(), text.end(), buffer.begin());
  return buffer;
}
}  // namespace

void AppendPath(Text& path, const Text& more) {
  if (path.size() + more.size() + 2 < MAX_PATH) {
    auto buffer = Buffer(path, more.size());
    if (::PathAppendW(buffer.data(), W(more))) {
      path = win32::FromW(buffer.data());
      return;
    }
  }
  size_t start = 0;
  while (start < more.size() && more[start] == u'\\') ++start;
  if (!path.empty() && path.back() != u'\\') path += u'\\';
  path += more.substr(start);
}

void RemoveLastComponent(Text& path) {
  if (path.size() < MAX_PATH) {
    auto buffer = Buffer(path, 0);
    ::PathRemoveFileSpecW(buffer.data());
    path = win32::FromW(buffer.data());
    return;
  }
  // Longer than the shell takes: its root ("C:\", "\\server\share") lies far before the last separator.
  const size_t last = path.rfind(u'\\');
  path.resize(last == Text::npos ? 0 : last);
}

Text FileNamePart(const Text& path) { return win32::FromW(::PathFindFileNameW(W(path))); }

void AddTrailingSeparator(Text& path) {
  if (path.empty() || path.back() != u'\\') path += u'\\';
}

bool IsRelativePath(const Text& path) { return ::PathIsRelativeW(W(path)) != FALSE; }

namespace {
// The part that ".." never climbs above: "C:\", "\\server\share\" or "\".
size_t RootLength(const Text& path) {
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return 3;
  if (path.compare(0, 2, u"\\\\") == 0) {
    const size_t server = path.find(u'\\', 2);
    if (server == Text::npos) return path.size();
    const size_t share = path.find(u'\\', server + 1);
    return share == Text::npos ? path.size() : share + 1;
  }
  return !path.empty() && path[0] == u'\\' ? 1 : 0;
}

}  // namespace

Text CanonicalPath(const Text& path) {
  // PathCanonicalizeW's work, by hand where the path is longer than it takes.
  if (path.size() >= MAX_PATH) return detail::CollapseDots(path, RootLength(path), u'\\', true);
  wchar_t buffer[MAX_PATH] = {};
  if (!::PathCanonicalizeW(buffer, W(path))) return path;
  // The shell keeps doubled separators ("C:\\a.zip" from a root and a name joined by hand).
  Text canonical = win32::FromW(buffer);
  const size_t root = RootLength(canonical);
  for (size_t i = canonical.size(); i > (root > 1 ? root : 1); --i) {
    if (canonical[i - 1] == u'\\' && canonical[i - 2] == u'\\') canonical.erase(i - 1, 1);
  }
  return canonical;
}

// Not PathIsDirectoryW, which takes at most MAX_PATH characters.
bool IsExistingFolder(const Text& path) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsOnAbsentDrive(const Text& path) {
  Text root;
  if (path.size() >= 2 && path[1] == u':') {
    root = path.substr(0, 2) + u'\\';
  } else if (path.compare(0, 2, u"\\\\") == 0 && path.compare(0, 4, u"\\\\?\\") != 0 &&
             path.compare(0, 4, u"\\\\.\\") != 0) {
    // \\server\share\: the share is the drive.
    const size_t server = path.find(u'\\', 2);
    if (server == Text::npos || server == 2) return false;
    const size_t share = path.find(u'\\', server + 1);
    root = path.substr(0, share == Text::npos ? path.size() : share) + u'\\';
    if (root.size() <= server + 2) return false;
  } else {
    return false;
  }
  return ::GetFileAttributesW(W(root)) == INVALID_FILE_ATTRIBUTES;
}

bool UnExpandEnvironment(const Text& path, Text& unexpanded) {
  // The shell puts a variable back only for the start of a path, and no variable's value comes
  // near MAX_PATH: a long path is unexpanded by its head, cut at a separator, and keeps its tail.
  size_t head = path.size();
  if (head >= MAX_PATH) {
    head = path.rfind(u'\\', MAX_PATH - 1);
    if (head == Text::npos || head == 0) return false;
  }
  wchar_t buffer[MAX_PATH] = {};
  if (!::PathUnExpandEnvStringsW(W(path.substr(0, head)), buffer, MAX_PATH)) return false;
  unexpanded = win32::FromW(buffer) + path.substr(head);
  return !unexpanded.empty();
}

}  // namespace kbt::platform
