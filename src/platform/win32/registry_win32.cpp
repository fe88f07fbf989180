#include <shlwapi.h>

#include "platform/registry.h"
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

Status CloseKey(RegHandle key) { return ::RegCloseKey(H(key)); }

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

Status DeleteKeyTree(RegRoot root, const Text& path) { return ::SHDeleteKeyW(H(root), W(path)); }

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
