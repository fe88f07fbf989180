#pragma once
// Applies a settings file ("settings.reg") to the registry as a merge: every key of the file is
// created and every value line written into the key of its section; nothing is deleted. Only the client's own key and the keys
// below it are ever written. The format is described in docs/SETTINGS_FILE.md.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "regfile/hex_codec.h"

namespace kbt {

// What a restore accepts from a settings file, far above any real client profile (see
// docs/SETTINGS_FILE.md). The values counted are those of the client's sections, the ones a
// restore would write.
struct SettingsLimits {
  uint64_t fileBytes = uint64_t{256} << 20;  // the file itself
  size_t lineCharacters = 8000000;           // one line; a wrapped value's lines count together
  uint32_t valueBytes = uint32_t{2} << 20;   // the data of one value
  uint32_t values = 1000000;                 // values in the whole file
  uint64_t dataBytes = uint64_t{64} << 20;   // the data of all values together
};
inline constexpr SettingsLimits kSettingsLimits{};

enum class SettingsLimit { None, FileSize, LineLength, ValueSize, ValueCount, DataSize };

// Why a settings file is refused as a whole, and the line (counted from 1, the header's line
// being 1) that shows it.
enum class SettingsProblemKind {
  None,
  NotUnicode,       // not UTF-16 with the byte-order mark FF FE
  NoHeader,         // the first line that is not blank is not the header
  Deletion,         // "[-key]" or "name"=-: a restore only adds and changes
  BadType,          // hex(N) whose N is no decimal number of 32 bits
  BadHex,           // hex data that is not a list of bytes, or a wrapped line that does not continue it
  BadDword,         // dword: without 1 to 8 hex digits
  BadString,        // a quoted text that is not closed, or holds an escape the editor does not write
  UnknownLine,      // neither a section, a value nor a comment
  UnfinishedValue,  // a wrapped value whose last line never comes
};
struct SettingsFileProblem {
  SettingsProblemKind kind = SettingsProblemKind::None;
  uint64_t line = 0;
};

// False when the file cannot be opened, is refused ('problem' then says why and where) or exceeds
// a limit ('exceeded' then names it): the registry is unchanged then, as the whole file is checked
// before anything is written. False too when reading fails part way, or when a key or value of a
// section that was applied could not be written (the others are still written). The file is read
// in pieces (twice) and held exclusively while it is read. A relative path is taken from the
// current folder.
bool ImportSettingsFile(const Text& path, SettingsLimit* exceeded = nullptr,
                        const SettingsLimits& limits = kSettingsLimits, SettingsFileProblem* problem = nullptr);

// What an import of a settings file would do, told without writing anything.
class SettingsFileObserver {
 public:
  virtual ~SettingsFileObserver() = default;
  // A key the import would create or open (below HKEY_CURRENT_USER, as spelled in the file), once
  // for each of its sections and before that section's values.
  virtual void Key(const Text& keyPath) = 0;
  // A value the import would write, with the key below HKEY_CURRENT_USER it would go to.
  virtual void Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) = 0;
  // A section the import passes over, as its name stands in the file.
  virtual void IgnoredSection(std::u16string_view section) = 0;
};
// Reads the file exactly as ImportSettingsFile does and tells the observer; false when the file
// cannot be read, is refused ('problem') or exceeds a limit ('exceeded'); the observer has heard of
// the keys and values before the refusal then, none of which an import would write.
bool CheckSettingsFile(const Text& path, SettingsFileObserver& observer, SettingsLimit* exceeded = nullptr,
                       SettingsFileProblem* problem = nullptr);

// The body as the platform's profile functions see it: "[name]" lines open sections, the other
// non-empty lines up to the next section line are the section's entries (taken whole, trimmed of
// surrounding white space, comment lines starting with ';' and lines starting with '=' dropped).
// Lines before the first section are ignored. The views point into 'body'. The import reads its
// lines the same way, but refuses what the profile functions would drop inside a section.
struct SettingsSection {
  std::u16string_view name;
  std::vector<std::u16string_view> lines;
};
std::vector<SettingsSection> ParseSettingsBody(std::u16string_view body);

}  // namespace kbt
