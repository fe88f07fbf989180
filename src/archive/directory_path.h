#pragma once
#include "platform/registry.h"
#include "platform/text.h"

namespace kbt {

// Makes sure the folder exists, creating missing parent folders. Returns the error code of the
// last attempt (0 when the folder was created by the first one).
platform::Status CreateDirectoryPath(const Text& path);

}  // namespace kbt
