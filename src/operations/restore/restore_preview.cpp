#include "operations/restore/restore_preview.h"

#include <map>
#include <utility>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "operations/restore/archive_password.h"
#include "operations/client/file_checks.h"
#include "operations/restore/folder_values.h"
#include "operations/operation_request.h"
#include "operations/undo/planned_changes.h"
#include "operations/restore/restore_plan.h"
#include "platform/files.h"
#include "regfile/key_path.h"
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

// Whether the registry holds the value now with exactly this type and these bytes, or for a folder
// value, names the same folder.
enum class Now { Missing, Same, Different };
Now Compare(const Written& value, const std::optional<ValueData>& now) {
  if (!now) return Now::Missing;
  if (!now->tooLarge && now->type == value.type && now->data == value.data) return Now::Same;
  if (IsFolderValue(value.key, value.name)) {
    const std::optional<Text> before = NamedFolder(*now), after = NamedFolder(ValueData{value.type, value.data});
    if (before && after && SameFolder(*before, *after)) return Now::Same;
  }
  return Now::Different;
}

Text Cut(Text text, size_t limit) {
  if (text.size() <= limit) return text;
  text.resize(limit > 0 ? limit - 1 : 0);
  return text + u'\u2026';
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
      // DOS times compare as numbers: the date lies in the high bits.
      change.newerNow = change.dosTimeNow != 0 && change.dosTimeInArchive != 0 && change.dosTimeNow > change.dosTimeInArchive;
      if (change.newerNow) ++preview.newerFiles;
    }
    ++(change.replaced ? preview.replacedFiles : preview.addedFiles);
    if (change.moved) ++preview.movedFiles;
    preview.files.push_back(std::move(change));
  }
}

}  // namespace

Text ValueText(uint32_t type, const std::vector<uint8_t>& data, size_t limit) {
  constexpr uint32_t kMultiString = 7, kQword = 11;  // REG_MULTI_SZ, REG_QWORD
  auto unit = [&](size_t i) { return static_cast<char16_t>(data[i] | (data[i + 1] << 8)); };
  auto number = [&](size_t bytes) {
    uint64_t value = 0;
    for (size_t i = bytes; i-- > 0;) value = (value << 8) | data[i];
    return DecimalText(value);
  };
  Text text;
  const bool strings = type == kRegSz || type == kRegExpandSz || type == kMultiString;
  if (strings && data.size() % 2 == 0) {
    // A list's strings are shown one after the other, split by a bar.
    for (size_t i = 0; i + 1 < data.size() && text.size() <= limit; i += 2) {
      const char16_t c = unit(i);
      if (c == 0 && type != kMultiString) break;
      if (c == 0) {
        if (i + 3 < data.size() && unit(i + 2) != 0) text += u" | ";
        continue;
      }
      text += c;
    }
  } else if (type == kRegDword && data.size() == 4) {
    text = number(4);
  } else if (type == kQword && data.size() == 8) {
    text = number(8);
  } else {
    static const char16_t kHex[] = u"0123456789abcdef";
    for (size_t i = 0; i < data.size() && text.size() <= limit; ++i) {
      if (i > 0) text += u' ';
      text += kHex[data[i] >> 4];
      text += kHex[data[i] & 15];
    }
  }
  return Cut(std::move(text), limit);
}

bool PreviewRestore(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder,
                    uint32_t selection, RestorePreview& preview, const Text& password) {
  BackupArchiveReader archive;
  if (archivePath.empty() || !archive.Open(archivePath)) {
    preview.problems.push_back(FormatText(LoadText(IDS_ARCHIVE_OPEN_FAILED), {archivePath}));
    return false;
  }
  if (!archive.CheckDirectory()) {
    preview.problems.push_back(FormatText(LoadText(IDS_ARCHIVE_DAMAGED), {archivePath}));
    return false;
  }
  BackupIdentity identity;
  if (ReadBackupIdentity(archivePath, identity)) {
    preview.comment = identity.comment;
    preview.created = identity.created;
  }
  Text locked;
  if (!UnlockArchive(archive, archivePath, password, locked)) {
    preview.problems.push_back(locked);
    return false;
  }
  RestorePlan plan;
  SettingsCollector settings;
  if (!PlanRestore(archive, dataFolder, favoritesFolder, selection, plan, &settings)) {
    preview.problems = plan.refusals;
    return false;
  }
  // After the import the restore points the client at this machine's folders.
  for (const FolderValueWrite& write : plan.folderValues) {
    settings.Set(names::kClientKey, write.name, write.value.type, write.value.data);
  }
  for (const Written* value : settings.InOrder()) {
    const std::optional<ValueData> stored = ReadStoredValue(value->key, value->name, kSettingsLimits.valueBytes);
    const Now now = Compare(*value, stored);
    if (now == Now::Same) {
      ++preview.unchangedValues;
      continue;
    }
    ++(now == Now::Missing ? preview.addedValues : preview.changedValues);
    SettingChange change{value->key, value->name, now == Now::Missing, Text(),
                         ValueText(value->type, value->data, kValueTextLimit)};
    if (stored) change.now = stored->tooLarge ? Text(u"\u2026") : ValueText(stored->type, stored->data, kValueTextLimit);
    preview.settings.push_back(std::move(change));
  }
  PreviewFiles(archive, plan.bitmaps, preview);
  PreviewFiles(archive, plan.data, preview);
  return true;
}

}  // namespace kbt
