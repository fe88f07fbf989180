#include <algorithm>
#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "operations/client/client_items.h"
#include "operations/client/client_places.h"
#include "operations/client/file_checks.h"
#include "operations/operation_request.h"
#include "operations/restore/restore_plan.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_writer.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {
// A name of the tool's own: never a user's file, never shared by two runs, and what a killed run
// left (the client's settings, perhaps with stored credentials) goes with the next run's.
bool TemporarySettingsPath(Text& path) {
  Text folder;
  File placeholder;
  return GetTempFolder(folder) && CreateTempFile(folder, path, placeholder) && placeholder.Close();
}

// The bitmaps the display settings name, one per entry name so that a restore finds the right
// bytes; 'clashes' gets the others of a name that two different files share.
std::vector<Text> BitmapSources(const Text& dataFolder, std::vector<Text>* clashes) {
  const ClientPlaces places(dataFolder);
  const RestoreValues today = ReadRestoreValues();
  std::vector<Text> added;
  for (size_t row = 0; row < kClientItemCount; ++row) {
    if (kClientItems[row].kind != ItemKind::Bitmap || !today.named[row]) continue;
    const Text& bitmap = *today.named[row];
    // A value that names anything but a bitmap of the client's never brings that file into an archive.
    if (!IsExistingFile(bitmap) || !places.AcceptsBitmap(bitmap)) continue;
    const Text name = FileNamePart(bitmap);
    const auto same = std::find_if(added.begin(), added.end(),
                                   [&](const Text& path) { return EqualsIgnoreAsciiCase(FileNamePart(path), name); });
    if (same == added.end()) {
      added.push_back(bitmap);
    } else if (!EqualsIgnoreAsciiCase(*same, bitmap) && clashes) {  // else one file behind two values
      clashes->push_back(bitmap);
    }
  }
  return added;
}

}  // namespace

bool OperationRequest::BackupSettings(BackupArchiveWriter& archive) {
  bool result = true;
  std::vector<Text> clashes;
  const std::vector<Text> bitmaps = BitmapSources(DataFolder, &clashes);
  for (const Text& bitmap : bitmaps) archive.ExpectFile(bitmap);
  Text settingsFile;
  // Without a temporary folder there is no settings file: the archive would silently lack the settings.
  if (!TemporarySettingsPath(settingsFile)) {
    result = false;
  } else {
    ExportProblems leftOut;
    result = ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, settingsFile, false, false, &leftOut);
    for (const Text& key : SettingsKeys) {
      if (!ExportKeyToFile(RegRoot::CurrentUser, key, settingsFile, true, true, &leftOut)) result = false;
    }
    if (result) {
      archive.ExpectFile(settingsFile);
      if (!archive.AddFile(settingsFile, names::kSettingsFile, -1)) result = false;
    }
    static_cast<void>(RemoveFile(settingsFile));  // the tool's own temporary name: the next run removes what stays
    // Everything else is in the archive; what could not be is named and fails the step.
    for (const Text& value : leftOut.values) Log.Add(IDS_VALUE_NAME_LINE_BREAK, value);
    for (const Text& key : leftOut.keys) Log.Add(IDS_KEY_NAME_LINE_BREAK, key);
    if (!leftOut.values.empty() || !leftOut.keys.empty()) result = false;
  }

  for (const Text& bitmap : clashes) Log.Add(IDS_BACKUP_FILE_FAILED, bitmap);
  if (!clashes.empty()) result = false;
  for (const Text& bitmap : bitmaps) {
    if (archive.TargetFailed()) break;
    if (!archive.AddFile(bitmap, FileNamePart(bitmap), -1)) {
      if (!archive.TargetFailed() && !archive.Cancelled()) Log.AddFailure(archive.LastFailure(), IDS_BACKUP_FILE_FAILED, bitmap);
      result = false;
    }
  }
  return result;
}

bool OperationRequest::RestoreSettings(BackupArchiveReader& archive, const RestorePlan& plan) {
  bool result = !plan.hasSettings || plan.settings.Import(Log);
  // The folders of this machine, not those of the machine that made the backup.
  RegistryKey client;
  const bool opened = plan.folderValues.empty() ||
                      client.Create(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess;
  for (const FolderValueWrite& write : plan.folderValues) {
    const ValueData& value = write.value;
    if (!opened || SetValue(client.Get(), write.name, value.type, value.data.data(),
                            static_cast<uint32_t>(value.data.size())) != kSuccess) {
      Log.Add(IDS_REGISTRY_WRITE_FAILED, Text(names::kClientKey) + u"\\" + write.name);
      result = false;
    }
  }
  return RestorePlannedFiles(archive, plan.bitmaps, Log) && result;
}

}  // namespace kbt
