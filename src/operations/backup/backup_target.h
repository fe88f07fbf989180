#pragma once
// Where a backup may be written: one rule for the command line and the wizard alike.
#include "platform/text.h"

namespace kbt {

// The path with ".zip" added when its file name has no extension and it names no folder.
Text WithArchiveExtension(const Text& path);

// Why no file can have this path, judged by its spelling alone (characters no name may hold, names
// kept for devices, a name ending in a dot or a space), as the message to show; empty when none.
// Whether its folders exist is for the caller to ask.
Text ArchiveNameProblem(const Text& path);

// Why no backup may be written to 'archivePath', as the message to show; empty when one may. A
// backup never replaces a file it backs up, nor lies in the client's data or favorites folder,
// where a reset or a restore would take it for the client's own.
Text BackupTargetRefusal(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder);

}  // namespace kbt
