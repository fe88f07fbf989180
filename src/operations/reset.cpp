#include "operations/operation_request.h"

namespace kbt {

bool OperationRequest::Reset(uint32_t) {
  Log.Add(u"The reset operation is not available yet.");
  return false;
}

}  // namespace kbt
