// "/restore" of hostile archives (tests/hostile/make_hostile.py) over a seeded client profile:
// whatever an archive holds, nothing of the user's is lost, nothing is written outside the
// client's registry key, and no program is planted. tests/scripts/hostile_archives.sh makes the
// archives and runs these tests with KBT_HOSTILE_ARCHIVES naming their folder.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>

#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "platform/registry.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

const std::wstring kStartup = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
const std::wstring kHostileRoot = L"C:\\kbt-hostile";

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}
const std::string kOldHistory = "history the user has";
const std::string kOldCustom = "custom commands the user has";
const std::string kNewHistory = Repeat("history from the archive\r\n", 40);
const std::string kNewCustom = Repeat("custom commands from the archive\r\n", 40);

Text T(const std::wstring& text) { return Text(text.begin(), text.end()); }
std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::set<std::wstring> FolderNames(const Text& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  const std::wstring pattern = std::wstring(folder.begin(), folder.end()) + L"\\*";
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool RegistryKeyExists(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

bool RegistryValueExists(HKEY root, const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  const bool exists = ::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  return exists;
}

// The folder values are rewritten by every start (and every restore) with this machine's folders;
// everything else of the client's settings is compared.
RegistrySnapshot SettingsWithoutFolders() {
  RegistrySnapshot snapshot = ClientSettingsSnapshot();
  snapshot.erase(Text(u"Software\\Kestrove|Data Path"));
  snapshot.erase(Text(u"Software\\Kestrove|Favorites Folder"));
  return snapshot;
}

class HostileArchiveE2E : public ClientRegistryTest {
 protected:
  void SetUp() override {
    const char* folder = std::getenv("KBT_HOSTILE_ARCHIVES");
    if (!folder || !*folder) GTEST_SKIP() << "run by tests/scripts/hostile_archives.sh";
    archives_ = FromUtf8(folder);
    ClientRegistryTest::SetUp();
    ASSERT_TRUE(WriteText(data / u"history.dat", kOldHistory));
    ASSERT_TRUE(WriteText(data / u"custom.dat", kOldCustom));
    ASSERT_TRUE(WriteText(data / u"folders.dat", "folders the user has"));
    ASSERT_TRUE(WriteText(favorites / u"favorites.dat", "favorites the user has"));
    ASSERT_TRUE(WriteText(queue / u"my.que", "queue the user has"));
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"my.que", kRegExpandSz);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    SeedString(u"Software\\Kestrove\\Connection Data\\Site 1", u"Host", u"ftp.example.com");
    before_ = SettingsWithoutFolders();
  }

  void TearDown() override {
    if (archives_.empty()) return;
    RemoveTree(T(kHostileRoot));
    ClientRegistryTest::TearDown();
  }

  ToolRun Restore(const char16_t* archive) {
    Text path = archives_;
    path += u"\\";
    path += archive;
    return Run(L"/restore \"" + std::wstring(path.begin(), path.end()) + L"\"");
  }

  ToolRun Run(const std::wstring& arguments) {
    ToolOptions options;
    options.captureStandardError = true;
    const ToolRun run = RunTool(arguments, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << "an unattended run shows no box";
    return run;
  }

  ToolRun BackupTo(const Text& path) { return Run(L"/backup \"" + std::wstring(path.begin(), path.end()) + L"\""); }

  // The data folder holds the user's three files and nothing else (no leftover temporary file),
  // and the favorites and the queue are untouched.
  void ExpectProfileIntact() {
    EXPECT_EQ(FolderNames(data.Path()), (std::set<std::wstring>{L"custom.dat", L"folders.dat", L"history.dat"}));
    EXPECT_EQ(ReadBytes(data / u"folders.dat"), Bytes("folders the user has"));
    EXPECT_EQ(ReadBytes(favorites / u"favorites.dat"), Bytes("favorites the user has"));
    EXPECT_EQ(FolderNames(favorites.Path()), std::set<std::wstring>{L"favorites.dat"});
    EXPECT_EQ(ReadBytes(queue / u"my.que"), Bytes("queue the user has"));
    EXPECT_EQ(FolderNames(queue.Path()), std::set<std::wstring>{L"my.que"});
  }

  Text archives_;
  ScratchFolder data, favorites, queue;
  RegistrySnapshot before_;
};

TEST_F(HostileArchiveE2E, ATruncatedArchiveChangesNothingAndIsReported) {
  const ToolRun run = Restore(u"truncated.zip");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_NE(run.standardError.find("Failed to open the backup file"), std::string::npos) << run.standardError;
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kOldHistory));
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes(kOldCustom));
  ExpectProfileIntact();
  EXPECT_EQ(SettingsWithoutFolders(), before_) << "not one value of the archive's settings is applied";
}

TEST_F(HostileArchiveE2E, AnEntryWithABadCrcLeavesTheExistingFileAsItWas) {
  const ToolRun run = Restore(u"bad-crc.zip");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "Failed to restore \"history.dat\".\nRestore of application data failed.\n");
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kOldHistory)) << "a corrupt entry never replaces a file";
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes(kNewCustom)) << "the good entry beside it is restored";
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, SettingsOutsideTheClientsKeyAreNeverWritten) {
  const ToolRun run = Restore(u"outside-key.zip");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  const wchar_t* run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  EXPECT_FALSE(RegistryValueExists(HKEY_CURRENT_USER, run_key, L"KbtHostile"));
  EXPECT_FALSE(RegistryValueExists(HKEY_CURRENT_USER, run_key, L"KbtHostileDots"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\KestroveHostile"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\KestroveSlash"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Kestrove/.."));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\KestroveDouble"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\KbtHostile"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_USERS, L".DEFAULT\\Software\\KbtHostile"));
  EXPECT_FALSE(RegistryValueExists(HKEY_CURRENT_USER, L"", L"KbtHostileRoot"));
  const StoredValue retries = ReadValue(u"Software\\Kestrove\\Transfer", u"Retries");
  EXPECT_EQ(retries.data, (std::vector<uint8_t>{9, 0, 0, 0})) << "the client's own section is still applied";
  ExpectProfileIntact();
  DeleteKey(u"Software\\Kestrove\\..");  // a literal key name inside the client's key, if the platform made one
}

TEST_F(HostileArchiveE2E, NoProgramIsPlantedThroughBitmapOrQueueValues) {
  const ToolRun run = Restore(u"startup-bitmap.zip");
  EXPECT_EQ(run.exitCode, 1u);
  for (const char* name : {"kbt-hostile.exe", "kbt-hostile.CMD. ", "kbt-queue.bat"}) {
    EXPECT_NE(run.standardError.find(std::string("Failed to restore \"") + name + "\"."), std::string::npos)
        << name << " must be refused with its message: " << run.standardError;
  }
  for (const wchar_t* name : {L"kbt-hostile.exe", L"kbt-hostile.CMD", L"kbt-hostile.CMD. ", L"kbt-queue.bat"}) {
    EXPECT_FALSE(PathExists(kStartup + L"\\" + name)) << "planted: " << ToUtf8(T(name));
  }
  EXPECT_EQ(ReadBytes(T(kHostileRoot + L"\\pictures\\tool.bmp")), Bytes("BM toolbar bitmap"))
      << "an ordinary bitmap is still restored";
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, EntryNamesAreNeverUsedAsPaths) {
  const ToolRun run = Restore(u"entry-names.zip");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kNewHistory));
  Text parent = data.Path();
  for (int level = 0; level < 3; ++level) {
    parent.resize(parent.rfind(u'\\'));
    EXPECT_FALSE(FileExists(parent + u"\\kbt-escape.dat")) << ToUtf8(parent);
  }
  EXPECT_FALSE(PathExists(kHostileRoot + L"\\absolute.dat"));
  EXPECT_FALSE(PathExists(L"C:\\kbt-escape.dat"));
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes(kOldCustom));
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, AHugeGlobalCommentIsNoProblem) {
  const ToolRun run = Restore(u"huge-comment.zip");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kNewHistory));
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, TheLargestGlobalCommentIsRestoredOrRefusedWhole) {
  // minizip looks for the end record only in the last 64 KiB, so a comment of more than 65,513
  // bytes hides it. Then the archive cannot be opened: that must be reported and change nothing.
  const ToolRun run = Restore(u"max-comment.zip");
  if (run.exitCode == 0) {
    EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kNewHistory));
  } else {
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.standardError.find("Failed to open the backup file"), std::string::npos) << run.standardError;
    EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kOldHistory));
    EXPECT_EQ(SettingsWithoutFolders(), before_);
  }
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, ThousandsOfEntriesAreSearchedThrough) {
  const ToolRun run = Restore(u"many-entries.zip");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kNewHistory));
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, AnHonestBombIsRestoredWhole) {
  const ToolRun run = Restore(u"bomb.zip");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  const Text path = data / u"history.dat";
  const std::wstring history(path.begin(), path.end());
  ASSERT_TRUE(::GetFileAttributesExW(history.c_str(), GetFileExInfoStandard, &attributes));
  EXPECT_EQ(attributes.nFileSizeHigh, 0u);
  EXPECT_EQ(attributes.nFileSizeLow, 64u << 20);
  ExpectProfileIntact();
}

TEST_F(HostileArchiveE2E, AnEntryThatInflatesBeyondItsDeclaredSizeIsRefused) {
  const ToolRun run = Restore(u"lying-bomb.zip");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "Failed to restore \"custom.dat\".\nRestore of application data failed.\n");
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes(kOldCustom));
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kNewHistory));
  ExpectProfileIntact();
}

std::wstring Environment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

// Plants a file of the user's, with its folders.
bool Plant(const std::wstring& path, const std::string& text) {
  CreateDirectoryPath(T(path.substr(0, path.rfind(L'\\'))));
  return WriteText(T(path), text);
}

std::string ReadFileText(const std::wstring& path) {
  const std::vector<uint8_t> bytes = ReadBytes(T(path));
  return std::string(bytes.begin(), bytes.end());
}

// Destinations outside the client's places: a file that is no bitmap or queue is refused and
// reported; a bitmap goes to the data folder instead and its value follows it; no folder is made.
TEST_F(HostileArchiveE2E, DestinationsOutsideTheClientsPlacesAreRefusedOrRedirected) {
  const std::wstring userStartup = Environment(L"APPDATA") + L"\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
  const std::wstring systemFolder = Environment(L"windir") + L"\\system32";
  const ToolRun run = Restore(u"startup-places.zip");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "Failed to restore \"kbt-logon.url\".\nRestore of registry settings failed.\n"
                               "Failed to restore \"kbt-host.desktop\".\nRestore of application data failed.\n");
  EXPECT_FALSE(PathExists(userStartup + L"\\kbt-logon.url"));
  EXPECT_FALSE(PathExists(kStartup + L"\\kbt-common.bmp"));
  EXPECT_FALSE(PathExists(systemFolder + L"\\kbt-hostile-dir")) << "no folder is made for a refused destination";
  EXPECT_FALSE(FileExists(archives_ + u"\\kbt-host.desktop")) << "a host folder reached through a drive letter";
  for (const char16_t* name : {u"kbt-common.bmp", u"kbt-system.bmp"}) {
    EXPECT_TRUE(FileExists(data / name)) << ToUtf8(name);
  }
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Display", u"Treeview Bitmap").data, StringBytes(data / u"kbt-common.bmp"));
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Display", u"Toolbar Bitmap").data, StringBytes(data / u"kbt-system.bmp"));
}

TEST_F(HostileArchiveE2E, SystemFilesAreNeverOverwrittenAndAnyPathLengthIsHandled) {
  const std::wstring winIni = Environment(L"windir") + L"\\win.ini";
  const std::wstring hosts = Environment(L"windir") + L"\\system32\\drivers\\etc\\hosts";
  const std::string winIniBefore = ReadFileText(winIni), hostsBefore = ReadFileText(hosts);
  const ToolRun run = Restore(u"system-files.zip");
  EXPECT_EQ(run.exitCode, 1u) << run.standardError;
  EXPECT_NE(run.standardError.find("Failed to restore \"win.ini\"."), std::string::npos) << run.standardError;
  EXPECT_NE(run.standardError.find("Failed to restore \"hosts\"."), std::string::npos) << run.standardError;
  EXPECT_EQ(ReadFileText(winIni), winIniBefore);
  EXPECT_EQ(ReadFileText(hosts), hostsBefore);
  EXPECT_EQ(ReadBytes(data / u"long.bmp"), Bytes("BM long")) << "an over-long spelling goes to the data folder";
}

// Settings alone can aim the next reset at a document, or the next backup at private files.
TEST_F(HostileArchiveE2E, RestoredValuesNeverArmTheNextResetOrBackup) {
  ASSERT_EQ(Restore(u"arm-reset.zip").exitCode, 0u);
  ASSERT_TRUE(Plant(kHostileRoot + L"\\documents\\thesis.docx", "the user's thesis"));
  EXPECT_EQ(Run(L"/reset").exitCode, 0u);
  EXPECT_EQ(ReadFileText(kHostileRoot + L"\\documents\\thesis.docx"), "the user's thesis");

  ASSERT_TRUE(WriteText(data / u"history.dat", kOldHistory));
  SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);  // the reset took it
  ASSERT_EQ(Restore(u"pull-files.zip").exitCode, 0u);
  ASSERT_TRUE(Plant(kHostileRoot + L"\\secret\\id_rsa", "private key"));
  ASSERT_TRUE(Plant(kHostileRoot + L"\\secret\\passwords.kdbx", "passwords"));
  ScratchFolder out;
  const ToolRun backup = BackupTo(out / u"next.zip");
  EXPECT_EQ(backup.exitCode, 0u) << backup.standardError;
  BackupArchiveReader archive;
  ASSERT_TRUE(archive.Open(out / u"next.zip"));
  EXPECT_TRUE(archive.LocateEntry(u"history.dat", false));
  for (const char16_t* name : {u"id_rsa", u"passwords.kdbx", u"win.ini"}) {
    EXPECT_FALSE(archive.LocateEntry(name, true)) << "carried off: " << ToUtf8(name);
  }
}

// Ordinary use: a bitmap that shares a data file's name never takes that file's place.
TEST_F(HostileArchiveE2E, ABitmapNamedLikeADataFileNeverReplacesIt) {
  const Text skin = T(kHostileRoot + L"\\skins\\history.dat");
  ASSERT_TRUE(Plant(kHostileRoot + L"\\skins\\history.dat", "BM toolbar skin"));
  SeedString(u"Software\\Kestrove\\Display", u"Toolbar Bitmap", skin);
  ScratchFolder out;
  ASSERT_EQ(BackupTo(out / u"backup.zip").exitCode, 0u);
  ASSERT_TRUE(WriteText(data / u"history.dat", "changed since"));
  const Text archive = out / u"backup.zip";
  const ToolRun run = Run(L"/restore \"" + std::wstring(archive.begin(), archive.end()) + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kOldHistory));
  EXPECT_EQ(ReadBytes(skin), Bytes("BM toolbar skin"));
}

// Settings beyond the limits a restore accepts change nothing at all, and the limit is named.
TEST_F(HostileArchiveE2E, SettingsBeyondTheLimitsChangeNothing) {
  const struct {
    const char16_t* archive;
    const char* message;
  } cases[] = {
      {u"huge-value.zip", "The settings were not restored: a value in the settings file is larger than 2 MB.\n"},
      {u"huge-settings.zip", "The settings were not restored: the settings file is larger than 256 MB.\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Restore(c.archive);
    EXPECT_EQ(run.exitCode, 1u) << ToUtf8(c.archive);
    EXPECT_EQ(run.standardError, std::string(c.message) + "Restore of registry settings failed.\n");
    EXPECT_EQ(SettingsWithoutFolders(), before_) << ToUtf8(c.archive);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Kestrove\\Backup")) << ToUtf8(c.archive);
  }
  ExpectProfileIntact();
}

// A tree nested far deeper than a recursion could follow (one of 6,500 levels overflowed the
// stack) is backed up whole and reset whole.
TEST_F(HostileArchiveE2E, ADeepTreeIsBackedUpAndResetWhole) {
  Text deep = u"Software\\Kestrove\\Connection Data\\Deep";
  for (int level = 0; level < 8000; ++level) deep += u"\\d";
  SeedString(deep, u"bottom", u"reached");
  ScratchFolder out;
  const ToolRun backup = BackupTo(out / u"deep.zip");
  EXPECT_EQ(backup.exitCode, 0u) << backup.standardError;
  BackupArchiveReader archive;
  ASSERT_TRUE(archive.Open(out / u"deep.zip"));
  ASSERT_TRUE(archive.LocateEntry(u"settings.reg", false));
  ASSERT_TRUE(archive.ExtractCurrentEntry(out / u"settings.reg"));
  archive.Close();
  const std::vector<uint8_t> bytes = ReadBytes(out / u"settings.reg");
  const Text section = u"[HKEY_CURRENT_USER\\" + deep + u"]\r\n\"bottom\"=hex(1):";
  const Text text(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
  EXPECT_NE(text.find(section), Text::npos) << "the deepest key is in the backup";

  const ToolRun reset = Run(L"/reset");
  EXPECT_EQ(reset.exitCode, 0u) << reset.standardError;
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Kestrove\\Connection Data"));
}

// A value name with a line break cannot be written as one line: the backup names it and fails.
TEST_F(HostileArchiveE2E, AValueNameWithALineBreakIsNamedAndFailsTheBackup) {
  SeedString(u"Software\\Kestrove\\Connection Data\\Site 1", u"Host\r\nName", u"hidden");
  ScratchFolder out;
  const ToolRun backup = BackupTo(out / u"line-break.zip");
  EXPECT_EQ(backup.exitCode, 1u);
  EXPECT_NE(backup.standardError.find(
                "The registry value \"Host\r\nName\" could not be backed up: its name holds a line break.\n"),
            std::string::npos)
      << backup.standardError;
}

// The identifying comment is intact, the central directory is not: garbage, or its third header
// broken. Before the check one restored nothing and the other settings.reg and history.dat, both
// as a success.
TEST_F(HostileArchiveE2E, ADamagedCentralDirectoryIsReportedAndChangesNothing) {
  for (const char16_t* archive : {u"garbage-directory.zip", u"damaged-header.zip"}) {
    const ToolRun run = Restore(archive);
    EXPECT_EQ(run.exitCode, 1u) << ToUtf8(archive);
    EXPECT_NE(run.standardError.find("The backup file \""), std::string::npos) << run.standardError;
    EXPECT_NE(run.standardError.find(ToUtf8(archive) + "\" is damaged.\n"), std::string::npos) << run.standardError;
    EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(kOldHistory)) << ToUtf8(archive);
    EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes(kOldCustom)) << ToUtf8(archive);
    ExpectProfileIntact();
    EXPECT_EQ(SettingsWithoutFolders(), before_) << ToUtf8(archive) << ": not one value is applied";
  }
}

// Narrowed to the ANSI code page both names were "??.bmp", and the second bitmap got the first's bytes.
TEST_F(HostileArchiveE2E, BitmapsWithNonAnsiNamesEachGetTheirOwnBytes) {
  const ToolRun run = Restore(u"non-ansi-bitmaps.zip");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_EQ(ReadBytes(T(kHostileRoot + L"\\pictures\\\u4f4d\u56fe.bmp")), Bytes("BM listview bitmap"));
  EXPECT_EQ(ReadBytes(T(kHostileRoot + L"\\pictures\\\u56fe\u6807.bmp")), Bytes("BM toolbar bitmap"));
  EXPECT_EQ(FolderNames(T(kHostileRoot + L"\\pictures")), (std::set<std::wstring>{L"\u4f4d\u56fe.bmp", L"\u56fe\u6807.bmp"}));
  ExpectProfileIntact();
}

// Under a code page without umlauts (Japanese, 932) the queue was silently not restored.
TEST_F(HostileArchiveE2E, AQueueWithANonAnsiNameIsRestoredUnderAnyCodePage) {
  const std::wstring archive = std::wstring(archives_.begin(), archives_.end()) + L"\\non-ansi-queue.zip";
  ToolOptions options;
  options.captureStandardError = true;
  const ToolRun run = RunTool(L"/language=1041 /restore \"" + archive + L"\"", options);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  const std::wstring queue = kHostileRoot + L"\\queue\\Warteschlange-\u00e4\u00f6\u00fc.que";
  EXPECT_EQ(ReadBytes(T(queue)), Bytes("queue from the archive"));
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Queue", u"Last File").data, StringBytes(T(queue)));
}


// The entry of that name: where its local header and its central header start.
struct EntryHeaders {
  size_t local = std::string::npos, central = std::string::npos;
};
EntryHeaders FindHeaders(const std::vector<uint8_t>& bytes, const std::string& name) {
  const std::string text(bytes.begin(), bytes.end());
  EntryHeaders found;
  for (size_t at = text.find("PK\x03\x04"); at != std::string::npos; at = text.find("PK\x03\x04", at + 4)) {
    if (text.compare(at + 30, name.size(), name) == 0) found.local = at;
  }
  for (size_t at = text.find("PK\x01\x02"); at != std::string::npos; at = text.find("PK\x01\x02", at + 4)) {
    if (text.compare(at + 46, name.size(), name) == 0) found.central = at;
  }
  return found;
}
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
// The encrypted entry's own bytes: behind the local header and its salt and verifier.
size_t CipherText(const std::vector<uint8_t>& bytes, size_t local) {
  return local + 30 + (bytes[local + 26] | bytes[local + 27] << 8) + (bytes[local + 28] | bytes[local + 29] << 8) + 18;
}
// Every AES extra field of the entry (local and central): its version and strength.
void SetAesField(std::vector<uint8_t>& bytes, const EntryHeaders& entry, size_t offset, uint8_t value) {
  const std::string text(bytes.begin(), bytes.end());
  for (size_t header : {entry.local, entry.central}) {
    const size_t at = text.find(std::string("\x01\x99\x07\x00", 4), header);
    bytes[at + 4 + offset] = value;
  }
}

// A protected backup as BackupTool writes it, changed after writing, restored with its password
// or another: what can be refused before any change is, and a damaged entry is never written.
// (An archive of encrypted and plain entries is refused on the same path as a wrong password.)
TEST_F(HostileArchiveE2E, AProtectedArchiveIsRefusedBeforeAnyChangeOrByEntry) {
  SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 9);
  ASSERT_TRUE(WriteText(data / u"history.dat", kNewHistory));
  ASSERT_TRUE(WriteText(data / u"custom.dat", kNewCustom));
  ScratchFolder out;
  ASSERT_TRUE(WriteText(out / u"right.txt", "right\r\n"));
  ASSERT_TRUE(WriteText(out / u"wrong.txt", "wrong\r\n"));
  const Text locked = out / u"locked.zip";
  const Text right = out / u"right.txt";
  const ToolRun backup = Run(L"/backup \"" + std::wstring(locked.begin(), locked.end()) + L"\" /passwordfile \"" +
                             std::wstring(right.begin(), right.end()) + L"\"");
  ASSERT_EQ(backup.exitCode, 0u) << backup.standardError;
  const std::vector<uint8_t> good = ReadBytes(locked);

  const auto history = FindHeaders(good, "history.dat"), custom = FindHeaders(good, "custom.dat");
  ASSERT_NE(history.local, std::string::npos);
  ASSERT_NE(custom.central, std::string::npos);
  const std::string newHistory = kNewHistory, newCustom = kNewCustom;
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;  // none: the archive as written
    const char16_t* password;  // its file
    std::string message;  // standard error, whole
    std::string history, custom;  // afterwards
    bool settings;  // restored
  };
  const Case cases[] = {
      {"wrong password", nullptr, u"wrong.txt", "The password is not correct.\n", kOldHistory, kOldCustom, false},
      {"ciphertext changed",
       [&](std::vector<uint8_t>& b) { b[CipherText(b, history.local) + 7] ^= 0x20; }, u"right.txt",
       "Failed to restore \"history.dat\".\nRestore of application data failed.\n", kOldHistory, newCustom, true},
      {"AE-1: a CRC that fits and one that does not",
       [&](std::vector<uint8_t>& b) {
         SetAesField(b, history, 0, 1);
         SetAesField(b, custom, 0, 1);
         const uint32_t crc = static_cast<uint32_t>(
             crc32(0, reinterpret_cast<const Bytef*>(newHistory.data()), static_cast<uInt>(newHistory.size())));
         Put32(b, history.local + 14, crc);
         Put32(b, history.central + 16, crc);
       },
       u"right.txt", "Failed to restore \"custom.dat\".\nRestore of application data failed.\n", newHistory,
       kOldCustom, true},
      {"unknown strength", [&](std::vector<uint8_t>& b) { SetAesField(b, custom, 4, 4); }, u"right.txt",
       "The backup file \"" + ToUtf8(locked) + "\" is encrypted in a form this tool cannot read.\n", kOldHistory,
       kOldCustom, false},
      {"salt and verifier cut short",
       [&](std::vector<uint8_t>& b) {
         Put32(b, custom.local + 18, 17);
         Put32(b, custom.central + 20, 17);
       },
       u"right.txt", "The backup file \"" + ToUtf8(locked) + "\" is damaged.\n", kOldHistory, kOldCustom, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    ASSERT_TRUE(WriteText(data / u"history.dat", kOldHistory));
    ASSERT_TRUE(WriteText(data / u"custom.dat", kOldCustom));
    const RegistrySnapshot before = SettingsWithoutFolders();
    std::vector<uint8_t> bytes = good;
    if (c.change) c.change(bytes);
    ASSERT_TRUE(WriteBytes(locked, bytes));
    const Text file = out / c.password;
    const ToolRun run = Run(L"/restore \"" + std::wstring(locked.begin(), locked.end()) + L"\" /passwordfile \"" +
                            std::wstring(file.begin(), file.end()) + L"\"");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.standardError, c.message);
    EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes(c.history));
    EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes(c.custom));
    EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Transfer", u"Retries").data,
              (std::vector<uint8_t>{static_cast<uint8_t>(c.settings ? 9 : 3), 0, 0, 0}));
    if (!c.settings) {
      EXPECT_EQ(SettingsWithoutFolders(), before);
    }
    ExpectProfileIntact();
  }
}

}  // namespace
}  // namespace kbt::testing
