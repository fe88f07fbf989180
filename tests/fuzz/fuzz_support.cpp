#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kbt::fuzz {
namespace fs = std::filesystem;

Scratch& Scratch::Get() {
  static Scratch scratch;
  return scratch;
}

Scratch::Scratch() {
  // Memory-backed when the machine has it: archive inputs may inflate to megabytes per run.
  const char* base = fs::is_directory("/dev/shm") ? "/dev/shm" : nullptr;
  if (!base) base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kbt-fuzz-XXXXXX";
  if (!::mkdtemp(&pattern[0])) Fail("cannot create the scratch folder");
  path_ = FromUtf8(pattern);
  static std::string toRemove;
  toRemove = pattern;
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(toRemove, ignored);
  });
}

Text Scratch::operator/(const Text& name) const { return path_ + u"/" + name; }

void Scratch::Clear() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(ToUtf8(path_), ignored)) fs::remove_all(entry.path(), ignored);
}

std::vector<std::string> Scratch::List() const {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(ToUtf8(path_), ignored)) {
    names.push_back(fs::relative(entry.path(), ToUtf8(path_)).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Text Widen8(const uint8_t* data, size_t size) { return Text(data, data + size); }

Text Utf16Le(const uint8_t* data, size_t size) {
  Text text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  return text;
}

bool WriteFileBytes(const Text& path, const uint8_t* data, size_t size) {
  std::ofstream out(ToUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out.flush());
}

std::vector<uint8_t> ReadFileBytes(const Text& path) {
  std::ifstream in(ToUtf8(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

Text Lower(const Text& text) {
  Text lower = text;
  for (char16_t& c : lower) c = LowerAscii(c);
  return lower;
}

void DumpKey(platform::RegRoot root, const Text& path, RegistryDump& dump) {
  using namespace platform;
  RegHandle key = 0;
  if (OpenKey(root, path, kKeyRead, &key) != kSuccess) return;
  KeyInfo info;
  if (QueryKeyInfo(key, &info) != kSuccess) Fail("cannot query an open key");
  dump[Lower(path) + u"|"] = {};
  std::vector<char16_t> name(info.maxValueNameLength + info.maxSubKeyLength + 2);
  std::vector<uint8_t> data(info.maxValueDataSize + 1);
  for (uint32_t i = 0;; ++i) {
    uint32_t nameLength = static_cast<uint32_t>(name.size()), type = 0, size = static_cast<uint32_t>(data.size());
    const Status status = EnumerateValue(key, i, name.data(), &nameLength, &type, data.data(), &size);
    if (status == kNoMoreItems) break;
    if (status != kSuccess) Fail("cannot enumerate a value");
    dump[Lower(path) + u"|" + Text(name.data(), nameLength)] = {type, std::vector<uint8_t>(data.begin(), data.begin() + size)};
  }
  std::vector<Text> subKeys;
  for (uint32_t i = 0;; ++i) {
    uint32_t nameLength = static_cast<uint32_t>(name.size());
    const Status status = EnumerateKey(key, i, name.data(), &nameLength);
    if (status == kNoMoreItems) break;
    if (status != kSuccess) Fail("cannot enumerate a key");
    subKeys.emplace_back(name.data(), nameLength);
  }
  CloseKey(key);
  for (const Text& sub : subKeys) DumpKey(root, path.empty() ? sub : path + u"\\" + sub, dump);
}

}  // namespace

RegistryDump DumpRegistry(platform::RegRoot root, const Text& path) {
  RegistryDump dump;
  DumpKey(root, path, dump);
  return dump;
}

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

}  // namespace kbt::fuzz
