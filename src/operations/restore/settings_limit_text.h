#pragma once
// The message for a settings file beyond one of the restore's limits, with the limit it names,
// and for one the restore refuses.
#include "platform/text.h"
#include "regfile/settings_file_reader.h"

namespace kbt {

// Empty for SettingsLimit::None.
Text SettingsLimitText(SettingsLimit limit);
// Why a settings file was refused, with its line; empty for SettingsProblemKind::None.
Text SettingsProblemText(const SettingsFileProblem& problem);

}  // namespace kbt
