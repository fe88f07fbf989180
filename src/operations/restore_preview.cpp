#include "operations/restore_preview.h"

#include <map>
#include <utility>

#include "archive/backup_archive.h"
#include "operations/file_checks.h"
#include "operations/operation_request.h"
#include "operations/planned_changes.h"
#include "operations/restore_plan.h"
#include "platform/files.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_reader.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

struct Written {
  Text key, name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// The value each key and name ends with: a later line of the same value wins, as in the import.
class SettingsCollector : public SettingsFileObserver {
 public:
  void Key(const Text&) override {}
  void IgnoredSection(std::u16string_view) override {}
  void Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) override {
    const Text key = NormalKeyPath(keyPath);
    auto [entry, added] = values_.try_emplace(LowerAsciiText(key) + u'\n' + LowerAsciiText(name));
    if (added) order_.push_back(entry->first);
    entry->second = Written{key, name, type, data};
  }
  // Replaces what the settings write with what the restore writes last.
  void Set(const Text& key, const Text& name, uint32_t type, const std::vector<uint8_t>& data) {
    Value(key, name, type, data);
  }
  std::vector<const Written*> InOrder() const {
    std::vector<const Written*> all;
    for (const Text& id : order_) all.push_back(&values_.at(id));
    return all;
  }

 private:
  std::map<Text, Written> values_;
  std::vector<Text> order_;
};

std::vector<uint8_t> ExpandStringBytes(const Text& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Whether the registry holds the value now with exactly this type and these bytes. Only a value of
// the archive's size is read, so the registry never picks the buffer.
enum class Now { Missing, Same, Different };
Now Compare(const Written& value) {
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, value.key, kKeyRead) != kSuccess) return Now::Missing;
  uint32_t type = 0, size = 0;
  if (QueryValue(key.Get(), value.name, &type, nullptr, &size) != kSuccess) return Now::Missing;
  if (type != value.type || size != value.data.size()) return Now::Different;
  std::vector<uint8_t> data(size);
  if (size > 0 && QueryValue(key.Get(), value.name, &type, data.data(), &size) != kSuccess) return Now::Different;
  return type == value.type && data == value.data ? Now::Same : Now::Different;
}

void PreviewFiles(BackupArchiveReader& archive, const std::vector<PlannedFile>& planned, RestorePreview& preview) {
  for (const PlannedFile& file : planned) {
    if (file.destination.empty()) {
      preview.problems.push_back(FormatText(LoadText(IDS_VERIFY_DESTINATION_REFUSED), {file.reportedName}));
      continue;
    }
    if (file.unchanged) continue;
    FileChange change;
    change.name = file.reportedName;
    change.destination = file.destination;
    change.moved = file.value.has_value();
    change.sizeInArchive = file.size;
    BackupArchiveReader::EntryInfo entry;
    const bool located = LocatePlannedEntry(archive, file);
    if (located && archive.CurrentEntryInfo(entry)) change.dosTimeInArchive = entry.dosTime;
    change.replaced = IsExistingFile(file.destination);
    if (change.replaced) {
      File now;
      if (now.Open(file.destination, FileMode::ReadShared)) (void)now.Size(&change.sizeNow);
      (void)GetLastWriteDosTime(file.destination, &change.dosTimeNow);
    }
    ++(change.replaced ? preview.replacedFiles : preview.addedFiles);
    if (change.moved) ++preview.movedFiles;
    preview.files.push_back(std::move(change));
  }
}

}  // namespace

bool PreviewRestore(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder,
                    uint32_t selection, RestorePreview& preview) {
  BackupArchiveReader archive;
  if (archivePath.empty() || !archive.Open(archivePath)) {
    preview.problems.push_back(FormatText(LoadText(IDS_ARCHIVE_OPEN_FAILED), {archivePath}));
    return false;
  }
  if (!archive.CheckDirectory()) {
    preview.problems.push_back(FormatText(LoadText(IDS_ARCHIVE_DAMAGED), {archivePath}));
    return false;
  }
  RestorePlan plan;
  SettingsCollector settings;
  if (!PlanRestore(archive, dataFolder, favoritesFolder, selection, plan, &settings)) {
    preview.problems = plan.refusals;
    return false;
  }
  // After the import the restore points the client at this machine's folders.
  if (selection & DataSelection::Settings) {
    settings.Set(names::kClientKey, names::kDataPathValue, kRegExpandSz, ExpandStringBytes(dataFolder));
    settings.Set(names::kClientKey, names::kFavoritesFolderValue, kRegExpandSz, ExpandStringBytes(favoritesFolder));
  }
  for (const Written* value : settings.InOrder()) {
    const Now now = Compare(*value);
    if (now == Now::Same) {
      ++preview.unchangedValues;
      continue;
    }
    ++(now == Now::Missing ? preview.addedValues : preview.changedValues);
    preview.settings.push_back({value->key, value->name, now == Now::Missing});
  }
  PreviewFiles(archive, plan.bitmaps, preview);
  PreviewFiles(archive, plan.data, preview);
  return true;
}

}  // namespace kbt
