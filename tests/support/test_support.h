#pragma once
// Scratch folders and registry keys for tests; each leaves nothing behind.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/text.h"

namespace kbt::testing {

// A new empty folder below the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const Text& Path() const { return path_; }
  // Path() joined with a relative name.
  Text operator/(const Text& name) const;

 private:
  Text path_;
};

// File helpers that work in both builds.
bool WriteBytes(const Text& path, const std::vector<uint8_t>& bytes);
bool WriteText(const Text& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const Text& path);
bool FileExists(const Text& path);
bool SetCurrentFolder(const Text& folder);
void RemoveTree(const Text& path);
// True when the folder exists and holds nothing.
bool FolderIsEmpty(const Text& folder);

// Registry helpers on HKEY_CURRENT_USER.
void DeleteKey(const Text& path);
bool KeyExists(const Text& path);
void SeedValue(const Text& key, const Text& name, uint32_t type, const std::vector<uint8_t>& data);
void SeedString(const Text& key, const Text& name, const Text& text, uint32_t type = platform::kRegSz);
void SeedDword(const Text& key, const Text& name, uint32_t value);
struct StoredValue {
  bool exists = false;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};
StoredValue ReadValue(const Text& key, const Text& name);
std::vector<uint8_t> StringBytes(const Text& text);  // with terminator

// Every value below a key, by "key path|value name", with type and bytes; the tool's own key left out.
using RegistrySnapshot = std::map<Text, std::pair<uint32_t, std::vector<uint8_t>>>;
// The client's keys (empty ones too), values and types, without the tool's own branch.
RegistrySnapshot ClientSettingsSnapshot();
// Every key and value below a key, each key also as "path|" so that empty keys count.
RegistrySnapshot SnapshotKey(const Text& path);

// Starts and ends each test without the client's registry key. The user's local application data
// folder, where every restore, reset and undo writes its undo point, is a scratch folder meanwhile.
// A folder on a drive that is not there now: a free drive letter, or in the native build a
// missing top folder.
Text FolderOnAbsentDrive();
void SetEnvironment(const char* name, const Text& value);

class ClientRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The undo folder below the scratch local application data folder.
  Text UndoFolder() const;
  // Points the local application data folder somewhere else until the test ends.
  static void RedirectLocalAppData(const Text& folder);

 private:
  ScratchFolder localAppData_;
  StoredValue savedLocalAppData_;
  std::optional<std::string> savedAppData_;
};

}  // namespace kbt::testing

