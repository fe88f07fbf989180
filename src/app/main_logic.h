#pragma once
// The one pass of main logic between start-up and shut-down.
#include "operations/operation_request.h"

namespace kbt {

// What the main logic needs from the desktop; the Windows entry provides the real one.
class AppShell {
 public:
  virtual ~AppShell() = default;
  // The usage, after "/?" (no problem) or for a command line that is not understood, the reason first.
  virtual void ShowUsage(const Text& problem) = 0;
  // Brings a running client to the front and says so; false when the client is not running.
  virtual bool WarnIfClientRuns() = 0;
  virtual void RunWizard(OperationRequest& request) = 0;
  // An unattended run's messages, where the caller can see them (standard error when redirected).
  virtual void ReportLog(const ResultLog& log) = 0;
  // A check's report: its lines on standard output when redirected, otherwise a box with the summary.
  virtual void ReportVerify(const VerifyReport& report, const Text& archivePath) = 0;
  // A failure beside the operation that changes nothing of its result: on standard error, when there is one.
  virtual void ReportAside(const Text& message) = 0;
};

constexpr int kExitSuccess = 0;
constexpr int kExitOperationFailed = 1;
constexpr int kExitCommandLine = 2;
constexpr int kExitClientRunning = -1;

int RunMainLogic(const Text& commandTail, OperationRequest& request, AppShell& shell);

}  // namespace kbt
