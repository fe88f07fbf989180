#pragma once
// What an operation is about to change: every registry key and value, file and folder that it
// will create, write or delete. The operation builds it from the plan it then carries out, and its
// undo point records the state of exactly these things before the first change.
#include <set>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace kbt {

class PlannedChanges {
 public:
  // A key tree the operation deletes whole: the undo puts back the tree exactly as it was.
  void AddKeyTree(const Text& path);
  // A key whose values the operation deletes, its sub-keys kept.
  void AddAllValues(const Text& path);
  // A key the operation may create, with every key between the client's key and it.
  void AddKeyWithParents(const Text& path);
  void AddKey(const Text& path);
  void AddValue(const Text& key, const Text& name);
  void AddFile(const Text& path);
  // A folder the operation may create: it and every missing folder above it.
  void AddMissingFolders(const Text& folder);
  void AddFolder(const Text& path);

  const std::vector<Text>& KeyTrees() const { return keyTrees_; }
  const std::vector<Text>& AllValues() const { return allValues_; }
  const std::vector<Text>& Keys() const { return keys_; }
  const std::vector<std::pair<Text, Text>>& Values() const { return values_; }
  const std::vector<Text>& Files() const { return files_; }
  const std::vector<Text>& Folders() const { return folders_; }
  bool Empty() const;

 private:
  // Registry and file names compare without regard to case: one record per thing.
  static bool Once(std::set<Text>& seen, const Text& name);

  std::vector<Text> keyTrees_, allValues_, keys_, files_, folders_;
  std::vector<std::pair<Text, Text>> values_;
  std::set<Text> seenTrees_, seenAllValues_, seenKeys_, seenValues_, seenFiles_, seenFolders_;
};

}  // namespace kbt
