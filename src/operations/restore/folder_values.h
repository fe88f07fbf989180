#pragma once
// The client's folder values, "Data Path" and "Favorites Folder": compared as the folders they
// name, and what a restore writes into them so that the client finds this machine's folders.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text.h"
#include "regfile/settings_file_reader.h"

namespace kbt {

struct ValueData {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool tooLarge = false;  // beyond the reader's limit: data left empty
};

// A value as the registry holds it now; none when it is missing. One of more than 'limit' bytes
// is only named, so that the registry never picks the buffer.
std::optional<ValueData> ReadStoredValue(const Text& key, const Text& name, uint32_t limit);
// The folder a value names: a string, up to its first NUL, its environment references expanded.
std::optional<Text> NamedFolder(const ValueData& value);
// Two spellings of one folder: after expansion, without regard to case or a trailing separator,
// or leading to the same place.
bool SameFolder(const Text& a, const Text& b);
bool IsFolderValue(const Text& key, const Text& name);

// A folder value a restore writes after its import.
struct FolderValueWrite {
  const char16_t* name = nullptr;
  ValueData value;
};

// The last of each folder value that the archive's settings write, as the import leaves it.
class ArchiveFolderValues : public SettingsFileObserver {
 public:
  explicit ArchiveFolderValues(SettingsFileObserver* next) : next_(next) {}
  void Key(const Text& keyPath) override;
  void Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) override;
  void IgnoredSection(std::u16string_view section) override;
  const std::optional<ValueData>& Of(const char16_t* name) const;

 private:
  SettingsFileObserver* next_;
  std::optional<ValueData> dataPath_, favoritesFolder_;
};

// Each value that would not name this machine's folder once the archive's settings are in: the
// user's own value where it named that folder (type and spelling kept), else the folder itself.
// A value that names the folder already is never written.
std::vector<FolderValueWrite> PlanFolderValues(const Text& dataFolder, const Text& favoritesFolder,
                                               const ArchiveFolderValues& fromArchive);

// The text with its terminator, as REG_SZ and REG_EXPAND_SZ keep it.
std::vector<uint8_t> StringBytes(const Text& text);

}  // namespace kbt
