// "/backup" onto a disk that fills while the archive is written (a small tmpfs, mounted by
// tests/scripts/full_disk.sh, which names it in KBT_FULL_DISK_FOLDER): the failure is reported,
// an earlier backup of the same name survives, nothing half-written is left, nothing is recorded.
// The same disk as the local application data folder: an undo point that does not fit stops the
// restore before it changes anything.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/files.h"
#include "platform/texts.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

class FullDiskE2E : public ClientRegistryTest {
 protected:
  void SetUp() override {
    const char* folder = std::getenv("KBT_FULL_DISK_FOLDER");
    if (!folder || !*folder) GTEST_SKIP() << "run by tests/scripts/full_disk.sh";
    disk_ = FromUtf8(folder);
    ClientRegistryTest::SetUp();
    // Incompressible, and larger than the disk: the archive cannot fit.
    std::vector<uint8_t> noise(3 << 20);
    uint32_t seed = 99;
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    ASSERT_TRUE(WriteBytes(data / u"history.dat", noise));
    ASSERT_TRUE(WriteText(data / u"custom.dat", "custom"));
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
  }
  Text disk_;
  ScratchFolder data;
};

TEST_F(FullDiskE2E, ABackupThatDoesNotFitIsReportedAndLeavesNothingBehind) {
  const Text archive = disk_ + u"\\backup.zip";
  ASSERT_TRUE(WriteText(archive, "earlier backup"));
  ToolOptions options;
  options.captureStandardError = true;
  const ToolRun run = RunTool(L"/backup \"" + std::wstring(archive.begin(), archive.end()) + L"\"", options);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 1u);
  // The full disk is named once, as the backup file, with the system's reason.
  EXPECT_EQ(run.standardError.find("Failed to backup"), std::string::npos) << run.standardError;
  EXPECT_NE(run.standardError.find("Failed to complete the backup file \"" + ToUtf8(archive) + "\". " +
                                   ToUtf8(ErrorText(ERROR_DISK_FULL))),
            std::string::npos)
      << run.standardError;
  EXPECT_EQ(ReadBytes(archive), Bytes("earlier backup")) << "the earlier backup survives";
  EXPECT_TRUE(RemoveFile(archive));
  EXPECT_TRUE(FolderIsEmpty(disk_)) << "no part of the unfinished archive is left";
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes("custom"));
  EXPECT_FALSE(ReadValue(names::kToolKey, names::kLastFileValue).exists) << "a failed backup is not recorded";
}

// The declared sizes decide before the first change: a restore that cannot fit changes nothing,
// and the check says so in the same words.
TEST_F(FullDiskE2E, ARestoreThatDoesNotFitIsRefusedBeforeItChangesAnything) {
  ScratchFolder archives;
  const std::wstring archive = std::wstring(archives.Path().begin(), archives.Path().end()) + L"\\backup.zip";
  ASSERT_EQ(RunTool(L"/backup \"" + archive + L"\"").exitCode, 0u);
  const Text target = disk_ + u"\\Kestrove";
  ASSERT_TRUE(::CreateDirectoryW(reinterpret_cast<const wchar_t*>(target.c_str()), nullptr));
  SeedString(u"Software\\Kestrove", u"Data Path", target, kRegExpandSz);
  ToolOptions options;
  options.captureStandardError = true;
  options.captureStandardOutput = true;
  for (const wchar_t* command : {L"/verify", L"/restore"}) {
    const ToolRun run = RunTool(std::wstring(command) + L" \"" + archive + L"\"", options);
    const std::string said = run.standardOutput + run.standardError;
    EXPECT_EQ(run.exitCode, 1u) << said;
    EXPECT_NE(said.find("MB on the drive of \"" + ToUtf8(target)), std::string::npos) << said;
  }
  EXPECT_TRUE(FolderIsEmpty(target)) << "nothing was written";
  EXPECT_TRUE(::GetFileAttributesW(reinterpret_cast<const wchar_t*>(UndoFolder().c_str())) == INVALID_FILE_ATTRIBUTES ||
              FolderIsEmpty(UndoFolder()))
      << "and no undo point";
  RemoveTree(target);
}

TEST_F(FullDiskE2E, AnUndoPointThatDoesNotFitLeavesEverythingUnchanged) {
  ScratchFolder archives;
  const Text archive = archives / u"other.zip";
  ASSERT_TRUE(WriteText(data / u"folders.dat", "folders"));
  ToolRun backup = RunTool(L"/backup \"" + std::wstring(archive.begin(), archive.end()) + L"\"");
  ASSERT_EQ(backup.exitCode, 0u);
  ASSERT_TRUE(RemoveFile(data / u"folders.dat"));
  // A history that differs from the archive's must be kept whole: that is what does not fit.
  std::vector<uint8_t> changed = ReadBytes(data / u"history.dat");
  ASSERT_FALSE(changed.empty());
  changed[0] ^= 1;
  ASSERT_TRUE(WriteBytes(data / u"history.dat", changed));
  SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 7);
  const RegistrySnapshot before = ClientSettingsSnapshot();
  const std::vector<uint8_t> history = ReadBytes(data / u"history.dat");

  RedirectLocalAppData(disk_);
  ToolOptions options;
  options.captureStandardError = true;
  for (const std::wstring& arguments : {L"/restore \"" + std::wstring(archive.begin(), archive.end()) + L"\"",
                                       std::wstring(L"/reset")}) {
    const ToolRun run = RunTool(arguments, options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.standardError.find("could not be completed, so nothing was changed."), std::string::npos)
        << run.standardError;
    EXPECT_EQ(ClientSettingsSnapshot(), before);
    EXPECT_EQ(ReadBytes(data / u"history.dat"), history);
    EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes("custom"));
    EXPECT_FALSE(FileExists(data / u"folders.dat")) << "the restore did not start";
  }
  const Text undo = disk_ + u"\\Kestrove\\Backup Tool\\Undo";
  EXPECT_TRUE(FolderIsEmpty(undo)) << "no part of an undo point is left";
  RemoveTree(disk_ + u"\\Kestrove");
  EXPECT_TRUE(FolderIsEmpty(disk_));
}

}  // namespace
}  // namespace kbt::testing
