#pragma once
#include <cstdint>

namespace kbt::platform {

struct LocalTime {
  uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

LocalTime GetLocalTime();
// SystemTimeToFileTime on the local time (no time-zone conversion).
bool LocalTimeToFileTime(const LocalTime& time, uint64_t* fileTime);
// Now, in UTC, as a FILETIME (100 ns since 1601): for showing, never for ordering.
uint64_t UtcFileTimeNow();

}  // namespace kbt::platform
