#include "operations/operation_request.h"

namespace kbt {

bool OperationRequest::Restore(uint32_t) {
  Log.Add(u"The restore operation is not available yet.");
  return false;
}

}  // namespace kbt
