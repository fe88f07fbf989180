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
  // The value now (empty when added) and as the restore leaves it, as text of at most
  // kValueTextLimit characters; a folder value changes only when it names another folder.
  Text now, restored;
};

// Longer value texts end with an ellipsis.
constexpr size_t kValueTextLimit = 1000;
// A registry value as a person reads it: strings as they are, numbers in decimal, other data as
// hex bytes; at most 'limit' characters, a longer text cut and ended with an ellipsis.
Text ValueText(uint32_t type, const std::vector<uint8_t>& data, size_t limit);

struct FileChange {
  Text name;         // as the archive holds it
  Text destination;  // where the restore writes it
  bool replaced = false;  // else the file is new
  // The file goes to the data folder, since it cannot go to the place the settings name.
  bool moved = false;
  uint64_t sizeNow = 0, sizeInArchive = 0;
  uint32_t dosTimeNow = 0, dosTimeInArchive = 0;  // 0: unknown
  // The file here was written after the backup's copy: the restore takes the older one.
  bool newerNow = false;
};

struct RestorePreview {
  // The backup's comment and creation time as stored.
  Text comment, created;
  std::vector<SettingChange> settings;
  size_t changedValues = 0, addedValues = 0, unchangedValues = 0;
  std::vector<FileChange> files;
  size_t replacedFiles = 0, addedFiles = 0, movedFiles = 0, newerFiles = 0;
  // Why the restore would not start, or files it could not write.
  std::vector<Text> problems;
};

// False when the restore would not start (problems say why). 'selection': DataSelection bits;
// 'password': a protected archive's.
bool PreviewRestore(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder,
                    uint32_t selection, RestorePreview& preview, const Text& password = Text());

}  // namespace kbt
