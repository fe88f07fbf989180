#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/client_places.h"
#include "operations/file_checks.h"
#include "operations/operation_request.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

const char16_t* const kDataFiles[] = {names::kHistoryFile, names::kCustomFile, names::kFoldersFile};

Text Join(const Text& folder, const Text& name) {
  if (folder.empty()) return Text();  // no folder: nowhere to read or write
  Text path = folder;
  AppendPath(path, name);
  return path;
}

Text FolderOf(const Text& path) {
  Text folder = path;
  RemoveLastComponent(folder);
  return folder;
}

// A folder the rule accepts is created when missing; it is used only when it can be written.
bool PrepareFolder(const ClientPlaces& places, const Text& folder) {
  if (!places.AcceptsFolder(folder)) return false;
  CreateDirectoryPath(folder);
  return IsWritableFolder(folder);
}

}  // namespace

bool OperationRequest::BackupApplicationData(BackupArchiveWriter& archive) {
  const ClientPlaces places(DataFolder);
  bool result = true;
  auto add = [&](const Text& path, const Text& entryName) {
    if (!IsExistingFile(path)) return;
    if (!archive.AddFile(path, entryName, -1)) {
      Log.Add(IDS_BACKUP_FILE_FAILED, entryName);
      result = false;
    }
  };
  if (places.AcceptsFolder(DataFolder)) {
    for (const char16_t* name : kDataFiles) add(Join(DataFolder, name), name);
  }
  if (places.AcceptsFolder(FavoritesFolder)) add(Join(FavoritesFolder, names::kFavoritesFile), names::kFavoritesFile);

  // A queue value that names anything but a queue file never brings that file into an archive.
  RegistryKey queueKey;
  Text queue;
  if (queueKey.Open(RegRoot::CurrentUser, names::kQueueKey, kKeyRead) == kSuccess &&
      queueKey.QueryString(names::kLastFileValue, queue, false) == kSuccess && places.AcceptsQueue(queue)) {
    add(queue, FileNamePart(queue));
  }
  return result;
}

bool OperationRequest::RestoreApplicationData(BackupArchiveReader& archive) {
  const ClientPlaces places(DataFolder);
  const bool dataFolderAccepted = places.AcceptsFolder(DataFolder);
  bool result = true;
  auto extract = [&](const Text& destination, const Text& reportedName) {
    if (!HasExecutableExtension(FileNamePart(destination)) && archive.ExtractCurrentEntry(destination)) return;
    Log.Add(IDS_RESTORE_FILE_FAILED, reportedName);
    result = false;
  };
  // The data folder is where everything lands that cannot go to its own place.
  auto extractToDataFolder = [&](const Text& name) {
    if (dataFolderAccepted) {
      extract(Join(DataFolder, name), name);
    } else {
      Log.Add(IDS_RESTORE_FILE_FAILED, name);
      result = false;
    }
  };

  for (const char16_t* name : kDataFiles) {
    if (archive.LocateEntry(name, false)) extractToDataFolder(name);
  }

  {
    RegistryKey queueKey;
    Text queue;
    if (queueKey.Open(RegRoot::CurrentUser, names::kQueueKey, kKeyReadWrite) == kSuccess &&
        queueKey.QueryString(names::kLastFileValue, queue, false) == kSuccess) {
      const Text name = FileNamePart(queue);
      // Only a queue file's name is looked up, so no data file's entry can become the queue.
      if (ClientPlaces::IsQueueName(name) && archive.LocateLastEntry(name)) {
        if (places.AcceptsQueue(queue) && PrepareFolder(places, FolderOf(queue))) {
          extract(queue, name);
        } else {
          extractToDataFolder(names::kQueueFallbackFile);
          if (dataFolderAccepted) queueKey.SetExpandString(names::kLastFileValue, Join(DataFolder, names::kQueueFallbackFile));
        }
      } else if (!ClientPlaces::IsQueueName(name) && !ClientPlaces::IsFixedEntryName(name) && archive.LocateLastEntry(name)) {
        Log.Add(IDS_RESTORE_FILE_FAILED, name);  // brought along, but no queue: never written
        result = false;
      }
    }
  }

  RegistryKey client;
  Text favorites;
  if (client.Open(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess &&
      client.QueryString(names::kFavoritesFolderValue, favorites, false) == kSuccess &&
      archive.LocateEntry(names::kFavoritesFile, false)) {
    if (PrepareFolder(places, favorites)) {
      extract(Join(favorites, names::kFavoritesFile), names::kFavoritesFile);
    } else {
      extractToDataFolder(names::kFavoritesFile);
      if (dataFolderAccepted) client.SetExpandString(names::kFavoritesFolderValue, DataFolder);
    }
  }
  return result;
}

}  // namespace kbt
