#include "operations/undo/planned_changes.h"

#include "platform/paths.h"
#include "regfile/key_path.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

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
  if (!IsClientKey(key)) return;
  // Parents first, so that an undo creates them in that order.
  std::vector<Text> chain;
  for (Text up = key; IsKeySameOrBelow(up, names::kClientKey); up = ParentKeyPath(up)) chain.push_back(up);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) AddKey(*it);
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
