#pragma once
#include "platform/text.h"

namespace kbt {

// "major.minor.build.revision" of the program's file version; text empty on failure.
bool GetToolVersion(Text& text);

}  // namespace kbt
