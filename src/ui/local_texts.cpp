#include "ui/local_texts.h"

#include <shlwapi.h>

#include "archive/backup_identity.h"
#include "platform/win32/system_time_win32.h"
#include "platform/win32/wide.h"

namespace kbt::ui {

Text DateTimeText(const SYSTEMTIME& time) {
  wchar_t date[80] = {}, clock[80] = {};
  if (!::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 80) ||
      !::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 80))
    return Text();
  return win32::FromW(date) + u' ' + win32::FromW(clock);
}

Text DosDateText(uint32_t dosTime) {
  FILETIME file{};
  SYSTEMTIME time{};
  if (dosTime == 0 || !::DosDateTimeToFileTime(HIWORD(dosTime), LOWORD(dosTime), &file) ||
      !::FileTimeToSystemTime(&file, &time))
    return Text();
  wchar_t date[80] = {};
  return ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 80) ? win32::FromW(date) : Text();
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
