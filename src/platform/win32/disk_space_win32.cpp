#include "platform/disk_space.h"

#include "platform/win32/wide.h"

namespace kbt::platform {

bool FreeBytes(const Text& folder, uint64_t* bytes) {
  ULARGE_INTEGER available{};
  if (!bytes || folder.empty() || !::GetDiskFreeSpaceExW(win32::W(folder), &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}

}  // namespace kbt::platform
