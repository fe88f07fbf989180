#pragma once
// Undo points: each one the exact record of what one restore, reset or undo was about to change,
// written and flushed before its first change, in the user's local (not roaming) application data.
// The format and the argument for why a kill at any moment loses nothing are in docs/UNDO_POINTS.md
// and docs/RELIABILITY.md.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "operations/undo/planned_changes.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kbt {

class ClientPlaces;
class ResultLog;

constexpr size_t kUndoPointsKept = 10;

enum class UndoKind : uint32_t { Restore = 1, Reset = 2, Undo = 3 };

// "<local application data>\Kestrove\Backup Tool\Undo"; false when there is no such folder to name.
[[nodiscard]] bool GetUndoFolder(Text& folder);
// An undo point is a folder named by its sequence number in 20 digits: the order never depends on
// the clock.
Text UndoPointName(uint64_t sequence);
[[nodiscard]] bool ParseUndoPointName(const Text& name, uint64_t* sequence);
// The paths of the complete undo points in the folder, oldest first.
std::vector<Text> ListUndoPoints(const Text& folder);

// An undo point as it is written: the prior state of everything the operation will change, and a
// mark that the operation is under way, held until Close.
class UndoPointWriter {
 public:
  UndoPointWriter() = default;
  UndoPointWriter(const UndoPointWriter&) = delete;
  UndoPointWriter& operator=(const UndoPointWriter&) = delete;
  // Removes a point that was begun but never completed.
  ~UndoPointWriter();

  // Records the state of every planned change in a new undo point in 'folder' and flushes it. On
  // failure nothing of it is left; 'failedItem' then names what could not be kept, if that was why.
  [[nodiscard]] bool Write(const Text& folder, UndoKind kind, const Text& subject, const PlannedChanges& changes,
                           Text& failedItem);
  // The point being written or written; empty before and after.
  const Text& Path() const { return path_; }
  // Files another program holds open, so that the point could not keep them: the operation must
  // leave them as they are (it could not replace or delete them either).
  const std::vector<Text>& HeldFiles() const { return held_; }
  // The operation is over: the mark goes, then the oldest points beyond ten (never this one) and
  // what killed runs left behind.
  [[nodiscard]] bool Close();
  // The operation changed nothing after all: the point goes.
  void Discard();

 private:
  Text path_;
  std::vector<Text> held_;
  std::vector<Text> kept_;  // the kept files' paths
  platform::File underWay_;
  bool complete_ = false;
};

// An undo point read back and checked whole before anything is changed.
class UndoPoint {
 public:
  // False when it is incomplete, damaged, or names anything the rule for the client's places does
  // not accept for its kind.
  [[nodiscard]] bool Open(const Text& path, const ClientPlaces& places);
  const Text& Path() const { return path_; }
  UndoKind Kind() const { return kind_; }
  const Text& Subject() const { return subject_; }
  // The operation it precedes did not end: it was killed or the machine stopped.
  bool Interrupted() const { return interrupted_; }
  // Everything it records, as the plan of the undo that puts it back.
  const PlannedChanges& Changes() const { return changes_; }
  // Puts back every recorded key, value, file and folder it can; each failure is logged, and a kept
  // file changed since it was kept is named and left out. Running it again after a kill gives the
  // same result.
  [[nodiscard]] bool Apply(ResultLog& log) const;
  // Removes the point from the disk.
  static void Remove(const Text& path);
  // The cheap look before Open: the operation of the point at 'path' began and never ended.
  static bool WasInterrupted(const Text& path);
  // The operation of the point at 'path' counts as ended from now on.
  [[nodiscard]] static bool MarkEnded(const Text& path);

 private:
  Text path_, subject_;
  UndoKind kind_ = UndoKind::Restore;
  bool interrupted_ = false;
  PlannedChanges changes_;
};

}  // namespace kbt
