#pragma once
// Free space on a volume, so that work which cannot fit is refused before it starts.
#include <cstdint>

#include "platform/text.h"

namespace kbt::platform {

// The bytes that the current user may still write on the volume holding `folder` (quotas
// included); false when the folder cannot be queried.
[[nodiscard]] bool FreeBytes(const Text& folder, uint64_t* bytes);
// A name of the volume that holds the existing 'folder': equal for two folders on one volume.
[[nodiscard]] bool VolumeOf(const Text& folder, Text& volume);

}  // namespace kbt::platform
