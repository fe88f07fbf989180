#pragma once
// Applies a settings file ("settings.reg") to the registry as a merge: every typed hex line is
// written into the key of its section; nothing is deleted. Only the client's own key and the keys
// below it are ever written. The format is described in docs/SETTINGS_FILE.md.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "regfile/hex_codec.h"

namespace kbt {

// False when the file cannot be opened or does not start with the byte-order mark and the header
// line (registry unchanged then), when reading it fails part way, or when a value of a section that
// was applied could not be written (the other values are still written). The file is read in
// pieces and held exclusively until the end. A relative path is taken from the current folder.
bool ImportSettingsFile(const Text& path);

// What an import of a settings file would do, told without writing anything.
class SettingsFileObserver {
 public:
  virtual ~SettingsFileObserver() = default;
  // A value the import would write, with the key below HKEY_CURRENT_USER it would go to.
  virtual void Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) = 0;
  // A section the import passes over, as its name stands in the file.
  virtual void IgnoredSection(std::u16string_view section) = 0;
};
// Reads the file exactly as ImportSettingsFile does and tells the observer; false when the file
// cannot be read or does not start with the byte-order mark and the header line.
bool CheckSettingsFile(const Text& path, SettingsFileObserver& observer);

// The body as the platform's profile functions see it: "[name]" lines open sections, the other
// non-empty lines up to the next section line are the section's entries (taken whole, trimmed of
// surrounding white space, comment lines starting with ';' dropped). Lines before the first
// section are ignored. The views point into 'body'.
struct SettingsSection {
  std::u16string_view name;
  std::vector<std::u16string_view> lines;
};
std::vector<SettingsSection> ParseSettingsBody(std::u16string_view body);

}  // namespace kbt
