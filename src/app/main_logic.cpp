#include "app/main_logic.h"

#include "app/client_locations.h"
#include "app/command_line.h"
#include "app/run_log.h"
#include "platform/files.h"
#include "res/resource.h"

namespace kbt {

namespace {

// Nobody watches an unattended run: its record is what is left of it. Writing it never changes
// the run's exit code.
void RecordRun(const Text& commandTail, const Text& logPath, int exitCode, const std::vector<Text>& messages,
               AppShell& shell) {
  RunRecord record;
  record.time = platform::GetLocalTime();
  record.commandLine = CommandLineForLog(commandTail);
  record.exitCode = exitCode;
  record.messages = messages;
  Text path = logPath;
  platform::Status failure = 0;
  if (path.empty() && !GetDefaultRunLogPath(path)) {
    failure = platform::kPathNotFound;
  } else {
    failure = AppendRunRecord(path, FormatRunRecord(record));
  }
  if (failure == 0) return;
  ResultLog problem;
  problem.AddFailure(failure, IDS_RUN_LOG_FAILED, path);
  shell.ReportAside(problem.Entries().front());
}

}  // namespace

int RunMainLogic(const Text& commandTail, OperationRequest& request, AppShell& shell) {
  const CommandLine line = ParseCommandLine(commandTail, request, [&shell]() { shell.ShowUsage(Text()); });
  if (!line.problem.empty()) {
    // Never the wizard: a scheduled run would wait for a click forever.
    shell.ShowUsage(line.problem);
    RecordRun(commandTail, line.logPath, kExitCommandLine, {line.problem}, shell);
    return kExitCommandLine;
  }
  if (line.usageShown) return kExitSuccess;
  DiscoverClientLocations(request);
  const bool unattended = request.IsUnattended();
  // A check reads only, so a running client does not stop it.
  const bool verify = unattended && request.GetMode() == OperationMode::Verify;
  if (!verify && shell.WarnIfClientRuns()) {
    if (unattended) {
      RecordRun(commandTail, line.logPath, kExitClientRunning, {platform::LoadText(IDS_CLIENT_RUNNING)}, shell);
    }
    return kExitClientRunning;
  }
  if (unattended) {
    // Without a complete undo point the operation does not start: nobody is there to ask.
    const bool ok = request.Run();
    if (verify) {
      shell.ReportVerify(request.Verification, request.ArchivePath);
    } else {
      shell.ReportLog(request.Log);
    }
    const int exitCode = ok ? kExitSuccess : kExitOperationFailed;
    RecordRun(commandTail, line.logPath, exitCode, request.Log.Entries(), shell);
    return exitCode;
  }
  shell.RunWizard(request);
  return kExitSuccess;
}

}  // namespace kbt
