#pragma once
// What to do and what went wrong: the one request that every front end fills in.
#include <cstdint>
#include <vector>

#include "archive/progress.h"
#include "operations/result_log.h"
#include "operations/verify.h"
#include "regfile/settings_key_list.h"

namespace kbt {

class BackupArchiveWriter;
class BackupArchiveReader;

// Verify changes nothing: it tells what a restore of the archive would do.
enum class OperationMode : int32_t { Backup = 0, Restore = 1, Reset = 2, Verify = 3, Undo = 4 };

namespace DataSelection {
constexpr uint32_t ApplicationData = 1;
constexpr uint32_t Settings = 2;
}  // namespace DataSelection

class OperationRequest {
 public:
  explicit OperationRequest(OperationMode mode) : mode_(mode) {}
  virtual ~OperationRequest() = default;
  OperationRequest(const OperationRequest&) = delete;
  OperationRequest& operator=(const OperationRequest&) = delete;

  Text DataFolder;
  Text FavoritesFolder;
  Text ArchivePath;
  Text Comment;
  bool ResetAfterBackup = false;
  ResultLog Log;
  SettingsKeyList SettingsKeys;
  // Told about each file the archive takes in or gives out; empty for the command line.
  ProgressCallback Progress;
  // What Verify found.
  VerifyReport Verification;
  // "/noundo" clears it: a restore, reset or undo then starts without an undo point.
  bool UndoPointWanted = true;
  // The undo point written by TakeUndoPoint; empty when none was.
  Text UndoPointPath;
  // Undo points are backups too, but never the user's last backup.
  bool RecordAsLastBackup = true;

  void SetUnattended(bool unattended) { unattended_ = unattended; }
  bool IsUnattended() const { return unattended_; }
  void SetMode(OperationMode mode) { mode_ = mode; }
  OperationMode GetMode() const { return mode_; }
  void AddSelection(uint32_t bits) { selection_ |= bits; }
  void RemoveSelection(uint32_t bits) { selection_ &= ~bits; }
  uint32_t GetSelection() const { return selection_; }

  // The operation that the mode names; false for a mode outside the five.
  bool Run();
  bool Backup(uint32_t selection);
  bool Restore(uint32_t selection);
  bool Reset(uint32_t selection);
  // True when a restore of the archive would succeed completely; its problems are logged too.
  bool Verify();
  // Puts the client back as the undo point ArchivePath holds it (the newest one when empty).
  bool Undo();

  // A restore, reset or undo changes the client, so an undo point comes first unless declined.
  bool NeedsUndoPoint() const;
  // Writes a complete backup of the client as it is now into the undo folder, keeps the newest ten
  // and sets UndoPointPath. For an undo, first picks the undo point it goes back to. False, with
  // the reason logged, when no complete undo point could be written: nothing else is changed then.
  bool TakeUndoPoint();

  // Steps of the operations.
  bool ResetApplicationData();
  // The data files a reset deletes: the client's own, as the rule for its places accepts them.
  std::vector<Text> ResettableDataFiles() const;
  bool ResetSettings();
  bool BackupSettings(BackupArchiveWriter& archive);
  bool RestoreSettings(BackupArchiveReader& archive);
  // The archive's "settings.reg" merged into the registry, nothing else; true for an archive without one.
  bool ImportArchiveSettings(BackupArchiveReader& archive);
  bool BackupApplicationData(BackupArchiveWriter& archive);
  bool RestoreApplicationData(BackupArchiveReader& archive);

 private:
  bool ChooseNewestUndoPoint();
  // "Data Path" and "Favorites Folder" as the registry now holds them become this run's folders;
  // the stored (unexpanded) texts are handed back.
  void TakeFoldersFromRegistry(Text& storedData, Text& storedFavorites);

  OperationMode mode_;
  uint32_t selection_ = DataSelection::ApplicationData | DataSelection::Settings;
  bool unattended_ = false;
};

}  // namespace kbt
