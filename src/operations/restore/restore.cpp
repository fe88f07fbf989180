#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/client/client_places.h"
#include "operations/operation_request.h"
#include "operations/restore/archive_password.h"
#include "operations/restore/restore_plan.h"
#include "operations/undo/undo_point.h"
#include "res/resource.h"

namespace kbt {
using platform::LastError;

bool OperationRequest::Restore(uint32_t selection) {
  const RunScope run(*this);
  if (!run.Held()) return false;
  BackupArchiveReader archive;
  archive.Progress = Progress;
  if (ArchivePath.empty() || !archive.Open(ArchivePath)) {
    Log.AddFailure(ArchivePath.empty() ? 0 : LastError(), IDS_ARCHIVE_OPEN_FAILED, ArchivePath);
    return false;
  }
  // A damaged directory would restore only the entries before the damage: nothing is changed.
  if (!archive.CheckDirectory()) {
    Log.Add(IDS_ARCHIVE_DAMAGED, ArchivePath);
    return false;
  }
  // A protected archive is opened with its password before anything is planned or changed.
  Text locked;
  if (!UnlockArchive(archive, ArchivePath, Password, locked)) {
    Log.Add(u"%s", locked);
    return false;
  }
  if (selection == 0) return true;
  if (!RecoverInterrupted()) return false;
  // Everything is decided before the first change, from the plan "/verify" shows.
  RestorePlan plan;
  if (!PlanRestore(archive, DataFolder, FavoritesFolder, selection, plan)) {
    for (const Text& refusal : plan.refusals) Log.Add(refusal);
    Log.Add(IDS_RESTORE_SETTINGS_FAILED);
    return false;
  }
  if (!BeginChanges(UndoKind::Restore, ArchivePath, plan.changes)) return false;
  // What the undo point could not keep, the restore must not replace.
  for (std::vector<PlannedFile>* files : {&plan.bitmaps, &plan.data}) {
    for (PlannedFile& file : *files) {
      file.heldElsewhere = IsHeldElsewhere(file.destination);
    }
  }

  bool result = true;
  if (ClientPlaces(DataFolder).AcceptsFolder(DataFolder)) CreateDirectoryPath(DataFolder);
  // Settings first: they bring the queue's and the favorites' folders that the data step reads.
  if (selection & DataSelection::Settings) {
    if (!RestoreSettings(archive, plan)) {
      Log.Add(IDS_RESTORE_SETTINGS_FAILED);
      result = false;
    }
  }
  if (selection & DataSelection::ApplicationData) {
    if (!RestoreApplicationData(archive, plan)) {
      Log.Add(IDS_RESTORE_DATA_FAILED);
      result = false;
    }
  }
  archive.Close();
  if (result) {
    Summary.restoredValues = (selection & DataSelection::Settings) && plan.hasSettings ? plan.values : 0;
    for (const std::vector<PlannedFile>* files : {&plan.bitmaps, &plan.data}) Summary.restoredFiles += files->size();
  }
  return EndChanges(result);
}

}  // namespace kbt
