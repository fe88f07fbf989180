#include "operations/operation_request.h"

namespace kbt {

bool OperationRequest::Backup(uint32_t) {
  Log.Add(u"The backup operation is not available yet.");
  return false;
}

}  // namespace kbt
