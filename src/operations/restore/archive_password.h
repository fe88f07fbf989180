#pragma once
// The password of a protected backup: checked before anything is planned or changed.
#include "archive/backup_archive.h"
#include "platform/text.h"

namespace kbt {

// Refuses an archive that mixes encrypted and plain entries; for a protected one, sets the
// password and checks it against every entry's verifier. False with the message in `problem`.
[[nodiscard]] bool UnlockArchive(BackupArchiveReader& archive, const Text& archivePath, const Text& password,
                                 Text& problem);

// The first line of a UTF-8 file, without a byte-order mark and the line end; false when the
// file cannot be read or that line is empty. Reads at most a few KiB, whatever the file's size.
[[nodiscard]] bool ReadPasswordFile(const Text& path, Text& password);

}  // namespace kbt
