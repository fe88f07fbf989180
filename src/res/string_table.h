#pragma once
// The string tables of both languages for the native build, generated from the .rc files.
#include <cstdint>

namespace kbt::res {

struct StringEntry {
  uint16_t language;
  unsigned id;
  const char16_t* text;
};

extern const StringEntry kStrings[];
extern const unsigned kStringCount;

// Null when the language has no such string.
const char16_t* FindString(uint16_t language, unsigned id);

}  // namespace kbt::res
