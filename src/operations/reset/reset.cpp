#include <algorithm>

#include "operations/client/client_items.h"
#include "operations/client/client_places.h"
#include "operations/operation_request.h"
#include "operations/undo/planned_changes.h"
#include "operations/undo/undo_point.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/key_path.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

bool OperationRequest::Reset(uint32_t selection) {
  const RunScope run(*this);
  if (!run.Held()) return false;
  if (selection == 0) return true;
  if (!RecoverInterrupted()) return false;
  PlannedChanges changes;
  // The files are judged once: the undo point records exactly those the reset then deletes.
  std::vector<Text> refusals;
  const std::vector<Text> files =
      selection & DataSelection::ApplicationData ? ResettableDataFiles(&refusals) : std::vector<Text>();
  for (const Text& file : files) changes.AddFile(file);
  if (selection & DataSelection::Settings) {
    for (const Text& key : SettingsKeys) {
      if (IsClientKey(key)) changes.AddKeyTree(key);
    }
    changes.AddAllValues(names::kClientKey);
  }
  if (!BeginChanges(UndoKind::Reset, Text(), changes)) return false;
  bool result = true;
  // Data first: the favorites folder and the queue file are named by values the settings reset deletes.
  if (selection & DataSelection::ApplicationData) {
    if (!ResetApplicationData(files, refusals)) {
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
  return EndChanges(result);
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

std::vector<Text> OperationRequest::ResettableDataFiles(std::vector<Text>* refusals) const {
  // Only files in the client's own places, whatever the registry values name: an empty, relative
  // or foreign folder or a queue value naming a document yields nothing. A folder that is set but
  // refused is named, since its files then stay.
  const ClientPlaces places(DataFolder);
  std::vector<Text> files;
  auto usable = [&](const Text& folder) {
    const ClientPlaces::Verdict verdict = places.Judge(folder);
    if (verdict != ClientPlaces::Verdict::Accepted && !folder.empty() && refusals) {
      const Text refusal = ClientPlaces::RefusalText(folder, verdict);
      if (std::find(refusals->begin(), refusals->end(), refusal) == refusals->end()) refusals->push_back(refusal);
    }
    return verdict == ClientPlaces::Verdict::Accepted;
  };
  const bool dataUsable = usable(DataFolder);
  auto add = [&](const Text& folder, const Text& name) {
    files.push_back(folder);
    AppendPath(files.back(), name);
  };
  for (const ClientItem& item : kClientItems) {
    switch (item.kind) {
      case ItemKind::DataFile:
        if (dataUsable) add(DataFolder, item.fileName);
        break;
      case ItemKind::Favorites: {
        const Text favorites = ReadStoredPath(item.key, item.value);
        if (usable(favorites)) add(favorites, item.fileName);
        break;
      }
      case ItemKind::Queue: {
        const Text queue = ReadStoredPath(item.key, item.value);
        if (places.AcceptsQueue(queue)) files.push_back(queue);
        break;
      }
      case ItemKind::Bitmap: break;  // the user's pictures stay
    }
  }
  return files;
}

bool OperationRequest::ResetApplicationData(const std::vector<Text>& files, const std::vector<Text>& refusals) {
  bool ok = true;
  for (const Text& file : files) ok = !IsHeldElsewhere(file) && RemoveFile(file) && ok;
  for (const Text& refusal : refusals) Log.Add(refusal);
  return ok && refusals.empty();
}

bool OperationRequest::ResetSettings() {
  bool ok = true;
  for (const Text& key : SettingsKeys) {
    if (!IsClientKey(key)) continue;  // never another program's key, never the tool's own
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
