#pragma once
// How far long work has come: the file being worked on and the bytes done of its total. The
// answer is whether to go on; only the archive writer stops on false.
#include <cstdint>
#include <functional>

#include "platform/text.h"

namespace kbt {

using ProgressCallback = std::function<bool(const Text& file, uint64_t done, uint64_t total)>;

}  // namespace kbt
