// The rule every operation that changes the client follows, and "/undo" itself.
#include <algorithm>

#include "operations/operation_request.h"
#include "operations/planned_changes.h"
#include "operations/undo_point.h"
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
  const Text point = undoPoint_->Path().empty() ? folder : undoPoint_->Path();
  undoPoint_->Discard();
  ResultLog reasons;
  if (!failedItem.empty()) reasons.Add(IDS_UNDO_ITEM_NOT_KEPT, failedItem);
  reasons.Add(IDS_UNDO_POINT_FAILED, point);
  Text text;
  for (const Text& reason : reasons.Entries()) text += (text.empty() ? u"" : u"\r\n") + reason;
  // Going on without one is the user's deliberate choice, never the default.
  if (ConfirmWithoutUndoPoint && ConfirmWithoutUndoPoint(text)) return true;
  for (const Text& reason : reasons.Entries()) Log.Add(reason);
  return false;
}

bool OperationRequest::EndChanges(bool result, bool keepOnFailure) {
  if (!undoPoint_ || undoPoint_->Path().empty()) return result;
  if (!result && !keepOnFailure) {
    undoPoint_->Discard();
    UndoPointPath.clear();
    return result;
  }
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

bool OperationRequest::UndoInterrupted() {
  Text folder;
  if (!GetUndoFolder(folder)) return true;
  const std::vector<Text> points = ListUndoPoints(folder);
  UndoPoint newest;
  if (points.empty() || !UndoPoint::WasInterrupted(points.back()) || !newest.Open(points.back())) return true;
  if (!newest.Apply(Log)) return false;
  UndoPoint::Remove(points.back());
  return true;
}

bool OperationRequest::Undo() {
  const RunScope run(*this);
  if (!run.Held()) return false;
  Text target = ArchivePath;
  if (target.empty()) {
    Text folder;
    const std::vector<Text> points = GetUndoFolder(folder) ? ListUndoPoints(folder) : std::vector<Text>();
    if (points.empty()) {
      Log.Add(IDS_NO_UNDO_POINT, folder);
      return false;
    }
    target = points.back();
  }
  // Checked whole before anything changes: a damaged point never costs the state of today.
  UndoPoint point;
  if (!point.Open(target)) {
    Log.Add(IDS_UNDO_POINT_UNUSABLE, target);
    return false;
  }
  if (point.Interrupted()) {
    // The operation it precedes never ended; the state it left is nobody's to want back.
    UndoPointPath.clear();
    if (!point.Apply(Log)) return false;
    UndoPoint::Remove(target);
    return true;
  }
  if (!BeginChanges(UndoKind::Undo, target, point.Changes())) return false;
  return EndChanges(point.Apply(Log), false);
}

}  // namespace kbt
