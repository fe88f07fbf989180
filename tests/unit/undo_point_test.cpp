// Undo points: their names, the ten kept, what an unattended run does when none can be written.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_logic.h"
#include "archive/backup_identity.h"
#include "archive/directory_path.h"
#include "operations/undo_point.h"
#include "platform/paths.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::FileExists;
using testing::ReadValue;
using testing::SeedDword;
using testing::SeedString;

class SilentShell : public AppShell {
 public:
  std::vector<Text> reported;
  void ShowUsage() override {}
  bool WarnIfClientRuns() override { return false; }
  void RunWizard(OperationRequest&) override {}
  void ReportLog(const ResultLog& log) override { reported = log.Entries(); }
  void ReportVerify(const VerifyReport&, const Text&) override {}
};

class UndoPointTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) testing::WriteText(data / name, "x");
  }
  int Run(const Text& commandLine) {
    OperationRequest request(OperationMode::Backup);
    shell.reported.clear();
    return RunMainLogic(commandLine, request, shell);
  }
  Text PointPath(const Text& name) const {
    Text path = UndoFolder();
    AppendPath(path, name);
    return path;
  }
  testing::ScratchFolder data;
  SilentShell shell;
};

TEST(UndoPointNameTest, NamesSortByTimeAndOnlyUndoPointsAreRecognised) {
  LocalTime time;
  time.year = 2026, time.month = 3, time.day = 7, time.hour = 9, time.minute = 5, time.second = 4;
  EXPECT_EQ(UndoPointName(time, 1), u"20260307-090504-01.zip");
  LocalTime later = time;
  later.hour = 10;
  EXPECT_LT(UndoPointName(time, 12), UndoPointName(later, 1));
  EXPECT_LT(UndoPointName(time, 9), UndoPointName(time, 10));
  struct Case {
    const char16_t* name;
    bool isUndoPoint;
  } cases[] = {{u"20260307-090504-01.zip", true},  {u"20260307-090504-01.ZIP", true},
               {u"20260307-090504-1.zip", false},  {u"20260307-090504-01.zip.tmp", false},
               {u"2026030a-090504-01.zip", false}, {u"backup.zip", false},
               {u"20260307_090504-01.zip", false}, {u"", false}};
  for (const Case& c : cases) EXPECT_EQ(IsUndoPointName(c.name), c.isUndoPoint) << ToUtf8(c.name);
}

TEST_F(UndoPointTest, ARestoreWritesAnUndoPointThatIsNoLastBackup) {
  testing::ScratchFolder archives;
  const Text missing = archives / u"missing.zip";
  EXPECT_EQ(Run(u"/restore \"" + missing + u"\""), kExitOperationFailed) << "the archive is missing";
  const std::vector<Text> points = ListUndoPoints(UndoFolder());
  ASSERT_EQ(points.size(), 1u);
  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(PointPath(points[0]), identity));
  EXPECT_EQ(identity.comment, names::kUndoBeforeRestore + missing);
  EXPECT_FALSE(ReadValue(names::kToolKey, names::kLastFileValue).exists);
  EXPECT_FALSE(ReadValue(names::kToolKey, names::kBackupTimestampValue).exists);

  EXPECT_EQ(Run(u"/noundo /restore \"" + missing + u"\""), kExitOperationFailed);
  EXPECT_EQ(ListUndoPoints(UndoFolder()).size(), 1u) << "/noundo writes none";
}

TEST_F(UndoPointTest, TheNewestTenAreKeptAndOtherFilesAreLeftAlone) {
  ASSERT_EQ(CreateDirectoryPath(UndoFolder()), kSuccess);
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(testing::WriteText(PointPath(FromUtf8("20000101-0000" + std::to_string(10 + i) + "-01.zip")), "old"));
  }
  ASSERT_TRUE(testing::WriteText(PointPath(u"notes.txt"), "mine"));
  const std::vector<Text> sorted = ListUndoPoints(UndoFolder());
  ASSERT_EQ(sorted.size(), 12u);

  EXPECT_EQ(Run(u"/reset"), kExitSuccess) << (shell.reported.empty() ? "" : ToUtf8(shell.reported[0]));
  const std::vector<Text> kept = ListUndoPoints(UndoFolder());
  ASSERT_EQ(kept.size(), 10u);
  EXPECT_EQ(std::vector<Text>(kept.begin(), kept.end() - 1), std::vector<Text>(sorted.begin() + 3, sorted.end()));
  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(PointPath(kept.back()), identity)) << "the new one is the newest";
  EXPECT_EQ(identity.comment, names::kUndoBeforeReset);
  EXPECT_TRUE(FileExists(PointPath(u"notes.txt")));
}

TEST_F(UndoPointTest, WithoutAnUndoPointNothingStartsAndExitCodeIsOne) {
  testing::ScratchFolder blocked;
  ASSERT_TRUE(testing::WriteText(blocked / u"file", "a file where a folder should be"));
  RedirectLocalAppData(blocked / u"file");
  EXPECT_EQ(Run(u"/reset"), kExitOperationFailed);
  ASSERT_FALSE(shell.reported.empty());
  EXPECT_NE(ToUtf8(shell.reported.back()).find("could not be completed, so nothing was changed"), std::string::npos);
  EXPECT_TRUE(FileExists(data / u"history.dat")) << "the reset did not start";
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Transfer", u"Retries").exists);

  EXPECT_EQ(Run(u"/undo"), kExitOperationFailed) << "no undo point to go back to";
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Transfer", u"Retries").exists);

  EXPECT_EQ(Run(u"/noundo /reset"), kExitSuccess) << "declined deliberately, the reset runs";
  EXPECT_FALSE(FileExists(data / u"history.dat"));
}

// An undo empties today's client before it restores: a damaged undo point must stop it first.
TEST_F(UndoPointTest, ADamagedUndoPointIsRefusedBeforeAnythingIsRemoved) {
  ASSERT_EQ(Run(u"/reset"), kExitSuccess);
  const std::vector<Text> points = ListUndoPoints(UndoFolder());
  ASSERT_EQ(points.size(), 1u);
  std::vector<uint8_t> bytes = testing::ReadBytes(PointPath(points[0]));
  const uint8_t central[] = {'P', 'K', 1, 2};
  // The first header still opens the archive; the second is broken.
  auto header = std::search(bytes.begin(), bytes.end(), std::begin(central), std::end(central));
  ASSERT_NE(header, bytes.end());
  header = std::search(header + 4, bytes.end(), std::begin(central), std::end(central));
  ASSERT_NE(header, bytes.end());
  header[3] = 0;
  ASSERT_TRUE(testing::WriteBytes(PointPath(points[0]), bytes));
  SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);  // the reset took it
  testing::WriteText(data / u"history.dat", "today's history");
  EXPECT_EQ(Run(u"/noundo /undo"), kExitOperationFailed);
  EXPECT_TRUE(FileExists(data / u"history.dat")) << "nothing removed for an undo point that cannot be restored";
}

}  // namespace
}  // namespace kbt
