#include <vector>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "operations/backup/backup_target.h"
#include "operations/backup/last_backup.h"
#include "operations/operation_request.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

// The archive is written beside its destination and moved into place only when complete, so a
// failed backup never destroys an earlier backup of the same name.
bool CreatePendingArchive(const Text& archivePath, Text& pendingPath) {
  Text folder = archivePath;
  RemoveLastComponent(folder);
  if (folder.empty() && !GetCurrentFolder(folder)) return false;
  File pending;
  return CreateTempFile(folder, pendingPath, pending) && pending.Close();
}

// The names of the values that could not be written; none when all were.
std::vector<Text> RecordBackup(const Text& archivePath, const LocalTime& time) {
  const Text lastFile = Text(names::kToolKey) + u'\\' + names::kLastFileValue;
  const Text timestamp = Text(names::kToolKey) + u'\\' + names::kBackupTimestampValue;
  RegistryKey key;
  if (key.Create(RegRoot::CurrentUser, names::kToolKey, kKeyReadWrite) != kSuccess) return {lastFile, timestamp};
  std::vector<Text> failed;
  if (key.SetExpandString(names::kLastFileValue, archivePath) != kSuccess) failed.push_back(lastFile);
  uint64_t fileTime = 0;
  uint8_t bytes[8];
  const bool converted = LocalTimeToFileTime(time, &fileTime);
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(fileTime >> (8 * i));
  if (!converted || SetValue(key.Get(), names::kBackupTimestampValue, kRegBinary, bytes, sizeof bytes) != kSuccess) {
    failed.push_back(timestamp);
  }
  return failed;
}

}  // namespace

Text LastBackupPath() {
  RegistryKey key;
  Text last;
  if (key.Open(RegRoot::CurrentUser, names::kToolKey, kKeyRead) != kSuccess ||
      key.QueryString(names::kLastFileValue, last, false) != kSuccess) {
    return Text();
  }
  return last;
}

bool OperationRequest::Backup(uint32_t selection) {
  // The one place that decides the target, for the command line and the wizard alike.
  ArchivePath = WithArchiveExtension(ArchivePath);
  const Text refusal = BackupTargetRefusal(ArchivePath, DataFolder, FavoritesFolder);
  if (!refusal.empty()) {
    Log.Add(refusal);
    return false;
  }
  // Also without a reset: an archive holds a state the client really had, never a run's half.
  const RunScope run(*this);
  if (!run.Held()) return false;
  bool result = true;
  Text pending;
  BackupArchiveWriter archive;
  archive.Progress = Progress;
  archive.Password = Password;
  if (ArchivePath.empty() || !CreatePendingArchive(ArchivePath, pending) || !archive.Open(pending, 0)) {
    const long why = ArchivePath.empty() ? 0 : LastError();
    // The pending archive has the tool's temporary name: should it stay, the next run removes it.
    if (!pending.empty()) static_cast<void>(RemoveFile(pending));
    Log.AddFailure(why, IDS_ARCHIVE_CREATE_FAILED, ArchivePath);
    return false;
  }
  // The bar runs once over the whole backup: the data files are expected before the settings
  // step adds its own files, which it expects itself.
  if (selection & DataSelection::ApplicationData) {
    for (const auto& source : BackupDataSources()) archive.ExpectFile(source.first);
  }
  // An archive that cannot be written fails every step after it: it is named once, at the end.
  if (selection & DataSelection::Settings) {
    if (!BackupSettings(archive)) {
      if (!archive.TargetFailed() && !archive.Cancelled()) Log.Add(IDS_BACKUP_SETTINGS_FAILED);
      result = false;
    }
  }
  if ((selection & DataSelection::ApplicationData) && !archive.Cancelled()) {
    if (!BackupApplicationData(archive)) {
      if (!archive.TargetFailed() && !archive.Cancelled()) Log.Add(IDS_BACKUP_DATA_FAILED);
      result = false;
    }
  }
  // A cancelled backup leaves no trace: the earlier archive stays, nothing is reset or recorded.
  if (archive.Cancelled()) {
    // Closed only to be removed: what it holds is thrown away.
    static_cast<void>(archive.Close());
    static_cast<void>(RemoveFile(pending));  // the tool's temporary name: the next run removes what stays
    Log.Add(IDS_BACKUP_CANCELLED, ArchivePath);
    Summary.cancelled = true;
    return false;
  }
  const LocalTime now = GetLocalTime();
  archive.CommentText = FormatBackupComment(Comment, now);
  archive.HasComment = true;
  // Only a complete backup replaces an earlier archive of that name; an incomplete one is removed.
  const bool closed = archive.Close();
  const bool completed = closed && result && MoveReplacing(pending, ArchivePath);
  if (!completed) {
    const long why = archive.TargetFailed() ? archive.LastFailure() : closed && result ? LastError() : 0;
    static_cast<void>(RemoveFile(pending));  // as above
    Log.AddFailure(why, IDS_ARCHIVE_COMPLETE_FAILED, ArchivePath);
    result = false;
  } else {
    Summary.archiveWritten = true;
    File written;
    if (written.Open(ArchivePath, FileMode::ReadShared)) static_cast<void>(written.Size(&Summary.archiveBytes));
  }
  if (ResetAfterBackup) {
    // Data that did not reach the archive must not be deleted.
    if (result) {
      Summary.resetAfterBackup = true;
      result = Reset(GetSelection()) && result;
    } else {
      Log.Add(IDS_RESET_SKIPPED);
    }
  }
  if (completed) {
    for (const Text& value : RecordBackup(ArchivePath, now)) {
      Log.Add(IDS_REGISTRY_WRITE_FAILED, value);
      result = false;
    }
  }
  return result;
}

}  // namespace kbt
