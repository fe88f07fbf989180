#include "platform/clock.h"
#include "platform/win32/system_time_win32.h"

namespace kbt::platform {

LocalTime GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

bool LocalTimeToFileTime(const LocalTime& time, uint64_t* fileTime) {
  const SYSTEMTIME st = win32::ToSystemTime(time);
  FILETIME ft{};
  if (!::SystemTimeToFileTime(&st, &ft)) return false;
  *fileTime = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return true;
}

uint64_t UtcFileTimeNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace kbt::platform
