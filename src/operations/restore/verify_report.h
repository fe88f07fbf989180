#pragma once
// What "/verify" found: a stable report format (README, "Checking a backup"), and the problems a
// restore would meet. Data only, so that a request can hold one.
#include <cstddef>
#include <vector>

#include "platform/text.h"

namespace kbt {

enum class ArchiveState {
  Unreadable,  // no zip file, or none of our backups
  Damaged,     // a backup, but its directory, an entry or its settings cannot be read whole
  Sound
};

// The password of a protected backup, as the check found it.
enum class PasswordCheck { NotNeeded, Missing, Wrong, Right };

struct VerifyReport {
  ArchiveState state = ArchiveState::Unreadable;
  PasswordCheck password = PasswordCheck::NotNeeded;
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

}  // namespace kbt
