#include "operations/undo_point.h"

#include <algorithm>
#include <tuple>

#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "operations/file_checks.h"
#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {

constexpr unsigned kMaxSequence = 99;

void AppendDigits(Text& text, unsigned value, size_t width) {
  Text digits;
  for (size_t i = 0; i < width; ++i, value /= 10) digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
  text += digits;
}

// Names the newest free undo point of this second and creates it empty, so that no other run can
// take the same name; the backup replaces it when complete.
bool ReserveUndoPoint(const Text& folder, Text& path) {
  const LocalTime now = GetLocalTime();
  for (unsigned sequence = 1; sequence <= kMaxSequence; ++sequence) {
    path = folder;
    AppendPath(path, UndoPointName(now, sequence));
    if (CreateNewFile(path)) return true;
    if (!IsExistingFile(path)) break;  // not taken, just impossible: the folder cannot be written
  }
  path.clear();
  return false;
}

// Only after a new undo point is complete: the oldest go until ten are left.
void RemoveOldUndoPoints(const Text& folder) {
  const std::vector<Text> points = ListUndoPoints(folder);
  if (points.size() <= kUndoPointsKept) return;
  for (size_t i = 0; i < points.size() - kUndoPointsKept; ++i) {
    Text path = folder;
    AppendPath(path, points[i]);
    RemoveFile(path);
  }
}

}  // namespace

bool GetUndoFolder(Text& folder) {
  if (!GetLocalAppDataFolder(folder) || folder.empty()) return false;
  for (const char16_t* part : names::kUndoFolderParts) AppendPath(folder, part);
  return true;
}

Text UndoPointName(const LocalTime& time, unsigned sequence) {
  Text name;
  AppendDigits(name, time.year, 4);
  AppendDigits(name, time.month, 2);
  AppendDigits(name, time.day, 2);
  name += u'-';
  AppendDigits(name, time.hour, 2);
  AppendDigits(name, time.minute, 2);
  AppendDigits(name, time.second, 2);
  name += u'-';
  AppendDigits(name, sequence, 2);
  return name + names::kUndoPointExtension;
}

bool IsUndoPointName(const Text& name) {
  const Text pattern = UndoPointName(LocalTime(), 0);  // "00000000-000000-00.zip"
  if (name.size() != pattern.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const bool digit = name[i] >= u'0' && name[i] <= u'9';
    if (pattern[i] == u'0' ? !digit : LowerAscii(name[i]) != pattern[i]) return false;
  }
  return true;
}

std::vector<Text> ListUndoPoints(const Text& folder) {
  std::vector<Text> names;
  if (!ListFileNames(folder, names)) return {};
  names.erase(std::remove_if(names.begin(), names.end(), [](const Text& name) { return !IsUndoPointName(name); }),
              names.end());
  std::sort(names.begin(), names.end());
  return names;
}

bool OperationRequest::NeedsUndoPoint() const {
  return UndoPointWanted &&
         (mode_ == OperationMode::Restore || mode_ == OperationMode::Reset || mode_ == OperationMode::Undo);
}

bool OperationRequest::ChooseNewestUndoPoint() {
  if (!ArchivePath.empty()) return true;
  Text folder;
  GetUndoFolder(folder);
  const std::vector<Text> points = ListUndoPoints(folder);
  if (points.empty()) {
    Log.Add(IDS_NO_UNDO_POINT, folder);
    return false;
  }
  ArchivePath = folder;
  AppendPath(ArchivePath, points.back());
  return true;
}

bool OperationRequest::TakeUndoPoint() {
  UndoPointPath.clear();
  // An undo goes back to the newest undo point before this one.
  if (mode_ == OperationMode::Undo && !ChooseNewestUndoPoint()) return false;
  Text folder;
  Text path;
  if (!GetUndoFolder(folder)) {
    Log.Add(IDS_UNDO_POINT_FAILED, folder);
    return false;
  }
  CreateDirectoryPath(folder);
  if (!ReserveUndoPoint(folder, path)) {
    Log.Add(IDS_UNDO_POINT_FAILED, folder);
    return false;
  }
  // The same backup as any other, of everything, but never recorded as the user's last backup.
  OperationRequest point(OperationMode::Backup);
  point.DataFolder = DataFolder;
  point.FavoritesFolder = FavoritesFolder;
  point.SettingsKeys = SettingsKeys;
  point.ArchivePath = path;
  point.RecordAsLastBackup = false;
  point.Progress = Progress;
  switch (mode_) {
    case OperationMode::Reset: point.Comment = names::kUndoBeforeReset; break;
    case OperationMode::Undo: point.Comment = names::kUndoBeforeUndo + ArchivePath; break;
    default: point.Comment = names::kUndoBeforeRestore + ArchivePath; break;
  }
  const bool complete = point.Backup(DataSelection::ApplicationData | DataSelection::Settings);
  for (const Text& entry : point.Log.Entries()) Log.Add(entry);
  if (!complete) {
    RemoveFile(path);
    Log.Add(IDS_UNDO_POINT_FAILED, path);
    return false;
  }
  UndoPointPath = path;
  RemoveOldUndoPoints(folder);
  return true;
}

bool OperationRequest::Undo() {
  if (!ChooseNewestUndoPoint()) return false;
  // The undo point must be readable, its directory whole, before anything of today's client is removed.
  BackupArchiveReader archive;
  if (!archive.Open(ArchivePath)) {
    Log.Add(IDS_ARCHIVE_OPEN_FAILED, ArchivePath);
    return false;
  }
  if (!archive.CheckDirectory()) {
    Log.Add(IDS_ARCHIVE_DAMAGED, ArchivePath);
    return false;
  }
  bool result = true;
  // As a reset removes them, but a file that is already gone is no failure: it is as the undo wants it.
  for (const Text& file : ResettableDataFiles()) {
    if (!RemoveFile(file) && IsExistingFile(file)) result = false;
  }
  if (!result) Log.Add(IDS_RESET_DATA_FAILED);
  if (!ResetSettings()) {
    Log.Add(IDS_RESET_SETTINGS_FAILED);
    result = false;
  }
  // The client's folders are the undo point's: after a reset today's registry names none.
  Text storedData;
  Text storedFavorites;
  if (ImportArchiveSettings(archive)) TakeFoldersFromRegistry(storedData, storedFavorites);
  archive.Close();
  result = Restore(DataSelection::ApplicationData | DataSelection::Settings) && result;
  // The restore writes the folders expanded; unless it had to move them they come back spelled as
  // the undo point holds them ("%USERPROFILE%\..." stays so).
  RegistryKey client;
  if (client.Open(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess) {
    for (const auto& [name, stored, folder] : {std::tuple<const char16_t*, const Text&, const Text&>{
                                                   names::kDataPathValue, storedData, DataFolder},
                                               {names::kFavoritesFolderValue, storedFavorites, FavoritesFolder}}) {
      Text now;
      if (!stored.empty() && client.QueryString(name, now, true) == kSuccess && now == folder) {
        client.SetExpandString(name, stored);
      }
    }
  }
  return result;
}

void OperationRequest::TakeFoldersFromRegistry(Text& storedData, Text& storedFavorites) {
  RegistryKey client;
  if (client.Open(RegRoot::CurrentUser, names::kClientKey, kKeyRead) != kSuccess) return;
  Text folder;
  if (client.QueryString(names::kDataPathValue, folder, true) == kSuccess && !folder.empty()) {
    DataFolder = folder;
    client.QueryString(names::kDataPathValue, storedData, false);
  }
  if (client.QueryString(names::kFavoritesFolderValue, folder, true) == kSuccess && !folder.empty()) {
    FavoritesFolder = folder;
    client.QueryString(names::kFavoritesFolderValue, storedFavorites, false);
  } else {
    FavoritesFolder = DataFolder;
  }
}

}  // namespace kbt
