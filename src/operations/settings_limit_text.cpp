#include "operations/settings_limit_text.h"

#include "operations/result_log.h"
#include "res/resource.h"

namespace kbt {

Text SettingsLimitText(SettingsLimit limit) {
  constexpr uint64_t kMegabyte = 1 << 20;
  const SettingsLimits& limits = kSettingsLimits;
  switch (limit) {
    case SettingsLimit::None: break;
    case SettingsLimit::FileSize: return FormatText(platform::LoadText(IDS_SETTINGS_FILE_TOO_LARGE), {DecimalText(limits.fileBytes / kMegabyte)});
    case SettingsLimit::LineLength: return FormatText(platform::LoadText(IDS_SETTINGS_LINE_TOO_LONG), {DecimalText(limits.lineCharacters)});
    case SettingsLimit::ValueSize: return FormatText(platform::LoadText(IDS_SETTINGS_VALUE_TOO_LARGE), {DecimalText(limits.valueBytes / kMegabyte)});
    case SettingsLimit::ValueCount: return FormatText(platform::LoadText(IDS_SETTINGS_TOO_MANY_VALUES), {DecimalText(limits.values)});
    case SettingsLimit::DataSize: return FormatText(platform::LoadText(IDS_SETTINGS_TOO_MUCH_DATA), {DecimalText(limits.dataBytes / kMegabyte)});
  }
  return Text();
}

}  // namespace kbt
