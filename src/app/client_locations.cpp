#include "app/client_locations.h"

#include "operations/operation_request.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

bool FindDataFolder(Text& folder, bool record, bool* recorded) {
  if (recorded) *recorded = true;
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
  if (record) {
    RegistryKey key;
    Text stored;
    // Without a variable to put back the folder is written as it is, never as an empty text.
    if (!UnExpandEnvironment(folder, stored)) stored = folder;
    const bool written = key.Create(RegRoot::CurrentUser, names::kClientKey, kKeyReadWrite) == kSuccess &&
                         key.SetExpandString(names::kDataPathValue, stored) == kSuccess;
    if (recorded) *recorded = written;
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
  // A check changes nothing, on any machine: it only reads where the folders are.
  const bool record = request.GetMode() != OperationMode::Verify;
  bool recorded = true;
  FindDataFolder(request.DataFolder, record, &recorded);
  if (!recorded) request.Log.Add(IDS_REGISTRY_WRITE_FAILED, Text(names::kClientKey) + u'\\' + names::kDataPathValue);
  FindFavoritesFolder(request.FavoritesFolder);
  if (request.FavoritesFolder.empty()) request.FavoritesFolder = request.DataFolder;
}

}  // namespace kbt
