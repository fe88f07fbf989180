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
  auto buffer = Buffer(path, 0);
  ::PathRemoveFileSpecW(buffer.data());
  path = win32::FromW(buffer.data());
}

Text FileNamePart(const Text& path) { return win32::FromW(::PathFindFileNameW(W(path))); }

void AddTrailingSeparator(Text& path) {
  if (path.empty() || path.back() != u'\\') path += u'\\';
}

bool IsRelativePath(const Text& path) { return ::PathIsRelativeW(W(path)) != FALSE; }

Text CanonicalPath(const Text& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (path.size() < MAX_PATH && ::PathCanonicalizeW(buffer, W(path))) return win32::FromW(buffer);
  return path;
}

bool IsExistingFolder(const Text& path) { return ::PathIsDirectoryW(W(path)) != FALSE; }

bool UnExpandEnvironment(const Text& path, Text& unexpanded) {
  wchar_t buffer[MAX_PATH] = {};
  if (!::PathUnExpandEnvStringsW(W(path), buffer, MAX_PATH)) return false;
  unexpanded = win32::FromW(buffer);
  return !unexpanded.empty();
}

}  // namespace kbt::platform
