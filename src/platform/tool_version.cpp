#include "platform/tool_version.h"

#include <string>

#include "platform/module.h"

namespace kbt {

bool GetToolVersion(Text& text) {
  text.clear();
  uint16_t version[4] = {};
  if (!platform::ReadOwnFileVersion(version)) return false;
  std::string formatted;
  for (int i = 0; i < 4; ++i) {
    if (i) formatted += '.';
    formatted += std::to_string(version[i]);
  }
  text = FromUtf8(formatted);
  return true;
}

}  // namespace kbt
