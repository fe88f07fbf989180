#include "app/main_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/run_log.h"
#include "support/test_support.h"

namespace kbt {
namespace {

class RecordingShell : public AppShell {
 public:
  bool clientRuns = false;
  int usageBoxes = 0, wizards = 0, clientChecks = 0;
  std::vector<Text> reported, verified, problems, aside;
  void ShowUsage(const Text& problem) override {
    ++usageBoxes;
    problems.push_back(problem);
  }
  bool WarnIfClientRuns() override {
    ++clientChecks;
    return clientRuns;
  }
  void RunWizard(OperationRequest&) override { ++wizards; }
  void ReportLog(const ResultLog& log) override { reported = log.Entries(); }
  void ReportVerify(const VerifyReport& report, const Text&) override { verified = report.lines; }
  void ReportAside(const Text& message) override { aside.push_back(message); }
};

std::string ReadText(const Text& path) {
  const std::vector<uint8_t> bytes = testing::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class MainLogicTest : public testing::ClientRegistryTest {
 protected:
  OperationRequest request{OperationMode::Backup};
  RecordingShell shell;
};

TEST_F(MainLogicTest, UsageEndsTheRunBeforeAnythingElse) {
  EXPECT_EQ(RunMainLogic(u"/reset /?", request, shell), kExitSuccess);
  EXPECT_EQ(shell.usageBoxes, 1);
  EXPECT_EQ(shell.clientChecks, 0);
  EXPECT_TRUE(request.DataFolder.empty()) << "no folder discovery after the usage box";
  EXPECT_FALSE(testing::KeyExists(u"Software\\Kestrove"));
}

TEST_F(MainLogicTest, RunningClientStopsEveryModeAfterTheDiscovery) {
  shell.clientRuns = true;
  EXPECT_EQ(RunMainLogic(u"/reset", request, shell), kExitClientRunning);
  EXPECT_EQ(shell.wizards, 0);
  EXPECT_TRUE(shell.reported.empty());
  EXPECT_FALSE(request.DataFolder.empty());
  EXPECT_EQ(RunMainLogic(u"", request, shell), kExitClientRunning);
  EXPECT_EQ(shell.wizards, 0);
}

// A start only reads: the client's "Data Path" stays exactly as the user left it, type included,
// whatever the run does, also when its folder is on a drive that is not there now.
TEST_F(MainLogicTest, AStartChangesNoValue) {
  testing::ScratchFolder data, archives;
  const Text archive = archives / u"backup.zip";
  struct Run {
    Text commandLine;
    bool clientRuns;
    bool changesTheToolsKey;  // a backup records itself below the client's key
  } runs[] = {
      {u"", false, false},
      {u"/?", false, false},
      {u"/verify \"" + archive + u"\"", false, false},
      {u"/reset", true, false},
      {u"/backup \"" + archive + u"\"", false, true},
  };
  for (const Text& stored : {data.Path(), testing::FolderOnAbsentDrive()}) {
    for (const Run& run : runs) {
      testing::DeleteKey(u"Software\\Kestrove");
      testing::SeedString(u"Software\\Kestrove", u"Data Path", stored, platform::kRegSz);
      const testing::RegistrySnapshot before = testing::SnapshotKey(u"Software\\Kestrove");
      OperationRequest fresh(OperationMode::Backup);
      shell.clientRuns = run.clientRuns;
      static_cast<void>(RunMainLogic(run.commandLine, fresh, shell));
      const auto dataPath = testing::ReadValue(u"Software\\Kestrove", u"Data Path");
      EXPECT_TRUE(dataPath.exists) << ToUtf8(run.commandLine);
      EXPECT_EQ(dataPath.type, platform::kRegSz) << ToUtf8(run.commandLine);
      EXPECT_EQ(dataPath.data, testing::StringBytes(stored)) << ToUtf8(run.commandLine);
      if (!run.changesTheToolsKey) {
        EXPECT_EQ(testing::SnapshotKey(u"Software\\Kestrove"), before) << ToUtf8(run.commandLine);
      }
    }
  }
}

TEST_F(MainLogicTest, UnattendedFailureGivesExitCodeOneAndItsMessages) {
  // The default data folder holds none of the client's files, so the reset cannot delete them.
  EXPECT_EQ(RunMainLogic(u"/reset", request, shell), kExitOperationFailed);
  ASSERT_EQ(shell.reported.size(), 1u);
  EXPECT_EQ(shell.reported[0], u"Failed to reset application data.");
  EXPECT_EQ(shell.wizards, 0);
}

TEST_F(MainLogicTest, WithoutAnOperationTheWizardRunsAndLeavesNoRecord) {
  EXPECT_EQ(RunMainLogic(u"/restore", request, shell), kExitSuccess);
  EXPECT_EQ(shell.wizards, 1);
  EXPECT_EQ(request.GetMode(), OperationMode::Restore);
  EXPECT_EQ(request.FavoritesFolder, request.DataFolder);
  Text log;
  ASSERT_TRUE(GetDefaultRunLogPath(log));
  EXPECT_FALSE(testing::FileExists(log));
}

TEST_F(MainLogicTest, ACommandLineNotUnderstoodShowsTheUsageAndRunsNothing) {
  EXPECT_EQ(RunMainLogic(u"/bakup x.zip", request, shell), kExitCommandLine);
  ASSERT_EQ(shell.problems, std::vector<Text>{u"The option \"/bakup\" is unknown."});
  EXPECT_EQ(shell.wizards, 0);
  EXPECT_EQ(shell.clientChecks, 0);
  EXPECT_FALSE(testing::KeyExists(u"Software\\Kestrove"));
  Text log;
  ASSERT_TRUE(GetDefaultRunLogPath(log));
  const std::string record = ReadText(log);
  EXPECT_NE(record.find("\texit 2\t/bakup x.zip\r\n\tThe option \"/bakup\" is unknown.\r\n"), std::string::npos)
      << record;
}

// The record of a failed run holds its command line, exit code and every message; a record that
// cannot be written is told aside and changes no exit code.
TEST_F(MainLogicTest, AnUnattendedRunLeavesItsRecordWhereverItIsAsked) {
  testing::ScratchFolder logs;
  const Text log = logs / u"my runs.log";
  EXPECT_EQ(RunMainLogic(u"/reset /log \"" + log + u"\"", request, shell), kExitOperationFailed);
  const std::string record = ReadText(log);
  EXPECT_NE(record.find("\texit 1\t/reset /log \"" + ToUtf8(log) + "\"\r\n\tFailed to reset application data.\r\n"),
            std::string::npos)
      << record;
  EXPECT_TRUE(shell.aside.empty());

  OperationRequest again(OperationMode::Backup);
  EXPECT_EQ(RunMainLogic(u"/reset /log \"" + logs.Path() + u"\"", again, shell), kExitOperationFailed);
  ASSERT_EQ(shell.aside.size(), 1u);
  EXPECT_EQ(shell.aside[0].rfind(u"The record of this run could not be written to \"" + logs.Path() + u"\".", 0), 0u)
      << ToUtf8(shell.aside[0]);
}

}  // namespace
}  // namespace kbt

namespace kbt {
namespace {

// A protected backup from the command line: what /verify and /restore do with its password file.
TEST_F(MainLogicTest, AProtectedBackupNeedsItsPasswordFile) {
  testing::ScratchFolder data, archives;
  testing::SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), platform::kRegSz);
  const Text archive = archives / u"backup.zip", right = archives / u"right.txt", wrong = archives / u"wrong.txt";
  ASSERT_TRUE(testing::WriteBytes(right, {'s', 'e', 'c', 'r', 'e', 't', '\n'}));
  ASSERT_TRUE(testing::WriteBytes(wrong, {'w', 'r', 'o', 'n', 'g'}));
  auto run = [&](const Text& line) {
    OperationRequest fresh(OperationMode::Backup);
    shell.reported.clear();
    shell.verified.clear();
    return RunMainLogic(line, fresh, shell);
  };
  ASSERT_EQ(run(u"/backup \"" + archive + u"\" /passwordfile \"" + right + u"\""), kExitSuccess);
  EXPECT_NE(run(u"/verify \"" + archive + u"\""), kExitSuccess);
  EXPECT_NE(std::find(shell.verified.begin(), shell.verified.end(), Text(u"protected")), shell.verified.end());
  EXPECT_NE(run(u"/verify \"" + archive + u"\" /passwordfile \"" + wrong + u"\""), kExitSuccess);
  EXPECT_NE(std::find(shell.verified.begin(), shell.verified.end(), Text(u"problem\tThe password is not correct.")),
            shell.verified.end());
  EXPECT_EQ(run(u"/verify \"" + archive + u"\" /passwordfile \"" + right + u"\""), kExitSuccess);
  EXPECT_NE(run(u"/restore \"" + archive + u"\""), kExitSuccess);
  ASSERT_FALSE(shell.reported.empty());
  EXPECT_NE(shell.reported.back().find(u"/passwordfile"), Text::npos);
}

}  // namespace
}  // namespace kbt
