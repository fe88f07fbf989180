#pragma once
// The global comment that marks an archive as one of our backups.
#include "platform/clock.h"
#include "platform/text.h"

namespace kbt {

// Three LF-ended lines: the identification line, the user's comment, the local time.
Text FormatBackupComment(const Text& comment, const platform::LocalTime& time);

struct BackupIdentity {
  Text comment;
  Text created;  // as stored, never parsed
};

// The time as FormatBackupComment writes it ("2005-03-07T09:05:02Z", the backup's local time);
// false for any other text or a date that cannot be.
bool ParseBackupTime(const Text& created, platform::LocalTime& time);

// True when the file is a zip archive whose comment starts with the identification line;
// identity is filled only then.
bool ReadBackupIdentity(const Text& path, BackupIdentity& identity);

}  // namespace kbt
