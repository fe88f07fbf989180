#include "regfile/settings_file_reader.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/settings_file_writer.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "unit/settings_file_test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kbt {
namespace {
using namespace platform;
using namespace testing;

const Text kClient = names::kClientKey;
const Text kScratch = u"Software\\Kestrove\\ReaderTest";
const Text kSection = u"[HKEY_CURRENT_USER\\Software\\Kestrove\\ReaderTest]\r\n";

// Changes the current folder for one test and puts the old one back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const Text& folder) {
    EXPECT_TRUE(GetCurrentFolder(old_));
    Change(folder);
  }
  ~CurrentFolder() { Change(old_); }

 private:
  static void Change(const Text& folder) {
#ifdef _WIN32
    ::SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()));
#else
    if (::chdir(ToUtf8(folder).c_str()) != 0) ADD_FAILURE() << "chdir failed";
#endif
  }
  Text old_;
};

class SettingsFileReaderTest : public ClientRegistryTest {
 protected:
  // Writes a settings file with the header and 'body' and imports it.
  bool Import(const Text& body, const Text& name = u"in.reg") {
    const Text path = folder_ / name;
    EXPECT_TRUE(WriteBytes(path, Utf16FileBytes(SettingsHeader() + body)));
    return ImportSettingsFile(path);
  }
  StoredValue Scratch(const Text& name) { return ReadValue(kScratch, name); }
  ScratchFolder folder_;
};

// Every type and the names that are hard to get back: what goes out must come back unchanged.
TEST_F(SettingsFileReaderTest, RoundTripRestoresEveryNameTypeAndByte) {
  const Text names[] = {u"plain", u"x\"y", u"a\\b", u"a\\\"b", u"ends\\", u"\\", u"\"", u"\\\"", u"\"quoted\"",
                        u"a = b", u" lead and trail ", u"x\"=hex(1):00", u"[not a section]", u";not a comment",
                        u"@", u"=", u"\u00e4\u00f6\u00fc \u4e2d", u"semi;colon=equals"};
  const uint32_t types[] = {kRegNone, kRegSz, kRegExpandSz, kRegBinary, kRegDword, 5, 7, 11, 0xFFFFFFFFu, 0x7FFFFFFFu};
  size_t n = 0;
  for (const Text& name : names) {
    std::vector<uint8_t> data(n % 5 * 3);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(n * 31 + i * 17);
    SeedValue(kScratch, name, types[n % (sizeof types / sizeof types[0])], data);
    ++n;
  }
  SeedString(kScratch, u"", u"default");
  SeedValue(kScratch + u"\\Sub\\Deeper", u"big", kRegBinary, std::vector<uint8_t>(70000, 0x5A));
  SeedValue(kScratch + u"\\Sub", u"", kRegDword, {1, 2, 3, 4});
  // Enough lines that the file is read in many pieces, with lines across their borders.
  for (int i = 0; i < 3000; ++i) SeedDword(kScratch + u"\\Many", FromUtf8("value " + std::to_string(i)), i);

  const RegistryDump before = DumpTree(kClient);
  const Text path = folder_ / names::kSettingsFile;
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, kClient, path, true, false));
  DeleteKey(kClient);
  ASSERT_TRUE(ImportSettingsFile(path));
  const RegistryDump after = DumpTree(kClient);

  EXPECT_EQ(after.values.size(), before.values.size());
  for (const auto& [where, value] : before.values) {
    const auto found = after.values.find(where);
    if (found == after.values.end()) {
      ADD_FAILURE() << "lost: " << ToUtf8(where.first) << " / \"" << ToUtf8(where.second) << "\"";
      continue;
    }
    EXPECT_EQ(found->second.type, value.type) << ToUtf8(where.second);
    EXPECT_TRUE(found->second.data == value.data) << ToUtf8(where.second);
  }
}

struct HeaderCase {
  const char* what;
  std::vector<uint8_t> bytes;
  SettingsProblemKind refused;  // None: accepted, and its value applied
  uint64_t line;
};

TEST_F(SettingsFileReaderTest, TheStartAndEndOfTheFileAreReadAsTheEditorReadsThem) {
  const Text body = u"\r\n" + kSection + u"\"v\"=hex(4):02,00,00,00\r\n";
  const Text goodHeader = u"Windows Registry Editor Version 5.00\r\n";
  std::string utf8 = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n";
  for (char16_t c : body) utf8 += static_cast<char>(c);
  using K = SettingsProblemKind;
  const HeaderCase cases[] = {
      {"no byte-order mark", Utf16FileBytes(goodHeader + body, false), K::NotUnicode, 0},
      {"UTF-8 with its mark", std::vector<uint8_t>(utf8.begin(), utf8.end()), K::NotUnicode, 0},
      {"empty file", {}, K::NotUnicode, 0},
      {"big-endian mark", {0xFE, 0xFF, 0, 'W'}, K::NotUnicode, 0},
      {"version 4 header", Utf16FileBytes(u"REGEDIT4\r\n" + body), K::NoHeader, 1},
      {"header in other letter case", Utf16FileBytes(u"windows Registry Editor Version 5.00\r\n" + body), K::NoHeader, 1},
      {"a value before the header", Utf16FileBytes(u"\r\n" + body + goodHeader), K::NoHeader, 3},
      {"byte-order mark alone", {0xFF, 0xFE}, K::NoHeader, 1},
      {"blank lines alone", Utf16FileBytes(u"\r\n \r\n"), K::NoHeader, 2},
      {"a wrapped value at the end", Utf16FileBytes(goodHeader + kSection + u"\"v\"=hex(4):02,00,\\\r\n"), K::UnfinishedValue, 3},
      {"LF line ends", Utf16FileBytes(u"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Kestrove"
                                      u"\\ReaderTest]\n\"v\"=hex(4):02,00,00,00\n"), K::None, 0},
      {"blanks and blank lines before the header", Utf16FileBytes(u"\r\n \t\r\n  " + goodHeader + body), K::None, 0},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteKey(kClient);
    SeedDword(kScratch, u"v", 1);
    const Text path = folder_ / u"header.reg";
    ASSERT_TRUE(WriteBytes(path, c.bytes));
    SettingsFileProblem problem;
    EXPECT_EQ(ImportSettingsFile(path, nullptr, kSettingsLimits, &problem), c.refused == K::None);
    EXPECT_EQ(problem.kind, c.refused);
    EXPECT_EQ(problem.line, c.line);
    EXPECT_EQ(Scratch(u"v").data, (std::vector<uint8_t>{uint8_t(c.refused == K::None ? 2 : 1), 0, 0, 0}));
  }
  EXPECT_FALSE(ImportSettingsFile(folder_ / u"does-not-exist.reg"));
  // The header alone, without anything after it, is a valid empty file.
  EXPECT_TRUE(Import(u""));
  const Text path = folder_ / u"only-header.reg";
  ASSERT_TRUE(WriteBytes(path, Utf16FileBytes(u"Windows Registry Editor Version 5.00\r")));
  EXPECT_TRUE(ImportSettingsFile(path));
}

TEST_F(SettingsFileReaderTest, MergesIntoWhatIsThere) {
  SeedDword(kScratch, u"kept", 7);
  SeedDword(kScratch, u"replaced", 7);
  SeedDword(kScratch + u"\\Existing", u"kept", 7);
  ASSERT_TRUE(Import(u"\r\n" + kSection + u"\"replaced\"=hex(1):41,00,00,00\r\n\"new\"=hex(3):\r\n" +
                     u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\ReaderTest\\Existing]\r\n"));
  EXPECT_EQ(Scratch(u"kept").data, (std::vector<uint8_t>{7, 0, 0, 0})) << "values not in the file survive";
  EXPECT_EQ(Scratch(u"replaced").type, kRegSz);
  EXPECT_EQ(Scratch(u"replaced").data, StringBytes(u"A"));
  EXPECT_TRUE(Scratch(u"new").exists);
  EXPECT_TRUE(Scratch(u"new").data.empty());
  EXPECT_TRUE(ReadValue(kScratch + u"\\Existing", u"kept").exists) << "an empty section leaves its key's values alone";
}

// The writer writes the sections of the top key and of the listed keys whether or not the keys
// exist, those below a listed key only when they do: only the latter bring back an empty key.
TEST_F(SettingsFileReaderTest, AnEmptySectionCreatesItsKeyOnlyBelowAListedKey) {
  const struct {
    Text key;
    bool created;
  } cases[] = {
      {u"Software\\Kestrove", false},
      {u"Software\\Kestrove\\Colors", false},
      {u"Software\\Kestrove\\Client", false},
      {u"Software\\Kestrove\\Client\\1.0", false},
      {u"Software\\Kestrove\\ReaderTest\\Unlisted", false},
      {u"Software\\Kestrove\\Colors\\Empty", true},
      {u"software\\kestrove\\CLIENT\\1.0\\Options\\Deeper", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.key));
    DeleteKey(kClient);
    ASSERT_TRUE(Import(u"\r\n[HKEY_CURRENT_USER\\" + c.key + u"]\r\n"));
    EXPECT_EQ(KeyExists(c.key), c.created);
  }
  DeleteKey(kClient);
  ASSERT_TRUE(Import(u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Colors]\r\n\"v\"=hex(4):01,00,00,00\r\n"));
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Colors", u"v").exists) << "a listed key with a value is created";
}

struct LineCase {
  const char* what;
  Text lines;  // from line 5 of the file, after the header, the notice, a blank line and the section
  SettingsProblemKind refused;  // None: applied as name, type and data
  uint64_t line;
  Text name = {};
  uint32_t type = 0;
  std::vector<uint8_t> data = {};
};

// Every line is applied as the registry editor applies it, or the whole file is refused with the
// line that shows why; a check tells the same. Each case is followed by a line that must apply too.
TEST_F(SettingsFileReaderTest, EachLineIsAppliedAsTheEditorAppliesItOrTheFileIsRefused) {
  using K = SettingsProblemKind;
  const K ok = K::None;
  const LineCase cases[] = {
      {"upper-case hex", u"\"u\"=hex(3):AB,Cd,eF", ok, 0, u"u", kRegBinary, {0xAB, 0xCD, 0xEF}},
      {"type with space and sign", u"\"t\"=hex( +7):01", ok, 0, u"t", 7, {1}},
      {"white space around the line", u"  \"w\"=hex(3):05  \t", ok, 0, u"w", kRegBinary, {5}},
      {"negative type", u"\"t\"=hex(-2):", ok, 0, u"t", 0xFFFFFFFEu, {}},
      {"largest unsigned type", u"\"t\"=hex(4294967295):1", ok, 0, u"t", 0xFFFFFFFFu, {1}},
      {"default value, empty string", u"@=hex(1):00,00", ok, 0, u"", kRegSz, {0, 0}},
      {"text with its escapes", u"\"s\\\\\"=\"a\\\"b\\\\;c\"", ok, 0, u"s\\", kRegSz, {'a', 0, '"', 0, 'b', 0, '\\', 0, ';', 0, 'c', 0, 0, 0}},
      {"dword, comment after", u"\"d\"=dword:0000002A;c", ok, 0, u"d", kRegDword, {0x2A, 0, 0, 0}},
      {"untyped hex, comment after", u"\"h\"=hex:00,01 ;note", ok, 0, u"h", kRegBinary, {0, 1}},
      {"wrapped, comment after the backslash", u"\"w\"=hex(2):41,00,\\ ;n\r\n  42,00,00,00", ok, 0, u"w", kRegExpandSz, {'A', 0, 'B', 0, 0, 0}},
      {"wrapped over blank and comment lines", u"\"w\"=hex(7):\\\r\n\r\n; c\r\n  01,\\\r\n  02", ok, 0, u"w", 7, {1, 2}},
      {"deleted value", u"\"a\"=-", K::Deletion, 5},
      {"deleted key", u"[-HKEY_CURRENT_USER\\Software\\Kestrove\\ReaderTest]", K::Deletion, 5},
      {"deleted key outside the client's", u"\"a\"=hex:01\r\n[-HKEY_CURRENT_USER\\Software\\Other]", K::Deletion, 6},
      {"hexadecimal type", u"\"t\"=hex(7fff):01", K::BadType, 5},
      {"type beyond 32 bits", u"\"t\"=hex(4294967296):01", K::BadType, 5},
      {"no closing parenthesis", u"\"b\"=hex(", K::BadType, 5},
      {"no colon", u"\"a\"=hex(1)", K::UnknownLine, 5},
      {"no name", u"=hex(1):00", K::UnknownLine, 5},
      {"unquoted name", u"abc=hex(4):01", K::UnknownLine, 5},
      {"no equals sign", u"\"a\"=\"b\"\r\nno equals sign", K::UnknownLine, 6},
      {"section without its bracket", u"[HKEY_CURRENT_USER\\Software\\Kestrove", K::UnknownLine, 5},
      {"text after a section", u"[HKEY_CURRENT_USER\\Software\\Kestrove\\ReaderTest] x", K::UnknownLine, 5},
      {"items that are no bytes", u"\"h\"=hex:zz", K::BadHex, 5},
      {"colon between items", u"\"h\"=hex(3):01:02", K::BadHex, 5},
      {"wrapped inside an item", u"\"w\"=hex:01,0\\\r\n2", K::BadHex, 5},
      {"wrap that would swallow the next value", u"\"w\"=hex:01,\\", K::BadHex, 6},
      {"wrap cut by a section", u"\"w\"=hex:01,\\\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\ReaderTest]", K::UnfinishedValue, 5},
      {"dword of nine digits", u"\"d\"=dword:123456789", K::BadDword, 5},
      {"dword of letters", u"\"d\"=dword:xyz", K::BadDword, 5},
      {"text not closed", u"\"s\"=\"open", K::BadString, 5},
      {"unknown escape", u"\"s\"=\"a\\qb\"", K::BadString, 5},
      {"something after the text", u"\"s\"=\"x\" y", K::BadString, 5},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteKey(kClient);
    SeedDword(kScratch, u"after", 1);
    const Text path = folder_ / u"line.reg";
    ASSERT_TRUE(WriteBytes(path, Utf16FileBytes(SettingsHeader() + u"\r\n" + kSection + c.lines +
                                                u"\r\n\"after\"=hex(4):09,00,00,00\r\n")));
    SettingsFileProblem problem, checked;
    struct : SettingsFileObserver {
      void Key(const Text&) override {}
      void Value(const Text&, const Text&, uint32_t, const std::vector<uint8_t>&) override {}
      void IgnoredSection(std::u16string_view) override {}
    } quiet;
    EXPECT_EQ(CheckSettingsFile(path, quiet, nullptr, &checked), c.refused == ok);
    EXPECT_EQ(ImportSettingsFile(path, nullptr, kSettingsLimits, &problem), c.refused == ok);
    EXPECT_EQ(problem.kind, c.refused);
    EXPECT_EQ(problem.line, c.line);
    EXPECT_TRUE(checked.kind == problem.kind && checked.line == problem.line) << "the check tells the same";
    if (c.refused != ok) {
      EXPECT_EQ(Scratch(u"after").data, (std::vector<uint8_t>{1, 0, 0, 0})) << "a refused file changes nothing";
      continue;
    }
    const StoredValue value = Scratch(c.name);
    EXPECT_TRUE(value.exists);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, c.data);
    EXPECT_EQ(Scratch(u"after").data, (std::vector<uint8_t>{9, 0, 0, 0}));
  }
}

TEST_F(SettingsFileReaderTest, CommentsAndBlankLinesInsideASectionAreNoEntries) {
  ASSERT_TRUE(Import(u"\"outside\"=hex(4):01,00,00,00\r\n\r\n" + kSection + u"; a comment\r\n\r\n  \r\n" +
                     u"\"v\"=hex(4):01,00,00,00\r\n"));
  EXPECT_TRUE(Scratch(u"v").exists);
  EXPECT_FALSE(ReadValue(kClient, u"outside").exists) << "lines before the first section are not read";
}

TEST_F(SettingsFileReaderTest, LineFeedsAloneAndAMissingLastLineEndAreRead) {
  ASSERT_TRUE(Import(u"\n" + kSection.substr(0, kSection.size() - 2) + u"\n\"a\"=hex(4):01,00,00,00\n\"b\"=hex(3):02"));
  EXPECT_TRUE(Scratch(u"a").exists);
  EXPECT_EQ(Scratch(u"b").data, (std::vector<uint8_t>{2}));
}

// Only the client's own key and the keys below it are written: a crafted file cannot plant values
// elsewhere, and skipping such sections is no failure.
TEST_F(SettingsFileReaderTest, SectionsOutsideTheClientsKeyAreSkipped) {
  const Text outside[] = {
      u"HKEY_CURRENT_USER\\Software\\KestroveX",
      u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunKbtTest",
      u"HKEY_CURRENT_USER\\Software",
      u"HKEY_CURRENT_USER",
      u"HKEY_CURRENT_USER\\",
      u"HKEY_CURRENT_USERX\\Software\\Kestrove",
      u"HKEY_CURRENT_USERXSoftware\\Kestrove",
      u"HKEY_CURRENT_USER\\\\Software\\Kestrove",
      u"HKEY_LOCAL_MACHINE\\Software\\Kestrove\\KbtTest",
      u"HKEY_USERS\\Software\\Kestrove\\KbtTest",
      u"HKCU\\Software\\Kestrove\\Short",
      u"",
  };
  Text body;
  for (const Text& section : outside) body += u"\r\n[" + section + u"]\r\n\"planted\"=hex(4):01,00,00,00\r\n";
  body += u"\r\n[hkey_CURRENT_user\\software\\KESTROVE\\ReaderTest]\r\n\"inside\"=hex(4):01,00,00,00\r\n";
  EXPECT_TRUE(Import(body));

  EXPECT_TRUE(Scratch(u"inside").exists) << "the root and the client's key are matched without regard to letter case";
  const RegistryDump client = DumpTree(kClient);
  EXPECT_EQ(client.values.size(), 1u) << "nothing else below the client's key";
  EXPECT_FALSE(KeyExists(u"Software\\KestroveX"));
  EXPECT_FALSE(ReadValue(u"Software\\Microsoft\\Windows\\CurrentVersion\\RunKbtTest", u"planted").exists);
  EXPECT_FALSE(ReadValue(u"Software", u"planted").exists);
  EXPECT_FALSE(ReadValue(u"", u"planted").exists);
  for (RegRoot root : {RegRoot::LocalMachine, RegRoot::Users}) {
    RegistryKey key;
    EXPECT_NE(key.Open(root, u"Software\\Kestrove\\KbtTest", kKeyRead), kSuccess);
    static_cast<void>(DeleteKeyTree(root, u"Software\\Kestrove\\KbtTest"));  // mostly not there
  }
  DeleteKey(u"Software\\KestroveX");
  DeleteKey(u"Software\\Microsoft\\Windows\\CurrentVersion\\RunKbtTest");
}

// The tool's own branch is never taken from a file, however its name is spelled; the client's
// keys beside it still are.
TEST_F(SettingsFileReaderTest, NothingOfTheToolsOwnKeyIsApplied) {
  const Text tool[] = {
      u"Software\\Kestrove\\Backup\\1.0",
      u"Software\\Kestrove\\Backup",
      u"software\\KESTROVE\\backup\\1.0\\Below",
      u"Software\\Kestrove\\\\Backup\\1.0",
      u"Software\\Kestrove\\Backup\\\\1.0\\",
      u"Software\\Kestrove\\Backup \\1.0",
      u"Software\\Kestrove\\ Backup\\2.0",
  };
  Text body;
  for (const Text& key : tool) body += u"\r\n[HKEY_CURRENT_USER\\" + key + u"]\r\n\"Last Backup\"=hex(1):78,00,00,00\r\n";
  body += u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Backups]\r\n\"kept\"=hex(4):01,00,00,00\r\n";
  // Empty sections create their keys, but only where values would go.
  body += u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Backup\\Empty]\r\n[HKEY_CURRENT_USER\\Software\\KestroveEmpty]\r\n";
  EXPECT_TRUE(Import(body));
  EXPECT_FALSE(KeyExists(u"Software\\KestroveEmpty"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Backup"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Backup "));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\ Backup"));
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Backups", u"kept").exists) << "a name that only begins alike is the client's";
}

// A file beyond any limit changes nothing at all, even where its first values were within them;
// the limit is named. Small limits here; the real ones are far above any profile
// (FaultsTest.AHugeSettingsFileRoundTrips).
TEST_F(SettingsFileReaderTest, AFileBeyondALimitChangesNothing) {
  SeedDword(kScratch, u"kept", 7);
  SettingsLimits limits;
  limits.fileBytes = 4000;
  limits.lineCharacters = 100;
  limits.valueBytes = 8;
  limits.values = 4;
  limits.dataBytes = 20;
  const Text good = u"\"a\"=hex(3):01,02\r\n";
  const Text wrapped = u"\"w\"=hex(3):01,02,03,04,05,06,07,08,\\\r\n  09\r\n";
  const struct {
    Text body;
    SettingsLimit limit;
  } cases[] = {
      {kSection + good + u"\"v\"=hex(3):01,02,03,04,05,06,07,08,09\r\n", SettingsLimit::ValueSize},
      {kSection + good + wrapped, SettingsLimit::ValueSize},
      {kSection + good + good + good + good + good, SettingsLimit::ValueCount},
      {kSection + u"\"x\"=hex(3):" + Text(120, u'0') + u"\r\n", SettingsLimit::LineLength},
      {kSection + good + u"\"x\"=hex(3):" + Text(1000, u'0'), SettingsLimit::LineLength},
      {kSection + u"\"p\"=hex(3):01,02,03,04,05,06,07,08\r\n\"q\"=hex(3):01,02,03,04,05,06,07,08\r\n"
                  u"\"r\"=hex(3):01,02,03,04,05\r\n", SettingsLimit::DataSize},
      {kSection + good + u";" + Text(90, u'c') + u"\r\n" + Text(2000, u' '), SettingsLimit::FileSize},
  };
  for (const auto& c : cases) {
    const Text path = folder_ / u"limit.reg";
    ASSERT_TRUE(WriteBytes(path, Utf16FileBytes(SettingsHeader() + c.body)));
    SettingsLimit exceeded = SettingsLimit::None;
    EXPECT_FALSE(ImportSettingsFile(path, &exceeded, limits)) << ToUtf8(c.body.substr(0, 200));
    EXPECT_EQ(exceeded, c.limit) << ToUtf8(c.body.substr(0, 200));
    const RegistryDump dump = DumpTree(kScratch);
    EXPECT_EQ(dump.values.size(), 1u) << "only the value that was there before";
  }
  const Text path = folder_ / u"within.reg";
  ASSERT_TRUE(WriteBytes(path, Utf16FileBytes(SettingsHeader() + kSection + good + wrapped)));
  SettingsLimit exceeded = SettingsLimit::FileSize;
  limits.valueBytes = 9;
  EXPECT_TRUE(ImportSettingsFile(path, &exceeded, limits));
  EXPECT_EQ(exceeded, SettingsLimit::None);
  EXPECT_EQ(Scratch(u"w").data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9})) << "at the limit is within it";
}

#ifdef _WIN32
// A key the registry refuses (a name longer than 255 characters) fails the import instead of being
// reported as restored; everything else is still written.
TEST_F(SettingsFileReaderTest, AValueThatCannotBeWrittenFailsTheImportButNotTheRest) {
  const Text tooLong(300, u'k');
  EXPECT_FALSE(Import(u"\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\ReaderTest\\" + tooLong +
                      u"]\r\n\"lost\"=hex(4):01,00,00,00\r\n\r\n" + kSection + u"\"kept\"=hex(4):02,00,00,00\r\n"));
  EXPECT_TRUE(Scratch(u"kept").exists);
}
#endif

TEST_F(SettingsFileReaderTest, SectionNamesThatRepeatAreEachApplied) {
  ASSERT_TRUE(Import(u"\r\n" + kSection + u"\"a\"=hex(4):01,00,00,00\r\n\r\n" + kSection +
                     u"\"b\"=hex(4):02,00,00,00\r\n"));
  EXPECT_TRUE(Scratch(u"a").exists);
  EXPECT_TRUE(Scratch(u"b").exists);
}

TEST_F(SettingsFileReaderTest, ARelativePathIsTakenFromTheCurrentFolder) {
  ASSERT_TRUE(WriteBytes(folder_ / u"relative.reg",
                         Utf16FileBytes(SettingsHeader() + u"\r\n" + kSection + u"\"rel\"=hex(4):01,00,00,00\r\n")));
  ASSERT_EQ(MakeDirectory(folder_ / u"sub"), kSuccess);
  CurrentFolder inSub(folder_ / u"sub");
  EXPECT_FALSE(ImportSettingsFile(u"relative.reg")) << "not in the current folder";
  EXPECT_FALSE(Scratch(u"rel").exists);
  Text relative = u"..";
  AppendPath(relative, u"relative.reg");
  EXPECT_TRUE(ImportSettingsFile(relative));
  EXPECT_TRUE(Scratch(u"rel").exists);
}

TEST_F(SettingsFileReaderTest, ParserSplitsSectionsAndEntriesAsTheProfileFunctionsDo) {
  const Text body =
      u"Windows Registry Editor Version 5.00\r\n; notice\r\nbefore=1\r\n"
      u"\r\n[first]\r\n a=1 \r\n;comment\r\n\r\nb\r\n=nameless\r\n"
      u"[ spaced ]x\r\n[no close\r\n[a]b]\r\n[]\r\nlast";
  const std::vector<SettingsSection> sections = ParseSettingsBody(body);
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[0].name, u"first");
  EXPECT_EQ(sections[0].lines, (std::vector<std::u16string_view>{u"a=1", u"b"}));
  EXPECT_EQ(sections[1].name, u" spaced ");
  EXPECT_EQ(sections[1].lines, (std::vector<std::u16string_view>{u"[no close"}));
  EXPECT_EQ(sections[2].name, u"a]b");
  EXPECT_EQ(sections[3].name, u"");
  EXPECT_EQ(sections[3].lines, (std::vector<std::u16string_view>{u"last"}));
}

// A check reads the file as an import would, tells every key before its values, every value and
// every section passed over, and writes nothing.
TEST_F(SettingsFileReaderTest, CheckTellsWhatAnImportWouldDoAndWritesNothing) {
  struct Heard : SettingsFileObserver {
    void Key(const Text& key) override { events.push_back(u"key " + key); }
    void Value(const Text& key, const Text& name, uint32_t type, const std::vector<uint8_t>& data) override {
      events.push_back(key + u"|" + name + u"|" + Text(1, static_cast<char16_t>(u'0' + type)) + u"|" +
                       Text(1, static_cast<char16_t>(u'0' + data.size())));
    }
    void IgnoredSection(std::u16string_view section) override { events.push_back(u"ignored " + Text(section)); }
    std::vector<Text> events;
  } heard;
  const Text path = folder_ / u"check.reg";
  ASSERT_TRUE(WriteBytes(path, Utf16FileBytes(SettingsHeader() + kSection +
                                              u"\"A\"=hex(4):01,00,00,00\r\n\"B\"=hex(3):\\\r\n  01,02\r\n"
                                              u"[HKEY_LOCAL_MACHINE\\Software\\Run]\r\n\"x\"=hex(1):41,00\r\n"
                                              u"[HKEY_CURRENT_USER\\Software\\KestroveOther]\r\n"
                                              u"[HKEY_CURRENT_USER\\Software\\Kestrove\\Transfer]\r\n"
                                              u"[HKEY_CURRENT_USER\\Software\\Kestrove\\Transfer\\Empty]\r\n")));
  ASSERT_TRUE(CheckSettingsFile(path, heard));
  EXPECT_EQ(heard.events, (std::vector<Text>{u"key " + kScratch, kScratch + u"|A|4|4", kScratch + u"|B|3|2",
                                             u"ignored HKEY_LOCAL_MACHINE\\Software\\Run",
                                             u"ignored HKEY_CURRENT_USER\\Software\\KestroveOther",
                                             u"key Software\\Kestrove\\Transfer\\Empty"}));
  EXPECT_FALSE(KeyExists(kScratch));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Transfer"));
}

}  // namespace
}  // namespace kbt
