#include "regfile/key_path.h"

#include <algorithm>
#include <vector>

#include "res/non_localizable.h"

namespace kbt {

namespace {
using View = std::u16string_view;

std::vector<View> Names(View path) {
  std::vector<View> names;
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find(u'\\', start), path.size());
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

View TrimBlanks(View name) {
  while (!name.empty() && (name.front() == u' ' || name.front() == u'\t')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == u' ' || name.back() == u'\t')) name.remove_suffix(1);
  return name;
}

bool SameName(View a, View b) { return EqualsIgnoreAsciiCase(Text(a), Text(b)); }
}  // namespace

Text NormalKeyPath(View path) {
  Text normal;
  for (View name : Names(path)) {
    if (!normal.empty()) normal += u'\\';
    normal.append(name);
  }
  return normal;
}

Text KeyPathIn(const Text& key, const Text& name) {
  return key.empty() ? name : key + u'\\' + name;
}

Text ParentKeyPath(const Text& key) {
  const Text normal = NormalKeyPath(key);
  const size_t last = normal.rfind(u'\\');
  return last == Text::npos ? Text() : normal.substr(0, last);
}

bool IsKeySameOrBelow(const Text& key, const Text& base) {
  const std::vector<View> names = Names(key), baseNames = Names(base);
  if (names.size() < baseNames.size()) return false;
  for (size_t i = 0; i < baseNames.size(); ++i) {
    if (!SameName(names[i], baseNames[i])) return false;
  }
  return true;
}

bool IsToolKey(const Text& key) {
  // The branch is the tool's key without its version: every version of it is the tool's.
  static const std::vector<View> branch = [] {
    std::vector<View> names = Names(names::kToolKey);
    names.pop_back();
    return names;
  }();
  size_t level = 0;
  for (View name : Names(key)) {
    if (level == branch.size()) break;
    name = TrimBlanks(name);
    if (name.empty()) continue;
    if (!SameName(name, branch[level])) return false;
    ++level;
  }
  return level == branch.size();
}

bool IsClientKey(const Text& key) { return IsKeySameOrBelow(key, names::kClientKey) && !IsToolKey(key); }

}  // namespace kbt
