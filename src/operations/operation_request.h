#pragma once
// What to do and what went wrong: the one request that every front end fills in.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "archive/progress.h"
#include "operations/result_log.h"
#include "operations/restore/verify_report.h"
#include "platform/run_lock.h"
#include "regfile/settings_key_list.h"

namespace kbt {

class BackupArchiveWriter;
class BackupArchiveReader;
class PlannedChanges;
class UndoPointWriter;
struct RestorePlan;
enum class UndoKind : uint32_t;

// Verify changes nothing: it tells what a restore of the archive would do.
enum class OperationMode : int32_t { Backup = 0, Restore = 1, Reset = 2, Verify = 3, Undo = 4 };

namespace DataSelection {
constexpr uint32_t ApplicationData = 1;
constexpr uint32_t Settings = 2;
}  // namespace DataSelection

// What the last run did, for a front end that tells the user.
struct RunSummary {
  // A backup: its archive is complete at ArchivePath, with this many bytes.
  bool archiveWritten = false;
  uint64_t archiveBytes = 0;
  // The user stopped the backup through Progress; nothing was changed.
  bool cancelled = false;
  // The backup's reset began its changes (its undo point is UndoPointPath).
  bool resetAfterBackup = false;
  // A restore: the values its settings file imported and the files now as the backup holds them.
  size_t restoredValues = 0, restoredFiles = 0;
};

class OperationRequest {
 public:
  explicit OperationRequest(OperationMode mode);
  virtual ~OperationRequest();
  OperationRequest(const OperationRequest&) = delete;
  OperationRequest& operator=(const OperationRequest&) = delete;

  Text DataFolder;
  Text FavoritesFolder;
  Text ArchivePath;
  Text Comment;
  // A backup is encrypted with it, a protected archive opened with it. Never logged.
  Text Password;
  // "/passwordfile": where Run reads Password from before the operation starts.
  Text PasswordFile;
  bool ResetAfterBackup = false;
  ResultLog Log;
  SettingsKeyList SettingsKeys;
  // Told about each file the archive takes in or gives out; empty for the command line.
  ProgressCallback Progress;
  // What Verify found.
  VerifyReport Verification;
  // "/noundo" clears it: a restore, reset or undo then starts without an undo point.
  bool UndoPointWanted = true;
  // Asked the whole question (where, why, what cannot be undone) when the undo point cannot be
  // written: true goes on without one.
  // Empty (the command line): the operation does not start.
  std::function<bool(const Text& question)> ConfirmWithoutUndoPoint;
  // "/ignoreinterrupted" sets it: an operation goes on although an earlier one was interrupted and
  // its undo point is damaged, so that the client may be between two states.
  bool IgnoreInterrupted = false;
  // Asked, with the reasons, in that case; true goes on. Empty (the command line): the operation
  // does not start unless IgnoreInterrupted is set.
  std::function<bool(const Text& question)> ConfirmDamagedInterrupted;
  // The undo point of the last restore, reset or undo; empty when none was written.
  Text UndoPointPath;
  // Filled by Run.
  RunSummary Summary;
  // How long an operation waits for another run that holds the lock of one run at a time.
  uint32_t OtherRunWaitMilliseconds = 5000;

  void SetUnattended(bool unattended) { unattended_ = unattended; }
  bool IsUnattended() const { return unattended_; }
  void SetMode(OperationMode mode) { mode_ = mode; }
  OperationMode GetMode() const { return mode_; }
  void AddSelection(uint32_t bits) { selection_ |= bits; }
  void RemoveSelection(uint32_t bits) { selection_ &= ~bits; }
  uint32_t GetSelection() const { return selection_; }

  // The operation that the mode names; false for a mode outside the five. A restore, reset or undo
  // writes its undo point before its first change, unless declined.
  [[nodiscard]] bool Run();
  [[nodiscard]] bool Backup(uint32_t selection);
  [[nodiscard]] bool Restore(uint32_t selection);
  [[nodiscard]] bool Reset(uint32_t selection);
  // True when a restore of the archive would succeed completely; its problems are logged too.
  [[nodiscard]] bool Verify();
  // Puts back what the undo point ArchivePath (the newest one when empty) recorded.
  [[nodiscard]] bool Undo();

  // Steps of the operations.
  // Deletes the files (as ResettableDataFiles gave them) and logs the refused folders.
  [[nodiscard]] bool ResetApplicationData(const std::vector<Text>& files, const std::vector<Text>& refusals);
  // The data files a reset deletes: the client's own, as the rule for its places accepts them.
  // 'refusals' gets the message for each folder that is set but refused.
  std::vector<Text> ResettableDataFiles(std::vector<Text>* refusals = nullptr) const;
  [[nodiscard]] bool ResetSettings();
  // Adds the settings and the bitmaps; the archive expects their bytes besides those it expects already.
  [[nodiscard]] bool BackupSettings(BackupArchiveWriter& archive);
  [[nodiscard]] bool RestoreSettings(BackupArchiveReader& archive, const RestorePlan& plan);
  [[nodiscard]] bool BackupApplicationData(BackupArchiveWriter& archive);
  // The data files a backup takes, with their entry names; 'refusals' gets the message for each
  // folder that is set but refused.
  std::vector<std::pair<Text, Text>> BackupDataSources(std::vector<Text>* refusals = nullptr) const;
  [[nodiscard]] bool RestoreApplicationData(BackupArchiveReader& archive, const RestorePlan& plan);

 private:
  // One run at a time (docs/RELIABILITY.md): taken at the start of every operation but a check,
  // and held to its end; an operation inside another (a backup's reset) runs under its lock.
  // Held() false: another run holds it (or it could not be made), logged; nothing may start.
  class RunScope {
   public:
    explicit RunScope(OperationRequest& request);
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
    bool Held() const { return held_; }

   private:
    OperationRequest& request_;
    bool owner_ = false, held_ = false;
  };

  // The one rule of every operation that changes the client: the undo point of what it will change
  // is written, or the user is asked, or nothing starts. False: the operation must not start.
  [[nodiscard]] bool BeginChanges(UndoKind kind, const Text& subject, const PlannedChanges& changes);
  // The operation is over, complete or not; its undo point stays.
  [[nodiscard]] bool EndChanges(bool result);
  // Puts right what an earlier run left unfinished before anything else: an interrupted restore or
  // reset is rolled back, an interrupted undo completed, and the log says so. False, with the
  // reason logged, when that could not be done and the operation must not start.
  [[nodiscard]] bool RecoverInterrupted();
  // A file another program held open while the undo point was written: it stays as it is.
  bool IsHeldElsewhere(const Text& path) const;

  std::unique_ptr<UndoPointWriter> undoPoint_;
  platform::RunLock runLock_;

  OperationMode mode_;
  uint32_t selection_ = DataSelection::ApplicationData | DataSelection::Settings;
  bool unattended_ = false;
};

}  // namespace kbt
