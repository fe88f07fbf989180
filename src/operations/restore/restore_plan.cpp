#include "operations/restore/restore_plan.h"

#include <algorithm>

#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/client/client_places.h"
#include "operations/client/file_checks.h"
#include "operations/operation_request.h"
#include "operations/result_log.h"
#include "operations/restore/settings_limit_text.h"
#include "platform/disk_space.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/places.h"
#include "regfile/key_path.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_reader.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

// Two names of one file, as the file system resolves them.
bool SameFile(const Text& a, const Text& b) {
  Text resolvedA, resolvedB;
  return ResolvePath(a, resolvedA) && ResolvePath(b, resolvedB) && IsSameOrBelow(resolvedA, resolvedB) &&
         IsSameOrBelow(resolvedB, resolvedA);
}

// The places of one restore: the rule, and the data folder where everything lands that cannot go
// to its own place.
class Destinations {
 public:
  explicit Destinations(const Text& dataFolder)
      : places_(dataFolder), dataFolder_(dataFolder), dataAccepted_(places_.AcceptsFolder(dataFolder)) {}

  const ClientPlaces& Places() const { return places_; }

  // A folder the rule accepts and that can take a file.
  bool Usable(const Text& folder) const { return places_.AcceptsFolder(folder) && FolderWouldTakeFiles(folder); }

  Text InDataFolder(const Text& name) {
    if (!dataReady_) dataReady_ = dataAccepted_ && FolderWouldTakeFiles(dataFolder_);
    return *dataReady_ ? PathIn(dataFolder_, name) : Text();
  }

  // The value follows a file that moved to the data folder; with no data folder it keeps nothing.
  std::optional<FollowingValue> Follow(const char16_t* key, const char16_t* name, const Text& data) const {
    if (!dataAccepted_) return std::nullopt;
    return FollowingValue{key, name, data};
  }

 private:
  ClientPlaces places_;
  Text dataFolder_;
  bool dataAccepted_;
  std::optional<bool> dataReady_;
};

// A restore replaces only files the client owns: a file in the place a value names that the client
// does not name today is a user's or another program's, whatever its bytes, and the entry goes to
// the data folder instead. Taking it over as the client's would hand it to the next reset.
bool ClientOwns(const Text& path, const std::vector<const std::optional<Text>*>& namedToday) {
  if (!IsExistingFile(path)) return true;
  for (const std::optional<Text>* today : namedToday) {
    if (*today && SameFile(**today, path)) return true;
  }
  return false;
}

// A restore never writes a program or script, whatever an archive's settings name.
void RefuseExecutables(std::vector<PlannedFile>& plan) {
  for (PlannedFile& file : plan) {
    if (!file.destination.empty() && HasExecutableExtension(FileNamePart(file.destination))) file.destination.clear();
  }
}

// The values of today that name files of the kind: the client owns those files.
std::vector<const std::optional<Text>*> NamedToday(const RestoreValues& today, ItemKind kind) {
  std::vector<const std::optional<Text>*> named;
  for (size_t row = 0; row < kClientItemCount; ++row) {
    if (kClientItems[row].kind == kind) named.push_back(&today.named[row]);
  }
  return named;
}

// Where a file that a value names goes: its own place when the rule accepts it and the client
// owns what is there, else the data folder under 'fallbackName', with the value following it.
void PlaceNamedFile(Destinations& places, const Text& dataFolder, const ClientItem& item, const Text& path,
                    bool accepted, const RestoreValues& today, const Text& fallbackName, PlannedFile& file,
                    bool takenAsItIs = false) {
  if (accepted && places.Usable(FolderOf(path)) && (takenAsItIs || ClientOwns(path, NamedToday(today, item.kind)))) {
    file.destination = path;
    return;
  }
  // As for a folder that cannot be written: the file goes to the data folder and the value follows it.
  file.destination = places.InDataFolder(fallbackName);
  file.reportedName = fallbackName;
  file.value = places.Follow(item.key, item.value, PathIn(dataFolder, fallbackName));
}

// Every file of the archive the restore takes, in the order of the table, for the kinds asked.
std::vector<PlannedFile> PlanFiles(BackupArchiveReader& archive, const Text& dataFolder, const RestoreValues& values,
                                   const RestoreValues& today, std::initializer_list<ItemKind> kinds) {
  Destinations places(dataFolder);
  std::vector<PlannedFile> plan;
  for (size_t row = 0; row < kClientItemCount; ++row) {
    const ClientItem& item = kClientItems[row];
    if (std::find(kinds.begin(), kinds.end(), item.kind) == kinds.end()) continue;
    const std::optional<Text>& named = values.named[row];
    switch (item.kind) {
      case ItemKind::DataFile:
        if (archive.LocateEntry(item.fileName, false)) {
          plan.push_back({item.fileName, EntryLookup::First, places.InDataFolder(item.fileName), item.fileName, {}});
        }
        break;
      case ItemKind::Favorites:
        if (!named || !archive.LocateEntry(item.fileName, false)) break;
        if (places.Usable(*named)) {
          plan.push_back({item.fileName, EntryLookup::First, PathIn(*named, item.fileName), item.fileName, {}});
        } else {
          plan.push_back({item.fileName, EntryLookup::First, places.InDataFolder(item.fileName), item.fileName,
                          places.Follow(item.key, item.value, dataFolder)});
        }
        break;
      case ItemKind::Bitmap: {
        if (!named) break;
        const Text name = FileNamePart(*named);
        // A fixed entry's name belongs to the settings or a data file, never to a bitmap.
        if (name.empty() || IsFixedEntryName(name) || !archive.LocateEntry(name, true)) break;
        PlannedFile file{name, EntryLookup::FirstIgnoreCase, Text(), name, std::nullopt};
        // A file that is no bitmap is brought along but never written.
        if (ClientPlaces::IsBitmapName(name)) {
          // A picture that holds the entry's very bytes stays as it is and where it is: no reset
          // deletes a picture, so naming it costs its owner nothing (a reset leaves the client's
          // pictures behind, and a restore after it finds them so).
          const bool sameBytes = IsExistingFile(*named) && archive.CurrentEntryEquals(*named);
          PlaceNamedFile(places, dataFolder, item, *named, places.Places().AcceptsBitmap(*named), today, name, file,
                         sameBytes);
        }
        plan.push_back(std::move(file));
        break;
      }
      case ItemKind::Queue: {
        if (!named) break;
        const Text name = FileNamePart(*named);
        // Only a queue file's name is looked up, so no data file's entry can become the queue.
        if (ClientPlaces::IsQueueName(name) && archive.LocateLastEntry(name)) {
          PlannedFile file{name, EntryLookup::Last, Text(), name, {}};
          PlaceNamedFile(places, dataFolder, item, *named, places.Places().AcceptsQueue(*named), today,
                         names::kQueueFallbackFile, file);
          plan.push_back(std::move(file));
        } else if (!ClientPlaces::IsQueueName(name) && !IsFixedEntryName(name) && archive.LocateLastEntry(name)) {
          plan.push_back({name, EntryLookup::Last, Text(), name, {}});  // brought along, but no queue: never written
        }
        break;
      }
    }
  }
  RefuseExecutables(plan);
  return plan;
}

// What the settings file would write: counted for the report, recorded for the undo point, and
// the values that name files taken as the restore will find them once the file is imported.
class SettingsTally : public SettingsFileObserver {
 public:
  SettingsTally(RestorePlan& plan, RestoreValues& values, SettingsFileObserver* next)
      : plan_(plan), values_(values), next_(next) {}

  void Key(const Text& keyPath) override {
    if (next_) next_->Key(keyPath);
    plan_.changes.AddKeyWithParents(keyPath);
    Count(keyPath, 0);
  }

  void Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) override {
    if (next_) next_->Value(keyPath, name, type, data);
    ++plan_.values;
    Count(keyPath, 1);
    plan_.changes.AddKeyWithParents(keyPath);
    plan_.changes.AddValue(keyPath, name);
    const Text key = NormalKeyPath(keyPath);
    for (size_t row = 0; row < kClientItemCount; ++row) {
      const ClientItem& item = kClientItems[row];
      if (item.key && EqualsIgnoreAsciiCase(key, item.key) && EqualsIgnoreAsciiCase(name, item.value)) {
        values_.named[row] = StringOf(type, data);
      }
    }
  }

  void IgnoredSection(std::u16string_view section) override {
    if (next_) next_->IgnoredSection(section);
    plan_.ignoredSections.emplace_back(section);
  }

 private:
  void Count(const Text& keyPath, size_t values) {
    auto& key = plan_.keys[LowerAsciiText(keyPath)];
    if (key.first.empty()) key.first = keyPath;
    key.second += values;
  }

  // As the restore reads the value back: only a string, up to its first NUL.
  static std::optional<Text> StringOf(uint32_t type, const std::vector<uint8_t>& data) {
    if ((type != kRegSz && type != kRegExpandSz) || data.size() % 2 != 0) return std::nullopt;
    Text text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
      const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      if (c == 0) break;
      text += c;
    }
    return text;
  }

  RestorePlan& plan_;
  RestoreValues& values_;
  SettingsFileObserver* next_;
};

// The nearest folder that exists on the way up to the root.
// The folder itself or its nearest existing parent, where files would go; empty when nothing of
// it exists or a file stands where a folder would have to be made.
Text NearestExistingFolder(const Text& folder) {
  Text existing = folder;
  uint32_t attributes = 0;
  while (!existing.empty() && !IsExistingFolder(existing)) {
    if (GetAttributes(existing, &attributes)) return Text();
    const size_t before = existing.size();
    RemoveLastComponent(existing);
    if (existing.size() >= before) return Text();
  }
  return existing;
}

Text Megabytes(uint64_t bytes) { return DecimalText((bytes + (uint64_t{1} << 20) - 1) >> 20); }

// Every file the restore writes goes first into a new file beside its place, while the old bytes
// stay until the move (and in the undo point after it): the declared sizes must fit on each volume.
void CheckFreeSpace(const RestorePlan& plan, uint64_t settingsBytes, std::vector<Text>& refusals) {
  struct Volume {
    Text folder;  // one folder on it, for the message
    uint64_t needed = 0;
  };
  std::map<Text, Volume> volumes;
  auto need = [&](const Text& folder, uint64_t bytes) {
    Text volume;
    if (folder.empty() || !VolumeOf(folder, volume)) return;
    Volume& entry = volumes[volume];
    if (entry.folder.empty()) entry.folder = folder;
    entry.needed += bytes;
  };
  for (const std::vector<PlannedFile>* files : {&plan.bitmaps, &plan.data}) {
    for (const PlannedFile& file : *files) {
      if (!file.destination.empty() && !file.unchanged) need(NearestExistingFolder(FolderOf(file.destination)), file.size);
    }
  }
  Text temp;
  if (settingsBytes > 0 && GetTempFolder(temp)) need(temp, settingsBytes);
  for (const auto& [volume, entry] : volumes) {
    uint64_t free = 0;
    if (FreeBytes(entry.folder, &free) && free < entry.needed) {
      refusals.push_back(FormatText(LoadText(IDS_VERIFY_NO_SPACE), {Megabytes(entry.needed), entry.folder, Megabytes(free)}));
    }
  }
}

void AddFileChanges(const std::vector<PlannedFile>& files, PlannedChanges& changes) {
  for (const PlannedFile& file : files) {
    if (file.value) changes.AddValue(file.value->key, file.value->name);
    if (file.destination.empty() || file.unchanged) continue;
    changes.AddMissingFolders(FolderOf(file.destination));
    changes.AddFile(file.destination);
  }
}

}  // namespace

bool FolderWouldTakeFiles(const Text& folder) {
  const Text existing = NearestExistingFolder(folder);
  return !existing.empty() && IsWritableFolder(existing);
}

RestoreValues ReadRestoreValues() {
  RestoreValues values;
  auto read = [](const char16_t* keyPath, const char16_t* name, std::optional<Text>& into) {
    RegistryKey key;
    Text text;
    if (key.Open(RegRoot::CurrentUser, keyPath, kKeyRead) == kSuccess && key.QueryString(name, text, false) == kSuccess)
      into = text;
  };
  for (size_t row = 0; row < kClientItemCount; ++row) {
    if (kClientItems[row].key) read(kClientItems[row].key, kClientItems[row].value, values.named[row]);
  }
  return values;
}

ArchiveSettings::~ArchiveSettings() {
  // A temporary file of the tool's own name: what stays, the next run removes.
  if (!path_.empty()) static_cast<void>(RemoveFile(path_));
}

ArchiveSettings::Outcome ArchiveSettings::Load(BackupArchiveReader& archive, SettingsFileObserver& observer,
                                               Text& problem) {
  if (!archive.LocateEntry(names::kSettingsFile, false)) return Outcome::Absent;
  // The declared size first: an archive must not fill the temporary folder.
  BackupArchiveReader::EntryInfo entry;
  SettingsLimit exceeded = SettingsLimit::None;
  SettingsFileProblem refused;
  Text folder;
  File placeholder;
  bool read = false;
  if (archive.CurrentEntryInfo(entry) && entry.size > kSettingsLimits.fileBytes) {
    exceeded = SettingsLimit::FileSize;
  } else if (archive.CurrentEntryInfo(entry) && GetTempFolder(folder) && CreateTempFile(folder, path_, placeholder) &&
             placeholder.Close()) {
    read = archive.ExtractCurrentEntry(path_) && CheckSettingsFile(path_, observer, &exceeded, &refused);
  }
  if (exceeded != SettingsLimit::None || refused.kind != SettingsProblemKind::None) {
    problem = exceeded != SettingsLimit::None ? SettingsLimitText(exceeded) : SettingsProblemText(refused);
    return Outcome::Refused;
  }
  if (!read) {
    problem = FormatText(LoadText(IDS_VERIFY_SETTINGS_UNREADABLE), {Text(names::kSettingsFile)});
    return Outcome::Unreadable;
  }
  return Outcome::Read;
}

bool ArchiveSettings::Import(ResultLog& log) const {
  SettingsLimit exceeded = SettingsLimit::None;
  SettingsFileProblem refused;
  if (path_.empty()) return false;
  const bool imported = ImportSettingsFile(path_, &exceeded, kSettingsLimits, &refused);
  if (exceeded != SettingsLimit::None) log.Add(SettingsLimitText(exceeded));
  if (refused.kind != SettingsProblemKind::None) log.Add(SettingsProblemText(refused));
  return imported;
}

bool PlanRestore(BackupArchiveReader& archive, const Text& dataFolder, const Text& favoritesFolder,
                 uint32_t selection, RestorePlan& plan, SettingsFileObserver* settingsObserver) {
  const RestoreValues today = ReadRestoreValues();
  RestoreValues values = today;
  if (selection & DataSelection::Settings) {
    ArchiveFolderValues folderValues(settingsObserver);
    SettingsTally tally(plan, values, &folderValues);
    Text problem;
    switch (plan.settings.Load(archive, tally, problem)) {
      case ArchiveSettings::Outcome::Unreadable: plan.settingsUnreadable = true; [[fallthrough]];
      case ArchiveSettings::Outcome::Refused:
        plan.settingsRefused = true;
        plan.refusals.push_back(problem);
        return false;
      case ArchiveSettings::Outcome::Read: plan.hasSettings = true; break;
      case ArchiveSettings::Outcome::Absent: break;  // a data-only backup
    }
    // The restore then points the client at this machine's folders.
    plan.folderValues = PlanFolderValues(dataFolder, favoritesFolder, folderValues);
    for (const FolderValueWrite& write : plan.folderValues) {
      plan.changes.AddKey(names::kClientKey);
      plan.changes.AddValue(names::kClientKey, write.name);
    }
    for (size_t row = 0; row < kClientItemCount; ++row) {
      if (kClientItems[row].kind == ItemKind::Favorites) values.named[row] = favoritesFolder;
    }
    plan.bitmaps = PlanFiles(archive, dataFolder, values, today, {ItemKind::Bitmap});
  }
  if (selection & DataSelection::ApplicationData) {
    plan.data = PlanFiles(archive, dataFolder, values, today, {ItemKind::DataFile, ItemKind::Favorites, ItemKind::Queue});
  }
  for (std::vector<PlannedFile>* files : {&plan.bitmaps, &plan.data}) {
    for (PlannedFile& file : *files) {
      BackupArchiveReader::EntryInfo entry;
      if (!LocatePlannedEntry(archive, file) || !archive.CurrentEntryInfo(entry)) continue;
      file.size = entry.size;
      // A file that holds the entry's bytes is neither written nor kept in the undo point. Only
      // the bytes themselves tell: an archive's declared size and CRC are its own claim.
      file.unchanged = !file.destination.empty() && IsExistingFile(file.destination) &&
                       archive.CurrentEntryEquals(file.destination);
    }
    AddFileChanges(*files, plan.changes);
  }
  if (ClientPlaces(dataFolder).AcceptsFolder(dataFolder)) plan.changes.AddMissingFolders(dataFolder);
  BackupArchiveReader::EntryInfo settings;
  const bool settingsEntry = plan.hasSettings && archive.LocateEntry(names::kSettingsFile, false) &&
                             archive.CurrentEntryInfo(settings);
  CheckFreeSpace(plan, settingsEntry ? settings.size : 0, plan.refusals);
  return plan.refusals.empty();
}

bool LocatePlannedEntry(BackupArchiveReader& archive, const PlannedFile& file) {
  switch (file.lookup) {
    case EntryLookup::First: return archive.LocateEntry(file.entry, false);
    case EntryLookup::Last: return archive.LocateLastEntry(file.entry);
    case EntryLookup::FirstIgnoreCase: return archive.LocateEntry(file.entry, true);
  }
  return false;
}

bool IsReplaceable(const Text& path) {
  uint32_t attributes = 0;
  return !GetAttributes(path, &attributes) ||
         !(attributes & (kAttributeReadOnly | kAttributeDirectory | kAttributeDevice));
}

bool RestorePlannedFiles(BackupArchiveReader& archive, const std::vector<PlannedFile>& plan, ResultLog& log) {
  bool result = true;
  for (const PlannedFile& file : plan) {
    if (file.value) {
      RegistryKey key;
      if (key.Open(RegRoot::CurrentUser, file.value->key, kKeyReadWrite) != kSuccess ||
          key.SetExpandString(file.value->name, file.value->data) != kSuccess) {
        log.Add(IDS_REGISTRY_WRITE_FAILED, KeyPathIn(file.value->key, file.value->name));
        result = false;
      }
    }
    if (file.unchanged) continue;
    if (file.heldElsewhere) {
      log.AddFailure(kSharingViolation, IDS_RESTORE_FILE_FAILED, file.reportedName);
      result = false;
      continue;
    }
    // The folder is made where the plan found it could be; it is written only there.
    if (!file.destination.empty()) CreateDirectoryPath(FolderOf(file.destination));
    if (file.destination.empty() || !LocatePlannedEntry(archive, file)) {
      log.Add(IDS_RESTORE_FILE_FAILED, file.reportedName);
      result = false;
    } else if (!archive.ExtractCurrentEntry(file.destination)) {
      log.AddFailure(archive.LastFailure(), IDS_RESTORE_FILE_FAILED, file.reportedName);
      result = false;
    }
  }
  return result;
}

}  // namespace kbt
