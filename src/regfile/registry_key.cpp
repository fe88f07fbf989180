#include "regfile/registry_key.h"

#include <new>
#include <vector>

namespace kbt {
using namespace platform;

Status RegistryKey::Adopt(Status status, RegHandle key) {
  if (status != kSuccess) return status;
  return key_.Reset(key) ? kSuccess : kInvalidData;
}

Status RegistryKey::Open(RegRoot root, const Text& path, uint32_t access) {
  RegHandle key = 0;
  const Status status = OpenKey(root, path, access, &key);
  return Adopt(status, key);
}

Status RegistryKey::Create(RegRoot root, const Text& path, uint32_t access) {
  RegHandle key = 0;
  const Status status = CreateKey(root, path, access, &key);
  return Adopt(status, key);
}

Status RegistryKey::Close() { return key_.Reset() ? kSuccess : kInvalidData; }

Status RegistryKey::QueryString(const Text& name, Text& text, bool expand) const {
  uint32_t type = 0, size = 0;
  Status status = QueryValue(key_.Get(), name, &type, nullptr, &size);
  if (status != kSuccess) return status;
  if (type != kRegSz && type != kRegExpandSz) return kInvalidData;
  if (size == 0) {
    text.clear();
    return kSuccess;
  }
  if (size % 2 != 0) return kInvalidData;
  std::u16string value;
  try {
    value.assign(size / 2, u'\0');
  } catch (const std::bad_alloc&) {
    return kInsufficientBuffer;
  }
  status = QueryValue(key_.Get(), name, &type, reinterpret_cast<uint8_t*>(&value[0]), &size);
  if (status != kSuccess) return status;
  value.resize(size / 2);
  const size_t nul = value.find(u'\0');
  if (nul != Text::npos) value.resize(nul);
  if (expand) {
    Text expanded;
    status = ExpandEnvironment(value, expanded);
    if (status != kSuccess) {
      text = value;
      return status;
    }
    value = expanded;
  }
  text = value;
  return kSuccess;
}

Status RegistryKey::SetExpandString(const Text& name, const Text& text) const {
  return SetValue(key_.Get(), name, kRegExpandSz, reinterpret_cast<const uint8_t*>(text.c_str()),
                     static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t)));
}

bool DeleteAllValues(RegRoot root, const Text& path, bool* allDeleted) {
  RegistryKey key;
  if (key.Open(root, path, kKeyReadWrite) != kSuccess) return false;
  KeyInfo info;
  bool ok = QueryKeyInfo(key.Get(), &info) == kSuccess;
  // From the last value to the first: the indices below stay valid, and a registry that keeps a
  // key's values in one array (as Wine's does) never moves the rest of it, so the time stays linear.
  std::vector<char16_t> name(size_t(info.maxValueNameLength) + 1);
  for (uint32_t index = ok ? info.values : 0; index-- > 0;) {
    uint32_t length = static_cast<uint32_t>(name.size());
    const Status status = EnumerateValue(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr);
    if (status != kSuccess) {
      ok = false;
      continue;
    }
    ok = DeleteValue(key.Get(), Text(name.data(), length)) == kSuccess && ok;
  }
  if (allDeleted) {
    uint32_t remaining = 0;
    if (QueryKeyInfo(key.Get(), &info) == kSuccess) remaining = info.values;
    *allDeleted = ok && remaining == 0;
  }
  return true;
}

}  // namespace kbt
