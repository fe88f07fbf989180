#pragma once
// The message for a settings file beyond one of the restore's limits, with the limit it names.
#include "platform/text.h"
#include "regfile/settings_file_reader.h"

namespace kbt {

// Empty for SettingsLimit::None.
Text SettingsLimitText(SettingsLimit limit);

}  // namespace kbt
