#include "platform/disk_space.h"

#include <vector>

#include "platform/win32/wide.h"

namespace kbt::platform {

bool FreeBytes(const Text& folder, uint64_t* bytes) {
  ULARGE_INTEGER available{};
  if (!bytes || folder.empty() || !::GetDiskFreeSpaceExW(win32::W(folder), &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}

bool VolumeOf(const Text& folder, Text& volume) {
  std::vector<wchar_t> buffer(folder.size() + 2);
  if (folder.empty() || !::GetVolumePathNameW(win32::W(folder), buffer.data(), static_cast<DWORD>(buffer.size()))) {
    return false;
  }
  volume = win32::FromW(buffer.data());
  for (char16_t& c : volume) c = LowerAscii(c);
  return true;
}

}  // namespace kbt::platform
