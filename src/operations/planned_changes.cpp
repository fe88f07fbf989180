#include "operations/planned_changes.h"

#include "platform/paths.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

Text NormalKeyPath(const Text& path) {
  Text normal;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(u'\\', start);
    if (end == Text::npos) end = path.size();
    if (end > start) {
      if (!normal.empty()) normal += u'\\';
      normal.append(path, start, end - start);
    }
    start = end + 1;
  }
  return normal;
}

bool PlannedChanges::Once(std::set<Text>& seen, const Text& name) { return seen.insert(LowerAsciiText(name)).second; }

void PlannedChanges::AddKeyTree(const Text& path) {
  const Text key = NormalKeyPath(path);
  if (Once(seenTrees_, key)) keyTrees_.push_back(key);
}

void PlannedChanges::AddAllValues(const Text& path) {
  const Text key = NormalKeyPath(path);
  if (Once(seenAllValues_, key)) allValues_.push_back(key);
}

void PlannedChanges::AddKey(const Text& path) {
  const Text key = NormalKeyPath(path);
  if (Once(seenKeys_, key)) keys_.push_back(key);
}

void PlannedChanges::AddKeyWithParents(const Text& path) {
  const Text key = NormalKeyPath(path);
  const Text client(names::kClientKey);
  if (!StartsWithIgnoreAsciiCase(key, client)) return;
  // Parents first, so that an undo creates them in that order.
  for (size_t end = client.size(); end != Text::npos; end = key.find(u'\\', end + 1)) AddKey(key.substr(0, end));
  AddKey(key);
}

void PlannedChanges::AddValue(const Text& key, const Text& name) {
  const Text normal = NormalKeyPath(key);
  if (Once(seenValues_, normal + u'\0' + name)) values_.emplace_back(normal, name);
}

void PlannedChanges::AddFile(const Text& path) {
  if (Once(seenFiles_, path)) files_.push_back(path);
}

void PlannedChanges::AddFolder(const Text& path) {
  if (Once(seenFolders_, path)) folders_.push_back(path);
}

void PlannedChanges::AddMissingFolders(const Text& folder) {
  // Deepest first: the undo removes them in this order, each once it is empty.
  Text missing = folder;
  while (!missing.empty() && !IsExistingFolder(missing)) {
    AddFolder(missing);
    const size_t before = missing.size();
    RemoveLastComponent(missing);
    if (missing.size() >= before) break;
  }
}

bool PlannedChanges::Empty() const {
  return keyTrees_.empty() && allValues_.empty() && keys_.empty() && values_.empty() && files_.empty() &&
         folders_.empty();
}

}  // namespace kbt
