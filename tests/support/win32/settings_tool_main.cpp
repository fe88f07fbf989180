// settingstool: runs the settings file writer and reader, and seeds and dumps registry trees, for the
// scripted interop checks and the settings benchmark. Keys are below HKEY_CURRENT_USER.
//   settingstool export <file> <key> [append] [flat]   exit 0 when the export succeeded
//   settingstool import <file>                          exit 0 when the import succeeded
//   settingstool dump <key> <out file>                  every key and value, sorted, as UTF-8 lines
//   settingstool seed-interop <key>                     the interop check's values
//   settingstool seed-bench <key> <keys> <values>       the benchmark tree (support/settings_tree.h)
//   settingstool delete <key>
// With KBT_TIMING_FILE set, export and import append their own duration in seconds to that file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "regfile/hex_codec.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "support/settings_tree.h"

namespace {
using namespace kbt;
using namespace kbt::platform;

Text T(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }

bool Set(const Text& key, const Text& name, uint32_t type, const std::vector<uint8_t>& data) {
  RegistryKey holder;
  if (holder.Create(RegRoot::CurrentUser, key, kKeyWrite) != kSuccess) return false;
  static const uint8_t kEmpty = 0;
  return SetValue(holder.Get(), name, type, data.empty() ? &kEmpty : data.data(),
                  static_cast<uint32_t>(data.size())) == kSuccess;
}

std::vector<uint8_t> Bytes(const Text& text, bool terminator = true) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.c_str());
  return std::vector<uint8_t>(p, p + (text.size() + (terminator ? 1 : 0)) * 2);
}

std::vector<uint8_t> Dword(uint32_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

bool SeedInterop(const Text& root) {
  bool ok = true;
  ok &= Set(root, u"", kRegSz, Bytes(u"default"));
  ok &= Set(root, u"Data Path", kRegExpandSz, Bytes(u"%APPDATA%\\Kestrove"));
  ok &= Set(root, u"Listview Bitmap", kRegSz, Bytes(u"C:\\Bitmaps\\list.bmp"));
  ok &= Set(root, u"x\"y", kRegBinary, {1, 2, 3});
  ok &= Set(root, u"count", kRegDword, Dword(42));
  ok &= Set(root, u"multi", 7, Bytes(Text(u"one\0two\0", 8)));
  ok &= Set(root, u"none", kRegNone, {});
  ok &= Set(root, u"empty string", kRegSz, {});
  ok &= Set(root, u"unicode \u00e4\u00f6\u00fc", kRegSz, Bytes(u"\u4e2d\u6587"));
  std::vector<uint8_t> big(3000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13);
  ok &= Set(root, u"big", kRegBinary, big);
  ok &= Set(root + u"\\Sub A", u"inner", kRegSz, Bytes(u"inner value"));
  ok &= Set(root + u"\\Sub A\\Deeper", u"deep", kRegDword, Dword(7));
  RegistryKey empty;
  ok &= empty.Create(RegRoot::CurrentUser, root + u"\\Empty", kKeyWrite) == kSuccess;
  // The registry editor writes these types as typed hex lines; a long one is wrapped by the editor
  // over several lines.
  const Text hexOnly = root + u"\\HexOnly";
  ok &= Set(hexOnly, u"a none", kRegNone, {9, 8});
  ok &= Set(hexOnly, u"b expand", kRegExpandSz, Bytes(u"%TEMP%\\x"));
  Text longText;
  for (int i = 0; i < 40; ++i) longText += u"%USERPROFILE%\\segment\\";
  ok &= Set(hexOnly, u"c long expand", kRegExpandSz, Bytes(longText));
  ok &= Set(hexOnly, u"d multi", 7, Bytes(Text(u"a\0b\0", 4)));
  ok &= Set(hexOnly, u"e big endian", 5, {0, 0, 0, 1});
  // The editor writes a plain string between typed hex values.
  const Text mixed = root + u"\\Mixed";
  ok &= Set(mixed, u"a expand", kRegExpandSz, Bytes(u"first"));
  ok &= Set(mixed, u"b string", kRegSz, Bytes(u"second"));
  ok &= Set(mixed, u"c expand", kRegExpandSz, Bytes(u"third"));
  return ok;
}

void Dump(const Text& path, std::vector<std::string>& lines) {
  RegistryKey key;
  if (key.Open(RegRoot::CurrentUser, path, kKeyRead) != kSuccess) return;
  lines.push_back("K\t" + ToUtf8(path));
  std::vector<Text> subKeys;
  for (uint32_t i = 0;; ++i) {
    char16_t name[16384];
    uint32_t length = 16384, type = 0, size = 0;
    if (EnumerateValue(key.Get(), i, name, &length, &type, nullptr, &size) != kSuccess) break;
    std::vector<uint8_t> data(size + 1);
    uint32_t got = size + 1;
    if (QueryValue(key.Get(), Text(name, length), &type, data.data(), &got) != kSuccess) got = 0;
    Text hex;
    EncodeHex(hex, data.data(), got);
    lines.push_back("V\t" + ToUtf8(path) + "\t" + ToUtf8(Text(name, length)) + "\t" + std::to_string(type) + "\t" +
                    ToUtf8(hex));
  }
  for (uint32_t j = 0;; ++j) {
    char16_t name[512];
    uint32_t length = 512;
    if (EnumerateKey(key.Get(), j, name, &length) != kSuccess) break;
    subKeys.emplace_back(name, length);
  }
  for (const Text& sub : subKeys) Dump(path + u"\\" + sub, lines);
}

bool WriteDump(const Text& key, const Text& out) {
  std::vector<std::string> lines;
  Dump(key, lines);
  std::sort(lines.begin(), lines.end());
  FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(out.c_str()), L"wb");
  if (!file) return false;
  for (const std::string& line : lines) std::fprintf(file, "%s\n", line.c_str());
  return std::fclose(file) == 0;
}

}  // namespace

// Seconds spent in the writer or reader alone, without the process start.
class Timing {
 public:
  Timing() { ::QueryPerformanceCounter(&start_); }
  ~Timing() {
    const wchar_t* path = _wgetenv(L"KBT_TIMING_FILE");
    if (!path || !*path) return;
    LARGE_INTEGER end, frequency;
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    if (FILE* file = _wfopen(path, L"a")) {
      std::fprintf(file, "%.3f\n", double(end.QuadPart - start_.QuadPart) / double(frequency.QuadPart));
      std::fclose(file);
    }
  }

 private:
  LARGE_INTEGER start_;
};

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring command = argv[1];
  const Text first = T(argv[2]);
  bool ok = false;
  if (command == L"export" && argc >= 4) {
    bool append = false, recursive = true;
    for (int i = 4; i < argc; ++i) {
      append |= std::wstring(argv[i]) == L"append";
      recursive &= std::wstring(argv[i]) != L"flat";
    }
    Timing timing;
    ok = ExportKeyToFile(RegRoot::CurrentUser, T(argv[3]), first, recursive, append);
  } else if (command == L"import") {
    Timing timing;
    ok = ImportSettingsFile(first);
  } else if (command == L"dump" && argc >= 4) {
    ok = WriteDump(first, T(argv[3]));
  } else if (command == L"seed-interop") {
    ok = SeedInterop(first);
  } else if (command == L"seed-bench" && argc >= 5) {
    ok = testing::SeedSettingsTree(first, static_cast<unsigned>(_wtoi(argv[3])), static_cast<unsigned>(_wtoi(argv[4])));
  } else if (command == L"delete") {
    Timing timing;
    const Status status = DeleteKeyTree(RegRoot::CurrentUser, first);
    ok = status == kSuccess || status == kFileNotFound;
  } else if (command == L"delete-values") {
    Timing timing;
    bool all = false;
    ok = DeleteAllValues(RegRoot::CurrentUser, first, &all) && all;
  } else {
    return 2;
  }
  return ok ? 0 : 1;
}
