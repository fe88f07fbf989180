#pragma once
// Exports registry keys into the settings file ("settings.reg"): UTF-16LE with a byte-order mark,
// one section per key, every value as one typed hex line. The format is described in
// docs/SETTINGS_FILE.md.
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "regfile/hex_codec.h"

namespace kbt {

// append false: creates (or replaces) the file and writes the header first.
// append true: adds to the end of an existing file; a missing file is a failure and nothing is created.
// False when the file cannot be opened, a key could not be read whole, or a write or the close failed.
bool ExportKeyToFile(platform::RegRoot root, const Text& keyPath, const Text& filePath, bool recursive, bool append);

// Writes the key's section and value lines (and with 'recursive' its sub-keys', depth first) to an
// open file. A missing key still gets its section and is no failure.
bool ExportKey(platform::RegRoot root, const Text& keyPath, platform::File& file, bool recursive);

}  // namespace kbt
