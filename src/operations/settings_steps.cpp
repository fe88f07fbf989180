#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/file_checks.h"
#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {
bool TemporarySettingsPath(Text& path) {
  if (!GetTempFolder(path)) return false;
  AppendPath(path, names::kSettingsFile);
  return true;
}
}  // namespace

bool OperationRequest::BackupSettings(BackupArchiveWriter& archive) {
  bool result = true;
  Text settingsFile;
  // Without a temporary folder there is no settings file: the archive would silently lack the settings.
  if (!TemporarySettingsPath(settingsFile)) {
    result = false;
  } else {
    result = ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, settingsFile, false, false);
    for (const Text& key : SettingsKeys) {
      if (!ExportKeyToFile(RegRoot::CurrentUser, key, settingsFile, true, true)) result = false;
    }
    if (result && !archive.AddFile(settingsFile, names::kSettingsFile, -1)) result = false;
    RemoveFile(settingsFile);
  }

  RegistryKey display;
  if (display.Open(RegRoot::CurrentUser, names::kDisplayKeyForBackup, kKeyRead) != kSuccess) return result;
  for (const char16_t* value : {names::kListviewBitmapValue, names::kToolbarBitmapValue, names::kTreeviewBitmapValue}) {
    Text bitmap;
    if (display.QueryString(value, bitmap, false) != kSuccess) continue;
    if (!IsExistingFile(bitmap)) continue;
    if (!archive.AddFile(bitmap, FileNamePart(bitmap), -1)) {
      Log.Add(IDS_BACKUP_FILE_FAILED, bitmap);
      result = false;
    }
  }
  return result;
}

bool OperationRequest::RestoreSettings(BackupArchiveReader& archive) {
  bool result = true;
  Text settingsFile;
  if (!TemporarySettingsPath(settingsFile)) {
    result = false;
  } else if (archive.LocateEntry(names::kSettingsFile, false)) {
    // An archive without settings (a data-only backup) is fine; one whose settings can't be read is not.
    if (archive.ExtractCurrentEntry(settingsFile)) {
      result = ImportSettingsFile(settingsFile);
      RemoveFile(settingsFile);
    } else {
      result = false;
    }
  }

  // The folders of this machine, not those of the machine that made the backup.
  {
    RegistryKey client;
    if (client.Open(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess) {
      client.SetExpandString(names::kDataPathValue, DataFolder);
      client.SetExpandString(names::kFavoritesFolderValue, FavoritesFolder);
    }
  }

  RegistryKey display;
  if (display.Open(RegRoot::CurrentUser, names::kDisplayKey, kKeyRead) != kSuccess) return result;
  for (const char16_t* value : {names::kListviewBitmapValue, names::kTreeviewBitmapValue, names::kToolbarBitmapValue}) {
    Text bitmap;
    if (display.QueryString(value, bitmap, false) != kSuccess) continue;
    Text folder = bitmap;
    RemoveLastComponent(folder);
    const Text name = FileNamePart(bitmap);
    if (!archive.LocateEntry(name, true)) continue;
    if (HasExecutableExtension(name) || IsRelativePath(bitmap)) {
      Log.Add(IDS_RESTORE_FILE_FAILED, name);
      result = false;
      continue;
    }
    CreateDirectoryPath(folder);
    if (!archive.ExtractCurrentEntry(bitmap)) {
      Log.Add(IDS_RESTORE_FILE_FAILED, name);
      result = false;
    }
  }
  return result;
}

}  // namespace kbt
