#pragma once
// Helpers for the settings file tests: UTF-16 file bytes and a full dump of a registry tree.
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "regfile/registry_key.h"

namespace kbt::testing {

// The bytes of a settings file holding 'text': byte-order mark, then UTF-16LE.
inline std::vector<uint8_t> Utf16FileBytes(const Text& text, bool withMark = true) {
  std::vector<uint8_t> bytes;
  if (withMark) bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

// The header as the writer puts it at the start of a new file.
inline Text SettingsHeader() {
  return u"Windows Registry Editor Version 5.00\r\n; Attention: Please do not modify this file!\r\n";
}

struct DumpedValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const DumpedValue& other) const { return type == other.type && data == other.data; }
};

// Every key (by path) and every value (by key path and name) below and including 'path'.
struct RegistryDump {
  std::vector<Text> keys;
  std::map<std::pair<Text, Text>, DumpedValue> values;
};

inline void DumpKey(platform::RegRoot root, const Text& path, RegistryDump& dump) {
  using namespace platform;
  RegistryKey key;
  if (key.Open(root, path, kKeyRead) != kSuccess) return;
  dump.keys.push_back(path);
  for (uint32_t i = 0;; ++i) {
    char16_t name[16384];
    uint32_t nameLength = 16384, type = 0, size = 0;
    if (EnumerateValue(key.Get(), i, name, &nameLength, &type, nullptr, &size) != kSuccess) break;
    const Text valueName(name, nameLength);
    DumpedValue value;
    value.type = type;
    value.data.resize(size + 1);
    uint32_t got = size + 1;
    if (QueryValue(key.Get(), valueName, &type, value.data.data(), &got) != kSuccess) got = 0;
    value.data.resize(got);
    dump.values[{path, valueName}] = value;
  }
  std::vector<Text> subKeys;
  for (uint32_t j = 0;; ++j) {
    char16_t name[512];
    uint32_t nameLength = 512;
    if (EnumerateKey(key.Get(), j, name, &nameLength) != kSuccess) break;
    subKeys.emplace_back(name, nameLength);
  }
  for (const Text& sub : subKeys) DumpKey(root, path + u"\\" + sub, dump);
}

inline RegistryDump DumpTree(const Text& path, platform::RegRoot root = platform::RegRoot::CurrentUser) {
  RegistryDump dump;
  DumpKey(root, path, dump);
  return dump;
}

}  // namespace kbt::testing
