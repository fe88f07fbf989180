#include "app/main_logic.h"

#include "app/client_locations.h"
#include "app/command_line.h"

namespace kbt {

int RunMainLogic(const Text& commandTail, OperationRequest& request, AppShell& shell) {
  if (ParseCommandLine(commandTail, request, [&shell]() { shell.ShowUsage(); })) return kExitSuccess;
  DiscoverClientLocations(request);
  // A check reads only, so a running client does not stop it.
  const bool verify = request.IsUnattended() && request.GetMode() == OperationMode::Verify;
  if (!verify && shell.WarnIfClientRuns()) return kExitClientRunning;
  if (verify) {
    const bool restorable = request.Run();
    shell.ReportVerify(request.Verification, request.ArchivePath);
    return restorable ? kExitSuccess : kExitOperationFailed;
  }
  if (request.IsUnattended()) {
    // Without a complete undo point the operation does not start: nobody is there to ask.
    const bool ok = request.Run();
    shell.ReportLog(request.Log);
    return ok ? kExitSuccess : kExitOperationFailed;
  }
  shell.RunWizard(request);
  return kExitSuccess;
}

}  // namespace kbt
