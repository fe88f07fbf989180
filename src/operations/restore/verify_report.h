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

// Why an archive is not sound, for a message that says what to do about it.
enum class ArchiveFault {
  None,
  NoPath,
  CannotOpen,  // the file is there but cannot be read: problems name the system's reason
  NotZip,
  NotBackup,   // a zip file, but none of ours
  Incomplete,  // a zip file cut short: its directory at the end is missing
  Damaged      // a backup whose directory, an entry or its settings cannot be read whole
};

// The password of a protected backup, as the check found it.
enum class PasswordCheck { NotNeeded, Missing, Wrong, Right };

struct VerifyReport {
  ArchiveState state = ArchiveState::Unreadable;
  ArchiveFault fault = ArchiveFault::None;
  PasswordCheck password = PasswordCheck::NotNeeded;
  // The first entry that cannot be read whole, when one was found.
  Text damagedEntry;
  // Why a file that is there could not be opened, as the system says it.
  Text systemReason;
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
