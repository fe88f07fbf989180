// The settings file's body parser against the platform's own profile functions, on files that the
// writer produced: both must see the same sections, in the same order, with the same entry lines.
#include <windows.h>

#include <gtest/gtest.h>

#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "unit/settings_file_test_util.h"

namespace kbt {
namespace {
using namespace platform;
using namespace testing;

const Text kTree = u"Software\\Kestrove\\ProfileDiff";

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// A NUL-separated list as the profile functions return it, read with a buffer that is doubled from
// 1,024 characters for as long as the call reports it full (its capacity minus 2).
template <typename Call>
std::vector<Text> ProfileList(Call call) {
  for (DWORD capacity = 1024;; capacity *= 2) {
    std::vector<wchar_t> buffer(capacity);
    const DWORD got = call(buffer.data(), capacity);
    if (got == capacity - 2) continue;
    std::vector<Text> items;
    for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1) {
      items.emplace_back(reinterpret_cast<const char16_t*>(p));
    }
    return items;
  }
}

struct Difference {
  Text section, ours, theirs;
};

// Compares the parser with GetPrivateProfileSectionNamesW/GetPrivateProfileSectionW on one file.
std::vector<Difference> CompareWithProfile(const Text& path, size_t* sectionCount, size_t* lineCount) {
  std::vector<Difference> differences;
  const std::vector<uint8_t> bytes = ReadBytes(path);
  Text body;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) body += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
  const std::vector<SettingsSection> ours = ParseSettingsBody(body);

  const std::vector<Text> names =
      ProfileList([&](wchar_t* buffer, DWORD capacity) { return ::GetPrivateProfileSectionNamesW(buffer, capacity, W(path)); });
  EXPECT_EQ(names.size(), ours.size());
  *sectionCount = names.size();
  *lineCount = 0;
  for (size_t s = 0; s < names.size() && s < ours.size(); ++s) {
    if (Text(ours[s].name) != names[s]) differences.push_back({names[s], u"[" + Text(ours[s].name) + u"]", u"[" + names[s] + u"]"});
    const std::vector<Text> lines = ProfileList([&](wchar_t* buffer, DWORD capacity) {
      return ::GetPrivateProfileSectionW(W(names[s]), buffer, capacity, W(path));
    });
    EXPECT_EQ(lines.size(), ours[s].lines.size()) << ToUtf8(names[s]);
    for (size_t l = 0; l < lines.size() && l < ours[s].lines.size(); ++l) {
      ++*lineCount;
      if (Text(ours[s].lines[l]) != lines[l]) differences.push_back({names[s], Text(ours[s].lines[l]), lines[l]});
    }
  }
  return differences;
}

class SettingsFileProfileTest : public ClientRegistryTest {
 protected:
  ScratchFolder folder_;
};

TEST_F(SettingsFileProfileTest, ParserReadsTheWritersFilesAsTheProfileFunctionsDo) {
  // Awkward value names, every kind of data, long lines and many sections (so both buffers grow).
  const Text names[] = {u"plain", u"x\"y", u"a\\b", u"a\\\"b", u"ends\\", u"\"", u"\\\"", u"[x]", u";x", u"@",
                        u"a=b", u"k=hex(1):00", u" lead", u"trail ", u"\u00e4\u00f6\u00fc\u4e2d", u"\ttab",
                        u"Listview Bitmap", u"Data Path"};
  const uint32_t types[] = {kRegNone, kRegSz, kRegExpandSz, kRegBinary, kRegDword, 7, 11, 0xFFFFFFFFu};
  size_t n = 0;
  for (const Text& keyName : {Text(u"A"), Text(u"B key"), Text(u"[bracket]"), Text(u";semi"), Text(u" lead"),
                              Text(u"\u00c4rger"), Text(u"x=y")}) {
    const Text key = kTree + u"\\" + keyName;
    for (const Text& name : names) {
      std::vector<uint8_t> data(n % 7 * 5);
      for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(n + i * 13);
      SeedValue(key, name, types[n % 8], data);
      ++n;
    }
    SeedString(key, u"", u"default " + keyName);
    SeedValue(key + u"\\Empty Sub", u"big", kRegBinary, std::vector<uint8_t>(10000, 0xC3));
    RegistryKey empty;
    ASSERT_EQ(empty.Create(RegRoot::CurrentUser, key + u"\\Empty Sub\\Nothing", kKeyWrite), kSuccess);
  }
  for (int i = 0; i < 150; ++i) SeedDword(kTree + u"\\Many\\Key number " + FromUtf8(std::to_string(i)), u"v", i);

  const Text path = folder_ / u"profile-diff.reg";
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, path, false, false));
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kTree, path, true, true));
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, u"Software\\Kestrove\\Missing", path, true, true));

  size_t sections = 0, lines = 0;
  const std::vector<Difference> differences = CompareWithProfile(path, &sections, &lines);
  for (const Difference& d : differences) {
    ADD_FAILURE() << ToUtf8(d.section) << ": ours " << ToUtf8(d.ours) << " / profile " << ToUtf8(d.theirs);
  }
  EXPECT_GT(sections, 170u);
  EXPECT_GT(lines, 250u);
}

// Where they part: the profile functions trim white space around the first '=' of a line and at
// the end of a section name, which would change a value name such as "a = b" and a key name that
// ends in a space. The parser keeps both whole, so such values come back under their own names.
TEST_F(SettingsFileProfileTest, OnlyWhiteSpaceTheProfileFunctionsWouldTrimIsReadDifferently) {
  SeedDword(kTree, u"a = b", 1);
  SeedDword(kTree, u"plain", 2);
  SeedDword(kTree + u"\\trailing \t", u"t", 3);
  const Text path = folder_ / u"profile-trimmed.reg";
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kTree, path, true, false));
  size_t sections = 0, lines = 0;
  const std::vector<Difference> differences = CompareWithProfile(path, &sections, &lines);
  EXPECT_EQ(sections, 2u);
  EXPECT_EQ(lines, 3u);
  ASSERT_EQ(differences.size(), 2u);
  EXPECT_EQ(differences[0].ours, u"\"a = b\"=hex(4):01,00,00,00");
  EXPECT_EQ(differences[1].ours, u"[HKEY_CURRENT_USER\\" + kTree + u"\\trailing \t]");

  DeleteKey(names::kClientKey);
  ASSERT_TRUE(ImportSettingsFile(path));
  EXPECT_TRUE(ReadValue(kTree, u"a = b").exists);
  EXPECT_TRUE(ReadValue(kTree + u"\\trailing \t", u"t").exists);
  EXPECT_FALSE(KeyExists(kTree + u"\\trailing"));
}

}  // namespace
}  // namespace kbt
