#pragma once
// The command line: "/backup path", "/restore path", "/reset", "/verify path", "/undo", "/noundo",
// "/language=n", "/?".
#include <cstdint>
#include <functional>
#include <vector>

#include "operations/operation_request.h"

namespace kbt {

// Splits the tail after the program name; only the space separates, double quotes group.
std::vector<Text> SplitCommandLine(const Text& tail);

// strtol with automatic base on a signed 32-bit value, clamped at its limits.
int32_t ParseLanguageNumber(const Text& text);

// Fills the request; showUsage is called for every "/?". Returns whether the usage box was shown.
bool ParseCommandLine(const Text& tail, OperationRequest& request, const std::function<void()>& showUsage);

}  // namespace kbt
