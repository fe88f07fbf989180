// The exe's own behaviour at start: usage boxes, the running-client refusal, exit codes.
#include <gtest/gtest.h>

#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {

const std::wstring kEnglishUsage =
    L"Usage: BackupTool.exe </options> [<Path>]\r\n\r\n/reset\t\tReset settings and data.\r\n"
    L"/restore <Path>\tRestores settings and data.\r\n/backup <Path>\tStores settings and data.\r\n"
    L"/undo\t\tGoes back to the state before the last restore, reset or undo.\r\n"
    L"/noundo\t\tWrites no undo point before a restore, reset or undo.\r\n"
    L"/ignoreinterrupted\tGoes on although an earlier operation was interrupted and its undo point is damaged.\r\n"
    L"/verify <Path>\tChecks a backup and changes nothing.\r\n"
    L"Example:\r\nBackupTool /backup \"C:\\Document and Settings\\Administrator\\Desktop\\Backup.zip\"";

TEST(CommandLineE2E, QuestionMarkShowsTheUsageBoxAndRunsNothing) {
  const ToolRun run = RunTool(L"/? /backup C:\\nowhere\\never.zip");
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, L"Usage of command line commands");
  EXPECT_EQ(run.boxes[0].text, kEnglishUsage);
  EXPECT_EQ(::GetFileAttributesW(L"C:\\nowhere\\never.zip"), INVALID_FILE_ATTRIBUTES);
}

TEST(CommandLineE2E, TwoQuestionMarksShowTwoBoxes) {
  const ToolRun run = RunTool(L"/? /?");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.boxes.size(), 2u);
}

TEST(CommandLineE2E, LanguageOptionBeforeTheQuestionMarkGivesGerman) {
  const ToolRun german = RunTool(L"/language=1031 /?");
  ASSERT_EQ(german.boxes.size(), 1u);
  EXPECT_EQ(german.boxes[0].caption, L"Verwendung der Kommandozeilenparameter");
  EXPECT_EQ(german.boxes[0].text.substr(0, 48), L"Verwendung: BackupTool.exe </optionen> [<Pfad>]\r");
  EXPECT_NE(german.boxes[0].text.find(L"Einstellungen zur\u00fccksetzen."), std::wstring::npos);

  const ToolRun after = RunTool(L"/? /language=0x407");
  ASSERT_EQ(after.boxes.size(), 1u);
  EXPECT_EQ(after.boxes[0].caption, L"Usage of command line commands") << "a later option changes no shown box";

  const ToolRun english = RunTool(L"/language=1031 /language=1033 /?");
  ASSERT_EQ(english.boxes.size(), 1u);
  EXPECT_EQ(english.boxes[0].text, kEnglishUsage);
}

TEST(CommandLineE2E, RunningClientIsBroughtForwardAndRefused) {
  FakeClientWindow client(L"Kestrove - site %1 open");
  ASSERT_NE(client.Handle(), nullptr);
  const ToolRun run = RunTool(L"/reset");
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, L"Kestrove - site %1 open") << "a literal caption is shown as it stands";
  EXPECT_EQ(run.boxes[0].text,
            L"Kestrove is currently running. Please close Kestrove before using Kestrove Backup Tool!");
  EXPECT_EQ(run.boxes[0].owner, client.Handle());
  EXPECT_TRUE(::IsWindowVisible(client.Handle())) << "the client's window must be shown";

  const ToolRun german = RunTool(L"/language=1031 /backup x.zip");
  ASSERT_EQ(german.boxes.size(), 1u);
  EXPECT_EQ(german.boxes[0].text.substr(0, 31), L"Kestrove ist momentan ge\u00f6ffnet.");
  EXPECT_EQ(german.exitCode, 0xFFFFFFFFu);

  // A scheduled run with standard error redirected must not wait for a click.
  ToolOptions redirected;
  redirected.captureStandardError = true;
  redirected.timeoutMs = 20000;
  const ToolRun unattended = RunTool(L"/backup x.zip", redirected);
  ASSERT_FALSE(unattended.timedOut);
  EXPECT_TRUE(unattended.boxes.empty());
  EXPECT_EQ(unattended.exitCode, 0xFFFFFFFFu);
  EXPECT_EQ(unattended.standardError,
            "Kestrove is currently running. Please close Kestrove before using Kestrove Backup Tool!\n");
}

}  // namespace
}  // namespace kbt::testing
