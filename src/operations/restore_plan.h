#pragma once
// Where a restore puts each file of an archive on this machine: the client's places, the folder
// rules and the fallbacks to the data folder, decided here once for the restore itself and for
// "/verify", which changes nothing.
#include <functional>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace kbt {

class BackupArchiveReader;
class ResultLog;

// How the restore finds an entry: data files by their exact name, the queue by the last entry of
// its exact name, a bitmap by the first entry whose name matches ignoring case.
enum class EntryLookup { First, Last, FirstIgnoreCase };

// A registry value that a restore points at a file's new place.
struct FollowingValue {
  const char16_t* key = nullptr;
  const char16_t* name = nullptr;
  Text data;
};

struct PlannedFile {
  Text entry;
  EntryLookup lookup = EntryLookup::First;
  // Empty when the file may go nowhere: the restore names it as failed and writes nothing.
  Text destination;
  Text reportedName;
  // Set when the file cannot go where the settings named it: the value is pointed away from that
  // place whether or not the file then arrives.
  std::optional<FollowingValue> value;
};

// The settings values that name files, as they stand once a restore has imported the archive's
// settings; a missing value (or key) is empty.
struct RestoreValues {
  std::optional<Text> listviewBitmap, treeviewBitmap, toolbarBitmap;
  std::optional<Text> queue;
  std::optional<Text> favoritesFolder;
};

// The values as the registry holds them now.
RestoreValues ReadRestoreValues();

// Makes a folder ready to take a file, or tells whether it would be: the restore creates it and
// probes it; a check only looks.
using FolderCheck = std::function<bool(const Text& folder)>;
// The restore's: creates the folder when missing; true when a file can then be written in it.
bool PrepareFolder(const Text& folder);
// The check's: the folder takes files, or it is missing and its nearest existing parent does.
bool FolderWouldTakeFiles(const Text& folder);

// The display bitmaps the archive holds, in the order the restore writes them.
std::vector<PlannedFile> PlanBitmaps(BackupArchiveReader& archive, const Text& dataFolder, const RestoreValues& values,
                                     const FolderCheck& ready);
// The data files, the queue and the favorites the archive holds.
std::vector<PlannedFile> PlanApplicationData(BackupArchiveReader& archive, const Text& dataFolder,
                                             const RestoreValues& values, const FolderCheck& ready);

// Makes the planned entry current.
bool LocatePlannedEntry(BackupArchiveReader& archive, const PlannedFile& file);

// Writes the planned files and their values; each failure is logged. False when any failed.
bool RestorePlannedFiles(BackupArchiveReader& archive, const std::vector<PlannedFile>& plan, ResultLog& log);

}  // namespace kbt
