#include <algorithm>

#include "archive/backup_archive.h"
#include "operations/client/client_items.h"
#include "operations/client/client_places.h"
#include "operations/client/file_checks.h"
#include "operations/operation_request.h"
#include "operations/restore/restore_plan.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

std::vector<std::pair<Text, Text>> OperationRequest::BackupDataSources(std::vector<Text>* refusals) const {
  const ClientPlaces places(DataFolder);
  std::vector<std::pair<Text, Text>> sources;
  auto add = [&](const Text& path, const Text& entryName) {
    if (IsExistingFile(path)) sources.emplace_back(path, entryName);
  };
  // A folder that is set but refused leaves its files out of the archive: the backup says so.
  auto usable = [&](const Text& folder) {
    const ClientPlaces::Verdict verdict = places.Judge(folder);
    if (verdict == ClientPlaces::Verdict::Accepted) return true;
    if (!folder.empty() && refusals) {
      const Text refusal = ClientPlaces::RefusalText(folder, verdict);
      if (std::find(refusals->begin(), refusals->end(), refusal) == refusals->end()) refusals->push_back(refusal);
    }
    return false;
  };
  const bool dataUsable = usable(DataFolder);
  const RestoreValues today = ReadRestoreValues();
  for (size_t row = 0; row < kClientItemCount; ++row) {
    const ClientItem& item = kClientItems[row];
    switch (item.kind) {
      case ItemKind::DataFile:
        if (dataUsable) add(PathIn(DataFolder, item.fileName), item.fileName);
        break;
      case ItemKind::Favorites:
        if (usable(FavoritesFolder)) add(PathIn(FavoritesFolder, item.fileName), item.fileName);
        break;
      case ItemKind::Queue:
        // A queue value that names anything but a queue file never brings that file into an archive.
        if (today.named[row] && places.AcceptsQueue(*today.named[row])) add(*today.named[row], FileNamePart(*today.named[row]));
        break;
      case ItemKind::Bitmap: break;  // with the settings
    }
  }
  return sources;
}

bool OperationRequest::BackupApplicationData(BackupArchiveWriter& archive) {
  std::vector<Text> refusals;
  const std::vector<std::pair<Text, Text>> sources = BackupDataSources(&refusals);
  bool result = refusals.empty();
  for (const Text& refusal : refusals) Log.Add(refusal);
  for (const auto& [path, entryName] : sources) {
    if (archive.TargetFailed()) break;
    if (!archive.AddFile(path, entryName, -1)) {
      if (!archive.TargetFailed() && !archive.Cancelled()) Log.AddFailure(archive.LastFailure(), IDS_BACKUP_FILE_FAILED, entryName);
      result = false;
    }
  }
  return result;
}

bool OperationRequest::RestoreApplicationData(BackupArchiveReader& archive, const RestorePlan& plan) {
  return RestorePlannedFiles(archive, plan.data, Log);
}

}  // namespace kbt
