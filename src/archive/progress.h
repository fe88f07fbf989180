#pragma once
// How far long work has come: the file being worked on and the bytes done of its total.
#include <cstdint>
#include <functional>

#include "platform/text.h"

namespace kbt {

using ProgressCallback = std::function<void(const Text& file, uint64_t done, uint64_t total)>;

}  // namespace kbt
