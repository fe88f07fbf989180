#include <windows.h>

#include <vector>

#include "platform/registry.h"
#include "platform/win32/unique_handles_win32.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
namespace {
HKEY H(RegHandle key) { return reinterpret_cast<HKEY>(key); }
HKEY H(RegRoot root) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<uint32_t>(root)) | ~ULONG_PTR{0xFFFFFFFF}); }
}  // namespace
using win32::W;

Status OpenKey(RegRoot root, const Text& path, uint32_t access, RegHandle* key) {
  HKEY out = nullptr;
  const Status status = ::RegOpenKeyExW(H(root), W(path), 0, access, &out);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(out) : 0;
  return status;
}

Status CreateKey(RegRoot root, const Text& path, uint32_t access, RegHandle* key) {
  HKEY out = nullptr;
  const Status status =
      ::RegCreateKeyExW(H(root), W(path), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &out, nullptr);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(out) : 0;
  return status;
}

Status CloseKey(RegHandle key) { return win32::CloseRegistryKey(H(key)); }

Status QueryKeyInfo(RegHandle key, KeyInfo* info) {
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
  const Status status = ::RegQueryInfoKeyW(H(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                                           &maxValueName, &maxData, nullptr, nullptr);
  info->subKeys = subKeys;
  info->maxSubKeyLength = maxSubKey;
  info->values = values;
  info->maxValueNameLength = maxValueName;
  info->maxValueDataSize = maxData;
  return status;
}

Status EnumerateValue(RegHandle key, uint32_t index, char16_t* name, uint32_t* nameLength, uint32_t* type,
                    uint8_t* data, uint32_t* dataSize) {
  DWORD length = *nameLength, kind = 0, size = dataSize ? *dataSize : 0;
  const Status status =
      ::RegEnumValueW(H(key), index, W(name), &length, nullptr, &kind, data, dataSize ? &size : nullptr);
  *nameLength = length;
  if (type) *type = kind;
  if (dataSize) *dataSize = size;
  return status;
}

Status EnumerateKey(RegHandle key, uint32_t index, char16_t* name, uint32_t* nameLength) {
  DWORD length = *nameLength;
  const Status status = ::RegEnumKeyExW(H(key), index, W(name), &length, nullptr, nullptr, nullptr, nullptr);
  *nameLength = length;
  return status;
}

Status QueryValue(RegHandle key, const Text& name, uint32_t* type, uint8_t* data, uint32_t* size) {
  DWORD kind = 0, bytes = *size;
  const Status status = ::RegQueryValueExW(H(key), W(name), nullptr, &kind, data, &bytes);
  if (type) *type = kind;
  *size = bytes;
  return status;
}

Status SetValue(RegHandle key, const Text& name, uint32_t type, const uint8_t* data, uint32_t size) {
  return ::RegSetValueExW(H(key), W(name), 0, type, data, size);
}

Status DeleteValue(RegHandle key, const Text& name) { return ::RegDeleteValueW(H(key), W(name)); }

namespace {
using OwnedKey = win32::UniqueRegistryKey;
}  // namespace

// Deepest keys first, one level at a time with our own stack: SHDeleteKeyW recurses once per
// level, and a tree can be nested deep enough to overflow the thread's stack.
Status DeleteKeyTree(RegRoot root, const Text& path) {
  struct Level {
    OwnedKey key;
    std::wstring name;  // as its parent knows it
  };
  HKEY top = nullptr;
  Status status = ::RegOpenKeyExW(H(root), W(path), 0, KEY_READ, &top);
  if (status != ERROR_SUCCESS) return status;
  std::vector<Level> levels;
  levels.push_back(Level{OwnedKey(top), std::wstring()});
  std::vector<wchar_t> name;
  while (!levels.empty()) {
    HKEY current = levels.back().key.Get();
    DWORD longest = 0;
    status = ::RegQueryInfoKeyW(current, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    name.assign(size_t(longest) + 1, L'\0');
    DWORD length = static_cast<DWORD>(name.size());
    status = ::RegEnumKeyExW(current, 0, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
      HKEY child = nullptr;
      status = ::RegOpenKeyExW(current, name.data(), 0, KEY_READ, &child);
      if (status != ERROR_SUCCESS) return status;
      levels.push_back(Level{OwnedKey(child), std::wstring(name.data(), length)});
      continue;
    }
    if (status != ERROR_NO_MORE_ITEMS) return status;
    // No sub-key left: this key goes, with its values.
    const std::wstring done = std::move(levels.back().name);
    levels.pop_back();
    status = levels.empty() ? ::RegDeleteKeyW(H(root), W(path)) : ::RegDeleteKeyW(levels.back().key.Get(), done.c_str());
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

Status ExpandEnvironment(const Text& text, Text& expanded) {
  const DWORD needed = ::ExpandEnvironmentStringsW(W(text), nullptr, 0);
  if (needed == 0) return static_cast<Status>(::GetLastError());
  Text buffer(needed, u'\0');
  const DWORD written = ::ExpandEnvironmentStringsW(W(text), reinterpret_cast<wchar_t*>(&buffer[0]), needed);
  if (written == 0 || written > needed) return written == 0 ? static_cast<Status>(::GetLastError()) : kMoreData;
  buffer.resize(written - 1);
  expanded = buffer;
  return kSuccess;
}

}  // namespace kbt::platform
