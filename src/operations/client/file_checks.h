#pragma once
// File-system tests that decide what is backed up and where a restore may write.
#include "platform/text.h"

namespace kbt {

// The path names a file that is neither a folder nor a device.
bool IsExistingFile(const Text& path);
// A new file can be created and written in the folder (probed with a temporary file).
bool IsWritableFolder(const Text& folder);
// A restore never writes a program or script, whatever an archive's settings name.
bool HasExecutableExtension(const Text& fileName);

}  // namespace kbt
