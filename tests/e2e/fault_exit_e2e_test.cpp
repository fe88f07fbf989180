// Real faults in a process with the tool's fault exit installed (tests/support/win32/fault_probe_main.cpp):
// each ends the process at once with a non-zero exit code, never 0 and never with a dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {

ToolRun RunProbe(const std::wstring& fault) {
  ToolOptions options;
  options.program = BuildFolder() + L"\\faultprobe.exe";
  options.timeoutMs = 60000;
  return RunTool(fault, options);
}

TEST(FaultExitE2E, EveryUnhandledFaultEndsWithItsOwnNonZeroCode) {
  const struct {
    const wchar_t* fault;
    DWORD exitCode;
  } cases[] = {
      {L"none", 0},
      {L"access", static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)},
      {L"overflow", static_cast<DWORD>(EXCEPTION_STACK_OVERFLOW)},
      {L"throw", 3},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunProbe(c.fault);
    EXPECT_FALSE(run.timedOut) << c.fault;
    EXPECT_EQ(run.exitCode, c.exitCode) << c.fault;
    EXPECT_TRUE(run.boxes.empty()) << c.fault;
  }
}

}  // namespace
}  // namespace kbt::testing
