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

// As on Windows, the application data folder is also the APPDATA variable, so that paths below it
// can be written back with a %APPDATA% reference.
bool GetAppDataFolder(Text& folder) {
  if (!FromEnvironment("APPDATA", "/.config", folder)) return false;
  setenv("APPDATA", ToUtf8(folder).c_str(), 0);
  return true;
}
bool GetLocalAppDataFolder(Text& folder) { return FromEnvironment("LOCALAPPDATA", "/.local/share", folder); }
bool GetDocumentsFolder(Text& folder) { return FromEnvironment("KBT_DOCUMENTS", "/Documents", folder); }

}  // namespace kbt::platform
