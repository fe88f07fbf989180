#include "archive/backup_archive.h"
#include "archive/directory_path.h"
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

// A folder recorded by the client that a restore may write into. A relative or empty path (for
// example an unexpanded %APPDATA%) would land beside the working folder, so it counts as not writable.
bool IsUsableFolder(const Text& folder) { return !IsRelativePath(folder) && IsWritableFolder(folder); }

}  // namespace

bool OperationRequest::BackupApplicationData(BackupArchiveWriter& archive) {
  bool result = true;
  auto add = [&](const Text& path, const Text& entryName) {
    if (!IsExistingFile(path)) return;
    if (!archive.AddFile(path, entryName, -1)) {
      Log.Add(IDS_BACKUP_FILE_FAILED, entryName);
      result = false;
    }
  };
  for (const char16_t* name : kDataFiles) add(Join(DataFolder, name), name);
  add(Join(FavoritesFolder, names::kFavoritesFile), names::kFavoritesFile);

  RegistryKey queueKey;
  Text queue;
  if (queueKey.Open(RegRoot::CurrentUser, names::kQueueKey, kKeyRead) == kSuccess &&
      queueKey.QueryString(names::kLastFileValue, queue, false) == kSuccess) {
    add(queue, FileNamePart(queue));
  }
  return result;
}

bool OperationRequest::RestoreApplicationData(BackupArchiveReader& archive) {
  bool result = true;
  auto extract = [&](const Text& destination, const Text& reportedName) {
    if (!HasExecutableExtension(FileNamePart(destination)) && archive.ExtractCurrentEntry(destination)) return;
    Log.Add(IDS_RESTORE_FILE_FAILED, reportedName);
    result = false;
  };

  for (const char16_t* name : kDataFiles) {
    if (archive.LocateEntry(name, false)) extract(Join(DataFolder, name), name);
  }

  {
    RegistryKey queueKey;
    Text queue;
    if (queueKey.Open(RegRoot::CurrentUser, names::kQueueKey, kKeyReadWrite) == kSuccess &&
        queueKey.QueryString(names::kLastFileValue, queue, false) == kSuccess) {
      const Text name = FileNamePart(queue);
      // The queue is written after the fixed files, so a queue named like one of them is the last entry.
      if (!name.empty() && archive.LocateLastEntry(name)) {
        Text folder = queue;
        RemoveLastComponent(folder);
        if (!IsRelativePath(folder)) CreateDirectoryPath(folder);
        if (IsUsableFolder(folder)) {
          extract(queue, name);
        } else {
          const Text fallback = Join(DataFolder, names::kQueueFallbackFile);
          extract(fallback, names::kQueueFallbackFile);
          queueKey.SetExpandString(names::kLastFileValue, fallback);
        }
      }
    }
  }

  RegistryKey client;
  Text favorites;
  if (client.Open(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess &&
      client.QueryString(names::kFavoritesFolderValue, favorites, false) == kSuccess &&
      archive.LocateEntry(names::kFavoritesFile, false)) {
    if (!IsRelativePath(favorites)) CreateDirectoryPath(favorites);
    if (IsUsableFolder(favorites)) {
      extract(Join(favorites, names::kFavoritesFile), names::kFavoritesFile);
    } else {
      extract(Join(DataFolder, names::kFavoritesFile), names::kFavoritesFile);
      client.SetExpandString(names::kFavoritesFolderValue, DataFolder);
    }
  }
  return result;
}

}  // namespace kbt
