#include <utility>
#include <vector>

#include "platform/paths.h"

namespace kbt::platform {

Text PathIn(const Text& folder, const Text& name) {
  if (folder.empty()) return Text();
  Text path = folder;
  AppendPath(path, name);
  return path;
}

Text FolderOf(const Text& path) {
  Text folder = path;
  RemoveLastComponent(folder);
  return folder;
}

}  // namespace kbt::platform

namespace kbt::platform::detail {

Text CollapseDots(const Text& path, size_t rootLength, char16_t separator, bool keepTrailingSeparator) {
  std::vector<Text> parts;
  for (size_t start = rootLength; start <= path.size();) {
    size_t end = path.find(separator, start);
    if (end == Text::npos) end = path.size();
    Text part = path.substr(start, end - start);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  Text out = path.substr(0, rootLength);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  if (keepTrailingSeparator && !parts.empty() && path.back() == separator) out += separator;
  return out;
}

}  // namespace kbt::platform::detail
