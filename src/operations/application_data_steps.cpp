#include "archive/backup_archive.h"
#include "operations/client_places.h"
#include "operations/file_checks.h"
#include "operations/operation_request.h"
#include "operations/restore_plan.h"
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

}  // namespace

bool OperationRequest::BackupApplicationData(BackupArchiveWriter& archive) {
  const ClientPlaces places(DataFolder);
  bool result = true;
  auto add = [&](const Text& path, const Text& entryName) {
    if (!IsExistingFile(path)) return;
    if (!archive.AddFile(path, entryName, -1)) {
      // After a cancel no file failed: the backup says it was cancelled.
      if (!archive.Cancelled()) Log.Add(IDS_BACKUP_FILE_FAILED, entryName);
      result = false;
    }
  };
  // A folder that is set but refused leaves its files out of the archive: the backup says so.
  Text refused;
  auto usable = [&](const Text& folder) {
    const ClientPlaces::Verdict verdict = places.Judge(folder);
    if (verdict == ClientPlaces::Verdict::Accepted) return true;
    if (!folder.empty() && folder != refused) {
      Log.Add(ClientPlaces::RefusalText(folder, verdict));
      refused = folder;
      result = false;
    }
    return false;
  };
  if (usable(DataFolder)) {
    for (const char16_t* name : kDataFiles) add(Join(DataFolder, name), name);
  }
  if (usable(FavoritesFolder)) add(Join(FavoritesFolder, names::kFavoritesFile), names::kFavoritesFile);

  // A queue value that names anything but a queue file never brings that file into an archive.
  RegistryKey queueKey;
  Text queue;
  if (queueKey.Open(RegRoot::CurrentUser, names::kQueueKey, kKeyRead) == kSuccess &&
      queueKey.QueryString(names::kLastFileValue, queue, false) == kSuccess && places.AcceptsQueue(queue)) {
    add(queue, FileNamePart(queue));
  }
  return result;
}

bool OperationRequest::RestoreApplicationData(BackupArchiveReader& archive, const RestorePlan& plan) {
  return RestorePlannedFiles(archive, plan.data, Log);
}

}  // namespace kbt
