#pragma once
// The backup the tool recorded last, for the wizard to propose.
#include "platform/text.h"

namespace kbt {

// "Last File" under the tool's own key, read only; empty when none is recorded.
Text LastBackupPath();

}  // namespace kbt
