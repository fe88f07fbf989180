#pragma once
// "/verify": what a restore of an archive would do on this machine, found without changing
// anything. The report's lines are a stable format (README, "Checking a backup").
#include <cstddef>
#include <vector>

#include "platform/text.h"

namespace kbt {

enum class ArchiveState {
  Unreadable,  // no zip file, or none of our backups
  Damaged,     // a backup, but its directory, an entry or its settings cannot be read whole
  Sound
};

struct VerifyReport {
  ArchiveState state = ArchiveState::Unreadable;
  // True when a restore would succeed completely.
  bool restorable = false;
  Text comment, created;  // the backup's identity, when it is one
  // The report, one finding a line: a keyword, then tab-separated fields.
  std::vector<Text> lines;
  // Every problem a restore would meet, in the user's language.
  std::vector<Text> problems;
  size_t entries = 0, values = 0, keys = 0, files = 0;

  // A few lines for a message box.
  Text Summary(const Text& archivePath) const;
};

// dataFolder and favoritesFolder: this machine's, as a restore would use them.
VerifyReport VerifyArchive(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder);

}  // namespace kbt
