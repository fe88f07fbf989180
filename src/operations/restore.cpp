#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/client_places.h"
#include "operations/operation_request.h"
#include "res/resource.h"

namespace kbt {

bool OperationRequest::Restore(uint32_t selection) {
  bool result = true;
  BackupArchiveReader archive;
  archive.Progress = Progress;
  if (ArchivePath.empty() || !archive.Open(ArchivePath)) {
    Log.Add(IDS_ARCHIVE_OPEN_FAILED, ArchivePath);
    return false;
  }
  // A damaged directory would restore only the entries before the damage: nothing is changed.
  if (!archive.CheckDirectory()) {
    Log.Add(IDS_ARCHIVE_DAMAGED, ArchivePath);
    return false;
  }
  if (ClientPlaces(DataFolder).AcceptsFolder(DataFolder)) CreateDirectoryPath(DataFolder);
  // Settings first: they bring the queue's and the favorites' folders that the data step reads.
  if (selection & DataSelection::Settings) {
    if (!RestoreSettings(archive)) {
      Log.Add(IDS_RESTORE_SETTINGS_FAILED);
      result = false;
    }
  }
  if (selection & DataSelection::ApplicationData) {
    if (!RestoreApplicationData(archive)) {
      Log.Add(IDS_RESTORE_DATA_FAILED);
      result = false;
    }
  }
  archive.Close();
  return result;
}

}  // namespace kbt
