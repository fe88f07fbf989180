#pragma once
// Dates, times and sizes as the user's settings show them.
#include <windows.h>

#include <cstdint>

#include "platform/text.h"

namespace kbt::ui {

// The user's short date and time; empty when the time is none.
Text DateTimeText(const SYSTEMTIME& time);
// A file's DOS date and time (local time) to the minute; empty for 0.
Text DosDateTimeText(uint32_t dosTime);
// A backup's creation time from its comment; the stored text when it is not of our format.
Text CreatedText(const Text& stored);
// "12.3 KB" and the like.
Text SizeText(uint64_t bytes);

}  // namespace kbt::ui
