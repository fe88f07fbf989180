#include "app/client_locations.h"

#include "operations/operation_request.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

bool FindDataFolder(Text& folder) {
  bool found = false;
  {
    RegistryKey key;
    if (key.Open(RegRoot::CurrentUser, names::kClientKey, kKeyRead) == kSuccess &&
        key.QueryString(names::kDataPathValue, folder, true) == kSuccess && IsExistingFolder(folder)) {
      found = true;
    }
  }
  if (!found) {
    Text appData;
    if (GetAppDataFolder(appData)) {
      AppendPath(appData, names::kDataFolderName);
      folder = appData;
      found = true;
    }
  }
  // Nothing to record when no folder could be formed at all.
  if (!found && folder.empty()) return false;
  RegistryKey key;
  if (key.Create(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess) {
    Text stored;
    // Without a variable to put back the folder is written as it is, never as an empty text.
    if (!UnExpandEnvironment(folder, stored)) stored = folder;
    key.SetExpandString(names::kDataPathValue, stored);
  }
  return found && IsExistingFolder(folder);
}

bool FindFavoritesFolder(Text& folder) {
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, names::kClientKey, kKeyRead) != kSuccess) return false;
  if (key.QueryString(names::kFavoritesFolderValue, folder, true) != kSuccess) return false;
  return IsExistingFolder(folder);
}

void DiscoverClientLocations(OperationRequest& request) {
  FindDataFolder(request.DataFolder);
  FindFavoritesFolder(request.FavoritesFolder);
  if (request.FavoritesFolder.empty()) request.FavoritesFolder = request.DataFolder;
}

}  // namespace kbt
