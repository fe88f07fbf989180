#pragma once
// What a restore does on this machine: the settings it writes, the place of each file of the
// archive, the fallbacks to the data folder, and so everything its undo point must record. Found
// once, without changing anything, for the restore itself and for "/verify".
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "operations/client/client_items.h"
#include "operations/restore/folder_values.h"
#include "operations/undo/planned_changes.h"
#include "platform/text.h"

namespace kbt {

class BackupArchiveReader;
class ResultLog;
class SettingsFileObserver;

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
  // Another program holds the destination open, so the undo point could not keep it: it stays.
  bool heldElsewhere = false;
  // The destination holds the entry's bytes already: it stays as it is.
  bool unchanged = false;
  // As the archive declares it.
  uint64_t size = 0;
};

// The settings values that name the client's files, by row of kClientItems; a missing value (or
// key, or one that is no string) is empty.
struct RestoreValues {
  std::array<std::optional<Text>, kClientItemCount> named;
};

// The values as the registry holds them now.
RestoreValues ReadRestoreValues();

// The check of a folder that a restore will write into: it takes files, or it is missing and its
// nearest existing parent does. Nothing is created.
bool FolderWouldTakeFiles(const Text& folder);

// The archive's "settings.reg", taken out into a temporary file of the tool's own and read exactly
// as the import will read it. The temporary file goes with the object.
class ArchiveSettings {
 public:
  ArchiveSettings() = default;
  ~ArchiveSettings();
  ArchiveSettings(const ArchiveSettings&) = delete;
  ArchiveSettings& operator=(const ArchiveSettings&) = delete;

  enum class Outcome { Absent, Read, Refused, Unreadable };
  // Refused: the file is beyond a limit or breaks a rule of the file; Unreadable: the entry cannot
  // be read whole. 'problem' then says why, in the user's language. The observer hears of every
  // key and value.
  Outcome Load(BackupArchiveReader& archive, SettingsFileObserver& observer, Text& problem);
  // Writes what Load read into the registry.
  [[nodiscard]] bool Import(ResultLog& log) const;

 private:
  Text path_;
};

struct RestorePlan {
  ArchiveSettings settings;
  bool hasSettings = false;
  // The settings cannot be applied (a rule or limit broken), or not even read whole.
  bool settingsRefused = false, settingsUnreadable = false;
  // What the settings hold: values in all, and by key (as first spelled) for the report.
  size_t values = 0;
  std::map<Text, std::pair<Text, size_t>> keys;  // by lower-case path
  std::vector<Text> ignoredSections;
  std::vector<PlannedFile> bitmaps, data;
  // Written after the import, so that the client finds this machine's folders.
  std::vector<FolderValueWrite> folderValues;
  // Everything the restore will create, write or delete.
  PlannedChanges changes;
  // Why the restore cannot start; it changes nothing then.
  std::vector<Text> refusals;
};

// Plans a restore of 'selection' (DataSelection bits) from an archive whose directory was checked.
// False when it must not start (plan.refusals say why). 'settingsObserver', when given, hears of
// every key and value the settings would write.
bool PlanRestore(BackupArchiveReader& archive, const Text& dataFolder, const Text& favoritesFolder,
                 uint32_t selection, RestorePlan& plan, SettingsFileObserver* settingsObserver = nullptr);

// Nothing is there, or a file the restore may replace (not read-only, no folder, no device).
bool IsReplaceable(const Text& path);

// Makes the planned entry current.
bool LocatePlannedEntry(BackupArchiveReader& archive, const PlannedFile& file);

// Writes the planned files and their values; each failure is logged. False when any failed.
bool RestorePlannedFiles(BackupArchiveReader& archive, const std::vector<PlannedFile>& plan, ResultLog& log);

}  // namespace kbt
