#include <ctime>

#include "platform/clock.h"

namespace kbt::platform {

LocalTime GetLocalTime() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  return LocalTime{static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
                   static_cast<uint16_t>(local.tm_mday),        static_cast<uint16_t>(local.tm_hour),
                   static_cast<uint16_t>(local.tm_min),         static_cast<uint16_t>(local.tm_sec)};
}

bool LocalTimeToFileTime(const LocalTime& time, uint64_t* fileTime) {
  if (time.year < 1601 || time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 ||
      time.minute > 59 || time.second > 59)
    return false;
  // Days from 1601-01-01, proleptic Gregorian.
  auto daysFromCivil = [](int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<int64_t>(era) * 146097 + static_cast<int64_t>(doe) - 719468;
  };
  const int64_t days = daysFromCivil(time.year, time.month, time.day) - daysFromCivil(1601, 1, 1);
  const int64_t seconds = days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
  *fileTime = static_cast<uint64_t>(seconds) * 10000000u;
  return true;
}

}  // namespace kbt::platform

namespace kbt::platform {

uint64_t UtcFileTimeNow() {
  constexpr uint64_t kSecondsFrom1601To1970 = 11644473600u;
  return (static_cast<uint64_t>(::time(nullptr)) + kSecondsFrom1601To1970) * 10000000u;
}

}  // namespace kbt::platform
