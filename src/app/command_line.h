#pragma once
// The command line: the switches of the table in command_line.cpp, "/?" and anything else refused.
#include <cstdint>
#include <functional>
#include <vector>

#include "operations/operation_request.h"

namespace kbt {

// Splits the tail after the program name; only the space separates, double quotes group.
std::vector<Text> SplitCommandLine(const Text& tail);

// strtol with automatic base on a signed 32-bit value, clamped at its limits.
int32_t ParseLanguageNumber(const Text& text);

// What the command line asked for beyond the operation request.
struct CommandLine {
  bool usageShown = false;
  // Why the command line cannot be carried out, for the user; empty when every argument was understood.
  Text problem;
  // "/log <path>": where an unattended run's record goes instead of the tool's own log.
  Text logPath;
};

// Fills the request, in order, until an argument is not understood; showUsage is called for every
// "/?" met before that.
CommandLine ParseCommandLine(const Text& tail, OperationRequest& request, const std::function<void()>& showUsage);

// The command line as a run's record shows it: the one place that would leave out a secret value.
Text CommandLineForLog(const Text& tail);

}  // namespace kbt
