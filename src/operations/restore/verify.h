#pragma once
// "/verify": what a restore of an archive would do on this machine, found without changing
// anything. The report's lines are a stable format (README, "Checking a backup").
#include <cstddef>
#include <vector>

#include "operations/restore/verify_report.h"
#include "platform/text.h"

namespace kbt {

// dataFolder and favoritesFolder: this machine's, as a restore would use them.
VerifyReport VerifyArchive(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder,
                           const Text& password = Text());

}  // namespace kbt
