#pragma once
// An owned registry key, and the shared string read and value wipe of the logic.
#include "platform/registry.h"
#include "platform/unique_handle.h"

namespace kbt {

struct RegKeyTraits {
  using Type = platform::RegHandle;
  static Type Invalid() { return 0; }
  static bool Close(Type key) { return platform::CloseKey(key) == platform::kSuccess; }
};

class RegistryKey {
 public:
  RegistryKey() = default;
  virtual ~RegistryKey() = default;

  // On success a key held before is closed; a failure to close it is the result, the new key is kept.
  platform::Status Open(platform::RegRoot root, const Text& path, uint32_t access);
  platform::Status Create(platform::RegRoot root, const Text& path, uint32_t access);
  // With no key held: nothing to do, success.
  platform::Status Close();

  bool IsOpen() const { return static_cast<bool>(key_); }
  platform::RegHandle Get() const { return key_.Get(); }

  // REG_SZ or REG_EXPAND_SZ into text; 13 for other types or an odd size; text unchanged on failure.
  platform::Status QueryString(const Text& name, Text& text, bool expand) const;
  // Writes text with its terminator as REG_EXPAND_SZ, as the client's folder values are kept.
  [[nodiscard]] platform::Status SetExpandString(const Text& name, const Text& text) const;

 private:
  platform::Status Adopt(platform::Status status, platform::RegHandle key);
  UniqueHandle<RegKeyTraits> key_;
};

// Deletes every value of the key, keeping its sub-keys; false when the key cannot be opened.
// 'allDeleted' (optional) tells whether every listed value went.
[[nodiscard]] bool DeleteAllValues(platform::RegRoot root, const Text& path, bool* allDeleted = nullptr);

}  // namespace kbt
