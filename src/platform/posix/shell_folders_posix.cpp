#include <cstdlib>

#include "platform/shell_folders.h"

namespace kbt::platform {
namespace {
bool FromEnvironment(const char* name, const char* fallbackBelowHome, Text& folder) {
  if (const char* value = std::getenv(name); value && *value) {
    folder = FromUtf8(value);
    return true;
  }
  const char* home = std::getenv("HOME");
  if (!home || !*home) return false;
  folder = FromUtf8(std::string(home) + fallbackBelowHome);
  return true;
}
}  // namespace

bool GetAppDataFolder(Text& folder) { return FromEnvironment("APPDATA", "/.config", folder); }
bool GetDocumentsFolder(Text& folder) { return FromEnvironment("KBT_DOCUMENTS", "/Documents", folder); }

}  // namespace kbt::platform
