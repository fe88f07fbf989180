#include "ui/local_texts.h"

#include <shlwapi.h>

#include "archive/backup_identity.h"
#include "platform/win32/system_time_win32.h"
#include "platform/win32/wide.h"

namespace kbt::ui {

namespace {
Text FormattedTime(const SYSTEMTIME& time, DWORD timeFlags) {
  wchar_t date[80] = {}, clock[80] = {};
  if (!::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 80, nullptr) ||
      !::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, timeFlags, &time, nullptr, clock, 80))
    return Text();
  return win32::FromW(date) + u' ' + win32::FromW(clock);
}
}  // namespace

Text DateTimeText(const SYSTEMTIME& time) { return FormattedTime(time, 0); }

Text DosDateTimeText(uint32_t dosTime) {
  FILETIME file{};
  SYSTEMTIME time{};
  if (dosTime == 0 || !::DosDateTimeToFileTime(HIWORD(dosTime), LOWORD(dosTime), &file) ||
      !::FileTimeToSystemTime(&file, &time))
    return Text();
  // A DOS time counts in steps of two seconds: the minute tells enough.
  return FormattedTime(time, TIME_NOSECONDS);
}

Text CreatedText(const Text& stored) {
  platform::LocalTime parsed;
  if (!ParseBackupTime(stored, parsed)) return stored;
  const Text shown = DateTimeText(win32::ToSystemTime(parsed));
  return shown.empty() ? stored : shown;
}

Text SizeText(uint64_t bytes) {
  wchar_t size[64] = {};
  ::StrFormatByteSizeW(static_cast<LONGLONG>(bytes), size, 64);
  return win32::FromW(size);
}

}  // namespace kbt::ui
