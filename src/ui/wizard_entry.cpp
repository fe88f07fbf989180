#include "ui/wizard_entry.h"

#include "app/show_message_win32.h"
#include "res/resource.h"

namespace kbt {

void RegisterWizardClasses(HINSTANCE) {}

// Until the wizard exists, a run without an operation explains the command line.
void RunWizard(OperationRequest&) {
  ShowMessage(nullptr, IDS_USAGE, IDS_USAGE_CAPTION, MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}

}  // namespace kbt
