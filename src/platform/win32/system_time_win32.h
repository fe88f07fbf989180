#pragma once
// The portable wall-clock time as the system's own structure.
#include "platform/clock.h"
#include "platform/win32/wide.h"

namespace kbt::win32 {

inline SYSTEMTIME ToSystemTime(const platform::LocalTime& time) {
  SYSTEMTIME system{};
  system.wYear = time.year;
  system.wMonth = time.month;
  system.wDay = time.day;
  system.wHour = time.hour;
  system.wMinute = time.minute;
  system.wSecond = time.second;
  return system;
}

}  // namespace kbt::win32
