// "/backup", "/reset" and "/restore" from end to end on a seeded client profile.
#include <gtest/gtest.h>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "platform/registry.h"
#include "platform/texts.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

FILETIME LastWrite(const Text& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// The last-write time as a backup stores it: local time at DOS resolution.
FILETIME AtDosResolution(FILETIME time) {
  FILETIME local{}, back{}, utc{};
  WORD date = 0, dosTime = 0;
  ::FileTimeToLocalFileTime(&time, &local);
  ::FileTimeToDosDateTime(&local, &date, &dosTime);
  ::DosDateTimeToFileTime(date, dosTime, &back);
  ::LocalFileTimeToFileTime(&back, &utc);
  return utc;
}

bool SameTime(FILETIME a, FILETIME b) { return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime; }

class BackupRestoreE2E : public ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    DeleteKey(u"Software\\Kestrove");
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Language", u"de");
    SeedString(u"Software\\Kestrove\\Connection Data\\Site \"A\"", u"Host \"main\"", u"ftp.example.com");
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    SeedValue(u"Software\\Kestrove\\Transfer", u"Window", kRegBinary, {1, 2, 3, 0, 255});
    SeedValue(u"Software\\Kestrove\\Transfer", u"", kRegSz, {0, 0});
    SeedValue(u"Software\\Kestrove\\Colors", u"Qword", 11, {1, 0, 0, 0, 0, 0, 0, 0});
    SeedValue(u"Software\\Kestrove\\Colors", u"Multi", 7, {'a', 0, 0, 0, 0, 0});
    SeedValue(u"Software\\Kestrove\\Colors", u"None", kRegNone, {});
    SeedString(u"Software\\Kestrove\\Client\\1.0\\Options", u"Path", u"%APPDATA%\\x", kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Display", u"Listview Bitmap", bitmaps / u"list.bmp");
    SeedString(u"Software\\Kestrove\\Display", u"Treeview Bitmap", bitmaps / u"tree.bmp");
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"transfers.que", kRegExpandSz);
    WriteBytes(data / u"history.dat", std::vector<uint8_t>(100000, 7));
    WriteText(data / u"custom.dat", "custom commands");
    WriteText(data / u"folders.dat", "quick folders");
    WriteText(favorites / u"favorites.dat", "favorite sites");
    WriteText(queue / u"transfers.que", "queued transfers");
    WriteText(bitmaps / u"list.bmp", "BM list");
    WriteText(bitmaps / u"tree.bmp", "BM tree");
    archive = archives / u"backup.zip";
  }

  ToolRun Tool(const std::wstring& arguments) {
    ToolOptions options;
    options.captureStandardError = true;
    return RunTool(arguments, options);
  }

  ScratchFolder data, favorites, queue, bitmaps, archives;
  Text archive;
};

TEST_F(BackupRestoreE2E, BackupResetRestoreBringsEverythingBack) {
  const RegistrySnapshot before = ClientSettingsSnapshot();
  const Text files[] = {data / u"history.dat", data / u"custom.dat", data / u"folders.dat",
                        favorites / u"favorites.dat", queue / u"transfers.que", bitmaps / u"list.bmp",
                        bitmaps / u"tree.bmp"};
  std::vector<std::vector<uint8_t>> contents;
  std::vector<FILETIME> times;
  for (const Text& file : files) {
    contents.push_back(ReadBytes(file));
    times.push_back(AtDosResolution(LastWrite(file)));
  }

  ToolRun backup = Tool(L"/backup \"" + Wide(archive) + L"\"");
  ASSERT_EQ(backup.exitCode, 0u) << backup.standardError;
  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(archive, identity));
  EXPECT_EQ(identity.comment, u"");
  EXPECT_EQ(identity.created.size(), 20u);
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").data, StringBytes(archive));
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Backup Timestamp").type, kRegBinary);

  ToolRun reset = Tool(L"/reset");
  ASSERT_EQ(reset.exitCode, 0u) << reset.standardError;
  for (const Text& file : {files[0], files[3], files[4]}) EXPECT_FALSE(FileExists(file));
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").exists) << "the tool's own key survives";

  // The reset took "Data Path" too, so this machine's data and favorites folder is now the default one.
  wchar_t expanded[MAX_PATH] = {};
  ::ExpandEnvironmentStringsW(L"%APPDATA%\\Kestrove", expanded, MAX_PATH);
  const Text defaultFolder(reinterpret_cast<const char16_t*>(expanded));
  ToolRun restore = Tool(L"/restore \"" + Wide(archive) + L"\"");
  ASSERT_EQ(restore.exitCode, 0u) << restore.standardError;
  RegistrySnapshot expected = before;
  expected[u"Software\\Kestrove|Data Path"].second = StringBytes(defaultFolder);
  expected[u"Software\\Kestrove|Favorites Folder"].second = StringBytes(defaultFolder);
  EXPECT_EQ(ClientSettingsSnapshot(), expected);
  const Text restored[] = {defaultFolder + u"\\history.dat", defaultFolder + u"\\custom.dat",
                           defaultFolder + u"\\folders.dat", defaultFolder + u"\\favorites.dat", files[4], files[5],
                           files[6]};
  for (size_t i = 0; i < std::size(files); ++i) {
    EXPECT_EQ(ReadBytes(restored[i]), contents[i]) << ToUtf8(restored[i]);
    // A bitmap that still holds the archive's bytes is left as it is, its own time with it.
    EXPECT_TRUE(SameTime(AtDosResolution(LastWrite(restored[i])), times[i]))
        << "time at DOS resolution: " << ToUtf8(restored[i]);
  }
  RemoveTree(defaultFolder);
}

TEST_F(BackupRestoreE2E, ArelativeArchivePathIsWrittenInTheWorkingFolderAndRecordedAsGiven) {
  ToolOptions options;
  options.captureStandardError = true;
  options.workingFolder = Wide(archives.Path());
  ToolRun run = RunTool(L"/backup relative.zip", options);
  ASSERT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_TRUE(FileExists(archives / u"relative.zip"));
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").data, StringBytes(u"relative.zip"));
}

TEST_F(BackupRestoreE2E, BackupIntoAMissingFolderFailsWithoutRecordingAnything) {
  const Text target = archives / u"missing\\b.zip";
  ToolRun run = Tool(L"/backup \"" + Wide(target) + L"\"");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "Failed to create the backup file \"" + ToUtf8(target) + "\". " +
                                   ToUtf8(platform::ErrorText(ERROR_PATH_NOT_FOUND)) + "\n");
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Backup\\1.0"));
  EXPECT_TRUE(FileExists(data / u"history.dat"));
}

TEST_F(BackupRestoreE2E, RestoreFromAMissingFileFails) {
  ToolRun run = Tool(L"/restore \"" + Wide(archives / u"absent.zip") + L"\"");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "Failed to open the backup file \"" + ToUtf8(archives / u"absent.zip") + "\". " +
                                   ToUtf8(platform::ErrorText(ERROR_FILE_NOT_FOUND)) + "\n");
}

TEST_F(BackupRestoreE2E, RestoreFromAZipThatIsNotABackupRunsBothSteps) {
  WriteText(archives / u"note.txt", "not a backup");
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archives / u"other.zip", 0));
    ASSERT_TRUE(writer.AddFile(archives / u"note.txt", u"note.txt", 6));
    ASSERT_TRUE(writer.Close());
  }
  SeedString(u"Software\\Kestrove", u"Data Path", u"C:\\elsewhere", kRegSz);
  ToolRun run = Tool(L"/restore \"" + Wide(archives / u"other.zip") + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  const auto dataPath = ReadValue(u"Software\\Kestrove", u"Data Path");
  EXPECT_EQ(dataPath.type, kRegExpandSz) << "the settings step still writes this machine's folders";
  EXPECT_EQ(ReadBytes(data / u"custom.dat").size(), 15u) << "nothing to restore leaves the files alone";
}

}  // namespace
}  // namespace kbt::testing
