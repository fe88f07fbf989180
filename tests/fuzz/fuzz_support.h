#pragma once
// What the fuzz targets share: a private scratch folder, the fuzz bytes as text, and a summary of
// the substitute registry to compare before and after an input ran.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace kbt::fuzz {

// The password of the protected seed archives, which the archive target reads with.
inline constexpr char16_t kArchivePassword[] = u"fuzz p\u00e4ss";

// One folder per process, emptied by Clear() and removed at exit.
class Scratch {
 public:
  static Scratch& Get();
  const Text& Path() const { return path_; }
  Text operator/(const Text& name) const;
  void Clear();
  // Names of everything in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  Scratch();
  Text path_;
};

// Each byte becomes one character (Latin-1): the parsers care about ASCII, and the fuzzer then
// spends its work on the characters that matter.
Text Widen8(const uint8_t* data, size_t size);
// Pairs of bytes as UTF-16LE characters; an odd last byte is dropped.
Text Utf16Le(const uint8_t* data, size_t size);

bool WriteFileBytes(const Text& path, const uint8_t* data, size_t size);
std::vector<uint8_t> ReadFileBytes(const Text& path);

// Every key and value below one root, by "key path|value name" (key paths folded to lower case,
// as the registry compares them), with type and bytes; keys without values appear as "key path|".
using RegistryDump = std::map<std::u16string, std::pair<uint32_t, std::vector<uint8_t>>>;
RegistryDump DumpRegistry(platform::RegRoot root, const Text& path = Text());

// Aborts with a message: a broken property is a finding just like a crash.
[[noreturn]] void Fail(const char* what);
#define KBT_FUZZ_CHECK(condition) \
  do {                            \
    if (!(condition)) ::kbt::fuzz::Fail(#condition); \
  } while (0)

}  // namespace kbt::fuzz
