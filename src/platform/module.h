#pragma once
#include <cstdint>

namespace kbt::platform {

// The file version of the program's own version resource (major, minor, build, revision).
bool ReadOwnFileVersion(uint16_t version[4]);

}  // namespace kbt::platform
