// Faults from outside: a disk that fills during a backup, a read-only destination on restore, and
// settings far larger than any client keeps. Nothing the user has may be lost in any of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "operations/operation_request.h"
#include "operations/restore/verify.h"
#include "platform/files.h"
#include "regfile/settings_file_reader.h"
#include "regfile/settings_file_writer.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/substitute_registry.h"
#endif

namespace kbt {
namespace {
using namespace platform;
using testing::FileExists;
using testing::ReadBytes;

void SetReadOnly(const Text& path, bool readOnly) {
#ifdef _WIN32
  ::SetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()),
                       readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
  ::chmod(ToUtf8(path).c_str(), readOnly ? 0444 : 0644);
#endif
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

class FaultsTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    request.DataFolder = data.Path();
    request.FavoritesFolder = data.Path();
    request.ArchivePath = archives / u"backup.zip";
    for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) {
      ASSERT_TRUE(testing::WriteText(data / name, "data of " + ToUtf8(name)));
    }
    testing::SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
  }

  testing::ScratchFolder data, archives;
  OperationRequest request{OperationMode::Backup};
};

TEST_F(FaultsTest, AReadOnlyDestinationIsReportedAndTheOtherFilesAreRestored) {
  ASSERT_TRUE(request.Backup(DataSelection::ApplicationData));
  for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) {
    ASSERT_TRUE(testing::WriteText(data / name, "changed"));
  }
  SetReadOnly(data / u"custom.dat", true);
  // The check foretells it.
  const VerifyReport report = VerifyArchive(request.ArchivePath, request.DataFolder, request.FavoritesFolder);
  EXPECT_FALSE(report.restorable);
  EXPECT_EQ(report.problems.size(), 1u);
  EXPECT_NE(ToUtf8(report.problems.at(0)).find("\"custom.dat\" would not be restored"), std::string::npos);
  const bool restored = request.Restore(DataSelection::ApplicationData);
  SetReadOnly(data / u"custom.dat", false);

  EXPECT_FALSE(restored);
  EXPECT_EQ(request.Log.Entries(),
            (std::vector<Text>{u"Failed to restore \"custom.dat\". " + ErrorText(kAccessDenied),
                               u"Restore of application data failed."}));
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), Bytes("changed")) << "a read-only file is never replaced";
  EXPECT_EQ(ReadBytes(data / u"history.dat"), Bytes("data of history.dat"));
  EXPECT_EQ(ReadBytes(data / u"folders.dat"), Bytes("data of folders.dat"));
  for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) EXPECT_TRUE(RemoveFile(data / name));
  EXPECT_TRUE(testing::FolderIsEmpty(data.Path())) << "no temporary file is left beside the destinations";
}

TEST_F(FaultsTest, AReadOnlyEarlierBackupIsKeptAndTheBackupFails) {
  ASSERT_TRUE(testing::WriteText(request.ArchivePath, "earlier backup"));
  SetReadOnly(request.ArchivePath, true);
  const bool saved = request.Backup(DataSelection::ApplicationData | DataSelection::Settings);
  SetReadOnly(request.ArchivePath, false);
  EXPECT_FALSE(saved);
  ASSERT_FALSE(request.Log.Entries().empty());
  EXPECT_EQ(request.Log.Entries().back(),
            u"Failed to complete the backup file \"" + request.ArchivePath + u"\". " + ErrorText(kAccessDenied));
  EXPECT_EQ(ReadBytes(request.ArchivePath), Bytes("earlier backup"));
  EXPECT_FALSE(testing::ReadValue(names::kToolKey, names::kLastFileValue).exists) << "a failed backup is not recorded";
}

#ifndef _WIN32
// A disk that fills while the backup writes: the child process gets a file-size limit (the
// system's own "file too large" error, as a full disk gives "no space"), runs the backup with
// the reset asked for, and reports what it saw through a pipe.
struct FullDiskCase {
  const char* what;
  size_t bigDataFile;      // bytes of incompressible history.dat
  size_t bigSettingValue;  // bytes of one registry value
  const char16_t* stepMessage;  // null: the archive itself filled the disk
};

class FullDiskTest : public FaultsTest, public ::testing::WithParamInterface<FullDiskCase> {};

std::string RunInChildWithFileSizeLimit(rlim_t limit, const std::function<std::string()>& body) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limits{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &limits);
    const std::string report = body();
    ssize_t ignored = ::write(pipeEnds[1], report.data(), report.size());
    (void)ignored;
    ::_exit(0);  // no destructors: the scratch folders belong to the parent
  }
  ::close(pipeEnds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, size_t(got));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += "child died\n";
  return report;
}

TEST_P(FullDiskTest, FailsWithAMessageAndSkipsTheReset) {
  const FullDiskCase& c = GetParam();
  std::vector<uint8_t> noise(c.bigDataFile);
  uint32_t seed = 12345;
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  if (c.bigDataFile) {
    ASSERT_TRUE(testing::WriteBytes(data / u"history.dat", noise));
  }
  if (c.bigSettingValue) {
    testing::SeedValue(u"Software\\Kestrove\\Connection Data\\Big", u"Value", kRegBinary,
                       std::vector<uint8_t>(c.bigSettingValue, 7));
  }
  ASSERT_TRUE(testing::WriteText(request.ArchivePath, "earlier backup"));
  const std::vector<uint8_t> historyBefore = ReadBytes(data / u"history.dat");
  const testing::RegistrySnapshot settingsBefore = testing::ClientSettingsSnapshot();
  testing::ScratchFolder temp;

  const std::string report = RunInChildWithFileSizeLimit(256 * 1024, [&] {
    ::setenv("TMPDIR", ToUtf8(temp.Path()).c_str(), 1);
    request.ResetAfterBackup = true;
    std::string out = request.Backup(DataSelection::ApplicationData | DataSelection::Settings) ? "true\n" : "false\n";
    for (const Text& entry : request.Log.Entries()) out += ToUtf8(entry) + "\n";
    // What the parent cannot see: the child's registry.
    out += testing::ClientSettingsSnapshot() == settingsBefore ? "settings kept\n" : "settings changed\n";
    out += testing::ReadValue(names::kToolKey, names::kLastFileValue).exists ? "recorded\n" : "not recorded\n";
    return out;
  });

  const std::string archive = ToUtf8(request.ArchivePath);
  EXPECT_EQ(report.substr(0, 6), "false\n") << c.what << "\n" << report;
  if (c.stepMessage) {
    EXPECT_NE(report.find(ToUtf8(c.stepMessage) + "\n"), std::string::npos) << c.what << "\n" << report;
  } else {
    EXPECT_EQ(report.find("Failed to backup"), std::string::npos)
        << c.what << ": a full disk is named once, as the backup file, never as a failure of each file\n" << report;
  }
  EXPECT_NE(report.find("The reset was skipped because the backup was not complete.\nsettings kept\n"),
            std::string::npos)
      << c.what << ": the reset must not run, and the skip is the last message\n" << report;
  EXPECT_EQ(ReadBytes(data / u"history.dat"), historyBefore) << c.what;
  EXPECT_TRUE(FileExists(data / u"custom.dat")) << c.what;
  EXPECT_TRUE(testing::FolderIsEmpty(temp.Path())) << c.what << ": the temporary settings file is removed";
  // Whatever still fitted, an incomplete backup never replaces the earlier one.
  const std::string reason = c.stepMessage ? "" : " " + ToUtf8(ErrorText(kDiskFull));
  EXPECT_NE(report.find("Failed to complete the backup file \"" + archive + "\"." + reason + "\n"), std::string::npos)
      << report;
  EXPECT_NE(report.find("\nnot recorded\n"), std::string::npos) << report;
  EXPECT_EQ(ReadBytes(request.ArchivePath), Bytes("earlier backup")) << "the earlier backup survives";
  EXPECT_TRUE(RemoveFile(request.ArchivePath));
  EXPECT_TRUE(testing::FolderIsEmpty(archives.Path())) << "no part of the unfinished archive is left";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FullDiskTest,
    ::testing::Values(
        FullDiskCase{"a data file larger than the space left", 1 << 20, 0, nullptr},
        FullDiskCase{"settings larger than the space left", 0, 512 * 1024, u"Failed to backup registry settings."}));

// 100,000 values (in 500 keys, as many sites would give) and one of 1 MB go out and come back
// with the same names, types and bytes.
TEST_F(FaultsTest, AHugeSettingsFileRoundTrips) {
  substitute::ClearRegistry();
  for (uint32_t site = 0; site < 500; ++site) {
    RegHandle key = 0;
    const std::string path = "Software\\Kestrove\\Connection Data\\Site " + std::to_string(site);
    ASSERT_EQ(CreateKey(RegRoot::CurrentUser, Text(path.begin(), path.end()), kKeyWrite, &key), kSuccess);
    for (uint32_t i = 0; i < 200; ++i) {
      const std::string name = "Value " + std::to_string(i);
      const uint32_t n = site * 200 + i;
      const uint8_t data[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n % 7)};
      ASSERT_EQ(SetValue(key, Text(name.begin(), name.end()), n % 12, data, n % 5), kSuccess);
    }
    CloseKey(key);
  }
  RegHandle key = 0;
  ASSERT_EQ(CreateKey(RegRoot::CurrentUser, u"Software\\Kestrove\\Transfer", kKeyWrite, &key), kSuccess);
  std::vector<uint8_t> megabyte(1 << 20);
  for (size_t i = 0; i < megabyte.size(); ++i) megabyte[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
  ASSERT_EQ(SetValue(key, u"One megabyte", kRegBinary, megabyte.data(), static_cast<uint32_t>(megabyte.size())),
            kSuccess);
  CloseKey(key);
  const testing::RegistrySnapshot exported = testing::ClientSettingsSnapshot();
  ASSERT_EQ(exported.size(), 100001u + 502u);  // the values, and the keys that hold them

  testing::ScratchFolder folder;
  const Text file = folder / names::kSettingsFile;
  ASSERT_TRUE(ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, file, true, false));
  substitute::ClearRegistry();
  ASSERT_TRUE(ImportSettingsFile(file));
  EXPECT_TRUE(testing::ClientSettingsSnapshot() == exported) << "every key and value comes back unchanged";
}
#endif

}  // namespace
}  // namespace kbt
