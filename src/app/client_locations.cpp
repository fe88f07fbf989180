#include "app/client_locations.h"

#include "operations/operation_request.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

bool FindDataFolder(Text& folder) {
  {
    RegistryKey key;
    Text stored;
    if (key.Open(RegRoot::CurrentUser, names::kClientKey, kKeyRead) == kSuccess &&
        key.QueryString(names::kDataPathValue, stored, true) == kSuccess && !stored.empty()) {
      folder = stored;
      if (IsExistingFolder(stored)) return true;
      if (IsOnAbsentDrive(stored)) return false;
    }
  }
  Text appData;
  if (!GetAppDataFolder(appData)) return false;
  AppendPath(appData, names::kDataFolderName);
  folder = appData;
  return IsExistingFolder(folder);
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
