#include "operations/restore_plan.h"

#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/client_places.h"
#include "operations/file_checks.h"
#include "operations/result_log.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

const char16_t* const kDataFiles[] = {names::kHistoryFile, names::kCustomFile, names::kFoldersFile};

Text Join(const Text& folder, const Text& name) {
  if (folder.empty()) return Text();  // no folder: nowhere to write
  Text path = folder;
  AppendPath(path, name);
  return path;
}

Text FolderOf(const Text& path) {
  Text folder = path;
  RemoveLastComponent(folder);
  return folder;
}

// The places of one restore: the rule, and the data folder where everything lands that cannot go
// to its own place.
class Destinations {
 public:
  Destinations(const Text& dataFolder, const FolderCheck& ready)
      : places_(dataFolder), dataFolder_(dataFolder), ready_(ready), dataAccepted_(places_.AcceptsFolder(dataFolder)) {}

  const ClientPlaces& Places() const { return places_; }
  bool DataFolderAccepted() const { return dataAccepted_; }

  // A folder the rule accepts and that can take a file.
  bool Usable(const Text& folder) const { return places_.AcceptsFolder(folder) && ready_(folder); }

  Text InDataFolder(const Text& name) {
    if (!dataReady_) dataReady_ = dataAccepted_ && ready_(dataFolder_);
    return *dataReady_ ? Join(dataFolder_, name) : Text();
  }

  // The value follows a file that moved to the data folder; with no data folder it keeps nothing.
  std::optional<FollowingValue> Follow(const char16_t* key, const char16_t* name, const Text& data) const {
    if (!dataAccepted_) return std::nullopt;
    return FollowingValue{key, name, data};
  }

 private:
  ClientPlaces places_;
  Text dataFolder_;
  const FolderCheck& ready_;
  bool dataAccepted_;
  std::optional<bool> dataReady_;
};

// A restore never writes a program or script, whatever an archive's settings name.
void RefuseExecutables(std::vector<PlannedFile>& plan) {
  for (PlannedFile& file : plan) {
    if (!file.destination.empty() && HasExecutableExtension(FileNamePart(file.destination))) file.destination.clear();
  }
}

}  // namespace

bool PrepareFolder(const Text& folder) {
  CreateDirectoryPath(folder);
  return IsWritableFolder(folder);
}

bool FolderWouldTakeFiles(const Text& folder) {
  Text existing = folder;
  while (!existing.empty() && !IsExistingFolder(existing)) {
    const size_t before = existing.size();
    RemoveLastComponent(existing);
    if (existing.size() >= before) return false;
  }
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
  read(names::kDisplayKey, names::kListviewBitmapValue, values.listviewBitmap);
  read(names::kDisplayKey, names::kTreeviewBitmapValue, values.treeviewBitmap);
  read(names::kDisplayKey, names::kToolbarBitmapValue, values.toolbarBitmap);
  read(names::kQueueKey, names::kLastFileValue, values.queue);
  read(names::kClientKey, names::kFavoritesFolderValue, values.favoritesFolder);
  return values;
}

std::vector<PlannedFile> PlanBitmaps(BackupArchiveReader& archive, const Text& dataFolder, const RestoreValues& values,
                                     const FolderCheck& ready) {
  Destinations places(dataFolder, ready);
  std::vector<PlannedFile> plan;
  const std::pair<const char16_t*, const std::optional<Text>*> bitmaps[] = {
      {names::kListviewBitmapValue, &values.listviewBitmap},
      {names::kTreeviewBitmapValue, &values.treeviewBitmap},
      {names::kToolbarBitmapValue, &values.toolbarBitmap}};
  for (const auto& [valueName, value] : bitmaps) {
    if (!*value) continue;
    const Text& bitmap = **value;
    const Text name = FileNamePart(bitmap);
    // A fixed entry's name belongs to the settings or a data file, never to a bitmap.
    if (name.empty() || ClientPlaces::IsFixedEntryName(name) || !archive.LocateEntry(name, true)) continue;
    PlannedFile file{name, EntryLookup::FirstIgnoreCase, Text(), name, std::nullopt};
    if (!ClientPlaces::IsBitmapName(name)) {
      // brought along, but no bitmap: never written
    } else if (places.Places().AcceptsBitmap(bitmap) && places.Usable(FolderOf(bitmap))) {
      file.destination = bitmap;
    } else {
      // Like a folder that cannot be written: the bitmap goes to the data folder and the value follows it.
      file.destination = places.InDataFolder(name);
      file.value = places.Follow(names::kDisplayKey, valueName, Join(dataFolder, name));
    }
    plan.push_back(std::move(file));
  }
  RefuseExecutables(plan);
  return plan;
}

std::vector<PlannedFile> PlanApplicationData(BackupArchiveReader& archive, const Text& dataFolder,
                                             const RestoreValues& values, const FolderCheck& ready) {
  Destinations places(dataFolder, ready);
  std::vector<PlannedFile> plan;
  for (const char16_t* name : kDataFiles) {
    if (archive.LocateEntry(name, false)) plan.push_back({name, EntryLookup::First, places.InDataFolder(name), name, {}});
  }

  if (values.queue) {
    const Text& queue = *values.queue;
    const Text name = FileNamePart(queue);
    // Only a queue file's name is looked up, so no data file's entry can become the queue.
    if (ClientPlaces::IsQueueName(name) && archive.LocateLastEntry(name)) {
      if (places.Places().AcceptsQueue(queue) && places.Usable(FolderOf(queue))) {
        plan.push_back({name, EntryLookup::Last, queue, name, {}});
      } else {
        plan.push_back({name, EntryLookup::Last, places.InDataFolder(names::kQueueFallbackFile),
                        names::kQueueFallbackFile,
                        places.Follow(names::kQueueKey, names::kLastFileValue,
                                      Join(dataFolder, names::kQueueFallbackFile))});
      }
    } else if (!ClientPlaces::IsQueueName(name) && !ClientPlaces::IsFixedEntryName(name) &&
               archive.LocateLastEntry(name)) {
      plan.push_back({name, EntryLookup::Last, Text(), name, {}});  // brought along, but no queue: never written
    }
  }

  if (values.favoritesFolder && archive.LocateEntry(names::kFavoritesFile, false)) {
    const Text& favorites = *values.favoritesFolder;
    if (places.Usable(favorites)) {
      plan.push_back({names::kFavoritesFile, EntryLookup::First, Join(favorites, names::kFavoritesFile),
                      names::kFavoritesFile, {}});
    } else {
      plan.push_back({names::kFavoritesFile, EntryLookup::First, places.InDataFolder(names::kFavoritesFile),
                      names::kFavoritesFile,
                      places.Follow(names::kClientKey, names::kFavoritesFolderValue, dataFolder)});
    }
  }
  RefuseExecutables(plan);
  return plan;
}

bool LocatePlannedEntry(BackupArchiveReader& archive, const PlannedFile& file) {
  switch (file.lookup) {
    case EntryLookup::First: return archive.LocateEntry(file.entry, false);
    case EntryLookup::Last: return archive.LocateLastEntry(file.entry);
    case EntryLookup::FirstIgnoreCase: return archive.LocateEntry(file.entry, true);
  }
  return false;
}

bool RestorePlannedFiles(BackupArchiveReader& archive, const std::vector<PlannedFile>& plan, ResultLog& log) {
  bool result = true;
  for (const PlannedFile& file : plan) {
    if (file.value) {
      RegistryKey key;
      if (key.Open(RegRoot::CurrentUser, file.value->key, kKeyReadWrite) == kSuccess) {
        key.SetExpandString(file.value->name, file.value->data);
      }
    }
    if (file.destination.empty() || !LocatePlannedEntry(archive, file) ||
        !archive.ExtractCurrentEntry(file.destination)) {
      log.Add(IDS_RESTORE_FILE_FAILED, file.reportedName);
      result = false;
    }
  }
  return result;
}

}  // namespace kbt
