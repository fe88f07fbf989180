#include "ui/wizard_fixture.h"

#include "regfile/registry_key.h"

namespace kbt::testing {
using namespace platform;

namespace {
void Collect(const Text& path, ValueSnapshot& into) {
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, path, kKeyRead) != kSuccess) return;
  KeyInfo info;
  if (QueryKeyInfo(key.Get(), &info) != kSuccess) return;
  for (uint32_t i = 0;; ++i) {
    std::vector<char16_t> name(info.maxValueNameLength + 1);
    std::vector<uint8_t> bytes(info.maxValueDataSize + 1);
    uint32_t length = static_cast<uint32_t>(name.size()), type = 0, size = static_cast<uint32_t>(bytes.size());
    if (EnumerateValue(key.Get(), i, name.data(), &length, &type, bytes.data(), &size) != kSuccess) break;
    bytes.resize(size);
    into[path + u"|" + Text(name.data(), length)] = {type, bytes};
  }
  for (uint32_t i = 0;; ++i) {
    std::vector<char16_t> name(info.maxSubKeyLength + 1);
    uint32_t length = static_cast<uint32_t>(name.size());
    if (EnumerateKey(key.Get(), i, name.data(), &length) != kSuccess) break;
    const Text child = path + u"\\" + Text(name.data(), length);
    into[child + u"|"] = {};
    Collect(child, into);
  }
}
}  // namespace

ValueSnapshot SnapshotKey(const Text& path) {
  ValueSnapshot snapshot;
  Collect(path, snapshot);
  return snapshot;
}

}  // namespace kbt::testing
