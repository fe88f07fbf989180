// The exe's own behaviour at start: usage boxes, the running-client refusal, exit codes.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {

const std::wstring kEnglishUsage =
    L"Usage: BackupTool.exe <operation> [<options>]\r\n"
    L"\r\n"
    L"Operations:\r\n"
    L"/backup <Path>\tBacks up settings and\r\n"
    L"\t\tdata files into <Path>.\r\n"
    L"/restore <Path>\tRestores settings and\r\n"
    L"\t\tdata files from <Path>.\r\n"
    L"/reset\t\tDeletes the client's\r\n"
    L"\t\tsettings and data files.\r\n"
    L"/verify <Path>\tChecks a backup file\r\n"
    L"\t\tand changes nothing.\r\n"
    L"/undo\t\tGoes back to the newest\r\n"
    L"\t\tundo point.\r\n"
    L"/backup or /restore without <Path>\r\n"
    L"opens the wizard.\r\n"
    L"\r\n"
    L"Options:\r\n"
    L"/noundo\t\tWrites no undo point\r\n"
    L"\t\tbefore the operation.\r\n"
    L"/ignoreinterrupted\r\n"
    L"\t\tGoes on even though an\r\n"
    L"\t\tinterrupted operation left\r\n"
    L"\t\ta damaged undo point.\r\n"
    L"/passwordfile <Path>\r\n"
    L"\t\tTakes the backup's\r\n"
    L"\t\tpassword from the first\r\n"
    L"\t\tline of the file <Path>.\r\n"
    L"/log <Path>\tWrites the record of the\r\n"
    L"\t\trun into <Path>.\r\n"
    L"/language=<Language>\r\n"
    L"\t\ten or de (or 1033, 1031):\r\n"
    L"\t\tEnglish or German texts.\r\n"
    L"/?\t\tShows this help.\r\n"
    L"\r\n"
    L"Example:\r\n"
    L"BackupTool /backup \"D:\\Backups\\Kestrove.zip\"";

TEST(CommandLineE2E, QuestionMarkShowsTheUsageBoxAndRunsNothing) {
  const ToolRun run = RunTool(L"/? /backup C:\\nowhere\\never.zip");
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, L"Usage of command line commands");
  EXPECT_EQ(run.boxes[0].text, kEnglishUsage);
  EXPECT_EQ(run.boxes[0].wrappedLine, L"") << "the box breaks a line of the usage";
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
  EXPECT_EQ(german.boxes[0].text.substr(0, 52), L"Verwendung:\r\nBackupTool.exe <Vorgang> [<Optionen>]\r\n");
  EXPECT_NE(german.boxes[0].text.find(L"/language=<Sprache>"), std::wstring::npos);
  EXPECT_EQ(german.boxes[0].wrappedLine, L"") << "the box breaks a line of the usage";

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

// A scheduled task with a typing error must end, never wait in the wizard for a click.
TEST(CommandLineE2E, AnUnknownSwitchShowsTheUsageAndExitsTwo) {
  ToolOptions quick;
  quick.timeoutMs = 20000;
  const ToolRun run = RunTool(L"/bakup C:\\nowhere\\never.zip", quick);
  ASSERT_FALSE(run.timedOut) << "the wizard must not open";
  EXPECT_EQ(run.exitCode, 2u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, L"Usage of command line commands");
  EXPECT_EQ(run.boxes[0].text, L"The option \"/bakup\" is unknown.\r\n\r\n" + kEnglishUsage);

  quick.captureStandardError = true;
  const ToolRun redirected = RunTool(L"/language=de /language=fr", quick);
  ASSERT_FALSE(redirected.timedOut);
  EXPECT_EQ(redirected.exitCode, 2u);
  EXPECT_TRUE(redirected.boxes.empty());
  EXPECT_EQ(redirected.standardError.rfind("Die Sprache \xE2\x80\x9E" "fr\xE2\x80\x9C ist unbekannt: m\xC3\xB6glich sind en und de.\r\n\r\n"
                                           "Verwendung:\r\nBackupTool.exe <Vorgang>", 0),
            0u)
      << redirected.standardError;
}

TEST(CommandLineE2E, AFailedUnattendedRunLeavesItsRecordInTheLog) {
  ScratchFolder scratch;
  const std::wstring log = reinterpret_cast<const wchar_t*>((scratch / u"runs.log").c_str());
  ToolOptions quick;
  quick.timeoutMs = 20000;
  const ToolRun run = RunTool(L"/restore C:\\nowhere\\never.zip /log \"" + log + L"\"", quick);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  const std::vector<uint8_t> bytes = ReadBytes(scratch / u"runs.log");
  const std::string record(bytes.begin(), bytes.end());
  // The log's path holds no blank, so its record shows it without quotes.
  const std::string header = "\texit 1\t/restore C:\\nowhere\\never.zip /log " + ToUtf8(scratch / u"runs.log") + "\r\n";
  EXPECT_NE(record.find(header + "\tFailed to open the backup file \"C:\\nowhere\\never.zip\"."), std::string::npos)
      << record;
}

}  // namespace
}  // namespace kbt::testing
