#include "operations/restore/settings_limit_text.h"

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

Text SettingsProblemText(const SettingsFileProblem& problem) {
  uint32_t id = 0;
  switch (problem.kind) {
    case SettingsProblemKind::None: return Text();
    case SettingsProblemKind::NotUnicode: return platform::LoadText(IDS_SETTINGS_NOT_UNICODE);
    case SettingsProblemKind::NoHeader: id = IDS_SETTINGS_NO_HEADER; break;
    case SettingsProblemKind::Deletion: id = IDS_SETTINGS_DELETION; break;
    case SettingsProblemKind::BadType: id = IDS_SETTINGS_BAD_TYPE; break;
    case SettingsProblemKind::BadHex: id = IDS_SETTINGS_BAD_HEX; break;
    case SettingsProblemKind::BadDword: id = IDS_SETTINGS_BAD_DWORD; break;
    case SettingsProblemKind::BadString: id = IDS_SETTINGS_BAD_STRING; break;
    case SettingsProblemKind::UnknownLine: id = IDS_SETTINGS_UNKNOWN_LINE; break;
    case SettingsProblemKind::UnfinishedValue: id = IDS_SETTINGS_UNFINISHED_VALUE; break;
  }
  return FormatText(platform::LoadText(id), {DecimalText(problem.line)});
}

}  // namespace kbt
