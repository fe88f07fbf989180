// The rule every operation that changes the client follows, and "/undo" itself.
#include <algorithm>

#include "operations/client/client_places.h"
#include "operations/operation_request.h"
#include "operations/undo/planned_changes.h"
#include "operations/undo/undo_point.h"
#include "platform/files.h"
#include "platform/places.h"
#include "platform/texts.h"
#include "res/resource.h"

namespace kbt {

bool OperationRequest::BeginChanges(UndoKind kind, const Text& subject, const PlannedChanges& changes) {
  UndoPointPath.clear();
  if (!UndoPointWanted) return true;
  undoPoint_ = std::make_unique<UndoPointWriter>();
  Text folder, failedItem;
  const bool named = GetUndoFolder(folder);
  if (named && undoPoint_->Write(folder, kind, subject, changes, failedItem)) {
    UndoPointPath = undoPoint_->Path();
    return true;
  }
  const long why = platform::LastError();
  const Text point = undoPoint_->Path().empty() ? folder : undoPoint_->Path();
  undoPoint_->Discard();
  ResultLog reasons;
  if (!failedItem.empty()) reasons.Add(IDS_UNDO_ITEM_NOT_KEPT, failedItem);
  reasons.Add(IDS_UNDO_POINT_FAILED, point);
  // Going on without one is the user's deliberate choice, never the default.
  if (ConfirmWithoutUndoPoint) {
    Text reason = failedItem.empty() ? platform::ErrorText(why) : reasons.Entries().front();
    if (reason.empty()) reason = platform::LoadText(IDS_REASON_UNKNOWN);
    const int operation = kind == UndoKind::Restore ? IDS_THIS_RESTORE : kind == UndoKind::Reset ? IDS_THIS_RESET : IDS_THIS_UNDO;
    const Text question = FormatText(platform::LoadText(IDS_UNDO_POINT_QUESTION), {folder, reason, platform::LoadText(operation)});
    if (ConfirmWithoutUndoPoint(question)) return true;
  }
  for (const Text& reason : reasons.Entries()) Log.Add(reason);
  return false;
}

bool OperationRequest::EndChanges(bool result) {
  if (!undoPoint_ || undoPoint_->Path().empty()) return result;
  // Kept whether or not the operation completed: whatever it changed can be undone.
  if (!undoPoint_->Close()) {
    Log.Add(IDS_UNDO_POINT_NOT_CLOSED, UndoPointPath);
    return false;
  }
  return result;
}

bool OperationRequest::IsHeldElsewhere(const Text& path) const {
  if (!undoPoint_) return false;
  const std::vector<Text>& held = undoPoint_->HeldFiles();
  return std::any_of(held.begin(), held.end(), [&](const Text& file) { return EqualsIgnoreAsciiCase(file, path); });
}

bool OperationRequest::RecoverInterrupted() {
  Text folder;
  if (!GetUndoFolder(folder)) return true;
  const std::vector<Text> points = ListUndoPoints(folder);
  if (points.empty() || !UndoPoint::WasInterrupted(points.back())) return true;
  const Text& newest = points.back();
  const ClientPlaces places(DataFolder);
  UndoPoint interrupted;
  if (!interrupted.Open(newest, places)) {
    // Going on buries the half-done operation: only the user's deliberate choice does that, once.
    if (IgnoreInterrupted || (ConfirmDamagedInterrupted &&
                              ConfirmDamagedInterrupted(FormatText(platform::LoadText(IDS_INTERRUPTED_POINT_QUESTION), {newest})))) {
      // Should the mark stay, the question comes again next time: nothing is lost by it.
      static_cast<void>(UndoPoint::MarkEnded(newest));
      return true;
    }
    Log.Add(IDS_INTERRUPTED_POINT_DAMAGED, newest);
    return false;
  }
  if (interrupted.Kind() == UndoKind::Undo) {
    // What the user asked for is finished: the target is checked whole, and putting it back again
    // changes only what the kill left undone. The undo's own point stays, so it can be undone.
    UndoPoint target;
    if (!target.Open(interrupted.Subject(), places) || !target.Apply(Log)) {
      Log.Add(IDS_INTERRUPTED_NOT_RECOVERED, newest);
      return false;
    }
    // Should the mark stay, the next run completes the undo once more, which changes nothing.
    static_cast<void>(UndoPoint::MarkEnded(newest));
    Log.Add(IDS_INTERRUPTED_UNDO_COMPLETED, interrupted.Subject());
    return true;
  }
  // A restore or reset cut short leaves a state nobody asked for: the one before it comes back.
  if (!interrupted.Apply(Log)) {
    Log.Add(IDS_INTERRUPTED_NOT_RECOVERED, newest);
    return false;
  }
  UndoPoint::Remove(newest);
  if (interrupted.Kind() == UndoKind::Restore) {
    Log.Add(IDS_INTERRUPTED_RESTORE_UNDONE, interrupted.Subject());
  } else {
    Log.Add(IDS_INTERRUPTED_RESET_UNDONE);
  }
  return true;
}

bool OperationRequest::Undo() {
  const RunScope run(*this);
  if (!run.Held()) return false;
  Text folder;
  const std::vector<Text> points = GetUndoFolder(folder) ? ListUndoPoints(folder) : std::vector<Text>();
  const Text target = !ArchivePath.empty() ? ArchivePath : points.empty() ? Text() : points.back();
  if (target.empty()) {
    Log.Add(IDS_NO_UNDO_POINT, folder);
    return false;
  }
  if (!points.empty() && UndoPoint::WasInterrupted(points.back())) {
    if (!RecoverInterrupted()) return false;
    // Putting right the operation the point precedes was the undo asked for.
    if (platform::IsSameOrBelow(target, points.back()) && platform::IsSameOrBelow(points.back(), target)) return true;
  }
  // Checked whole before anything changes: a damaged point never costs the state of today.
  UndoPoint point;
  if (!point.Open(target, ClientPlaces(DataFolder))) {
    Log.Add(IDS_UNDO_POINT_UNUSABLE, target);
    return false;
  }
  if (!BeginChanges(UndoKind::Undo, target, point.Changes())) return false;
  return EndChanges(point.Apply(Log));
}

}  // namespace kbt
