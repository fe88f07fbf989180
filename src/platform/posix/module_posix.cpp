#include "platform/module.h"
#include "res/version.h"

namespace kbt::platform {

bool ReadOwnFileVersion(uint16_t version[4]) {
  const uint16_t own[4] = {KBT_VERSION_MAJOR, KBT_VERSION_MINOR, KBT_VERSION_BUILD, KBT_VERSION_REVISION};
  for (int i = 0; i < 4; ++i) version[i] = own[i];
  return true;
}

}  // namespace kbt::platform
