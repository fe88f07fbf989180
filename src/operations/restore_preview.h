#pragma once
// What a restore will change, told before it changes anything: read from the plan the restore
// carries out, against the registry and the files as they are now.
#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace kbt {

struct SettingChange {
  Text key;  // below HKEY_CURRENT_USER, as the settings file spells it
  Text name;
  bool added = false;  // else the value is there now with another type or other bytes
};

struct FileChange {
  Text name;         // as the archive holds it
  Text destination;  // where the restore writes it
  bool replaced = false;  // else the file is new
  // The file goes to the data folder, since it cannot go to the place the settings name.
  bool moved = false;
  uint64_t sizeNow = 0, sizeInArchive = 0;
  uint32_t dosTimeNow = 0, dosTimeInArchive = 0;  // 0: unknown
};

struct RestorePreview {
  std::vector<SettingChange> settings;
  size_t changedValues = 0, addedValues = 0, unchangedValues = 0;
  std::vector<FileChange> files;
  size_t replacedFiles = 0, addedFiles = 0, movedFiles = 0;
  // Why the restore would not start, or files it could not write.
  std::vector<Text> problems;
};

// False when the restore would not start (problems say why). 'selection': DataSelection bits.
bool PreviewRestore(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder,
                    uint32_t selection, RestorePreview& preview);

}  // namespace kbt
