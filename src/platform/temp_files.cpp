// Temporary files named by the tool itself: GetTempFileNameW takes folders of at most 246
// characters and leaves no way to tell our leftovers from anyone else's.
#include <chrono>
#include <random>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"

namespace kbt::platform {
namespace {

constexpr char16_t kPrefix[] = u"~kbt";
constexpr char16_t kSuffix[] = u".tmp";
constexpr char16_t kPattern[] = u"~kbt*.tmp";
constexpr size_t kHexDigits = 16;
// Collisions are rare with 64 random bits; the bound only ends a hopeless loop (a folder full of
// names that exist, or a system that keeps answering "exists").
constexpr int kAttempts = 64;

uint64_t NextRandom() {
  thread_local std::mt19937_64 generator = [] {
    const auto now = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::vector<uint32_t> entropy{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32)};
    try {
      std::random_device device;
      entropy.push_back(device());
      entropy.push_back(device());
    } catch (...) {
      // No entropy source: the clock alone still differs between runs, and CREATE_NEW catches the rest.
    }
    std::seed_seq seed(entropy.begin(), entropy.end());
    return std::mt19937_64(seed);
  }();
  return generator();
}

Text TempFileName(uint64_t number) {
  static const char16_t kDigits[] = u"0123456789abcdef";
  Text name = kPrefix;
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(number >> shift) & 0xF];
  return name + kSuffix;
}

}  // namespace

bool IsTempFileName(const Text& name) {
  const Text prefix = kPrefix, suffix = kSuffix;
  if (name.size() != prefix.size() + kHexDigits + suffix.size()) return false;
  if (!EqualsIgnoreAsciiCase(name.substr(0, prefix.size()), prefix) ||
      !EqualsIgnoreAsciiCase(name.substr(name.size() - suffix.size()), suffix))
    return false;
  for (size_t i = prefix.size(); i < prefix.size() + kHexDigits; ++i) {
    const char16_t c = LowerAscii(name[i]);
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
  }
  return true;
}

void RemoveTempLeftovers(const Text& folder) {
  // A file that a running tool holds open cannot be deleted on Windows: the failure is the answer.
  // A folder that cannot be listed has no leftovers to remove either.
  static_cast<void>(ForEachFileNamed(folder, kPattern, [&](const Text& name) {
    if (!IsTempFileName(name)) return;
    Text path = folder;
    AppendPath(path, name);
    static_cast<void>(RemoveFile(path));
  }));
}

bool CreateTempFile(const Text& folder, Text& path, File& file) {
  if (folder.empty()) return false;
  RemoveTempLeftovers(folder);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Text candidate = folder;
    AppendPath(candidate, TempFileName(NextRandom()));
    if (file.Open(candidate, FileMode::CreateNew)) {
      path = candidate;
      return true;
    }
    const Status error = LastError();
    if (error != kFileExists && error != kAlreadyExists) return false;
  }
  return false;
}

}  // namespace kbt::platform
