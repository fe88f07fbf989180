#include "operations/operation_request.h"
#include "operations/restore/archive_password.h"

#include "operations/undo/undo_point.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {

OperationRequest::OperationRequest(OperationMode mode) : mode_(mode) {}
OperationRequest::~OperationRequest() = default;

bool OperationRequest::Run() {
  Summary = RunSummary();
  if (!PasswordFile.empty() && !ReadPasswordFile(PasswordFile, Password)) {
    Log.Add(IDS_PASSWORD_FILE_UNREADABLE, PasswordFile);
    return false;
  }
  switch (mode_) {
    case OperationMode::Backup: return Backup(selection_);
    case OperationMode::Restore: return Restore(selection_);
    case OperationMode::Reset: return Reset(selection_);
    case OperationMode::Verify: return Verify();
    case OperationMode::Undo: return Undo();
  }
  return false;
}

OperationRequest::RunScope::RunScope(OperationRequest& request) : request_(request) {
  if (request.runLock_.Held()) {
    held_ = true;
    return;
  }
  switch (request.runLock_.Acquire(names::kRunLockName, request.OtherRunWaitMilliseconds)) {
    case platform::RunLock::Result::Taken: held_ = owner_ = true; break;
    case platform::RunLock::Result::HeldElsewhere: request.Log.Add(IDS_OTHER_RUN_CHANGING); break;
    case platform::RunLock::Result::Failed: request.Log.Add(IDS_RUN_LOCK_FAILED); break;
  }
}

OperationRequest::RunScope::~RunScope() {
  if (owner_) request_.runLock_.Release();
}

}  // namespace kbt
