#include "operations/client_places.h"
#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

bool OperationRequest::Reset(uint32_t selection) {
  bool result = true;
  // Data first: the favorites folder and the queue file are named by values the settings reset deletes.
  if (selection & DataSelection::ApplicationData) {
    if (!ResetApplicationData()) {
      Log.Add(IDS_RESET_DATA_FAILED);
      result = false;
    }
  }
  if (selection & DataSelection::Settings) {
    if (!ResetSettings()) {
      Log.Add(IDS_RESET_SETTINGS_FAILED);
      result = false;
    }
  }
  return result;
}

namespace {
// Reads a folder or file value as stored (no expansion); empty when missing.
Text ReadStoredPath(const Text& keyPath, const Text& valueName) {
  RegistryKey key;
  Text value;
  if (key.Open(RegRoot::CurrentUser, keyPath, kKeyRead) != kSuccess) return Text();
  if (key.QueryString(valueName, value, false) != kSuccess) return Text();
  return value;
}
}  // namespace

bool OperationRequest::ResetApplicationData() {
  // Only files in the client's own places are deleted, whatever the registry values name: an empty,
  // relative or foreign folder or a queue value naming a document deletes nothing.
  const ClientPlaces places(DataFolder);
  bool ok = true;
  const Text favorites = ReadStoredPath(names::kClientKey, names::kFavoritesFolderValue);
  if (places.AcceptsFolder(favorites)) {
    Text file = favorites;
    AppendPath(file, names::kFavoritesFile);
    ok = RemoveFile(file);
  }
  const Text queue = ReadStoredPath(names::kQueueKey, names::kLastFileValue);
  if (places.AcceptsQueue(queue)) ok = RemoveFile(queue) && ok;
  if (places.AcceptsFolder(DataFolder)) {
    for (const char16_t* name : {names::kFoldersFile, names::kHistoryFile, names::kCustomFile}) {
      Text file = DataFolder;
      AppendPath(file, name);
      ok = RemoveFile(file) && ok;
    }
  }
  return ok;
}

bool OperationRequest::ResetSettings() {
  bool ok = true;
  for (const Text& key : SettingsKeys) {
    if (key.empty()) continue;
    // A key that does not exist is already as a reset wants it.
    if (DeleteKeyTree(RegRoot::CurrentUser, key) != kSuccess) {
      RegistryKey still;
      if (still.Open(RegRoot::CurrentUser, key, kKeyRead) == kSuccess) ok = false;
    }
  }
  bool allValuesDeleted = true;
  if (DeleteAllValues(RegRoot::CurrentUser, names::kClientKey, &allValuesDeleted) && !allValuesDeleted) ok = false;
  return ok;
}

}  // namespace kbt
