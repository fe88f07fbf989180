#include "operations/operation_request.h"

#include "operations/undo_point.h"

namespace kbt {

OperationRequest::OperationRequest(OperationMode mode) : mode_(mode) {}
OperationRequest::~OperationRequest() = default;

bool OperationRequest::Run() {
  switch (mode_) {
    case OperationMode::Backup: return Backup(selection_);
    case OperationMode::Restore: return Restore(selection_);
    case OperationMode::Reset: return Reset(selection_);
    case OperationMode::Verify: return Verify();
    case OperationMode::Undo: return Undo();
  }
  return false;
}


}  // namespace kbt
