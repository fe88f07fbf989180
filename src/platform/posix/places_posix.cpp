// The native build's substitutes: absolute '/' paths, links resolved with realpath, and the
// protected folders taken from KBT_PROTECTED_FOLDERS (':'-separated) so tests can name their own.
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/places.h"

namespace kbt::platform {

bool IsPlainLocalPath(const Text& path) {
  if (path.empty() || path[0] != u'/') return false;
  size_t start = 1;
  while (start < path.size()) {
    size_t end = path.find(u'/', start);
    if (end == Text::npos) end = path.size();
    const Text component = path.substr(start, end - start);
    if (component.empty() || component == u"." || component == u"..") return false;
    if (component.find(u'\0') != Text::npos) return false;
    start = end + 1;
  }
  return true;
}

bool ResolvePath(const Text& path, Text& resolved) {
  if (!IsPlainLocalPath(path)) return false;
  std::string existing = ToUtf8(path);
  while (existing.size() > 1 && existing.back() == '/') existing.pop_back();
  std::string rest;
  struct stat info {};
  while (::lstat(existing.c_str(), &info) != 0) {
    const size_t last = existing.rfind('/');
    if (last == std::string::npos) return false;
    const std::string component = existing.substr(last + 1);
    if (!rest.empty()) rest.insert(0, 1, '/');
    rest.insert(0, component);
    existing.resize(last == 0 ? 1 : last);
  }
  char* real = ::realpath(existing.c_str(), nullptr);
  if (!real) return false;
  std::string out = real;
  std::free(real);
  if (!rest.empty()) {
    if (out.back() != '/') out += '/';
    out += rest;
  }
  resolved = FromUtf8(out);
  return true;
}

bool IsOnNetworkVolume(const Text&) { return false; }

std::vector<Text> ProtectedFolders() {
  std::string list = "/bin:/boot:/dev:/etc:/lib:/proc:/sbin:/sys:/usr";
  if (const char* value = std::getenv("KBT_PROTECTED_FOLDERS")) list = value;
  std::vector<Text> folders;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) {
      const Text folder = FromUtf8(list.substr(start, end - start));
      Text resolved;
      folders.push_back(ResolvePath(folder, resolved) ? resolved : folder);
    }
    start = end + 1;
  }
  return folders;
}

bool IsSameOrBelow(const Text& path, const Text& folder) {
  Text base = folder;
  while (base.size() > 1 && base.back() == u'/') base.pop_back();
  if (base.empty() || path.size() < base.size() || path.compare(0, base.size(), base) != 0) return false;
  return path.size() == base.size() || base == u"/" || path[base.size()] == u'/';
}

}  // namespace kbt::platform
