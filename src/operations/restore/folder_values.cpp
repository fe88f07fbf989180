#include "operations/restore/folder_values.h"

#include <utility>

#include "operations/undo/planned_changes.h"
#include "platform/paths.h"
#include "regfile/key_path.h"
#include "platform/places.h"
#include "platform/registry.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"

namespace kbt {
using namespace platform;

namespace {
constexpr uint32_t kLongestPathBytes = (kLongestPath + 1) * 2;

Text WithoutTrailingSeparators(Text folder) {
  while (folder.size() > 1 && folder.back() == kPathSeparator && folder[folder.size() - 2] != u':') folder.pop_back();
  return folder;
}
}  // namespace

std::optional<ValueData> ReadStoredValue(const Text& keyPath, const Text& name, uint32_t limit) {
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, keyPath, kKeyRead) != kSuccess) return std::nullopt;
  ValueData value;
  uint32_t size = 0;
  if (QueryValue(key.Get(), name, &value.type, nullptr, &size) != kSuccess) return std::nullopt;
  value.tooLarge = size > limit;
  if (value.tooLarge) return value;
  value.data.resize(size);
  // A value that grew in between stays within the same limit: it is taken as too large.
  if (size > 0) {
    const Status read = QueryValue(key.Get(), name, &value.type, value.data.data(), &size);
    if (read == kMoreData) return ValueData{value.type, {}, true};
    if (read != kSuccess) return std::nullopt;
  }
  value.data.resize(size);
  return value;
}

std::optional<Text> NamedFolder(const ValueData& value) {
  if (value.tooLarge || (value.type != kRegSz && value.type != kRegExpandSz) || value.data.size() % 2 != 0) return std::nullopt;
  Text text;
  for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  Text expanded;
  if (ExpandEnvironment(text, expanded) != kSuccess) return std::nullopt;
  return expanded;
}

bool SameFolder(const Text& a, const Text& b) {
  Text plainA = WithoutTrailingSeparators(a), plainB = WithoutTrailingSeparators(b), expanded;
  if (ExpandEnvironment(plainA, expanded) == kSuccess) plainA = WithoutTrailingSeparators(expanded);
  if (ExpandEnvironment(plainB, expanded) == kSuccess) plainB = WithoutTrailingSeparators(expanded);
  if (plainA.empty() || plainB.empty()) return plainA == plainB;
  if (EqualsIgnoreAsciiCase(plainA, plainB)) return true;
  Text resolvedA, resolvedB;
  return ResolvePath(plainA, resolvedA) && ResolvePath(plainB, resolvedB) && IsSameOrBelow(resolvedA, resolvedB) &&
         IsSameOrBelow(resolvedB, resolvedA);
}

bool IsFolderValue(const Text& key, const Text& name) {
  return EqualsIgnoreAsciiCase(key, names::kClientKey) &&
         (EqualsIgnoreAsciiCase(name, names::kDataPathValue) || EqualsIgnoreAsciiCase(name, names::kFavoritesFolderValue));
}

void ArchiveFolderValues::Key(const Text& keyPath) {
  if (next_) next_->Key(keyPath);
}

void ArchiveFolderValues::Value(const Text& keyPath, const Text& name, uint32_t type, const std::vector<uint8_t>& data) {
  if (next_) next_->Value(keyPath, name, type, data);
  const Text key = NormalKeyPath(keyPath);
  if (!IsFolderValue(key, name)) return;
  (EqualsIgnoreAsciiCase(name, names::kDataPathValue) ? dataPath_ : favoritesFolder_) = ValueData{type, data};
}

void ArchiveFolderValues::IgnoredSection(std::u16string_view section) {
  if (next_) next_->IgnoredSection(section);
}

const std::optional<ValueData>& ArchiveFolderValues::Of(const char16_t* name) const {
  return EqualsIgnoreAsciiCase(name, names::kDataPathValue) ? dataPath_ : favoritesFolder_;
}

std::vector<FolderValueWrite> PlanFolderValues(const Text& dataFolder, const Text& favoritesFolder,
                                               const ArchiveFolderValues& fromArchive) {
  std::vector<FolderValueWrite> writes;
  for (const auto& [name, folderOfRun] : {std::pair{names::kDataPathValue, &dataFolder},
                                          std::pair{names::kFavoritesFolderValue, &favoritesFolder}}) {
    const Text* folder = folderOfRun;
    if (folder->empty()) continue;  // names no folder: nothing to point the client at
    auto namesFolder = [folder](const std::optional<ValueData>& value) {
      if (!value) return false;
      const std::optional<Text> named = NamedFolder(*value);
      return named && SameFolder(*named, *folder);
    };
    const std::optional<ValueData> today = ReadStoredValue(names::kClientKey, name, kLongestPathBytes);
    const std::optional<ValueData>& archived = fromArchive.Of(name);
    if (namesFolder(archived ? archived : today)) continue;
    writes.push_back({name, namesFolder(today) ? *today : ValueData{kRegExpandSz, StringBytes(*folder)}});
  }
  return writes;
}

std::vector<uint8_t> StringBytes(const Text& text) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

}  // namespace kbt
