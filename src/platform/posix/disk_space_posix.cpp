#include "platform/disk_space.h"

#include <sys/statvfs.h>

namespace kbt::platform {

bool FreeBytes(const Text& folder, uint64_t* bytes) {
  struct statvfs volume {};
  if (!bytes || folder.empty() || ::statvfs(ToUtf8(folder).c_str(), &volume) != 0) return false;
  *bytes = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
  return true;
}

}  // namespace kbt::platform
