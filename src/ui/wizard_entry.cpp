#include "ui/wizard_entry.h"

#include "res/resource.h"
#include "ui/link_control.h"
#include "ui/wizard_sheet.h"

namespace kbt {

void RegisterWizardClasses(HINSTANCE instance) { ui::RegisterLinkControl(instance); }

void RunWizard(OperationRequest& request) {
  ui::WizardSheet sheet(request, ::GetModuleHandleW(nullptr), ui::SheetLook{IDB_HEADER, IDB_WATERMARK, 0});
  sheet.Run(::GetActiveWindow());
}

}  // namespace kbt
