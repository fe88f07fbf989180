#pragma once
// Exports registry keys into the settings file ("settings.reg"): UTF-16LE with a byte-order mark,
// one section per key, every value as one typed hex line. The format is described in
// docs/SETTINGS_FILE.md.
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "regfile/hex_codec.h"

namespace kbt {

// What an export had to leave out: names holding CR or LF cannot stand on one line of the file.
// A value is named as it is; a key by its path, and its whole subtree is left out with it.
struct ExportProblems {
  std::vector<Text> values;
  std::vector<Text> keys;
};

// append false: creates (or replaces) the file and writes the header first.
// append true: adds to the end of an existing file; a missing file is a failure and nothing is created.
// False when the file cannot be opened, a key could not be read whole, or a write or the close failed.
// What had to be left out does not fail the export: it is added to 'problems' for the caller to report.
bool ExportKeyToFile(platform::RegRoot root, const Text& keyPath, const Text& filePath, bool recursive, bool append,
                     ExportProblems* problems = nullptr);

// Writes the key's section and value lines (and with 'recursive' its sub-keys', depth first) to an
// open file. A missing key still gets its section and is no failure.
bool ExportKey(platform::RegRoot root, const Text& keyPath, platform::File& file, bool recursive,
               ExportProblems* problems = nullptr);

}  // namespace kbt
