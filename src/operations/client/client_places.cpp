#include "operations/client/client_places.h"

#include <utility>

#include "operations/client/client_items.h"
#include "operations/client/file_checks.h"
#include "platform/paths.h"
#include "platform/places.h"
#include "platform/shell_folders.h"
#include "operations/result_log.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

namespace {
bool EndsWithIgnoreAsciiCase(const Text& text, const Text& ending) {
  return text.size() > ending.size() && EqualsIgnoreAsciiCase(text.substr(text.size() - ending.size()), ending);
}
}  // namespace

bool GetToolFolder(Text& folder) {
  if (!GetLocalAppDataFolder(folder) || folder.empty()) return false;
  for (const char16_t* part : names::kToolFolderParts) AppendPath(folder, part);
  return true;
}

ClientPlaces::ClientPlaces(Text dataFolder) : dataFolder_(std::move(dataFolder)), protectedFolders_(ProtectedFolders()) {
  Text tool, resolvedTool;
  if (GetToolFolder(tool)) protectedFolders_.push_back(ResolvePath(tool, resolvedTool) ? resolvedTool : tool);
  if (!AcceptsPlace(dataFolder_, resolvedDataFolder_)) resolvedDataFolder_.clear();
}

ClientPlaces::Verdict ClientPlaces::JudgePlace(const Text& path, Text& resolved) const {
  if (!IsPlainLocalPath(path) || !ResolvePath(path, resolved) || IsOnNetworkVolume(resolved)) return Verdict::NotLocal;
  for (const Text& folder : protectedFolders_) {
    if (IsSameOrBelow(resolved, folder)) return Verdict::Protected;
  }
  return Verdict::Accepted;
}

ClientPlaces::Verdict ClientPlaces::Judge(const Text& folder) const {
  Text resolved;
  return JudgePlace(folder, resolved);
}

Text ClientPlaces::RefusalText(const Text& folder, Verdict verdict) {
  return FormatText(LoadText(verdict == Verdict::Protected ? IDS_FOLDER_PROTECTED : IDS_FOLDER_NOT_LOCAL), {folder});
}

bool ClientPlaces::IsBitmapName(const Text& name) {
  return EndsWithIgnoreAsciiCase(name, names::kBitmapExtension) && !HasExecutableExtension(name);
}

bool ClientPlaces::IsQueueName(const Text& name) {
  return (EndsWithIgnoreAsciiCase(name, names::kQueueExtension) && !HasExecutableExtension(name)) ||
         EqualsIgnoreAsciiCase(name, names::kQueueFallbackFile);
}

// The name is checked as spelled and as resolved: an existing link named like a bitmap may lead
// to any file.
bool ClientPlaces::AcceptsBitmap(const Text& path) const {
  Text resolved;
  return IsBitmapName(FileNamePart(path)) && AcceptsPlace(path, resolved) && IsBitmapName(FileNamePart(resolved));
}

bool ClientPlaces::AcceptsRecordedFile(const Text& path) const {
  const Text name = FileNamePart(path);
  if (IsBitmapName(name)) return AcceptsBitmap(path);
  // The folders of the run that wrote the point may be named nowhere today (a reset deletes the
  // values that name them): a data file is judged by its own name in an accepted place.
  bool dataFile = EqualsIgnoreAsciiCase(name, names::kQueueFallbackFile);
  for (const ClientItem& item : kClientItems) dataFile = dataFile || (item.fileName && EqualsIgnoreAsciiCase(name, item.fileName));
  if (!dataFile) return IsQueueName(name) && AcceptsQueue(path);
  Text resolved;
  return AcceptsPlace(path, resolved) && EqualsIgnoreAsciiCase(FileNamePart(resolved), name);
}

bool ClientPlaces::AcceptsQueue(const Text& path) const {
  Text resolved;
  if (!IsQueueName(FileNamePart(path)) || !AcceptsPlace(path, resolved)) return false;
  const Text name = FileNamePart(resolved);
  if (!EqualsIgnoreAsciiCase(name, names::kQueueFallbackFile)) return IsQueueName(name);
  // "queue.dat" is the data folder's own name for the queue, nowhere else.
  Text folder = resolved;
  RemoveLastComponent(folder);
  return !resolvedDataFolder_.empty() && IsSameOrBelow(folder, resolvedDataFolder_) &&
         IsSameOrBelow(resolvedDataFolder_, folder);
}

}  // namespace kbt
