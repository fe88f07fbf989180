#pragma once
#include "platform/text.h"

namespace kbt::platform {

// The current user's per-user application data folder (CSIDL_APPDATA).
bool GetAppDataFolder(Text& folder);
// The current user's local (not roaming) application data folder (CSIDL_LOCAL_APPDATA).
bool GetLocalAppDataFolder(Text& folder);
// The current user's documents folder (CSIDL_PERSONAL).
bool GetDocumentsFolder(Text& folder);

}  // namespace kbt::platform
