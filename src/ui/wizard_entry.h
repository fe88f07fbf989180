#pragma once
#include <windows.h>

#include "operations/operation_request.h"

namespace kbt {

// Registers the window classes the wizard's dialogs use (the hyperlink control).
void RegisterWizardClasses(HINSTANCE instance);
// Runs the wizard modally over the active window.
void RunWizard(OperationRequest& request);

}  // namespace kbt
