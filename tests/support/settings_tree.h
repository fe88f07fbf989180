#pragma once
// The synthetic client tree of the settings benchmarks: groups of 10 sets of 18 items, so that a key
// never has more than 18 sub-keys however large the tree; every key holds 'values' values of mixed
// types (strings, dwords, binary data, expandable strings, multi-strings). The same arguments
// always give the same tree.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "regfile/registry_key.h"

namespace kbt::testing {

inline Text TreeNumber(unsigned n) {
  const std::string digits = std::to_string(n);
  return Text(digits.begin(), digits.end());
}

inline std::vector<uint8_t> TreeString(const Text& text) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.c_str());
  return std::vector<uint8_t>(p, p + (text.size() + 1) * 2);
}

inline bool SeedSettingsTree(const Text& root, unsigned keys, unsigned values) {
  using namespace platform;
  std::vector<Text> paths;
  for (unsigned g = 0; paths.size() < keys; ++g) {
    const Text group = root + u"\\Group " + TreeNumber(g);
    paths.push_back(group);
    for (unsigned s = 0; s < 10 && paths.size() < keys; ++s) {
      const Text set = group + u"\\Set " + TreeNumber(s);
      paths.push_back(set);
      for (unsigned i = 0; i < 18 && paths.size() < keys; ++i) paths.push_back(set + u"\\Item " + TreeNumber(i));
    }
  }
  unsigned seed = 12345;
  auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
  for (const Text& path : paths) {
    RegistryKey key;
    if (key.Create(RegRoot::CurrentUser, path, kKeyWrite) != kSuccess) return false;
    for (unsigned v = 0; v < values; ++v) {
      std::vector<uint8_t> data;
      uint32_t type = kRegSz;
      switch (v % 5) {
        case 0: data = TreeString(u"Setting text of a client value " + TreeNumber(v)); break;
        case 1: type = kRegDword; data = {uint8_t(next()), uint8_t(next()), uint8_t(next()), uint8_t(next())}; break;
        case 2:
          type = kRegBinary;
          data.resize(16 + next() % 48);
          for (auto& b : data) b = uint8_t(next() >> 16);
          break;
        case 3: type = kRegExpandSz; data = TreeString(u"%APPDATA%\\Kestrove\\Folder\\file.dat"); break;
        default: type = 7; data = TreeString(Text(u"first\0second\0third\0", 19)); break;
      }
      if (SetValue(key.Get(), u"Value " + TreeNumber(v), type, data.data(), static_cast<uint32_t>(data.size())) !=
          kSuccess) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace kbt::testing
