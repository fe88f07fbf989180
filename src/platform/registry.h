#pragma once
// The registry operations the logic relies on, with the Win32 result codes and access masks.
// win32/ calls advapi32; posix/ is an in-memory substitute with the same behaviour.
#include <cstdint>

#include "platform/text.h"

namespace kbt::platform {

using Status = long;
constexpr Status kSuccess = 0;
constexpr Status kFileNotFound = 2;
constexpr Status kAccessDenied = 5;
constexpr Status kInvalidData = 13;
constexpr Status kInsufficientBuffer = 122;
constexpr Status kMoreData = 234;
constexpr Status kNoMoreItems = 259;

enum class RegRoot : uint32_t { CurrentUser = 0x80000001u, LocalMachine = 0x80000002u, Users = 0x80000003u };

constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyReadWrite = 0x2001F;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

using RegHandle = std::uintptr_t;  // 0: none

struct KeyInfo {
  uint32_t subKeys = 0;
  uint32_t maxSubKeyLength = 0;    // characters, without terminator
  uint32_t values = 0;
  uint32_t maxValueNameLength = 0;  // characters, without terminator
  uint32_t maxValueDataSize = 0;    // bytes
};

[[nodiscard]] Status OpenKey(RegRoot root, const Text& path, uint32_t access, RegHandle* key);
// Creates the key and every missing key above it.
[[nodiscard]] Status CreateKey(RegRoot root, const Text& path, uint32_t access, RegHandle* key);
Status CloseKey(RegHandle key);
Status QueryKeyInfo(RegHandle key, KeyInfo* info);
// name: capacity in characters in, length without terminator out (as RegEnumValueW).
// data may be null; dataSize: capacity in, size out.
Status EnumerateValue(RegHandle key, uint32_t index, char16_t* name, uint32_t* nameLength, uint32_t* type,
                    uint8_t* data, uint32_t* dataSize);
Status EnumerateKey(RegHandle key, uint32_t index, char16_t* name, uint32_t* nameLength);
// data null: reports type and size only.
Status QueryValue(RegHandle key, const Text& name, uint32_t* type, uint8_t* data, uint32_t* size);
[[nodiscard]] Status SetValue(RegHandle key, const Text& name, uint32_t type, const uint8_t* data, uint32_t size);
[[nodiscard]] Status DeleteValue(RegHandle key, const Text& name);
// Removes the key with all its sub-keys and values, deepest keys first. 0, or the code of the first
// step that failed (2 when the key does not exist); keys deleted before a failure stay deleted.
[[nodiscard]] Status DeleteKeyTree(RegRoot root, const Text& path);

// Replaces each %NAME% by the variable's value; unknown references stay. 0 or an error code.
Status ExpandEnvironment(const Text& text, Text& expanded);

}  // namespace kbt::platform
