#include "regfile/settings_file_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "regfile/settings_file_reader.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "unit/settings_file_test_util.h"

namespace kbt {
namespace {
using namespace platform;
using namespace testing;

const Text kClient = names::kClientKey;
const Text kDisplay = u"Software\\Kestrove\\Display";

Status CreateKeyForTest(const Text& path) {
  RegistryKey key;
  return key.Create(RegRoot::CurrentUser, path, kKeyWrite);
}

Text ReadUtf16(const Text& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  Text text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
  return text;
}

class SettingsFileWriterTest : public ClientRegistryTest {
 protected:
  // The body one export of 'key' appends to an existing empty file.
  Text AppendedBody(const Text& key, bool recursive = true, bool* result = nullptr) {
    const Text path = folder_ / u"part.reg";
    EXPECT_TRUE(WriteBytes(path, {}));
    const bool ok = ExportKeyToFile(RegRoot::CurrentUser, key, path, recursive, true);
    if (result) *result = ok;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    Text text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    return text;
  }
  ScratchFolder folder_;
};

// The backup's own sequence: the top key's values on create, then a listed key appended recursively.
TEST_F(SettingsFileWriterTest, ReproducesTheDocumentedExampleByteForByte) {
  SeedString(kClient, u"Data Path", u"C:\\D", kRegExpandSz);
  SeedString(kDisplay, u"", u"");
  SeedString(kDisplay, u"Listview Bitmap", u"a.bmp");
  SeedValue(kDisplay, u"x\"y", kRegBinary, {});
  SeedDword(kDisplay + u"\\A", u"B", 1);

  const Text path = folder_ / names::kSettingsFile;
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kClient, path, false, false));
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, path, true, true));

  const Text expected =
      u"Windows Registry Editor Version 5.00\r\n"
      u"; Attention: Please do not modify this file!\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Kestrove]\r\n"
      u"\"Data Path\"=hex(2):43,00,3a,00,5c,00,44,00,00,00\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Kestrove\\Display]\r\n"
      u"@=hex(1):00,00\r\n"
      u"\"Listview Bitmap\"=hex(1):61,00,2e,00,62,00,6d,00,70,00,00,00\r\n"
      u"\"x\\\"y\"=hex(3):\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Kestrove\\Display\\A]\r\n"
      u"\"B\"=hex(4):01,00,00,00\r\n";
  EXPECT_EQ(ReadBytes(path), Utf16FileBytes(expected));
}

struct LineCase {
  const char* what;
  Text name;
  uint32_t type;
  std::vector<uint8_t> data;
  Text line;
};

// One value per case, each alone in its key: the line it must become.
TEST_F(SettingsFileWriterTest, WritesEachValueAsOneTypedHexLine) {
  const LineCase cases[] = {
      {"dword 1", u"B", kRegDword, {1, 0, 0, 0}, u"\"B\"=hex(4):01,00,00,00"},
      {"string abc", u"s", kRegSz, StringBytes(u"abc"), u"\"s\"=hex(1):61,00,62,00,63,00,00,00"},
      {"no data ends at the colon", u"empty", kRegBinary, {}, u"\"empty\"=hex(3):"},
      {"default value", u"", kRegSz, StringBytes(u""), u"@=hex(1):00,00"},
      {"quote escaped", u"x\"y", kRegNone, {0xAB}, u"\"x\\\"y\"=hex(0):ab"},
      {"backslash kept", u"a\\b", kRegNone, {}, u"\"a\\b\"=hex(0):"},
      {"= [ ] written as they are", u"a=[b]", kRegNone, {}, u"\"a=[b]\"=hex(0):"},
      {"lowercase hex digits", u"h", kRegBinary, {0xDE, 0xAD, 0xBE, 0xEF}, u"\"h\"=hex(3):de,ad,be,ef"},
      {"type beyond the known ones", u"q", 11, {1, 0, 0, 0, 0, 0, 0, 0}, u"\"q\"=hex(11):01,00,00,00,00,00,00,00"},
      {"type as signed 32-bit", u"t", 0xFFFFFFFFu, {7}, u"\"t\"=hex(-1):07"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteKey(kClient);
    SeedValue(kDisplay, c.name, c.type, c.data);
    EXPECT_EQ(AppendedBody(kDisplay), u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Display]\r\n" + c.line + u"\r\n");
  }
}

TEST_F(SettingsFileWriterTest, EmptyAndMissingKeysGetTheirSectionAlone) {
  ASSERT_EQ(CreateKeyForTest(kDisplay), kSuccess);
  bool ok = false;
  EXPECT_EQ(AppendedBody(kDisplay, true, &ok), u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Display]\r\n");
  EXPECT_TRUE(ok);

  EXPECT_EQ(AppendedBody(u"Software\\Kestrove\\Missing", true, &ok),
            u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Missing]\r\n");
  EXPECT_TRUE(ok) << "a missing key is no failure";
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Missing")) << "the export must not create it";
}

TEST_F(SettingsFileWriterTest, LargeValueStaysOnOneLine) {
  std::vector<uint8_t> data(10000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  SeedValue(kDisplay, u"big", kRegBinary, data);
  const Text body = AppendedBody(kDisplay);
  const Text prefix = u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Display]\r\n\"big\"=hex(3):";
  ASSERT_EQ(body.compare(0, prefix.size(), prefix), 0);
  const Text hex = body.substr(prefix.size());
  ASSERT_GE(hex.size(), 2u);
  EXPECT_EQ(hex.size() - 2, 29999u);
  EXPECT_EQ(hex.substr(hex.size() - 2), u"\r\n");
  EXPECT_EQ(hex.find(u'\\'), Text::npos) << "no continuation";
  EXPECT_EQ(hex.find(u'\n'), hex.size() - 1);
  std::vector<uint8_t> decoded;
  EXPECT_TRUE(DecodeHex(hex.substr(0, hex.size() - 2), decoded));
  EXPECT_EQ(decoded, data);
}

// Sub-keys are created in name order, so Windows (creation order) and Wine (name order) agree.
TEST_F(SettingsFileWriterTest, SubKeysFollowDepthFirstAfterTheirParentsValues) {
  SeedDword(kDisplay, u"v", 1);
  SeedDword(kDisplay + u"\\A", u"a", 2);
  SeedDword(kDisplay + u"\\A\\Deep", u"d", 3);
  SeedDword(kDisplay + u"\\B", u"b", 4);
  const Text section = u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Display";
  EXPECT_EQ(AppendedBody(kDisplay),
            section + u"]\r\n\"v\"=hex(4):01,00,00,00\r\n" +
            section + u"\\A]\r\n\"a\"=hex(4):02,00,00,00\r\n" +
            section + u"\\A\\Deep]\r\n\"d\"=hex(4):03,00,00,00\r\n" +
            section + u"\\B]\r\n\"b\"=hex(4):04,00,00,00\r\n");
  EXPECT_EQ(AppendedBody(kDisplay, false), section + u"]\r\n\"v\"=hex(4):01,00,00,00\r\n")
      << "without recursion no sub-key section is written";
}

// A tree nested far deeper than a recursion could follow (the thread's stack under Wine is 1 MiB)
// is written whole, each key's section after its parent's.
TEST_F(SettingsFileWriterTest, ADeepTreeIsWrittenWhole) {
  constexpr int kDepth = 8000;
  Text deepest = kDisplay;
  for (int level = 0; level < kDepth; ++level) deepest += u"\\d";
  SeedDword(deepest, u"bottom", 5);
  const Text body = AppendedBody(kDisplay);
  size_t sections = 0;
  for (size_t at = body.find(u"\r\n["); at != Text::npos; at = body.find(u"\r\n[", at + 1)) ++sections;
  EXPECT_EQ(sections, size_t{kDepth} + 1);
  const Text last = u"\r\n[HKEY_CURRENT_USER\\" + deepest + u"]\r\n\"bottom\"=hex(4):05,00,00,00\r\n";
  ASSERT_GE(body.size(), last.size());
  EXPECT_EQ(body.substr(body.size() - last.size()), last);
  EXPECT_EQ(DeleteKeyTree(RegRoot::CurrentUser, kDisplay + u"\\d"), kSuccess);
}

// A name with CR or LF cannot stand on one line: it is left out and named, and everything else of
// its key, before and after it, still goes out and comes back.
TEST_F(SettingsFileWriterTest, NamesWithLineBreaksAreLeftOutAndNamed) {
  SeedDword(kDisplay, u"a before", 1);
  SeedDword(kDisplay, u"line\nbreak", 2);
  SeedDword(kDisplay, u"carriage\rreturn", 3);
  SeedDword(kDisplay, u"z after", 4);
  SeedDword(kDisplay + u"\\key\r\nname", u"inside", 5);
  SeedDword(kDisplay + u"\\key\r\nname\\below", u"deeper", 6);
  SeedDword(kDisplay + u"\\plain", u"kept", 7);
  const Text path = folder_ / u"out.reg";
  ExportProblems problems;
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, path, true, false, &problems));
  std::sort(problems.values.begin(), problems.values.end());
  EXPECT_EQ(problems.values, (std::vector<Text>{u"carriage\rreturn", u"line\nbreak"}));
  EXPECT_EQ(problems.keys, std::vector<Text>{kDisplay + u"\\key\r\nname"});

  DeleteKey(kDisplay);
  ASSERT_TRUE(ImportSettingsFile(path));
  EXPECT_EQ(ReadValue(kDisplay, u"a before").data, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(ReadValue(kDisplay, u"z after").data, (std::vector<uint8_t>{4, 0, 0, 0}));
  EXPECT_TRUE(ReadValue(kDisplay + u"\\plain", u"kept").exists);
  EXPECT_EQ(DumpTree(kDisplay).values.size(), 3u);
}

TEST_F(SettingsFileWriterTest, KeyPathIsWrittenAsGivenAndSubKeysInTheirOwnCase) {
  SeedDword(u"Software\\Kestrove\\Display\\MixedCase", u"x", 0);
  EXPECT_EQ(AppendedBody(u"Software\\Kestrove\\display"),
            u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\display]\r\n"
            u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\display\\MixedCase]\r\n\"x\"=hex(4):00,00,00,00\r\n");
}

TEST_F(SettingsFileWriterTest, CreateReplacesAnOldFileAndAppendKeepsIt) {
  const Text path = folder_ / u"settings.reg";
  ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(5000, 'x')));
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, path, true, false));
  const Text first = SettingsHeader() + u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Display]\r\n";
  EXPECT_EQ(ReadBytes(path), Utf16FileBytes(first)) << "nothing of the old file may remain";

  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kClient, path, false, true));
  EXPECT_EQ(ReadUtf16(path), first + u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove]\r\n")
      << "an append writes no header and no second byte-order mark";
}

TEST_F(SettingsFileWriterTest, AppendingToAMissingFileFailsAndCreatesNothing) {
  SeedDword(kDisplay, u"v", 1);
  const Text path = folder_ / u"missing.reg";
  EXPECT_FALSE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, path, true, true));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, folder_ / u"no-folder/x.reg", true, false));
}

TEST_F(SettingsFileWriterTest, ARootOutsideTheTableIsRefused) {
  const Text path = folder_ / u"root.reg";
  EXPECT_FALSE(ExportKeyToFile(static_cast<RegRoot>(0x80000000u), kClient, path, true, false));
  EXPECT_FALSE(FileExists(path));
}

// A truncated settings file must never reach the archive as if it were complete.
TEST_F(SettingsFileWriterTest, AFailedWriteFailsTheExport) {
  SeedDword(kDisplay, u"v", 1);
  const Text path = folder_ / u"readonly.reg";
  ASSERT_TRUE(WriteBytes(path, {}));
  File readOnly;
  ASSERT_TRUE(readOnly.Open(path, FileMode::ReadShared));
  EXPECT_FALSE(ExportKey(RegRoot::CurrentUser, kDisplay, readOnly, true));
  readOnly.Close();
  EXPECT_TRUE(ReadBytes(path).empty());
}

#ifndef _WIN32
// A full disk: every write and the export fail, however small the file.
TEST_F(SettingsFileWriterTest, AFullDiskFailsTheExport) {
  SeedDword(kDisplay, u"v", 1);
  File probe;
  if (!probe.Open(u"/dev/full", FileMode::CreateAlways)) GTEST_SKIP() << "/dev/full cannot be opened";
  probe.Close();
  EXPECT_FALSE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, u"/dev/full", true, false));
  EXPECT_FALSE(ExportKeyToFile(RegRoot::CurrentUser, kDisplay, u"/dev/full", true, true));
}
#endif

}  // namespace
}  // namespace kbt
