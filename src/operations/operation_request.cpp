#include "operations/operation_request.h"

namespace kbt {

bool OperationRequest::Run() {
  switch (mode_) {
    case OperationMode::Backup: return Backup(selection_);
    case OperationMode::Restore: return Restore(selection_);
    case OperationMode::Reset: return Reset(selection_);
  }
  return false;
}

}  // namespace kbt
